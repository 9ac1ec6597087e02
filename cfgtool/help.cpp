#include "help.h"

#include <cstring>

namespace {

// HtmlHelpA and the commands of it that the utility uses.
using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
constexpr UINT kHhDisplayContext = 15;   // HH_HELP_CONTEXT
constexpr UINT kHhInitialize = 28;
constexpr UINT kHhUninitialize = 29;
constexpr UINT kHhPreTranslateMessage = 253;
constexpr const char kHtmlHelpClsidKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

char g_helpPath[261] = "";
DWORD_PTR g_cookie = 0;
HMODULE g_module = nullptr;
HtmlHelpFn g_htmlHelp = nullptr;
bool g_loadFailed = false;
HelpTopicObserver g_observer = nullptr;

// The registered HTML Help control first, then the usual file by name. Whatever loads
// stays loaded for the rest of the run; a failure is not retried.
HtmlHelpFn Entry() {
    if (g_htmlHelp) return g_htmlHelp;
    if (g_loadFailed) return nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHtmlHelpClsidKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char path[261] = "";
        DWORD size = 260, type = 0;
        if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size) == ERROR_SUCCESS &&
            path[0])
            g_module = LoadLibraryA(path);
        RegCloseKey(key);
    }
    if (!g_module) g_module = LoadLibraryA("hhctrl.ocx");
    if (g_module) g_htmlHelp = reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(g_module, MAKEINTRESOURCEA(14))));
    if (!g_htmlHelp) g_loadFailed = true;
    return g_htmlHelp;
}

}  // namespace

void BuildHelpFilePath() {
    char dir[261] = "";
    UINT n = GetSystemDirectoryA(dir, sizeof dir);
    if (n == 0 || n >= sizeof dir) dir[0] = '\0';
    const char file[] = "\\vx710cfg.chm";
    size_t len = strlen(dir);
    if (len + sizeof file > sizeof g_helpPath) len = sizeof g_helpPath - sizeof file;
    memcpy(g_helpPath, dir, len);
    memcpy(g_helpPath + len, file, sizeof file);
}

const char* HelpFilePath() {
    if (!g_helpPath[0]) BuildHelpFilePath();
    return g_helpPath;
}

bool ShowHelpTopic(unsigned topic) {
    if (g_observer) g_observer(topic);
    HtmlHelpFn fn = Entry();
    if (!fn) return false;
    fn(nullptr, HelpFilePath(), kHhDisplayContext, topic);
    return true;
}

void HelpInitialize() {
    if (HtmlHelpFn fn = Entry()) fn(nullptr, nullptr, kHhInitialize, reinterpret_cast<DWORD_PTR>(&g_cookie));
}

bool HelpPreTranslate(MSG* msg) {
    HtmlHelpFn fn = Entry();
    return fn && fn(nullptr, nullptr, kHhPreTranslateMessage, reinterpret_cast<DWORD_PTR>(msg)) != nullptr;
}

void HelpUninitialize() {
    if (HtmlHelpFn fn = Entry()) fn(nullptr, nullptr, kHhUninitialize, g_cookie);
}

void SetHelpTopicObserver(HelpTopicObserver observer) { g_observer = observer; }

bool HelpLibraryLoaded() { return g_htmlHelp != nullptr; }
