#include "module/handlers/TemplateExt.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/pages/template/TemplatePage_NTAccount.h"
#include "module/pages/template/TemplatePage_Servers.h"

namespace {
const SnapinClassRegistrar kReg(SnapinClassSlot::TemplateExt, &MakeSnapinClass<CTemplateExt>);
} // namespace

CTemplateExt::CTemplateExt() : CSnapinClass("DS", kClassTemplate, nullptr, nullptr, nullptr, nullptr) {}

CTemplateExt::~CTemplateExt() = default;

LONG CTemplateExt::OnInitClass() {
    if (!m_servers) {
        m_servers = std::make_unique<CTemplatePage_Servers>();
        AddPage(m_servers.get());
    }
    if (!m_account) {
        m_account = std::make_unique<CTemplatePage_NTAccount>();
        AddPage(m_account.get());
    }
    return 0;
}

LONG CTemplateExt::OnCloseClass() {
    // The entries go first, so that nothing hands out a page once it is deleted.
    RemoveAllPages();
    m_servers.reset();
    m_account.reset();
    return 0;
}

LONG CTemplateExt::OnApplyPages(const char* name) {
    const LONG servers = m_servers ? m_servers->WriteChanges(name) : 0;
    if (servers != 0) {
        return servers;
    }
    return m_account ? m_account->WriteChanges(name) : 0;
}

long __stdcall CTemplateExt::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                      unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::TemplateExt, objectName, message, param1, param2);
}
