// Version and date texts of installed files: the fixed file version of a module's
// version resource ("a.b.c.d") and its last-write date ("yyyy/mm/dd").
// Shared by the main dialog's Version page and the compatibility dialog.
#pragma once
#include <windows.h>
#include <string>

// Shown wherever a file cannot be opened or carries no version resource.
extern const wchar_t kFileNotFoundText[];  // L"File Not Found"

struct VersionQuad {
  unsigned long a, b, c, d;
};

// Four numbers of the fixed file version (high/low word of MS, then of LS).
// False when the file is missing or has no version resource.
bool ReadFileVersion(const char* path, VersionQuad& v);

// "a.b.c.d" in decimal, no leading zeros.
std::wstring VersionText(const VersionQuad& v);

// Turns a version text back into its numbers: split at '.', each piece the value
// of its leading digits (none: 0); missing pieces are 0.
VersionQuad ParseVersion(const wchar_t* text);
VersionQuad ParseVersion(const char* text);

// The version text of a file; false (text "File Not Found") when it has none.
bool FileVersionText(const char* path, std::wstring& text);

// Last-write date in local time as "%d/%.2d/%.2d"; false (text "File Not Found")
// when the file cannot be opened exclusively.
bool FileDateText(const char* path, std::wstring& text);

// The same texts put into control `id` of `dlg`; 0 on success, -1 otherwise.
int ShowFileVersionText(HWND dlg, int id, const char* path);
int ShowFileDateText(HWND dlg, int id, const char* path);
