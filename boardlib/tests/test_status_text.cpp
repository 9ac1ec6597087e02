// The status texts of the header, and the README's table of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "qrlink00.h"

TEST(StatusText, EveryCodeHasItsOwnText) {
    std::set<std::string> seen;
    for (int32_t c : {0, -1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -12, -13, -15}) {
        const char* t = QrlStatusText(c);
        ASSERT_NE(t, nullptr);
        EXPECT_GT(std::string(t).size(), 0u);
        EXPECT_TRUE(seen.insert(t).second) << "two codes share \"" << t << "\"";
    }
    for (int32_t c : {-14, -16, -32769, -32771, 1, 0x7FFFFFFF}) EXPECT_GT(std::string(QrlStatusText(c)).size(), 0u);
}

// Driver codes by class: final at or below QRL_DRIVER_FINAL (-32770, the code the
// waits already treat as final), otherwise busy or the driver's own answer, with
// positive codes told apart. -14 names nothing: it is a driver code.
TEST(StatusText, DriverCodesByClass) {
    const std::string final_text = QrlStatusText(QRL_DRIVER_FINAL);
    EXPECT_EQ(QRL_DRIVER_FINAL, -32770);
    EXPECT_EQ(final_text, "final driver return code");
    EXPECT_EQ(QrlStatusText(-32771), final_text);
    EXPECT_EQ(QrlStatusText(INT32_MIN), final_text);
    const std::string other = QrlStatusText(-32769);
    EXPECT_NE(other, final_text) << "-32769 is a busy answer, never final";
    EXPECT_EQ(QrlStatusText(-16), other);
    EXPECT_EQ(QrlStatusText(-14), other) << "-14 is no named code";
    const std::string positive = QrlStatusText(1);
    EXPECT_NE(positive, other);
    EXPECT_NE(positive, final_text);
    EXPECT_EQ(QrlStatusText(0x7FFFFFFF), positive);
    for (int32_t c : {0, -1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -12, -13, -15})
        for (const std::string& t : {final_text, other, positive}) EXPECT_NE(QrlStatusText(c), t) << c;
}

#ifdef VX_README
// Users read the codes in the README; it must say what the library says.
TEST(StatusText, ReadmeTableGivesTheSameWords) {
    std::ifstream f(VX_README);
    ASSERT_TRUE(f) << VX_README;
    std::stringstream ss;
    ss << f.rdbuf();
    const std::string text = ss.str();
    const std::regex row(R"(\| (-?\d+) \| `QRL_\w+` \| ([^|]+) \|)");
    int rows = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), row), end; it != end; ++it, ++rows) {
        const int32_t code = std::stoi((*it)[1]);
        std::string words = (*it)[2];
        while (!words.empty() && words.back() == ' ') words.pop_back();
        EXPECT_EQ(words, QrlStatusText(code)) << "code " << code;
    }
    EXPECT_EQ(rows, 15);
}

// The status section's rows for the classes of driver codes: the first number of
// the row, fed to QrlStatusText, gives the text of its last column.
TEST(StatusText, ReadmeDriverRowsGiveTheSameWords) {
    std::ifstream f(VX_README);
    ASSERT_TRUE(f) << VX_README;
    std::stringstream ss;
    ss << f.rdbuf();
    const std::string text = ss.str();
    const size_t from = text.find("### Status codes");
    ASSERT_NE(from, std::string::npos);
    const std::string section = text.substr(from, text.find("\n## ", from) - from);
    const std::regex row(R"(\n\| (-?\d+) ([^|\n]*)\| [^|\n]+ \| ([^|\n]+) \|)");
    int rows = 0;
    for (std::sregex_iterator it(section.begin(), section.end(), row), end; it != end; ++it) {
        if (std::string((*it)[2]).empty()) continue;  // a named code's row: checked above
        ++rows;
        std::string words = (*it)[3];
        while (!words.empty() && words.back() == ' ') words.pop_back();
        EXPECT_EQ(words, QrlStatusText(std::stoi((*it)[1]))) << "row of " << (*it)[1];
    }
    EXPECT_EQ(rows, 3) << "final, other negative and positive driver codes";
    EXPECT_NE(section.find("QRLINK00_DEVICE=sim"), std::string::npos) << "say what to do without a board";
}
#endif
