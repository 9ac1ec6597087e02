#include "logformat.h"

#include "cmdbuf.h"

#include <cstdio>

namespace qrlog {

namespace {

constexpr size_t kHeadChars = 6;      // type(2) and byte count(4)
constexpr size_t kChecksumChars = 2;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Value of text[at, at + width); the caller has checked the digits.
uint32_t Hex(const std::string& text, size_t at, size_t width) {
    uint32_t v = 0;
    for (size_t i = 0; i < width; ++i) v = (v << 4) | static_cast<uint32_t>(HexDigit(text[at + i]));
    return v;
}

std::string Format(const char* fmt, unsigned long a, unsigned long b = 0) {
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

// Field widths of one entry, in record order, by item number.
struct Field {
    int item;
    size_t width;
};
constexpr Field kEntryFields[] = {
    {kDeviceNumber, 2}, {kSelectCode, 2}, {kOffset, 4}, {kSize, 2},
    {kReturnCode, 2},   {kAxisBitNumber, 8}, {kSourceadd, 2 * kDataBytes},
};

bool ParseHeader(const std::string& line, size_t body, size_t end, Record& out, std::string& error) {
    if (end - body < 2 || line.compare(body, 2, "01") != 0) {
        error = "header record does not begin with 01";
        return false;
    }
    if ((end - body) % 2 != 0) {
        error = "header record has an odd number of item digits";
        return false;
    }
    int last = 0;
    for (size_t at = body + 2; at < end; at += 2) {
        const int item = static_cast<int>(Hex(line, at, 2));
        if (item < 1 || item > kItems) {
            error = Format("header lists item %02lx, which does not exist", static_cast<unsigned long>(item));
            return false;
        }
        if (item <= last) {
            error = Format("header lists item %02lx after item %02lx: items must ascend", static_cast<unsigned long>(item),
                           static_cast<unsigned long>(last));
            return false;
        }
        out.items.push_back(item);
        last = item;
    }
    return true;
}

bool ParseCommand(const std::string& line, size_t body, size_t end, const Layout& layout, Record& out,
                  std::string& error) {
    size_t at = body;
    if (layout.on[kCommandCount]) {
        if (end - at < 2) {
            error = "command record too short for its CommandCount";
            return false;
        }
        out.has_count = true;
        out.count = Hex(line, at, 2);
        at += 2;
        if (out.count > kMaxEntries) {
            error = Format("CommandCount %lu is above %lu", out.count, kMaxEntries);
            return false;
        }
    }
    const size_t width = layout.EntryChars();
    const size_t rest = end - at;
    if (width == 0) {
        if (rest != 0) {
            error = Format("%lu characters of entry data, but the header switches no entry item on", rest);
            return false;
        }
        return true;
    }
    if (rest % width != 0) {
        error = Format("%lu characters of entry data are not whole entries of %lu characters", rest, width);
        return false;
    }
    const size_t n = rest / width;
    if (out.has_count && n != out.count) {
        error = Format("CommandCount says %lu entries, the record holds %lu", out.count, n);
        return false;
    }
    if (n > static_cast<size_t>(kMaxEntries)) {
        error = Format("the record holds %lu entries, more than %lu", n, kMaxEntries);
        return false;
    }
    for (size_t k = 0; k < n; ++k) {
        Entry e;
        for (const Field& f : kEntryFields) {
            if (!layout.on[f.item]) continue;
            switch (f.item) {
            case kDeviceNumber: e.device = Hex(line, at, f.width); break;
            case kSelectCode: e.select = Hex(line, at, f.width); break;
            case kOffset: e.offset = Hex(line, at, f.width); break;
            case kSize: e.size = Hex(line, at, f.width); break;
            case kReturnCode: e.return_code = Hex(line, at, f.width); break;
            case kAxisBitNumber: e.axis_bits = Hex(line, at, f.width); break;
            case kSourceadd:
                for (size_t i = 0; i < kDataBytes; ++i) e.data[i] = static_cast<uint8_t>(Hex(line, at + 2 * i, 2));
                break;
            default: break;
            }
            at += f.width;
        }
        out.entries.push_back(e);
    }
    return true;
}

}  // namespace

const char* ItemName(int item) {
    static const char* const names[kItems] = {
        "ByteCount", "CommandCount", "DeviceNumber", "SelectCode", "Offset",
        "Size", "ReturnCode", "AxisBitNumber", "Sourceadd", "CheckSum",
    };
    return item >= 1 && item <= kItems ? names[item - 1] : "?";
}

size_t Layout::EntryChars() const {
    size_t n = 0;
    for (const Field& f : kEntryFields)
        if (on[f.item]) n += f.width;
    return n;
}

uint32_t Checksum(const std::string& text, size_t begin, size_t end) {
    uint32_t sum = 0;
    for (size_t i = begin; i < end && i < text.size(); ++i) sum += static_cast<unsigned char>(text[i]);
    return ~sum & 0xFF;
}

bool ParseRecord(const std::string& line, const Layout* layout, Record& out, std::string& error) {
    out = Record{};
    const size_t len = line.size();
    if (len < kHeadChars + kChecksumChars) {
        error = Format("%lu characters are too few for a record (at least %lu)", len, kHeadChars + kChecksumChars);
        return false;
    }
    for (size_t i = 0; i < len; ++i) {
        if (HexDigit(line[i]) < 0) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            error = Format("column %lu: character 0x%02lx is not a lower-case hexadecimal digit", i + 1, c);
            return false;
        }
    }
    out.type = static_cast<int>(Hex(line, 0, 2));
    if (out.type != 0 && out.type != 1) {
        error = Format("unknown record type %02lx", static_cast<unsigned long>(out.type));
        return false;
    }
    out.byte_count = Hex(line, 2, 4);
    const size_t end = len - kChecksumChars;
    if (out.byte_count != end - kHeadChars) {
        error = Format("byte count says %lu characters, the line holds %lu", out.byte_count, end - kHeadChars);
        return false;
    }
    out.checksum = Hex(line, end, 2);
    const uint32_t sum = Checksum(line, 2, end);
    if (out.checksum != sum) {
        error = Format("checksum %02lx does not match the computed %02lx", out.checksum, sum);
        return false;
    }
    if (out.type == 0) return ParseHeader(line, kHeadChars, end, out, error);
    if (layout == nullptr) {
        error = "command record before the log header";
        return false;
    }
    return ParseCommand(line, kHeadChars, end, *layout, out, error);
}

Layout LayoutOf(const Record& header) {
    Layout l;
    for (int item : header.items)
        if (item >= 1 && item <= kItems) l.on[item] = true;
    return l;
}

int StationOf(uint32_t select, uint32_t offset) {
    return qrl::StationOfEntry(static_cast<int32_t>(select), static_cast<int32_t>(offset));
}

const char* SelectCodeName(uint32_t select) {
    switch (select) {
    case 1: return "read";
    case 2: return "write";
    case 3: return "axis data";
    case 4: return "LkStart";
    case 5: return "AxdtClr";
    case 6: return "interpolation data";
    case 7: return "IpStrt";
    case 8: return "IpStrtRp";
    case 9: return "IpdtClr";
    case 10: return "IpStop";
    case 11: return "IpNumGet";
    case 12: return "IpNumMax";
    case 15: return "input read";
    case 18: return "I/O station init";
    default: return nullptr;
    }
}

const CommandCode kCommandCodes[] = {
    {0x00, "RdyWait/RspWait/Dout"},
    {0x01, "PrmGet"},
    {0x02, "PrmPut"},
    {0x03, "IdGet"},
    {0x04, "Config"},
    {0x06, "AlmClr"},
    {0x0d, "BdOpen final set-up"},
    {0x0e, "BdOpen station set-up"},
    {0x0f, "BdClose"},
    {0x1b, "PprmGet"},
    {0x1c, "PprmPut"},
    {0x20, "PosiPut"},
    {0x21, "AxEmg"},
    {0x22, "AxEmgOff"},
    {0x23, "EncdrOn"},
    {0x24, "EncdrOff"},
    {0x25, "AxDown"},
    {0x26, "MlockOn"},
    {0x27, "MlockOff"},
    {0x30, "MonGet/IodtGet"},
    {0x31, "SvOn"},
    {0x32, "SvOff"},
    {0x34, "IpdtSet"},
    {0x35, "AxNc/AxdtSt"},
    {0x36, "AxFeed"},
    {0x39, "AxNcEx"},
    {0x3a, "AxHome"},
    {0x3e, "AbsIni"},
};
const size_t kCommandCodeCount = sizeof kCommandCodes / sizeof kCommandCodes[0];

const char* CommandName(uint8_t code) {
    for (size_t i = 0; i < kCommandCodeCount; ++i)
        if (kCommandCodes[i].code == code) return kCommandCodes[i].name;
    return nullptr;
}

Log ReadLog(const std::string& text) {
    Log log;
    Layout layout;
    bool have_layout = false;
    size_t pos = 0, number = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        const bool last = nl == std::string::npos;
        if (last) nl = text.size();
        std::string line = text.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos = last ? nl : nl + 1;
        ++number;
        Record r;
        std::string error;
        if (!ParseRecord(line, have_layout ? &layout : nullptr, r, error)) {
            log.problems.push_back({number, error});
            continue;
        }
        if (r.type == 0) {
            layout = LayoutOf(r);
            have_layout = true;
        }
        log.records.push_back(std::move(r));
        log.lines.push_back(number);
    }
    return log;
}

std::string Describe(const Record& r, const Layout& layout) {
    std::string out;
    char buf[128];
    if (r.type == 0) {
        out = "header, items:";
        if (r.items.empty()) out += " none";
        for (size_t i = 0; i < r.items.size(); ++i) {
            std::snprintf(buf, sizeof buf, "%s %02x %s", i ? "," : "", r.items[i], ItemName(r.items[i]));
            out += buf;
        }
        out += "\n";
        return out;
    }
    std::snprintf(buf, sizeof buf, "command record, %u entr%s", static_cast<unsigned>(r.entries.size()),
                  r.entries.size() == 1 ? "y" : "ies");
    out = buf;
    if (r.has_count) {
        std::snprintf(buf, sizeof buf, " (CommandCount %u)", r.count);
        out += buf;
    }
    out += "\n";
    for (size_t k = 0; k < r.entries.size(); ++k) {
        const Entry& e = r.entries[k];
        std::snprintf(buf, sizeof buf, "  #%-2u", static_cast<unsigned>(k));
        out += buf;
        if (layout.on[kDeviceNumber]) {
            std::snprintf(buf, sizeof buf, " device %u", e.device);
            out += buf;
        }
        if (layout.on[kSelectCode]) {
            const char* name = SelectCodeName(e.select);
            std::snprintf(buf, sizeof buf, " select %u (%s)", e.select, name ? name : "unknown");
            out += buf;
        }
        if (layout.on[kOffset]) {
            std::snprintf(buf, sizeof buf, " offset %u (0x%04x)", e.offset, e.offset);
            out += buf;
            if (layout.on[kSelectCode]) {
                const int station = StationOf(e.select, e.offset);
                if (station > 0) {
                    std::snprintf(buf, sizeof buf, " station %d", station);
                } else {
                    std::snprintf(buf, sizeof buf, " no station");
                }
                out += buf;
            }
        }
        if (layout.on[kSize]) {
            std::snprintf(buf, sizeof buf, " size %u", e.size);
            out += buf;
        }
        if (layout.on[kReturnCode]) {
            std::snprintf(buf, sizeof buf, " rc 0x%02x (%d)", e.return_code, static_cast<int8_t>(e.return_code));
            out += buf;
        }
        if (layout.on[kAxisBitNumber]) {
            std::snprintf(buf, sizeof buf, " axis bits %08x", e.axis_bits);
            out += buf;
        }
        if (layout.on[kSourceadd]) {
            out += "\n      data";
            for (size_t i = 0; i < kDataBytes; ++i) {
                std::snprintf(buf, sizeof buf, " %02x", e.data[i]);
                out += buf;
            }
            // A command entry carries 0x03 and its command code; a response read
            // returns the code of the last command the station answered.
            const bool command = e.data[0] == 0x03;
            const bool response = layout.on[kSelectCode] && e.select == 1;
            if (command || response) {
                const char* name = CommandName(e.data[1]);
                std::snprintf(buf, sizeof buf, "  %s 0x%02x %s", response ? "response to" : "command", e.data[1],
                              name ? name : "(unknown command)");
                out += buf;
            }
        }
        out += "\n";
    }
    return out;
}

}  // namespace qrlog
