// Tabbed dialogs whose pages are drawn one below the other in the template: at run
// time each page's controls are moved once into the tab's display area (shifted up by
// the page's offset) and afterwards only shown and hidden.
#pragma once

#include <windows.h>

struct TabPage {
    int count;          // number of controls
    const int* ids;     // control identifiers
    int offset;         // page offset in pixels
    const wchar_t* caption;
};

// Inserts one tab per page, in table order.
void InsertTabs(HWND tab, int pages, const TabPage* table);

// The dialog's client rectangle converted by the tab control's adjust-rectangle
// operation (window rectangle to display area).
RECT ComputeDisplayRect(HWND dlg, HWND tab);

// Hides the controls of every other page, then shows those of `show`; when `move`,
// each control goes first to (display.left + left + 1, display.top + top - offset).
void LayoutPages(HWND dlg, const RECT& display, bool move, int show, int pages, const TabPage* table);

// The layout's pixel values (page offsets, the resized dialogs) are those of the
// template font at 96 dots per inch, where one dialog unit is 1.5 pixels both ways.
// With a font of other metrics (another face standing in, large fonts) they are scaled
// by the dialog's real units so that the pages still land in the tab; with the
// reference font they come out unchanged.
int ScaleToUnits(int referencePixels, int basePixels, int referenceBasePixels);
int LayoutPixelsX(HWND dlg, int referencePixels);  // horizontal base unit 6 px at reference
int LayoutPixelsY(HWND dlg, int referencePixels);  // vertical base unit 12 px at reference
