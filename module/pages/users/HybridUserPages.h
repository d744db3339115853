// Three pages of a hybrid user (an NT account of a directory user) that are the NT user's pages on help of
// their own: group membership (on template 152), workstations and profile.
#pragma once

#include "module/pages/users/NTUserPage_Groups.h"
#include "module/pages/users/NTUserPage_Profile.h"
#include "module/pages/users/NTUserPage_Workstations.h"

constexpr UINT kIddHybridUserGroups = 152;
constexpr UINT kHelpHybridUserGroupsDomain = 7;
constexpr UINT kHelpHybridUserWorkstations = 9;
constexpr UINT kHelpHybridUserProfile = 8;

class CHybridUserPage_Groups : public CNTUserPage_Groups {
public:
    CHybridUserPage_Groups();
    DLGPROC GetDialogProc() override;
};

class CHybridUserPage_Workstations : public CNTUserPage_Workstations {
public:
    CHybridUserPage_Workstations();
    DLGPROC GetDialogProc() override;
    // Takes the names out of the fields itself: the host may apply without asking the page to validate.
    LONG WriteChanges(const char* objectName);
};

class CHybridUserPage_Profile : public CNTUserPage_Profile {
public:
    CHybridUserPage_Profile();
    DLGPROC GetDialogProc() override;
};
