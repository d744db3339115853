#include "module/handlers/KelNTUser.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountMove.h"
#include "module/handlers/CreateAccountDlg.h"
#include "module/handlers/NTUserRename.h"
#include "module/pages/users/NTUserPage_Expiration.h"
#include "module/pages/users/NTUserPage_Groups.h"
#include "module/pages/users/NTUserPage_Hours.h"
#include "module/pages/users/NTUserPage_ID.h"
#include "module/pages/users/NTUserPage_Profile.h"
#include "module/pages/users/NTUserPage_Workstations.h"

namespace {
constexpr LONG kClassFlagsNtUser = 221;
// The state of "create another" that the last NT user creation ended with.
bool g_createAnotherNTUser = false;
const SnapinClassRegistrar kReg(SnapinClassSlot::KelNTUser, &MakeSnapinClass<CKelNTUser>);
} // namespace

CKelNTUser::CKelNTUser()
    : CKelNTClass(kClassNtUser, "QOR NT User", {"CKelNTUserBitmap", 0}, {"CKelNTUserAliasBitmap", 0},
                  {"CKelNTUserROBitmap", 0}) {}

CKelNTUser::~CKelNTUser() = default;

void CKelNTUser::CreatePages() {
    CreatePage(m_idPage);
    CreatePage(m_groupsPage);
    CreatePage(m_profilePage);
    CreatePage(m_hoursPage);
    CreatePage(m_workstationsPage);
    CreatePage(m_expirationPage);
}

LONG CKelNTUser::GetClassFlags(const char* /*name*/) {
    return kClassFlagsNtUser;
}

LONG CKelNTUser::OnApplyPages(const char* name) {
    // One writer a line, in the class's apply order.
    return WriteInOrder(name, {
                                  WriterOf(m_idPage),
                                  WriterOf(m_groupsPage),
                                  WriterOf(m_hoursPage),
                                  WriterOf(m_workstationsPage),
                                  WriterOf(m_profilePage),
                                  WriterOf(m_expirationPage),
                              });
}

long __stdcall CKelNTUser::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                    unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::KelNTUser, objectName, message, param1, param2);
}

LONG CKelNTUser::OnRenameObject(const char* name, unsigned long param1) {
    return RenameNTUser(name, reinterpret_cast<char*>(param1));
}

LONG CKelNTUser::OnNotifyMove(const char* name, unsigned long from, unsigned long to) {
    return MoveAccountMemberships(name, reinterpret_cast<const char*>(from),
                                  reinterpret_cast<const char*>(to));
}

LONG CKelNTUser::OnCreateObject(const char* name, unsigned long param1) {
    CCreateNTUserDlg dialog;
    // "Create another" stays set from one NT user to the next while the administrator keeps it set.
    dialog.m_createAnother = g_createAnotherNTUser ? 1 : 0;
    const LONG answer = RunCreation(dialog, name, "CreateNTUser", reinterpret_cast<char*>(param1));
    g_createAnotherNTUser = answer == 3;
    return answer;
}
