#include "platform/ui/ResourceAccess.h"

namespace {

template <typename Proc> Proc Lookup(HINSTANCE instance, const char* procName) {
    if (instance == nullptr) {
        return nullptr;
    }
    // void(*)() is the generic function pointer type that may be cast to any other.
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(instance, procName)));
}

template <typename Result>
const Result* FindNamed(HINSTANCE instance, LPCSTR name, const char* byId, const char* byName) {
    if (name == nullptr) {
        return nullptr;
    }
    if (IS_INTRESOURCE(name)) {
        using ByIdProc = const Result* (*)(uint32_t);
        auto find = Lookup<ByIdProc>(instance, byId);
        return find ? find(static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(name))) : nullptr;
    }
    using ByNameProc = const Result* (*)(const char*);
    auto find = Lookup<ByNameProc>(instance, byName);
    return find ? find(name) : nullptr;
}

} // namespace

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    auto load = Lookup<RcLoadStringProc>(instance, RC_LOAD_STRING);
    if (load == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    return load(id, buffer, size);
}

const RcDialog* FindDialogResource(HINSTANCE instance, LPCSTR name) {
    return FindNamed<RcDialog>(instance, name, RC_FIND_DIALOG, RC_FIND_DIALOG_BY_NAME);
}

const RcBitmap* FindBitmapResource(HINSTANCE instance, LPCSTR name) {
    return FindNamed<RcBitmap>(instance, name, RC_FIND_BITMAP, RC_FIND_BITMAP_BY_NAME);
}

const RcBitmap* FindIconResource(HINSTANCE instance, LPCSTR name) {
    return FindNamed<RcBitmap>(instance, name, RC_FIND_ICON, RC_FIND_ICON_BY_NAME);
}
