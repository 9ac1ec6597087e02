// Identifiers of the Control Panel applet vx710cpl, shared by its resources and tests.
#pragma once

#define IDI_VX710CPL 1000          /* icon group of the item */
#define CPL_TEXT_CODEPAGE 932     /* code page of the item's name and description */
