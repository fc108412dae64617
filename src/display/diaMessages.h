// User message numbers the diagram window and its dialogs exchange (WM_USER based).
#pragma once

#include "core/winMessage.h"

enum : int {
    MSG_DIA_CLEARCURVE = WM_USER_BASE + 16, // 1040: clear the peak hold of slot wParam
    MSG_DIA_DRAWN = WM_USER_BASE + 28,      // 1052: a result package was drawn (723, 13)
    MSG_DIA_PUTDIA = WM_USER_BASE + 29      // 1053: wParam = address of a result package reference
};
static_assert(MSG_DIA_CLEARCURVE == 1040 && MSG_DIA_DRAWN == 1052 && MSG_DIA_PUTDIA == 1053);
