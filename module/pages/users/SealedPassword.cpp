#include "module/pages/users/SealedPassword.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/Schema.h"
#include "module/password/SealPassword.h"
#include "platform/locale/Locale.h"
#include "platform/ui/MessageBox.h"

#include <array>

void WipeSecret(void* data, size_t length) {
    volatile auto* bytes = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = 0;
    }
}

namespace {

void ShowConversionRefusal(int32_t code) {
    if (code == LOC_ERR_BUFFER_SMALL) {
        FormatMessageBox(kFmtPasswordTooLong, MB_OK | MB_ICONEXCLAMATION,
                         {static_cast<int64_t>(kMaxNtPasswordCharacters)});
    } else {
        AfxMessageBox(kMsgPasswordNotConverted, MB_OK | MB_ICONEXCLAMATION);
    }
}

} // namespace

bool PasswordConverts(const char* password) {
    uintptr_t conversion = 0;
    if (LocGetConversionHandle(&conversion) != LOC_OK) {
        return true;
    }
    std::array<char, kConvertedPasswordSize> converted{};
    uint32_t convertedLength = 0;
    const int32_t code =
        LocConvertString(conversion, converted.data(), kConvertedPasswordSize, password, 0, &convertedLength);
    WipeSecret(converted.data(), converted.size());
    if (code != LOC_OK) {
        ShowConversionRefusal(code);
        return false;
    }
    return true;
}

bool StoreSealedPassword(int32_t ctx, const char* object, const char* password, const void* key) {
    uintptr_t conversion = 0;
    if (LocGetConversionHandle(&conversion) != LOC_OK) {
        AfxMessageBox(kMsgNoConversion, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    std::array<char, kConvertedPasswordSize> converted{};
    uint32_t convertedLength = 0;
    if (const int32_t code = LocConvertString(conversion, converted.data(), kConvertedPasswordSize, password,
                                              0, &convertedLength);
        code != LOC_OK) {
        WipeSecret(converted.data(), converted.size());
        ShowConversionRefusal(code);
        return false;
    }
    std::array<uint8_t, kSealedValueSize> sealed{};
    const auto* blob = static_cast<const DirOctetString*>(key);
    const int32_t code = blob == nullptr ? 1
                                         : SealPassword(blob->data, blob->length, sealed.data(),
                                                        kSealedValueSize, converted.data());
    WipeSecret(converted.data(), converted.size());
    if (code != 0) {
        AfxMessageBox(kMsgPasswordNotSealed, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    DirOctetString value{kSealedValueSize, sealed.data()};
    if (SetAttrValue(ctx, object, kAttrAuthentication, kSyntaxOctetString, &value) != 1) {
        AfxMessageBox(kMsgPasswordNotStored, MB_OK | MB_ICONEXCLAMATION);
    }
    return true;
}
