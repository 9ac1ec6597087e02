// Window-free part of the software compatibility check: the table of version ranges
// that fit together, the range rule, the choice of a set from the installed driver and
// the verdict and colour decisions of the dialog.
#pragma once
#include <windows.h>
#include <string>

#include "versioninfo.h"

// One row: file name (documents the row only), lowest and highest version as text.
struct CompatRow {
  char file[13];
  char lowest[21];
  char highest[21];
};

// One set, rows always in the order driver, library, utility.
struct CompatSet {
  CompatRow driver;
  CompatRow library;
  CompatRow utility;
};

constexpr int kCompatSetCount = 6;
extern const CompatSet kCompatTable[kCompatSetCount];

// Each of the four numbers within its own bounds (not an order of whole versions).
bool VersionInRange(const VersionQuad& v, const char* lowest, const char* highest);
bool VersionInRow(const VersionQuad& v, const CompatRow& row);

// The first set whose driver range holds the driver's version. No driver (nullptr), or
// a version in none of the driver ranges, gives set 0, whose utility range admits no
// utility, so the check then fails.
int SelectCompatSet(const VersionQuad* driver);

// "lowest ～ highest" of the set's library row.
std::wstring LibraryRangeText(int set);

// Outcome of the check button; nullptr stands for a file shown as "File Not Found".
struct CompatVerdict {
  bool utilityFails;
  bool libraryFails;
  bool ok() const { return !utilityFails && !libraryFails; }
};
CompatVerdict CheckCompat(int set, const VersionQuad* utility, const VersionQuad* library);

extern const wchar_t kVerdictOkLine1[];
extern const wchar_t kVerdictOkLine2[];
extern const wchar_t kVerdictFaultLine1[];
extern const wchar_t kVerdictFaultLine2[];

// Flags that decide the red drawing; all clear when the dialog opens.
struct CompatFlags {
  bool attention;
  bool driverMissing;
  bool utilityFails;
  bool libraryFails;
};

constexpr COLORREF kCompatBlack = RGB(0, 0, 0);
constexpr COLORREF kCompatRed = RGB(255, 0, 0);

// Text colour for the static control `id`; false: leave the default text colour.
bool CompatTextColour(const CompatFlags& flags, int id, COLORREF& colour);
