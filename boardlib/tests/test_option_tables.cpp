// The option tables under concurrent use: McodePut on one thread while another
// sends motion commands. Every command carries a whole M-code pair, the one before
// the call or the one after, never the low code of one and the high of the other.
// (Under the race detector, make test's tsan suite, any unguarded access fails too.)
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "board.h"
#include "fakes.h"

using namespace qrl;

TEST(OptionTables, ACommandSeesTheOldPairOrTheNewNeverHalf) {
    fake::Scope s;
    ASSERT_EQ(InitDll(1), QRL_OK);
    int32_t types[15] = {1};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    ASSERT_EQ(McodePut(1, 1, 1), QRL_OK);

    std::atomic<int> torn{0}, seen{0};
    std::atomic<bool> stop{false};
    s.driver().script = [&](uint32_t ioctl, CommandBuffer& b, fake::ScriptedDriver&) {
        const uint8_t* d = b.Data(0);
        if (ioctl == kIoctlCommand && d[0] == 0x03 && d[1] == 0x36) {  // AxFeed's command
            ++seen;
            if (d[13] != 0x11 && d[13] != 0x22) ++torn;
        }
        return false;  // answered as usual
    };
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            const int32_t v = i % 2 ? 1 : 2;
            McodePut(1, v, v);
        }
    });
    for (int i = 0; i < 20000; ++i) {
        AxFeed(1, 1);
        if (i % 256 == 0) s.driver().Clear();  // the record of exchanges is not needed here
    }
    stop = true;
    writer.join();
    EXPECT_EQ(seen.load(), 20000);
    EXPECT_EQ(torn.load(), 0) << "commands sent with half of one pair and half of another";
}

// O-codes are set one at a time by design; each stored code is read whole.
TEST(OptionTables, OcodesAndMcodesKeepTheirOwnValuesUnderConcurrentSetters) {
    fake::Scope s;
    ASSERT_EQ(InitDll(1), QRL_OK);
    int32_t types[15] = {1, 1};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    std::thread a([] {
        for (int i = 0; i < 5000; ++i) OcodePut(-1, 0, i % 3);
    });
    std::thread b([] {
        for (int i = 0; i < 5000; ++i) OcodePut(-1, 1, i % 2);
    });
    std::thread c([] {
        for (int i = 0; i < 5000; ++i) McodePut(2, 4, 9);
    });
    a.join();
    b.join();
    c.join();
    // The last value of each setter, untouched by the others' stores into the same word.
    for (int n : {1, 2}) {
        EXPECT_EQ(Board().ocode[n][0], 4999 % 3) << n;
        EXPECT_EQ(Board().ocode[n][1], 4999 % 2) << n;
    }
    EXPECT_EQ(Board().mcode[2][0], 4);
    EXPECT_EQ(Board().mcode[2][1], 9);
}
