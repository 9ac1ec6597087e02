// The log reader on hand-made records: the worked example, full records, every
// kind of corruption, line handling and the readable description.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "logformat.h"

using namespace qrlog;

namespace {

// Builds a sound line from its type and body: byte count and checksum filled in.
std::string Finish(const std::string& type, const std::string& body) {
    char count[8];
    std::snprintf(count, sizeof count, "%04x", static_cast<unsigned>(body.size()));
    std::string line = type + count + body;
    char sum[4];
    std::snprintf(sum, sizeof sum, "%02x", Checksum(line, 2, line.size()));
    return line + sum;
}

std::string Items(std::initializer_list<int> items) {
    std::string s = "01";
    char b[4];
    for (int i : items) {
        std::snprintf(b, sizeof b, "%02x", i);
        s += b;
    }
    return s;
}

Layout Of(std::initializer_list<int> items) {
    Layout l;
    for (int i : items) l.on[i] = true;
    return l;
}

const Layout kAll = Of({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});

// One entry with every item on: 52 characters.
std::string FullEntry(int sel, int off, const std::string& data32 = std::string(32, '0')) {
    char b[64];
    std::snprintf(b, sizeof b, "%02x%02x%04x%02x%02x%08x", 1, sel, off, 16, 0, 0);
    return b + data32;
}

}  // namespace

TEST(LogFormat, WorkedExampleAndChecksum) {
    const std::string line = "01000801020040b0";
    EXPECT_EQ(Checksum(line, 2, line.size() - 2), 0xb0u);
    const Layout l = Of({kCommandCount, kSelectCode, kOffset});
    EXPECT_EQ(l.EntryChars(), 6u);
    Record r;
    std::string error;
    ASSERT_TRUE(ParseRecord(line, &l, r, error)) << error;
    EXPECT_EQ(r.type, 1);
    EXPECT_EQ(r.byte_count, 8u);
    ASSERT_TRUE(r.has_count);
    EXPECT_EQ(r.count, 1u);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].select, 2u);
    EXPECT_EQ(r.entries[0].offset, 64u);
    EXPECT_EQ(StationOf(r.entries[0].select, r.entries[0].offset), 1);
    EXPECT_EQ(Finish("01", "01020040"), line) << "the test's own builder agrees with the example";
}

TEST(LogFormat, HeaderItemLists) {
    const struct {
        std::string body;
        std::vector<int> items;
    } cases[] = {
        {Items({}), {}},
        {Items({2, 4, 5}), {2, 4, 5}},
        {Items({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    };
    for (auto& c : cases) {
        Record r;
        std::string error;
        ASSERT_TRUE(ParseRecord(Finish("00", c.body), nullptr, r, error)) << c.body << ": " << error;
        EXPECT_EQ(r.type, 0);
        EXPECT_EQ(r.items, c.items);
    }
    EXPECT_EQ(Finish("00", Items({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})), "000016010102030405060708090ab9");
    EXPECT_EQ(kAll.EntryChars(), 52u);
}

TEST(LogFormat, FullRecordsOf21And15Entries) {
    for (int n : {21, 15}) {
        std::string body;
        char b[4];
        std::snprintf(b, sizeof b, "%02x", n);
        body = b;
        for (int k = 0; k < n; ++k) body += FullEntry(2, 64 * (k % 15 + 1));
        const std::string line = Finish("01", body);
        EXPECT_EQ(line.size() + 1, static_cast<size_t>(6 + 2 + n * 52 + 2 + 1));
        Record r;
        std::string error;
        ASSERT_TRUE(ParseRecord(line, &kAll, r, error)) << error;
        EXPECT_EQ(r.entries.size(), static_cast<size_t>(n));
        EXPECT_EQ(r.entries[n - 1].offset, static_cast<uint32_t>(64 * ((n - 1) % 15 + 1)));
    }
}

TEST(LogFormat, EntriesWithoutCommandCountFollowFromTheLength) {
    const Layout l = Of({kSelectCode, kOffset});
    Record r;
    std::string error;
    ASSERT_TRUE(ParseRecord(Finish("01", "0200c00104c0"), &l, r, error)) << error;
    ASSERT_EQ(r.entries.size(), 2u);
    EXPECT_FALSE(r.has_count);
    EXPECT_EQ(StationOf(r.entries[0].select, r.entries[0].offset), 3);
    EXPECT_EQ(StationOf(r.entries[1].select, r.entries[1].offset), 3);
    // Count only: a record of nothing but the count is sound.
    const Layout count_only = Of({kCommandCount});
    ASSERT_TRUE(ParseRecord(Finish("01", "05"), &count_only, r, error)) << error;
    EXPECT_EQ(r.count, 5u);
    EXPECT_TRUE(r.entries.empty());
}

TEST(LogFormat, EveryKindOfCorruptionIsNamed) {
    const Layout worked = Of({kCommandCount, kSelectCode, kOffset});
    const Layout count_only = Of({kCommandCount});
    const std::string good = "01000801020040b0";
    std::string wrong_sum = good;
    wrong_sum[15] = '1';
    std::string flipped = good;
    flipped[9] = '3';  // "0103..." : the checksum no longer matches
    const struct {
        const char* name;
        std::string line;
        const Layout* layout;
        const char* expect;
    } cases[] = {
        {"empty", "", &worked, "too few"},
        {"too short", "0100b0", &worked, "too few"},
        {"upper case", "01000801020040B0", &worked, "column 15: character 0x42"},
        {"space", "010008 1020040b0", &worked, "column 7"},
        {"carriage return inside", "0100080102\r040b0", &worked, "column 11: character 0x0d"},
        {"unknown type", Finish("02", "01"), &worked, "unknown record type 02"},
        {"byte count too high", "01000901020040b0", &worked, "byte count says 9 characters, the line holds 8"},
        {"characters lost", "010008010240b0", &worked, "byte count says 8 characters, the line holds 6"},
        {"checksum", wrong_sum, &worked, "checksum b1 does not match the computed b0"},
        {"flipped digit", flipped, &worked, "checksum"},
        {"header not 01", Finish("00", "0202"), nullptr, "does not begin with 01"},
        {"header odd", Finish("00", "010"), nullptr, "odd number"},
        {"header item 0", Finish("00", "0100"), nullptr, "item 00, which does not exist"},
        {"header item 11", Finish("00", "010b"), nullptr, "item 0b, which does not exist"},
        {"header descending", Finish("00", "010402"), nullptr, "must ascend"},
        {"header repeated", Finish("00", "010404"), nullptr, "must ascend"},
        {"before header", good, nullptr, "before the log header"},
        {"count above 21", Finish("01", "16"), &worked, "CommandCount 22 is above 21"},
        {"count vs entries", Finish("01", "0202004002"), &worked, "not whole entries"},
        {"count says more", Finish("01", "02020040"), &worked, "CommandCount says 2 entries, the record holds 1"},
        {"no entry items", Finish("01", "0102"), &count_only, "no entry item"},
    };
    for (auto& c : cases) {
        Record r;
        std::string error;
        EXPECT_FALSE(ParseRecord(c.line, c.layout, r, error)) << c.name;
        EXPECT_NE(error.find(c.expect), std::string::npos) << c.name << ": " << error;
    }
}

TEST(LogFormat, ReadLogNumbersLinesAndKeepsGoing) {
    const std::string header = Finish("00", Items({2, 4, 5}));
    const std::string good = "01000801020040b0";
    const struct {
        const char* name;
        std::string text;
        size_t records;
        std::vector<size_t> bad_lines;
    } cases[] = {
        {"newlines", header + "\n" + good + "\n" + good + "\n", 3, {}},
        {"carriage returns", header + "\r\n" + good + "\r\n", 2, {}},
        {"last line unterminated", header + "\n" + good, 2, {}},
        {"empty file", "", 0, {}},
        {"bad line in the middle", header + "\n" + good + "\n01000801020040b1\n" + good + "\n", 3, {3}},
        {"empty line", header + "\n\n" + good + "\n", 2, {2}},
        {"two carriage returns", header + "\r\r\n" + good + "\n", 0, {1, 2}},
        {"no header", good + "\n" + good + "\n", 0, {1, 2}},
        {"header later", good + "\n" + header + "\n" + good + "\n", 2, {1}},
    };
    for (auto& c : cases) {
        const Log log = ReadLog(c.text);
        EXPECT_EQ(log.records.size(), c.records) << c.name;
        std::vector<size_t> bad;
        for (auto& p : log.problems) bad.push_back(p.line);
        EXPECT_EQ(bad, c.bad_lines) << c.name;
        ASSERT_EQ(log.lines.size(), log.records.size());
    }
}

TEST(LogFormat, StationsOfEntries) {
    const struct {
        uint32_t select, offset;
        int station;
    } cases[] = {
        {2, 64, 1},      {2, 15 * 64, 15}, {2, 0, -1},      {2, 16 * 64, -1},  {2, 2816, -1},
        {3, 192, 3},     {6, 320, 5},      {15, 448, 7},    {18, 960, 15},     {1, 1024 + 192, 3},
        {1, 1024, -1},   {1, 192, -1},     {1, 1024 + 15 * 64, 15},            {4, 64, -1},
        {5, 64, -1},     {7, 64, -1},      {11, 64, -1},    {12, 64, -1},      {0, 64, -1},
    };
    for (auto& c : cases) EXPECT_EQ(StationOf(c.select, c.offset), c.station) << c.select << " " << c.offset;
}

TEST(LogFormat, CommandCodeTable) {
    EXPECT_STREQ(CommandName(0x36), "AxFeed");
    EXPECT_STREQ(CommandName(0x31), "SvOn");
    EXPECT_STREQ(CommandName(0x32), "SvOff");
    EXPECT_STREQ(CommandName(0x3a), "AxHome");
    EXPECT_STREQ(CommandName(0x06), "AlmClr");
    EXPECT_EQ(CommandName(0x77), nullptr);
    for (size_t i = 1; i < kCommandCodeCount; ++i)
        EXPECT_LT(kCommandCodes[i - 1].code, kCommandCodes[i].code) << "ascending and unique";
    EXPECT_EQ(kCommandCodeCount, 28u) << "every code of the template table, 0x00 included";
    EXPECT_STREQ(SelectCodeName(1), "read");
    EXPECT_STREQ(SelectCodeName(2), "write");
    EXPECT_EQ(SelectCodeName(13), nullptr);
    EXPECT_STREQ(ItemName(9), "Sourceadd");
    EXPECT_STREQ(ItemName(11), "?");
}

TEST(LogFormat, DescribeNamesStationsAndCommands) {
    const std::string header = Finish("00", Items({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    const std::string feed = FullEntry(2, 192, "0336000000e803000000000000000000");
    const std::string read = FullEntry(1, 1024 + 192, "00360004000000000000000000000000");
    const Log log = ReadLog(header + "\n" + Finish("01", "02" + feed + read) + "\n");
    ASSERT_TRUE(log.problems.empty());
    ASSERT_EQ(log.records.size(), 2u);
    const Layout l = LayoutOf(log.records[0]);
    EXPECT_EQ(Describe(log.records[0], l),
              "header, items: 01 ByteCount, 02 CommandCount, 03 DeviceNumber, 04 SelectCode, 05 Offset, 06 Size, "
              "07 ReturnCode, 08 AxisBitNumber, 09 Sourceadd, 0a CheckSum\n");
    const std::string text = Describe(log.records[1], l);
    EXPECT_NE(text.find("command record, 2 entries (CommandCount 2)"), std::string::npos) << text;
    EXPECT_NE(text.find("#0  device 1 select 2 (write) offset 192 (0x00c0) station 3 size 16 rc 0x00 (0) axis bits "
                        "00000000\n      data 03 36 00 00 00 e8 03"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("command 0x36 AxFeed"), std::string::npos) << text;
    EXPECT_NE(text.find("select 1 (read) offset 1216 (0x04c0) station 3"), std::string::npos) << text;
    EXPECT_NE(text.find("response to 0x36 AxFeed"), std::string::npos) << text;
}
