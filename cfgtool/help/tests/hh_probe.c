/* Asks Wine's HTML Help (hhctrl.ocx, HtmlHelpA = ordinal 14, as the utility loads it)
 * to show each topic number of a help file with HH_HELP_CONTEXT, the command the
 * utility uses, and prints one line per number: "<number> shown" when HTML Help
 * found the number in the file's context map and opened its viewer window, or
 * "<number> refused" when it returned no window.
 *   hh_probe FILE.chm NUMBER...
 * Exits 0 after asking for every number; 2 when HTML Help cannot be loaded. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

typedef HWND(WINAPI *HtmlHelpFn)(HWND, LPCSTR, UINT, DWORD_PTR);

enum { kHelpContext = 15, kCloseAll = 18 };

int main(int argc, char **argv)
{
    HMODULE module = LoadLibraryA("hhctrl.ocx");
    HtmlHelpFn help = module ? (HtmlHelpFn)(void *)GetProcAddress(module, MAKEINTRESOURCEA(14)) : NULL;
    int i;
    if (argc < 3) {
        fprintf(stderr, "usage: hh_probe FILE.chm NUMBER...\n");
        return 2;
    }
    if (!help) {
        printf("HTML Help cannot be loaded\n");
        return 2;
    }
    for (i = 2; i < argc; ++i) {
        unsigned long topic = strtoul(argv[i], NULL, 10);
        HWND window = help(NULL, argv[1], kHelpContext, (DWORD_PTR)topic);
        printf("%lu %s\n", topic, window ? "shown" : "refused");
        fflush(stdout);
    }
    help(NULL, NULL, kCloseAll, 0);
    return 0;
}
