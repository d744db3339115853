// The colour rule that the NT domain's pages share: a disabled field stays legible.
#pragma once

#include "platform/ui/window/Dc.h"
#include "platform/ui/window/Wnd.h"

// Call after the dialog chose its colours for `control`; answers the brush to use. A disabled edit (or a
// message box) gets the light-grey brush behind window-text letters, so that a value the administrator may
// not change can still be read.
inline HBRUSH LegibleDisabledColours(HBRUSH chosen, CDC* dc, CWnd* control, UINT ctlColor) {
    const bool colourRequest = ctlColor == CTLCOLOR_EDIT || ctlColor == CTLCOLOR_MSGBOX;
    if (!colourRequest || control == nullptr || dc == nullptr || control->IsWindowEnabled()) {
        return chosen;
    }
    dc->SetBkColor(GetSysColor(COLOR_BTNFACE));
    dc->SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    dc->SetBkMode(TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
}
