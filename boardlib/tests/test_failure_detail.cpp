// The detail of the last failed call, on the scripted driver: each origin with the
// fields it fills, the function named being the one the application called, calls
// that succeed leaving the detail alone, one detail per thread, the text form and
// the exported status text.
#include <cstring>
#include <string>
#include <thread>

#include "command_fixture.h"
#include "failure.h"
#include "last_failure.h"

using namespace qrl;
using namespace cmdtest;

namespace {

class FailureDetail : public CommandTest {};

// A thread that has not failed reads an empty detail, as the header promises.
TEST(FailureDetailFresh, ANewThreadHasNoFailure) {
    QRL_FAILURE f;
    std::string text;
    std::thread([&] {
        std::memset(&f, 0x5A, sizeof f);
        QrlGetLastFailure(&f);
        char line[64];
        QrlGetLastFailureText(line, sizeof line);
        text = line;
    }).join();
    QRL_FAILURE zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&f, &zero, sizeof f), 0) << "every field 0, texts empty";
    EXPECT_EQ(text, "no failed call on this thread");
    EXPECT_EQ(QrlGetLastFailure(nullptr), QRL_E_ARG);
}

// A final ReturnCode of the driver: origin driver with the code, and the station,
// SelectCode and command code of the entry it answered.
TEST_F(FailureDetail, FinalDriverCodeNamesTheDriverAndTheCommand) {
    OpenDefault();
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        if (b.Field(0, kSelectCode) != kSelWrite) return false;
        b.SetField(0, kReturnCode, -32801);
        return true;
    };
    ASSERT_EQ(AxFeed(2, 500), -32801);
    const QRL_FAILURE f = ReadLastFailure();
    EXPECT_STREQ(f.function, "AxFeed");
    EXPECT_EQ(f.ordinal, 8);
    EXPECT_EQ(f.status, -32801);
    EXPECT_EQ(f.origin, QRL_ORIGIN_DRIVER);
    EXPECT_EQ(f.driver_code, -32801);
    EXPECT_EQ(f.windows_error, 0u);
    EXPECT_EQ(f.station, 2);
    EXPECT_EQ(f.select_code, kSelWrite);
    EXPECT_EQ(f.command, 0x36);
    EXPECT_STREQ(f.where, "");
    EXPECT_EQ(ReadLastFailureText(),
              "AxFeed returned -32801 (final driver return code): the driver answered -32801 "
              "(station 2, SelectCode 2, command 0x36)");
}

// A busy answer that a single read hands back is the driver's too.
TEST_F(FailureDetail, ABusyCodeOfASingleReadIsTheDriversAnswer) {
    OpenDefault();
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        b.SetField(0, kReturnCode, 5);
        return true;
    };
    uint16_t st = 0;
    ASSERT_EQ(StdtStGet(3, &st), 5);
    const QRL_FAILURE f = ReadLastFailure();
    EXPECT_STREQ(f.function, "StdtStGet");
    EXPECT_EQ(f.origin, QRL_ORIGIN_DRIVER);
    EXPECT_EQ(f.driver_code, 5);
    EXPECT_EQ(f.station, 3);
    EXPECT_EQ(f.select_code, kSelRead);
    EXPECT_EQ(f.command, 0);
}

// The busy board for 2000 ms: a time limit, not the driver's busy code, with the
// command that was retried; a wait for a station: a time limit at that station.
TEST_F(FailureDetail, TimeLimitsNameTheCommandOrTheStationWaitedFor) {
    OpenDefault();
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        b.SetField(0, kReturnCode, 1);  // busy, forever
        return true;
    };
    clock().tick_ms = 1;
    ASSERT_EQ(AxHome(1, 0, 0), QRL_E_TIMEOUT);
    QRL_FAILURE f = ReadLastFailure();
    EXPECT_STREQ(f.function, "AxHome");
    EXPECT_EQ(f.origin, QRL_ORIGIN_TIMEOUT);
    EXPECT_EQ(f.station, 1);
    EXPECT_EQ(f.command, 0x3A);
    EXPECT_EQ(f.driver_code, 0) << "the busy answers are not the cause";
    drv().script = nullptr;
    clock().tick_ms = 0;
    Respond(3, 0x36, 0x0000);
    ASSERT_EQ(QrlRdyWait(3, 20), QRL_E_RDYWAIT);
    f = ReadLastFailure();
    EXPECT_STREQ(f.function, "QrlRdyWait");
    EXPECT_EQ(f.origin, QRL_ORIGIN_TIMEOUT);
    EXPECT_EQ(f.station, 3);
    EXPECT_EQ(f.select_code, kSelRead);
    EXPECT_EQ(ReadLastFailureText(),
              "QrlRdyWait returned -12 (station not ready within 2000 ms (RdyWait)): the time limit ran out "
              "(station 3, SelectCode 1)");
}

// Argument and state checks: -2, -3 and -5 with nothing sent, no station, no
// command; an exchange attempted with no device open says so.
TEST_F(FailureDetail, ChecksAreTheArgumentOrigin) {
    ASSERT_EQ(BdOpen(0, 10, 0, nullptr), QRL_E_ARG);
    QRL_FAILURE f = ReadLastFailure();
    EXPECT_STREQ(f.function, "BdOpen");
    EXPECT_EQ(f.origin, QRL_ORIGIN_ARGUMENT);
    EXPECT_EQ(f.station, -1);
    int32_t types[15] = {1};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_E_NOFAMILY);
    EXPECT_EQ(ReadLastFailure().origin, QRL_ORIGIN_ARGUMENT);
    ASSERT_EQ(SvOn(1), QRL_E_NOTOPEN);
    f = ReadLastFailure();
    EXPECT_STREQ(f.function, "SvOn");
    EXPECT_EQ(f.origin, QRL_ORIGIN_ARGUMENT);
    EXPECT_EQ(ReadLastFailureText(), "SvOn returned -5 (board not open): refused by the argument and state checks");
    ASSERT_EQ(BdClose(0), QRL_E_IO) << "closing a board never opened: no device to write to";
    f = ReadLastFailure();
    EXPECT_EQ(f.origin, QRL_ORIGIN_ARGUMENT);
    EXPECT_STREQ(f.where, "no open device");
}

// A device that cannot be opened, or whose exchanges fail, with no Windows error
// behind (the fake's device): the driver's refusal, as the channel reported it.
TEST_F(FailureDetail, ADeviceFailureWithoutAWindowsErrorIsTheDevicesRefusal) {
    scope.platform.device_present = false;
    InitDll(1);
    int32_t types[15] = {1};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_E_NODEVICE);
    QRL_FAILURE f = ReadLastFailure();
    EXPECT_EQ(f.origin, QRL_ORIGIN_DRIVER);
    EXPECT_EQ(f.driver_code, 0);
    EXPECT_EQ(f.station, -1);
    scope.platform.device_present = true;
    OpenDefault();
    drv().fail_all = true;
    ASSERT_EQ(AxFeed(1, 5), QRL_E_IO);
    f = ReadLastFailure();
    EXPECT_EQ(f.origin, QRL_ORIGIN_DRIVER);
    EXPECT_EQ(f.station, 1);
    EXPECT_EQ(f.command, 0x36);
    EXPECT_STREQ(f.where, "device failed without a reason");
}

// A channel that notes Windows errors as the Win32 layer does, forwarding to the
// scripted driver: `mode` 0 meets an error and recovers (the exchange succeeds),
// 1 fails with no Windows error, 2 fails with one.
class NotingChannel : public DeviceChannel {
public:
    NotingChannel(fake::ScriptedDriver& d, int& mode) : d_(d), mode_(mode) {}
    bool Exchange(uint32_t ioctl, uint8_t* buffer) override {
        if (mode_ == 0) NoteSystemError("WaitNamedPipe", 231);
        if (mode_ == 1) return false;
        if (mode_ == 2) {
            NoteSystemError("DeviceIoControl", 1117);
            return false;
        }
        return d_.Exchange(ioctl, buffer);
    }
    bool Close() override {
        if (mode_ != 3) return true;
        NoteSystemError("CloseHandle", 6);
        return false;
    }

private:
    fake::ScriptedDriver& d_;
    int& mode_;
};

// The Windows error a channel notes is the cause of its own call's failure, with the
// function's name; an error it met and recovered from does not stick to a later
// failure of another kind. Opening and closing the device are channel calls too.
TEST_F(FailureDetail, AWindowsErrorIsTheCauseOfTheCallThatMetIt) {
    int mode = 0;
    bool open_fails = true;
    scope.platform.open_device = [&]() -> std::unique_ptr<DeviceChannel> {
        if (open_fails) {
            NoteSystemError("CreateFile", 2);
            return nullptr;
        }
        return std::make_unique<NotingChannel>(drv(), mode);
    };
    ASSERT_EQ(InitDll(1), QRL_OK);
    int32_t types[15] = {0x01};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_E_NODEVICE);
    QRL_FAILURE f = ReadLastFailure();
    EXPECT_EQ(f.origin, QRL_ORIGIN_WINDOWS);
    EXPECT_EQ(f.windows_error, 2u);
    EXPECT_STREQ(f.where, "CreateFile");
    EXPECT_EQ(f.station, -1);
    EXPECT_EQ(ReadLastFailureText(),
              "BdOpen returned -4 (no board device found, or opening it failed): Windows error 2 in CreateFile");

    open_fails = false;
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK) << "every exchange met an error and recovered";
    ASSERT_EQ(AxFeed(1, 5), QRL_OK);
    mode = 1;
    ASSERT_EQ(AxFeed(1, 5), QRL_E_IO);
    f = ReadLastFailure();
    EXPECT_EQ(f.origin, QRL_ORIGIN_DRIVER) << "not the error of an earlier exchange";
    EXPECT_EQ(f.windows_error, 0u);
    mode = 2;
    ASSERT_EQ(AxFeed(1, 5), QRL_E_IO);
    f = ReadLastFailure();
    EXPECT_EQ(f.origin, QRL_ORIGIN_WINDOWS);
    EXPECT_EQ(f.windows_error, 1117u);
    EXPECT_STREQ(f.where, "DeviceIoControl");
    EXPECT_EQ(f.station, 1);
    EXPECT_EQ(f.command, 0x36);
    mode = 3;
    ASSERT_EQ(BdClose(0), QRL_E_CLOSE);
    f = ReadLastFailure();
    EXPECT_EQ(f.status, QRL_E_CLOSE);
    EXPECT_EQ(f.origin, QRL_ORIGIN_WINDOWS);
    EXPECT_STREQ(f.where, "CloseHandle");
}

// Calls that succeed leave the last failure alone; the next failure replaces it and
// counts one more; a nested export (StdtGet calls StdtStGet) names the outer one.
TEST_F(FailureDetail, SuccessKeepsItTheNextFailureReplacesIt) {
    OpenDefault();
    ASSERT_EQ(AxFeed(0, 1), QRL_E_ARG);
    const QRL_FAILURE first = ReadLastFailure();
    uint16_t st;
    ASSERT_EQ(StdtStGet(1, &st), QRL_OK);
    ASSERT_EQ(AxFeed(1, 1), QRL_OK);
    QRL_FAILURE f = ReadLastFailure();
    EXPECT_EQ(std::memcmp(&f, &first, sizeof f), 0);
    drv().fail_all = true;
    int32_t bit;
    ASSERT_EQ(StdtGet(1, 2, &bit), QRL_E_IO);
    f = ReadLastFailure();
    EXPECT_STREQ(f.function, "StdtGet") << "the function the application called";
    EXPECT_EQ(f.ordinal, 65);
    EXPECT_EQ(f.sequence, first.sequence + 1);
}

// Two threads failing differently at once each read their own failure.
TEST_F(FailureDetail, EachThreadReadsItsOwn) {
    OpenDefault();
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        if (b.Field(0, kSelectCode) == kSelWrite && b.Field(0, kOffset) == CommandArea(2)) {
            b.SetField(0, kReturnCode, -32805);
            return true;
        }
        return false;
    };
    QRL_FAILURE a{}, b{};
    int rounds_a = 0, rounds_b = 0;
    std::thread ta([&] {
        for (int i = 0; i < 200; ++i) {
            rounds_a += AxFeed(0, 1) == QRL_E_ARG;
            QrlGetLastFailure(&a);
            if (a.status != QRL_E_ARG || std::strcmp(a.function, "AxFeed") != 0) return;
        }
    });
    std::thread tb([&] {
        for (int i = 0; i < 200; ++i) {
            rounds_b += AxNc(2, 0, 5) == -32805;
            QrlGetLastFailure(&b);
            if (b.status != -32805 || std::strcmp(b.function, "AxNc") != 0) return;
        }
    });
    ta.join();
    tb.join();
    EXPECT_EQ(rounds_a, 200);
    EXPECT_EQ(rounds_b, 200);
    EXPECT_EQ(a.origin, QRL_ORIGIN_ARGUMENT);
    EXPECT_EQ(a.sequence, 200u);
    EXPECT_EQ(b.origin, QRL_ORIGIN_DRIVER);
    EXPECT_EQ(b.driver_code, -32805);
    EXPECT_EQ(b.station, 2);
    EXPECT_EQ(b.sequence, 200u);
}

// MnRspGet's -15 is the station's answer.
TEST_F(FailureDetail, NoMonitorDataIsTheStationsAnswer) {
    OpenDefault();
    Respond(1, 0x06);
    QRL_RESPONSE r{};
    r.station = 1;
    ASSERT_EQ(MnRspGet(&r), QRL_E_NOMONITOR);
    const QRL_FAILURE f = ReadLastFailure();
    EXPECT_EQ(f.origin, QRL_ORIGIN_STATION);
    EXPECT_EQ(f.station, 1);
}

// The text functions copy like QrlGetStatusText: cut and terminated, the length
// of the whole line returned, -2 for a negative size or a missing buffer.
TEST_F(FailureDetail, TextIsCutTerminatedAndMeasured) {
    ASSERT_EQ(InitDll(7), QRL_E_ARG);
    const std::string whole = ReadLastFailureText();
    EXPECT_EQ(whole, "InitDll returned -2 (bad argument (range or null pointer) or station of the wrong kind): "
                     "refused by the argument and state checks");
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(QrlGetLastFailureText(small, 5), static_cast<int32_t>(whole.size()));
    EXPECT_EQ(std::string(small), "Init");
    EXPECT_EQ(small[5], 'x');
    EXPECT_EQ(QrlGetLastFailureText(nullptr, 0), static_cast<int32_t>(whole.size()));
    EXPECT_EQ(QrlGetLastFailureText(nullptr, 4), QRL_E_ARG);
    EXPECT_EQ(QrlGetLastFailureText(small, -1), QRL_E_ARG);
    const QRL_FAILURE f = ReadLastFailure();
    EXPECT_STREQ(f.function, "InitDll") << "the text functions record nothing";
}

// The exported status text is the header's, for every code.
TEST(StatusTextExport, EqualsTheHeadersForEveryCode) {
    char buf[128];
    for (int64_t c = -33000; c <= 1000; ++c) {
        const std::string want = QrlStatusText(static_cast<int32_t>(c));
        ASSERT_EQ(QrlGetStatusText(static_cast<int32_t>(c), buf, sizeof buf), static_cast<int32_t>(want.size()));
        ASSERT_EQ(want, buf) << c;
    }
    for (int32_t c : {INT32_MIN, INT32_MAX}) {
        ASSERT_EQ(QrlGetStatusText(c, buf, sizeof buf), static_cast<int32_t>(std::strlen(QrlStatusText(c))));
        EXPECT_STREQ(buf, QrlStatusText(c));
    }
}

}  // namespace
