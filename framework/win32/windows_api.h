// <windows.h> for the Win32 window system. The framework names its
// operations after the API calls they stand for (MessageBox, LoadIcon,
// DialogBox, ...), and <windows.h> turns those names into macros for the
// A/W variants, which would rename our methods here but not in the portable
// code. The code here calls the ANSI functions by their A names, so the
// generic macros go.
#pragma once

#include <windows.h>

#undef CreateFontIndirect
#undef DialogBox
#undef GetWindowText
#undef LoadIcon
#undef MessageBox
#undef SetWindowText
