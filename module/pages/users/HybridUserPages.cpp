#include "module/pages/users/HybridUserPages.h"

namespace {
// The drive a connected home directory takes when none is stored.
constexpr char kDefaultHybridDrive[] = "Z:";
} // namespace

CHybridUserPage_Groups::CHybridUserPage_Groups()
    : CNTUserPage_Groups(kIddHybridUserGroups, kHelpHybridUserGroupsDomain, kHelpNTUserGroupsWorkgroup) {}

DLGPROC CHybridUserPage_Groups::GetDialogProc() {
    return &SnapinPageDialogProc<CHybridUserPage_Groups>;
}

CHybridUserPage_Workstations::CHybridUserPage_Workstations()
    : CNTUserPage_Workstations(kHelpHybridUserWorkstations) {}

DLGPROC CHybridUserPage_Workstations::GetDialogProc() {
    return &SnapinPageDialogProc<CHybridUserPage_Workstations>;
}

LONG CHybridUserPage_Workstations::WriteChanges(const char* objectName) {
    if (m_hWnd != nullptr) {
        UpdateData(TRUE);
    }
    return CNTUserPage_Workstations::WriteChanges(objectName);
}

CHybridUserPage_Profile::CHybridUserPage_Profile()
    : CNTUserPage_Profile(kHelpHybridUserProfile, kDefaultHybridDrive) {}

DLGPROC CHybridUserPage_Profile::GetDialogProc() {
    return &SnapinPageDialogProc<CHybridUserPage_Profile>;
}
