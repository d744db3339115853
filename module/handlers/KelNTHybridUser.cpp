#include "module/handlers/KelNTHybridUser.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountMove.h"
#include "module/handlers/CreateAccountDlg.h"
#include "module/pages/users/HybridUserPage_ID.h"
#include "module/pages/users/HybridUserPages.h"

namespace {
const SnapinClassRegistrar kReg(SnapinClassSlot::KelNTHybridUser, &MakeSnapinClass<CKelNTHybridUser>);
} // namespace

CKelNTHybridUser::CKelNTHybridUser()
    : CKelNTClass(kClassHybridUser, "QOR Hybrid User", {nullptr, 150}, {nullptr, 146}, {nullptr, 147}) {}

CKelNTHybridUser::~CKelNTHybridUser() = default;

void CKelNTHybridUser::CreatePages() {
    CreatePage(m_idPage);
    CreatePage(m_groupsPage);
    CreatePage(m_workstationsPage);
    CreatePage(m_profilePage);
}

LONG CKelNTHybridUser::GetClassFlags(const char* /*name*/) {
    return SwitchedClassFlags("CreateHybridUser");
}

LONG CKelNTHybridUser::OnApplyPages(const char* name) {
    // The groups go last: a membership is the one change that touches other objects than the account.
    return WriteInOrder(name, {
                                  WriterOf(m_idPage),
                                  WriterOf(m_workstationsPage),
                                  WriterOf(m_profilePage),
                                  WriterOf(m_groupsPage),
                              });
}

long __stdcall CKelNTHybridUser::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                          unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::KelNTHybridUser, objectName, message, param1, param2);
}

LONG CKelNTHybridUser::OnNotifyMove(const char* name, unsigned long from, unsigned long to) {
    return MoveAccountMemberships(name, reinterpret_cast<const char*>(from),
                                  reinterpret_cast<const char*>(to));
}

LONG CKelNTHybridUser::OnCreateObject(const char* name, unsigned long param1) {
    CCreateHybridUserDlg dialog;
    return RunCreation(dialog, name, "CreateHybridUser", reinterpret_cast<char*>(param1));
}
