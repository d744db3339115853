// The logon hours page of an NT user: the hours of the week in which the NT account may log on, painted on
// an hours grid in the administrator's local time and stored in "KEL:Logon Hours". An account of an NT
// workgroup system has no grid; the page says so instead.
#pragma once

#include "module/core/SnapinPage.h"
#include "module/pages/StayOpenPage.h"
#include "module/pages/users/LogonHoursGrid.h"
#include "platform/ui/window/Dialog.h"

#include <cstdint>
#include <vector>

constexpr UINT kIdsHoursTitle = 57391;
constexpr UINT kIddNtUserHours = 159;
constexpr UINT kHelpNtUserHours = 37;
constexpr int kIdcHoursGrid = 1113;
// The grid's labels are the controls after it up to this one; they are shown together with it.
constexpr int kIdcHoursLastLabel = 1127;
// Shown in place of the grid for an account of an NT workgroup system.
constexpr int kIdcHoursWorkgroup = 1128;
// Logon hours the directory did not take: the object's name and the directory's code.
constexpr UINT kFmtHoursNotStored = 57530;
// WriteChanges when the hours could not be stored: the handler stops there and the sheet stays open with
// the grid as painted.
constexpr LONG kHoursNotStored = -1;

class CNTUserPage_Hours : public CStayOpenPage {
public:
    CNTUserPage_Hours();
    DLGPROC GetDialogProc() override;
    BOOL Help() override { return ShowHelp(kHelpNtUserHours); }
    BOOL OnInitDialog() override;
    // Stores the grid in "KEL:Logon Hours" of the current object when it was painted. Answers 0, or, when
    // the directory refuses the write, shows why and answers kHoursNotStored (the page stays modified).
    // objectName is the host's name of the same object; the current object name is what is written.
    LONG WriteChanges(const char* objectName);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    // The grid hands every release on to the page: that is a change of the hours.
    void OnLButtonUp(UINT flags, CPoint point) override;

private:
    BOOL m_modified = FALSE;
    CLogonHoursGrid m_grid;
    // The stored value's bytes past the 21 the grid holds, written back after them unchanged.
    std::vector<uint8_t> m_storedTail;
};
