#include "tabpages.h"

#include <commctrl.h>

namespace {

void LayoutOne(HWND dlg, const RECT& display, bool move, const TabPage& page, int showCmd) {
    for (int i = 0; i < page.count; ++i) {
        HWND ctl = GetDlgItem(dlg, page.ids[i]);
        if (!ctl) continue;
        if (move) {
            WINDOWPLACEMENT wp{};
            wp.length = sizeof wp;
            GetWindowPlacement(ctl, &wp);
            RECT client{};
            GetClientRect(ctl, &client);
            MoveWindow(ctl, display.left + wp.rcNormalPosition.left + 1,
                       display.top + wp.rcNormalPosition.top - LayoutPixelsY(dlg, page.offset), client.right - client.left,
                       client.bottom - client.top, TRUE);
        }
        ShowWindow(ctl, showCmd);
    }
}

}  // namespace

void InsertTabs(HWND tab, int pages, const TabPage* table) {
    for (int i = 0; i < pages; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(table[i].caption);
        SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
}

RECT ComputeDisplayRect(HWND dlg, HWND tab) {
    RECT rc{};
    GetClientRect(dlg, &rc);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rc));
    return rc;
}

void LayoutPages(HWND dlg, const RECT& display, bool move, int show, int pages, const TabPage* table) {
    for (int p = 0; p < pages; ++p)
        if (p != show) LayoutOne(dlg, display, move, table[p], SW_HIDE);
    if (show >= 0 && show < pages) LayoutOne(dlg, display, move, table[show], SW_SHOW);
}

int ScaleToUnits(int referencePixels, int basePixels, int referenceBasePixels) {
    if (basePixels <= 0 || referenceBasePixels <= 0) return referencePixels;
    return MulDiv(referencePixels, basePixels, referenceBasePixels);
}

int LayoutPixelsX(HWND dlg, int referencePixels) {
    RECT rc = {0, 0, 4, 8};
    MapDialogRect(dlg, &rc);
    return ScaleToUnits(referencePixels, rc.right, 6);
}

int LayoutPixelsY(HWND dlg, int referencePixels) {
    RECT rc = {0, 0, 4, 8};
    MapDialogRect(dlg, &rc);
    return ScaleToUnits(referencePixels, rc.bottom, 12);
}
