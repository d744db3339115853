#include "module/handlers/UserExt.h"

#include "module/accounts/ForeignAccount.h"
#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/handlers/TemplateAccounts.h"

namespace {
const SnapinClassRegistrar kReg(SnapinClassSlot::UserExt, &MakeSnapinClass<CUserExt>);
} // namespace

CUserExt::CUserExt() : CSnapinClass("DS", kClassUser, nullptr, nullptr, nullptr, nullptr) {}

CUserExt::~CUserExt() = default;

LONG CUserExt::OnInitClass() {
    if (!m_page) {
        m_page = std::make_unique<CForeignAccount>();
        AddPage(m_page.get());
    }
    return 0;
}

LONG CUserExt::OnCloseClass() {
    // The entries go first, so that nothing hands out the page once it is deleted.
    RemoveAllPages();
    m_page.reset();
    return 0;
}

LONG CUserExt::OnApplyPages(const char* name) {
    return m_page ? m_page->WriteChanges(name) : 0;
}

LONG CUserExt::OnEndPages(unsigned long param1) {
    return m_page ? m_page->OnEndPages(param1) : 0;
}

LONG CUserExt::OnQueryDelete(const char* name) {
    return m_page ? m_page->OnQueryDelete(name) : CSnapinClass::OnQueryDelete(name);
}

LONG CUserExt::OnQueryCopy(const char* name) {
    return m_page ? m_page->OnQueryCopy(name) : 0;
}

LONG CUserExt::OnQueryMove(const char* name) {
    return m_page ? m_page->OnQueryMove(name) : 0;
}

LONG CUserExt::OnNotifyRename(const char* name, unsigned long param1) {
    return m_page ? m_page->OnNotifyRename(name, reinterpret_cast<const char*>(param1)) : 0;
}

long __stdcall CUserExt::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                  unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::UserExt, objectName, message, param1, param2);
}

LONG CUserExt::OnApplyTemplate(const char* name, unsigned long param1) {
    return CreateAccountsFromTemplate(name, reinterpret_cast<const char*>(param1));
}
