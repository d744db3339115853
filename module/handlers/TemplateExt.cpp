#include "module/handlers/TemplateExt.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"

namespace {
const SnapinClassRegistrar kReg(SnapinClassSlot::TemplateExt, &MakeSnapinClass<CTemplateExt>);
} // namespace

CTemplateExt::CTemplateExt() : CSnapinClass("DS", kClassTemplate, nullptr, nullptr, nullptr, nullptr) {}

CTemplateExt::~CTemplateExt() = default;

LONG CTemplateExt::OnInitClass() {
    return 0;
}

LONG CTemplateExt::OnCloseClass() {
    RemoveAllPages();
    return 0;
}

long __stdcall CTemplateExt::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                      unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::TemplateExt, objectName, message, param1, param2);
}
