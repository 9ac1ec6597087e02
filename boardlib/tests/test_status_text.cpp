// The status texts of the header, and the README's table of them.
#include <gtest/gtest.h>

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
#endif
