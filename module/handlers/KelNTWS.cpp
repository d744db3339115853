#include "module/handlers/KelNTWS.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/handlers/CreateObjectDlg.h"
#include "module/pages/domain/DomainPage_Agent.h"
#include "module/pages/domain/DomainPage_ID.h"
#include "module/pages/domain/DomainPage_Policy.h"

namespace {
const SnapinClassRegistrar kReg(SnapinClassSlot::KelNTWS, &MakeSnapinClass<CKelNTWS>);
} // namespace

CKelNTWS::CKelNTWS()
    : CKelNTClass(kClassNtWorkgroupSystem, "QOR NT Workgroup System", {"CKelNTWSBitmap", 0},
                  {"CKelNTWSAliasBitmap", 0}, {"CKelNTWSROBitmap", 0}) {}

CKelNTWS::~CKelNTWS() = default;

void CKelNTWS::CreatePages() {
    CreatePage(m_idPage);
    CreatePage(m_policyPage);
    CreatePage(m_agentPage);
}

LONG CKelNTWS::GetClassFlags(const char* /*name*/) {
    return SwitchedClassFlags("CreateNTWorkgroup");
}

LONG CKelNTWS::OnApplyPages(const char* name) {
    return WriteInOrder(name, {WriterOf(m_idPage), WriterOf(m_agentPage), WriterOf(m_policyPage)});
}

long __stdcall CKelNTWS::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                  unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::KelNTWS, objectName, message, param1, param2);
}

LONG CKelNTWS::OnCreateObject(const char* name, unsigned long param1) {
    CCreateWSDlg dialog;
    return RunCreation(dialog, name, nullptr, reinterpret_cast<char*>(param1));
}
