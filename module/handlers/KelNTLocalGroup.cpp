#include "module/handlers/KelNTLocalGroup.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/handlers/CreateObjectDlg.h"
#include "module/pages/groups/GroupPage_ID.h"
#include "module/pages/groups/GroupPage_Members.h"

namespace {
const SnapinClassRegistrar kReg(SnapinClassSlot::KelNTLocalGroup, &MakeSnapinClass<CKelNTLocalGroup>);
} // namespace

CKelNTLocalGroup::CKelNTLocalGroup()
    : CKelNTClass(kClassNtLocalGroup, "QOR NT Local Group", {"CKelNTLocalGroupBitmap", 0},
                  {"CKelNTLocalGroupAliasBitmap", 0}, {"CKelNTLocalGroupROBitmap", 0}) {}

CKelNTLocalGroup::~CKelNTLocalGroup() = default;

void CKelNTLocalGroup::CreatePages() {
    CreatePage(m_idPage);
    CreatePage(m_membersPage);
}

LONG CKelNTLocalGroup::GetClassFlags(const char* /*name*/) {
    return kClassFlagsCreatable;
}

LONG CKelNTLocalGroup::OnApplyPages(const char* name) {
    return WriteInOrder(name, {WriterOf(m_idPage), WriterOf(m_membersPage)});
}

long __stdcall CKelNTLocalGroup::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                          unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::KelNTLocalGroup, objectName, message, param1, param2);
}

LONG CKelNTLocalGroup::OnCreateObject(const char* name, unsigned long param1) {
    CCreateLocalGroupDlg dialog;
    return RunCreation(dialog, name, "CreateLocalGroup", reinterpret_cast<char*>(param1));
}
