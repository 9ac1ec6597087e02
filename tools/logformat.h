// The call log's record format, read back: parsing and checking of header and
// command records, and their readable description.
//
// This reader is written independently of the library's writer, so the tests can
// use it as a second opinion on every line the library produces.
//
// A log file is text, one record per line, every field lower-case hexadecimal,
// zero-padded to a fixed width, no separators:
//   header   "00" count(4) "01" item numbers(2 each, ascending) checksum(2)
//   command  "01" count(4) [CommandCount(2)] per entry: [DeviceNumber(2)]
//            [SelectCode(2)] [Offset(4)] [Size(2)] [ReturnCode(2)]
//            [AxisBitNumber(8)] [Data 0..15 (32)] ... checksum(2)
// count = characters from position 6 up to the checksum; checksum = one's
// complement of the low byte of the sum of the characters from position 2 up to
// the checksum. The fields in brackets are present when the header lists them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qrlog {

// Item numbers as the header lists them.
enum Item : int {
    kByteCount = 1, kCommandCount, kDeviceNumber, kSelectCode, kOffset,
    kSize, kReturnCode, kAxisBitNumber, kSourceadd, kCheckSum,
};
constexpr int kItems = 10;
constexpr int kMaxEntries = 21;
constexpr size_t kDataBytes = 16;

// "ByteCount", "CommandCount", ... for 1..10; "?" otherwise.
const char* ItemName(int item);

// Which items a log's header switched on, and what that makes of a record.
struct Layout {
    bool on[kItems + 1] = {};  // indexed by item number
    // Characters one entry takes.
    size_t EntryChars() const;
};

struct Entry {
    uint32_t device = 0, select = 0, offset = 0, size = 0, return_code = 0, axis_bits = 0;
    uint8_t data[kDataBytes] = {};
};

struct Record {
    int type = -1;  // 0 header, 1 command
    uint32_t byte_count = 0;
    uint32_t checksum = 0;
    std::vector<int> items;       // header: item numbers in the order listed
    bool has_count = false;       // command: CommandCount field present
    uint32_t count = 0;
    std::vector<Entry> entries;   // command
};

// One's complement of the low byte of the sum of text[begin, end).
uint32_t Checksum(const std::string& text, size_t begin, size_t end);

// Checks and parses one line (newline and a trailing carriage return already
// removed). `layout` is the header in force, nullptr before the first header.
// On failure returns false with a description of what is wrong.
bool ParseRecord(const std::string& line, const Layout* layout, Record& out, std::string& error);

// The layout a header record announces.
Layout LayoutOf(const Record& header);

// The station (1..15) an entry addresses through its Offset, or -1: the command
// area (station x 64) for select codes 2, 3, 6, 15 and 18, the response area
// (station x 64 + 1024) for select code 1; driver requests address none.
int StationOf(uint32_t select, uint32_t offset);

// Names of select codes ("read", "write", ...) and of command codes ("AxFeed", ...);
// nullptr when unknown.
const char* SelectCodeName(uint32_t select);
const char* CommandName(uint8_t code);

struct CommandCode {
    uint8_t code;
    const char* name;
};
// Every command code the library sends, ascending.
extern const CommandCode kCommandCodes[];
extern const size_t kCommandCodeCount;

// A whole log file.
struct Problem {
    size_t line;  // 1-based
    std::string what;
};
struct Log {
    std::vector<Record> records;
    std::vector<size_t> lines;  // line number of each record
    std::vector<Problem> problems;
};
// Splits on "\n" (a "\r" before it is dropped) and checks every line. A final
// line without its newline is still read.
Log ReadLog(const std::string& text);

// Readable text of one record, several lines, each ending in "\n".
std::string Describe(const Record& r, const Layout& layout);

}  // namespace qrlog
