#include "module/handlers/KelNTDomain.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/handlers/CreateObjectDlg.h"
#include "module/pages/domain/DomainPage_Agent.h"
#include "module/pages/domain/DomainPage_ID.h"
#include "module/pages/domain/DomainPage_Policy.h"

namespace {
const SnapinClassRegistrar kReg(SnapinClassSlot::KelNTDomain, &MakeSnapinClass<CKelNTDomain>);
} // namespace

CKelNTDomain::CKelNTDomain()
    : CKelNTClass(kClassNtDomain, "QOR NT Domain", {"CKelNTDomainBitmap", 0}, {"CKelNTDomainAliasBitmap", 0},
                  {"CKelNTDomainROBitmap", 0}) {}

CKelNTDomain::~CKelNTDomain() = default;

void CKelNTDomain::CreatePages() {
    CreatePage(m_idPage);
    CreatePage(m_policyPage);
    CreatePage(m_agentPage);
}

LONG CKelNTDomain::GetClassFlags(const char* /*name*/) {
    return SwitchedClassFlags("CreateNTDomain");
}

LONG CKelNTDomain::OnApplyPages(const char* name) {
    return WriteInOrder(name, {WriterOf(m_idPage), WriterOf(m_agentPage), WriterOf(m_policyPage)});
}

long __stdcall CKelNTDomain::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                      unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::KelNTDomain, objectName, message, param1, param2);
}

LONG CKelNTDomain::OnCreateObject(const char* name, unsigned long param1) {
    CCreateDomainDlg dialog;
    return RunCreation(dialog, name, nullptr, reinterpret_cast<char*>(param1));
}
