// The failure detail through the DLL under Wine, with the causes a field engineer
// meets: no stand-in serving the pipe (the pipe's Windows error), a final
// ReturnCode of the driver (injected by the stand-in), the stand-in dying in the
// middle of a session (the broken pipe), and two threads failing differently at
// once, one of them not started by the C++ runtime.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "fault_support.h"
#include "last_failure.h"
#include "qrlink00.h"

using namespace flt;

namespace {

// BdOpen with the stand-in stopped: -4, and the detail names the pipe's open and
// its Windows error (2: no such pipe), so it reads differently from a missing
// driver or a busy one.
TEST(FailureCauses, StandInStoppedBdOpenNamesThePipesWindowsError) {
    const std::string pipe = UniquePipeName("stopped");
    {
        SimProcess server(pipe);
        ASSERT_TRUE(server.Start()) << SimExePath();
        ASSERT_TRUE(server.Kill());
    }
    DeviceEnv dev(pipe);
    ASSERT_EQ(InitDll(1), QRL_OK);
    int32_t types[15] = {0x01};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_E_NODEVICE);
    const QRL_FAILURE f = ReadLastFailure();
    EXPECT_STREQ(f.function, "BdOpen");
    EXPECT_EQ(f.ordinal, 20);
    EXPECT_EQ(f.status, QRL_E_NODEVICE);
    EXPECT_EQ(f.origin, QRL_ORIGIN_WINDOWS);
    EXPECT_EQ(f.windows_error, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_STREQ(f.where, "CreateFile");
    EXPECT_EQ(f.station, -1);
    EXPECT_EQ(ReadLastFailureText(),
              "BdOpen returned -4 (no board device found, or opening it failed): Windows error 2 in CreateFile");
}

// A final ReturnCode of the driver (the stand-in answers station 1's entries with
// -32801 once): the driver as the origin, with that code and the command it
// answered; then the stand-in killed: the next exchange fails with the broken
// pipe's Windows error in TransactNamedPipe.
TEST(FailureCauses, DriversFinalCodeThenTheBrokenPipe) {
    const std::string pipe = UniquePipeName("codes");
    SimProcess server(pipe);
    ASSERT_TRUE(server.Start()) << SimExePath();
    DeviceEnv dev(pipe);
    ASSERT_EQ(InitDll(1), QRL_OK);
    int32_t types[15] = {0x01};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    ASSERT_EQ(SvOn(1), QRL_OK);

    ASSERT_TRUE(Control(pipe, kOpInjectCode, 1, -32801, 1));
    ASSERT_EQ(AxFeed(1, 10), -32801);
    QRL_FAILURE f = ReadLastFailure();
    EXPECT_STREQ(f.function, "AxFeed");
    EXPECT_EQ(f.status, -32801);
    EXPECT_EQ(f.origin, QRL_ORIGIN_DRIVER);
    EXPECT_EQ(f.driver_code, -32801);
    EXPECT_EQ(f.windows_error, 0u);
    EXPECT_EQ(f.station, 1);
    EXPECT_EQ(f.select_code, 2);
    EXPECT_EQ(f.command, 0x36);
    EXPECT_EQ(ReadLastFailureText(),
              "AxFeed returned -32801 (final driver return code): the driver answered -32801 "
              "(station 1, SelectCode 2, command 0x36)");
    ASSERT_EQ(AxFeed(1, 10), QRL_OK) << "the injection was for one exchange";

    ASSERT_TRUE(server.Kill());
    uint16_t st = 0;
    ASSERT_EQ(StdtStGet(1, &st), QRL_E_IO);
    f = ReadLastFailure();
    EXPECT_STREQ(f.function, "StdtStGet");
    EXPECT_EQ(f.origin, QRL_ORIGIN_WINDOWS);
    EXPECT_STREQ(f.where, "TransactNamedPipe");
    EXPECT_NE(f.windows_error, 0u);
    EXPECT_EQ(f.station, 1);
    EXPECT_EQ(f.select_code, 1);
    std::printf("[ detail ] %s\n", ReadLastFailureText().c_str());
    EXPECT_EQ(BdClose(0), QRL_E_IO);
}

// Two threads failing differently at the same time, 300 times each, each reading
// its own failure after every call: one refused by the argument checks, one timing
// out on a moving station (a limit of 0). One thread is a plain CreateThread thread,
// as a program in another language would have. The main thread's own failure stays.
struct RefusingThread {
    std::atomic<int> wrong{0};
    QRL_FAILURE last{};
    static DWORD WINAPI Run(void* p) {
        auto* self = static_cast<RefusingThread*>(p);
        for (int i = 0; i < 300; ++i) {
            if (AxFeed(0, 1) != QRL_E_ARG) ++self->wrong;
            QrlGetLastFailure(&self->last);
            if (self->last.origin != QRL_ORIGIN_ARGUMENT || std::strcmp(self->last.function, "AxFeed") != 0)
                ++self->wrong;
        }
        return 0;
    }
};

TEST(FailureCauses, TwoThreadsFailingDifferentlyEachReadTheirOwn) {
    DeviceEnv dev("sim");
    ASSERT_EQ(InitDll(1), QRL_OK);
    int32_t types[15] = {0x01};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    ASSERT_EQ(SvOn(1), QRL_OK);
    ASSERT_EQ(McodePut(1, 16, 0), QRL_E_ARG);  // the main thread's own failure
    const QRL_FAILURE mine = ReadLastFailure();
    ASSERT_EQ(AxFeed(1, 60000), QRL_OK);      // 3 s of moving: never ready meanwhile

    RefusingThread refusing;
    HANDLE h = CreateThread(nullptr, 0, &RefusingThread::Run, &refusing, 0, nullptr);
    ASSERT_NE(h, nullptr);
    int wrong = 0;
    QRL_FAILURE timing{};
    std::thread waiting([&] {
        for (int i = 0; i < 300; ++i) {
            if (QrlRdyWait(1, 0) != QRL_E_RDYWAIT) ++wrong;
            QrlGetLastFailure(&timing);
            if (timing.origin != QRL_ORIGIN_TIMEOUT || std::strcmp(timing.function, "QrlRdyWait") != 0) ++wrong;
        }
    });
    waiting.join();
    ASSERT_EQ(WaitForSingleObject(h, 30000), WAIT_OBJECT_0);
    CloseHandle(h);

    EXPECT_EQ(refusing.wrong.load(), 0);
    EXPECT_EQ(refusing.last.status, QRL_E_ARG);
    EXPECT_EQ(refusing.last.sequence, 300u);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(timing.status, QRL_E_RDYWAIT);
    EXPECT_EQ(timing.station, 1);
    EXPECT_EQ(timing.sequence, 300u);
    const QRL_FAILURE now = ReadLastFailure();
    EXPECT_EQ(std::memcmp(&now, &mine, sizeof now), 0) << "the other threads' failures are not the main thread's";
    EXPECT_STREQ(now.function, "McodePut");

    EXPECT_EQ(QrlRdyWait(1, QRL_WAIT_FOREVER), QRL_OK);
    EXPECT_EQ(AxFeed(1, -60000), QRL_OK);
    EXPECT_EQ(QrlRdyWait(1, QRL_WAIT_FOREVER), QRL_OK);
    EXPECT_EQ(SvOff(1), QRL_OK);
    EXPECT_EQ(BdClose(0), QRL_OK);
}

}  // namespace
