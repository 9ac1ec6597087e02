// qrlogdump: checks and prints a call log of qrlink00.
//
//   qrlogdump [-c] FILE...
//
// Every line's byte count and checksum are verified; every record is printed
// readably (with -c only the problems and a summary). Exit status: 0 when every
// line is sound, 1 when some line is corrupted, 2 when a file cannot be read or
// the arguments are wrong.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "logformat.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: qrlogdump [-c] FILE...\n"
                 "  prints every record of a qrlink00 call log after checking its byte count\n"
                 "  and checksum; corrupted lines are reported as FILE:LINE: reason.\n"
                 "  -c  check only: print the problems and a summary, not the records\n");
}

bool ReadFile(const char* path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return !in.bad();
}

// Returns the number of corrupted lines, or -1 when the file cannot be read.
long Dump(const char* path, bool check_only) {
    std::string text;
    if (!ReadFile(path, text)) {
        std::fprintf(stderr, "qrlogdump: %s: cannot be read\n", path);
        return -1;
    }
    const qrlog::Log log = qrlog::ReadLog(text);
    size_t next_problem = 0, next_record = 0;
    qrlog::Layout layout;
    // Records and problems in line order, so the output reads like the file.
    while (next_problem < log.problems.size() || next_record < log.records.size()) {
        const bool problem_first =
            next_record >= log.records.size() ||
            (next_problem < log.problems.size() && log.problems[next_problem].line < log.lines[next_record]);
        if (problem_first) {
            const qrlog::Problem& p = log.problems[next_problem++];
            std::fflush(stdout);
            std::fprintf(stderr, "%s:%lu: corrupted line: %s\n", path, static_cast<unsigned long>(p.line),
                         p.what.c_str());
            std::fflush(stderr);
            continue;
        }
        const qrlog::Record& r = log.records[next_record];
        const size_t line = log.lines[next_record++];
        if (r.type == 0) layout = qrlog::LayoutOf(r);
        if (!check_only) std::printf("%s:%lu: %s", path, static_cast<unsigned long>(line), qrlog::Describe(r, layout).c_str());
    }
    std::printf("%s: %lu records, %lu corrupted lines\n", path, static_cast<unsigned long>(log.records.size()),
                static_cast<unsigned long>(log.problems.size()));
    return static_cast<long>(log.problems.size());
}

}  // namespace

int main(int argc, char** argv) {
    bool check_only = false;
    int first = 1;
    for (; first < argc && argv[first][0] == '-' && argv[first][1] != '\0'; ++first) {
        if (std::strcmp(argv[first], "-h") == 0 || std::strcmp(argv[first], "--help") == 0) {
            Usage();
            return 0;
        } else if (std::strcmp(argv[first], "-c") == 0) {
            check_only = true;
        } else if (std::strcmp(argv[first], "--") == 0) {
            ++first;
            break;
        } else {
            Usage();
            return 2;
        }
    }
    if (first >= argc) {
        Usage();
        return 2;
    }
    int status = 0;
    for (int i = first; i < argc; ++i) {
        const long bad = Dump(argv[i], check_only);
        if (bad < 0) {
            status = 2;
        } else if (bad > 0 && status == 0) {
            status = 1;
        }
    }
    std::fflush(stdout);
    return status;
}
