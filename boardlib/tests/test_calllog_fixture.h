// Shared fixture of the call-log tests: an open board on the scripted driver,
// the Dll keys in memory with logging on and every item switched on, and ways to
// read back what the library wrote (through the log reader of qrlogdump).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "board.h"
#include "calllog.h"
#include "cmdbuf.h"
#include "fakes.h"
#include "logformat.h"
#include "settings_layout.h"

namespace logtest {

constexpr const char* kDll = vxreg::kDllKey;
constexpr const char* kItemsKey = vxreg::kDllLogItemsKey;
const std::string kPath = "C:\\vx\\call.log";
const std::string kStored = std::string(vxreg::kPathPrefix) + kPath;

inline std::string Suffixed(int n) { return n == 0 ? kPath : kPath + "." + std::to_string(n); }

// Lines of a log text, newlines removed.
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        out.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
    return out;
}

// A one-entry station command: template `tpl` to station n's command area.
inline qrl::CommandBuffer Command(int station, int tpl) {
    qrl::CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, qrl::CommandArea(station), tpl, 16);
    return b;
}
// A one-entry read of station n's response area.
inline qrl::CommandBuffer Read(int station) {
    qrl::CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelRead, qrl::ResponseArea(station), qrl::kTplZero, 17);
    return b;
}
// One entry of the given select code and offset, with the given data bytes.
inline qrl::CommandBuffer Entry(int32_t select, int32_t offset, std::initializer_list<uint8_t> data = {}) {
    qrl::CommandBuffer b;
    std::vector<uint8_t> bytes(data);
    bytes.resize(16);
    qrl::SetDataEntry(b, 0, select, offset, bytes.data(), 16);
    return b;
}

class CallLogTest : public ::testing::Test {
protected:
    fake::Scope scope;

    void SetUp() override {
        qrl::Board().family = 1;
        qrl::Board().device = scope.platform.OpenDevice();
        qrl::Board().open = 1;
        Dll("Logging", 1);
        reg().SetString(kDll, "LoggingPath", kStored);
        Dll("LogSize", 1000);
        Dll("LogFileMax", 7);
        Dll("LogFileCnt", 0);
        Dll("TrigChk", 0);
        Dll("TrigData", 0x99);
        Dll("AfterTrigDataSize", 1);
        Dll("TargetType", 0);
        Dll("TrigLogic", 0);
        Dll("TargetCH", 1);
        Dll("TargetOffset", 2);
        Dll("TargetSize", 1);
        for (const char* n : vxreg::kItemSwitches) Switch(n, 1);
        for (const char* n : vxreg::kCommandSwitches) Switch(n, 0);
        Switch("SmonIn", 1);
    }

    fake::MemorySettings& reg() { return scope.platform.settings; }
    fake::MemoryFiles& files() { return scope.platform.files; }
    fake::ScriptedDriver& drv() { return scope.driver(); }

    void Dll(const char* name, uint32_t v) { reg().SetDword(kDll, name, v); }
    void Switch(const char* name, uint32_t v) { reg().SetDword(kItemsKey, name, v); }
    uint32_t DllValue(const char* name) {
        uint32_t v = 0xDEADBEEF;
        EXPECT_TRUE(reg().GetDword(kDll, name, v)) << name;
        return v;
    }
    // Only the given items (numbers 1..10) on.
    void OnlyItems(std::initializer_list<int> items) {
        for (const char* n : vxreg::kItemSwitches) Switch(n, 0);
        for (int i : items) Switch(vxreg::kItemSwitches[i - 1], 1);
    }

    void Send(qrl::CommandBuffer b) { qrl::TransferCommands(b); }
    std::vector<std::string> Lines(const std::string& path = kPath) { return SplitLines(files().Content(path)); }
    // Command records (header excluded) of a file.
    size_t Records(const std::string& path = kPath) {
        size_t n = 0;
        for (auto& l : Lines(path))
            if (l.compare(0, 2, "01") == 0) ++n;
        return n;
    }

    // Every line of the file is sound to the independent reader, the first is its
    // header, and no other header follows. Returns the parsed log.
    qrlog::Log ExpectSound(const std::string& path = kPath) {
        const std::string text = files().Content(path);
        const qrlog::Log log = qrlog::ReadLog(text);
        for (auto& p : log.problems) ADD_FAILURE() << path << ":" << p.line << ": " << p.what;
        EXPECT_EQ(text.find('\r'), std::string::npos) << "records end in a bare newline";
        if (!log.records.empty()) {
            EXPECT_EQ(log.records[0].type, 0) << path << " begins with its header";
            for (size_t i = 1; i < log.records.size(); ++i) EXPECT_EQ(log.records[i].type, 1) << path << " record " << i;
        }
        return log;
    }
};

}  // namespace logtest
