#include "module/handlers/KelNTGlobalGroup.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/handlers/CreateObjectDlg.h"
#include "module/pages/groups/GroupPage_ID.h"
#include "module/pages/groups/GroupPage_Members.h"

namespace {
const SnapinClassRegistrar kReg(SnapinClassSlot::KelNTGlobalGroup, &MakeSnapinClass<CKelNTGlobalGroup>);
} // namespace

CKelNTGlobalGroup::CKelNTGlobalGroup()
    : CKelNTClass(kClassNtGlobalGroup, "QOR NT Global Group", {"CKelNTGlobalGroupBitmap", 0},
                  {"CKelNTGlobalGroupAliasBitmap", 0}, {"CKelNTGlobalGroupROBitmap", 0}) {}

CKelNTGlobalGroup::~CKelNTGlobalGroup() = default;

void CKelNTGlobalGroup::CreatePages() {
    CreatePage(m_idPage);
    CreatePage(m_membersPage);
}

LONG CKelNTGlobalGroup::GetClassFlags(const char* /*name*/) {
    return kClassFlagsCreatable;
}

LONG CKelNTGlobalGroup::OnApplyPages(const char* name) {
    return WriteInOrder(name, {WriterOf(m_idPage), WriterOf(m_membersPage)});
}

long __stdcall CKelNTGlobalGroup::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                           unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::KelNTGlobalGroup, objectName, message, param1, param2);
}

LONG CKelNTGlobalGroup::OnCreateObject(const char* name, unsigned long param1) {
    CCreateGlobalGroupDlg dialog;
    return RunCreation(dialog, name, "CreateGlobalGroup", reinterpret_cast<char*>(param1));
}
