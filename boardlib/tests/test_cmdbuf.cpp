// The exchange block layout, the template table and the four builders.
#include <gtest/gtest.h>

#include "cmdbuf.h"
#include "fakes.h"

using namespace qrl;

TEST(CommandBuffer, LayoutIsLittleEndianAtFixedOffsets) {
    CommandBuffer b;
    b.SetCount(0x01020304);
    EXPECT_EQ(fake::Hex(b.raw, 4), "04 03 02 01");
    b.SetField(20, kReturnCode, -2);
    EXPECT_EQ(fake::Hex(b.raw + kBufferSize - 4, 4), "FE FF FF FF");  // last field of entry 20
    b.SetField(1, kOffset, 0x0400);
    EXPECT_EQ(b.raw[4 + 60 + 48], 0x00);
    EXPECT_EQ(b.raw[4 + 60 + 49], 0x04);
}

TEST(Templates, RowsHoldTheirCommandCodes) {
    // (template, expected first bytes)
    const struct {
        int tpl;
        const char* hex;
    } rows[] = {
        {0, "00 00"},       {1, "03 06"},  {2, "03 0D"},  {3, "03 30"},  {4, "03 00"},  {5, "03 25"},
        {6, "03 35"},       {7, "03 21"},  {8, "03 22"},  {9, "03 36"},  {10, "03 3A"}, {11, "03 39"},
        {12, "03 31"},      {13, "03 32"}, {14, "03 0E"}, {15, "03 0F"}, {16, "03 04"}, {17, "03 23"},
        {18, "03 24"},      {19, "03 34"}, {20, "03 27"}, {21, "03 26"}, {22, "03 20"}, {23, "03 1B"},
        {24, "03 1C"},      {25, "03 01"}, {26, "03 02"},
    };
    for (auto& r : rows) EXPECT_EQ(fake::Hex(kTemplates[r.tpl], 2), r.hex) << "template " << r.tpl;
    EXPECT_EQ(fake::Hex(kTemplates[27], 17), "03 3E 00 00 00 01 00 20 08 10 00 00 00 00 00 00 00");
    EXPECT_EQ(fake::Hex(kTemplates[28], 17), "03 3E 00 00 00 01 01 20 02 00 00 00 00 00 00 00 00");
    EXPECT_EQ(fake::Hex(kTemplates[29], 17), "03 3E 00 00 00 01 01 20 01 00 00 00 00 00 00 00 00");
    EXPECT_EQ(fake::Hex(kTemplates[30], 17), "03 03 00 00 00 00 00 08 00 00 00 00 00 00 00 00 00");
}

// The named command codes the library compares responses with are the codes its
// templates send.
TEST(Templates, NamedCommandCodesMatchTheRows) {
    const struct {
        int tpl;
        CommandCode code;
    } rows[] = {
        {kTplAlarmClear, kCmdAlarmClear}, {kTplFinalSetup, kCmdFinalSetup}, {kTplMonitor, kCmdMonitor},
        {kTplArea, kCmdNone},             {kTplDown, kCmdDown},             {kTplNc, kCmdNc},
        {kTplEmg, kCmdEmg},               {kTplEmgOff, kCmdEmgOff},         {kTplFeed, kCmdFeed},
        {kTplHome, kCmdHome},             {kTplNcEx, kCmdNcEx},             {kTplSvOn, kCmdSvOn},
        {kTplSvOff, kCmdSvOff},           {kTplStationSetup, kCmdStationSetup}, {kTplClose, kCmdClose},
        {kTplConfig, kCmdConfig},         {kTplEncdrOn, kCmdEncdrOn},       {kTplEncdrOff, kCmdEncdrOff},
        {kTplIpData, kCmdIpData},         {kTplMlockOff, kCmdMlockOff},     {kTplMlockOn, kCmdMlockOn},
        {kTplPosiPut, kCmdPosiPut},       {kTplPprmGet, kCmdPprmGet},       {kTplPprmPut, kCmdPprmPut},
        {kTplPrmGet, kCmdPrmGet},         {kTplPrmPut, kCmdPrmPut},         {kTplAbsIni1, kCmdAbsIni},
        {kTplAbsIni2, kCmdAbsIni},        {kTplAbsIni3, kCmdAbsIni},        {kTplIdGet, kCmdIdGet},
    };
    for (auto& r : rows) EXPECT_EQ(CommandOf(r.tpl), r.code) << "template " << r.tpl;
}

TEST(Builders, BookkeepingAndUntouchedTail) {
    CommandBuffer b;
    std::memset(b.Data(3), 0xAA, kDataSize);
    b.SetField(3, kReturnCode, 77);
    b.SetField(3, kAxisBitNumber, 5);
    SetTemplateEntry(b, 3, kSelWrite, 192, kTplFeed, 16);
    EXPECT_EQ(b.Count(), 1) << "a builder for entry 3 still leaves CommandCount at 1";
    EXPECT_EQ(b.Field(3, kDeviceNumber), 1);
    EXPECT_EQ(b.Field(3, kSelectCode), 2);
    EXPECT_EQ(b.Field(3, kOffset), 192);
    EXPECT_EQ(b.Field(3, kSize), 16);
    EXPECT_EQ(b.Field(3, kAxisBitNumber), 0);
    EXPECT_EQ(b.Field(3, kReturnCode), 0);
    EXPECT_EQ(fake::Hex(b.Data(3), 2), "03 36");
    EXPECT_EQ(b.Data(3)[16], 0xAA) << "bytes beyond Size are left untouched";

    SetTemplateEntryBits(b, 0, kSelIpData, 128, kTplIpData, 16, 0x12345678);
    EXPECT_EQ(b.Field(0, kAxisBitNumber), 0x12345678);

    const uint8_t bytes[3] = {9, 8, 7};
    std::memset(b.Data(1), 0x55, kDataSize);
    SetDataEntry(b, 1, kSelWrite, 1024, bytes, 3);
    EXPECT_EQ(b.Field(1, kSize), 3);
    EXPECT_EQ(fake::Hex(b.Data(1), 4), "09 08 07 55");

    SetByteEntry(b, 2, kSelWrite, 2816, 9);
    EXPECT_EQ(b.Field(2, kSize), 1);
    EXPECT_EQ(b.Data(2)[0], 9);
}

TEST(Builders, OutOfRangeArgumentsNeverWriteOutsideTheBuffer) {
    CommandBuffer b;
    SetTemplateEntry(b, 21, kSelWrite, 0, 1, 16);   // no entry 21
    SetTemplateEntry(b, 0, kSelWrite, 0, 31, 16);   // no template 31
    SetTemplateEntry(b, -1, kSelWrite, 0, 1, 16);
    SetDataEntry(b, 0, kSelWrite, 0, kTemplates[1], 99);  // clamps to 36
    EXPECT_EQ(b.Field(0, kSize), 36);
    SetTemplateEntry(b, 0, kSelWrite, 0, 1, 40);  // clamps to 17
    EXPECT_EQ(b.Field(0, kSize), 17);
}
