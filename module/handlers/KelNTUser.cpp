#include "module/handlers/KelNTUser.h"

#include "module/core/SnapinModule.h"
#include "module/directory/Schema.h"

namespace {
constexpr LONG kClassFlagsNtUser = 221;
CSnapinClass* Make() {
    return new CKelNTUser();
}
const SnapinClassRegistrar kReg(SnapinClassSlot::KelNTUser, &Make);
} // namespace

CKelNTUser::CKelNTUser()
    : CKelNTClass(kClassNtUser, "QOR NT User", {"CKelNTUserBitmap", 0}, {"CKelNTUserAliasBitmap", 0},
                  {"CKelNTUserROBitmap", 0}) {}

CKelNTUser::~CKelNTUser() = default;

void CKelNTUser::CreatePages() {}

LONG CKelNTUser::GetClassFlags(const char* /*name*/) {
    return kClassFlagsNtUser;
}

LONG CKelNTUser::OnApplyPages(const char* name) {
    return WriteInOrder(name, {});
}

long __stdcall CKelNTUser::CallBack(char* objectName, unsigned short message, unsigned long param1,
                                    unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::KelNTUser, objectName, message, param1, param2);
}
