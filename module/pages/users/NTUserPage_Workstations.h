// The workstations page of an NT user: whether a domain account may log on at every workstation or only at
// the ones named in "KEL:Enabled Workstation List", of which the page shows eight. An account of an NT
// workgroup system has no such choice, and the page says so.
#pragma once

#include "module/core/SnapinPage.h"
#include "module/pages/StayOpenPage.h"
#include "platform/ui/StringArray.h"
#include "platform/ui/window/Dialog.h"

constexpr UINT kIdsNTUserWorkstationsTitle = 57388;
constexpr UINT kIddNTUserWorkstations = 153;
constexpr UINT kHelpNTUserWorkstations = 27;
constexpr int kIdcWorkstationsAll = 1106;
constexpr int kIdcWorkstationsListed = 1107;
constexpr int kIdcWorkstationsCommonName = 1109;
constexpr int kIdcWorkstationsFrame = 1163;
constexpr int kIdcWorkstationsWorkgroupNote = 1176;
constexpr int kIdcWorkstationsCommonNameLabel = 1177;
constexpr int kWorkstationFields = 8;
// The eight edits and their labels, in member order.
constexpr int kIdcWorkstationEdits[kWorkstationFields] = {1108, 1078, 1084, 1085, 1088, 1089, 1086, 1087};
constexpr int kIdcWorkstationLabels[kWorkstationFields] = {1171, 1156, 1157, 1158, 1159, 1160, 1161, 1162};
// An NT workstation name has at most 15 characters.
constexpr int kMaxWorkstationName = 15;

class CNTUserPage_Workstations : public CStayOpenPage {
public:
    CNTUserPage_Workstations();

    DLGPROC GetDialogProc() override;
    BOOL Help() override { return ShowHelp(m_helpContext); }
    BOOL Validate() override;
    BOOL OnInitDialog() override;
    // Replaces the list of `objectName` with the names of the fields when the person changed the page;
    // answers 0.
    LONG WriteChanges(const char* objectName);

protected:
    // The hybrid user's page is this page with help of its own.
    explicit CNTUserPage_Workstations(UINT helpContext);
    void DoDataExchange(CDataExchange* dx) override;
    void OnNameChange();
    void OnAll();
    void OnListed();
    DECLARE_MESSAGE_MAP()

private:
    void ForgetLoaded();
    void EnableWorkstationControls(BOOL enable);

    BOOL m_modified = FALSE;
    int m_allState = -1;
    int m_listedState = -1;
    CString m_workstations[kWorkstationFields];
    CString m_commonName;

    // Stored names past the eighth: the page has no field for them, and a write keeps them after the eight.
    CStringArray m_beyondFields;
    // The names the page stands for: as stored at load, then as its own writes left them. A write sends only
    // the difference between these and what the page holds, so that a name another administrator added or
    // removed meanwhile stays as they left it.
    CStringArray m_loadedNames;
    // The list was read and may be written; a list the person could not see is never replaced.
    BOOL m_writable = FALSE;
    UINT m_helpContext;
};
