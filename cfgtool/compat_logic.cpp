// Compatibility table and the rules applied to it.
#include "compat_logic.h"

#include "resource.h"

// Which driver, library and utility versions were released to work together. A 9999 in
// a highest version lets that number take any value. The utility range of set 0 admits
// no real utility: a driver that old (or none at all) can never pass.
const CompatSet kCompatTable[kCompatSetCount] = {
    {{"vx710s10.sys", "0.0.0.0", "1.0.1.3"},
     {"qrlink00.dll", "6.0.1.95", "6.0.1.9999"},
     {"vx710cfg.exe", "9999.9999.9999.9999", "9999.9999.9999.9999"}},
    {{"vx710s10.sys", "1.0.1.4", "1.0.1.9999"},
     {"qrlink00.dll", "6.0.1.95", "6.0.1.9999"},
     {"vx710cfg.exe", "6.1.0.4", "6.1.0.9999"}},
    {{"vx710s10.sys", "6.0.0.0", "6.0.0.9999"},
     {"qrlink00.dll", "6.0.1.95", "6.0.1.9999"},
     {"vx710cfg.exe", "6.1.0.4", "6.1.0.9999"}},
    {{"vx710s10.sys", "6.2.0.0", "6.2.0.9999"},
     {"qrlink00.dll", "6.2.0.0", "6.3.3.9999"},
     {"vx710cfg.exe", "6.2.0.0", "6.3.0.9999"}},
    {{"vx710s10.sys", "6.2.1.0", "6.2.1.9999"},
     {"qrlink00.dll", "6.5.0.0", "6.5.3.9999"},
     {"vx710cfg.exe", "6.2.0.0", "6.3.0.9999"}},
    {{"vx710s10.sys", "6.3.0.0", "6.3.0.9999"},
     {"qrlink00.dll", "6.4.0.0", "6.5.3.9999"},
     {"vx710cfg.exe", "6.3.0.0", "6.3.0.9999"}},
};

static_assert(sizeof(CompatRow) == 55, "a row is three fixed-width text fields");
static_assert(sizeof(CompatSet) == 165, "a set is three rows");

const wchar_t kVerdictOkLine1[] = L"各ファイル間での互換性が確認されました。";
const wchar_t kVerdictOkLine2[] = L"すべてのVX-7105ソフトウェアはこのコンピュータ上で正常に動作します。";
const wchar_t kVerdictFaultLine1[] = L"ファイル間での互換性に異常が検出されました。";
const wchar_t kVerdictFaultLine2[] = L"VX-7105ソフトウェアをこのコンピュータ上で動作させることができません。";

bool VersionInRange(const VersionQuad& v, const char* lowest, const char* highest) {
  const VersionQuad lo = ParseVersion(lowest);
  const VersionQuad hi = ParseVersion(highest);
  return lo.a <= v.a && v.a <= hi.a && lo.b <= v.b && v.b <= hi.b && lo.c <= v.c &&
         v.c <= hi.c && lo.d <= v.d && v.d <= hi.d;
}

bool VersionInRow(const VersionQuad& v, const CompatRow& row) {
  return VersionInRange(v, row.lowest, row.highest);
}

int SelectCompatSet(const VersionQuad* driver) {
  if (!driver) return 0;
  for (int set = 0; set < kCompatSetCount; ++set) {
    if (VersionInRow(*driver, kCompatTable[set].driver)) return set;
  }
  return 0;
}

static std::wstring Widen(const char* ascii) {
  std::wstring out;
  for (; *ascii; ++ascii) out += static_cast<wchar_t>(static_cast<unsigned char>(*ascii));
  return out;
}

std::wstring LibraryRangeText(int set) {
  if (set < 0 || set >= kCompatSetCount) set = 0;
  const CompatRow& row = kCompatTable[set].library;
  return Widen(row.lowest) + L" ～ " + Widen(row.highest);
}

CompatVerdict CheckCompat(int set, const VersionQuad* utility, const VersionQuad* library) {
  if (set < 0 || set >= kCompatSetCount) set = 0;
  const CompatSet& s = kCompatTable[set];
  CompatVerdict verdict{true, true};
  if (utility && VersionInRow(*utility, s.utility)) verdict.utilityFails = false;
  if (library && VersionInRow(*library, s.library)) verdict.libraryFails = false;
  return verdict;
}

bool CompatTextColour(const CompatFlags& flags, int id, COLORREF& colour) {
  if (!flags.attention) {
    colour = kCompatBlack;
    return true;
  }
  bool red = false;
  switch (id) {
    case IDC_CPT_VERDICT1:
    case IDC_CPT_VERDICT2:
      red = true;
      break;
    case IDC_CPT_LIB_VERSION:
    case IDC_CPT_LIB_DATE:
      red = flags.libraryFails;
      break;
    case IDC_CPT_UTIL_VERSION:
    case IDC_CPT_UTIL_DATE:
      red = flags.utilityFails;
      break;
    case IDC_CPT_DRV_VERSION:
    case IDC_CPT_DRV_DATE:
      red = flags.driverMissing;
      break;
    default:
      break;
  }
  if (red) colour = kCompatRed;
  return red;
}
