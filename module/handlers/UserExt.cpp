#include "module/handlers/UserExt.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"
#include "module/handlers/TemplateAccounts.h"

namespace {
const SnapinClassRegistrar kReg(SnapinClassSlot::UserExt, &MakeSnapinClass<CUserExt>);
} // namespace

CUserExt::CUserExt() : CSnapinClass("DS", kClassUser, nullptr, nullptr, nullptr, nullptr) {}

CUserExt::~CUserExt() = default;

LONG CUserExt::OnInitClass() {
    return 0;
}

LONG CUserExt::OnCloseClass() {
    RemoveAllPages();
    return 0;
}

long __stdcall CUserExt::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                  unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::UserExt, objectName, message, param1, param2);
}

LONG CUserExt::OnApplyTemplate(const char* name, unsigned long param1) {
    return CreateAccountsFromTemplate(name, reinterpret_cast<const char*>(param1));
}
