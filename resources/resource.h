// Resource identifiers and the dialog's fixed data, shared by Tessivo.rc
// (compiled by windres for Windows) and the C++ code (the Qt layout, the
// handlers, the tests). Only #define lines: the resource compiler reads this
// file too.
#pragma once

#define IDD_SIMUNLOCK_DIALOG 102
#define IDR_MAINFRAME 128
// Ahead of 128, so that Explorer and the taskbar take it (Windows only).
#define IDR_EXPLORER_ICON 1

#define IDC_PORT 1001
#define IDC_PIN 1002
#define IDC_STATUS 1003
#define IDC_TEST_MODEM 1006
#define IDC_SEND_PIN 1007
#define IDC_WEB_LINK 1008
#define IDC_SWITCH 1010
#define IDC_NOTICE 1011
#define IDC_STATIC -1

// Template 102: an extended dialog of 189 x 128 dialog units, at 0,0 so
// that it comes up centred. Style WS_POPUP | WS_VISIBLE | WS_CAPTION |
// WS_SYSMENU | DS_SETFONT | DS_MODALFRAME; extended style WS_EX_APPWINDOW.
#define TESSIVO_DIALOG_X 0
#define TESSIVO_DIALOG_Y 0
#define TESSIVO_DIALOG_CX 189
#define TESSIVO_DIALOG_CY 128
#define TESSIVO_DIALOG_STYLE 0x90C800C0
#define TESSIVO_DIALOG_EXSTYLE 0x00040000
#define TESSIVO_DIALOG_CAPTION "Tessivo"
#define TESSIVO_DIALOG_FONT_POINTS 11
#define TESSIVO_DIALOG_FONT_FACE "Verdana"
#define TESSIVO_DIALOG_FONT_WEIGHT 0
#define TESSIVO_DIALOG_FONT_ITALIC 0
#define TESSIVO_DIALOG_FONT_CHARSET 1

// The maker's notice line and web link. Until the project has a page of its
// own the address is a placeholder under .test, a top-level domain reserved
// so that it never belongs to anyone. The link text has no descenders: its
// 20-pixel font is taller than the 8 dialog units of its control, which cut
// off the bottom of a "g" or "p".
#define TESSIVO_NOTICE_TEXT "Tessivo 1.0 - (C) Tessivo-Projekt"
#define TESSIVO_WEB_LINK_TEXT "www.tessivo.test"
#define TESSIVO_WEB_ADDRESS "https://www.tessivo.test/"
