#include "module/password/SealPassword.h"

#include "module/password/OsRandomPool.h"

#include "module/password/rsa/KeyData.h"
#include "module/password/rsa/KeyObject.h"
#include "module/password/rsa/RsaCodes.h"
#include "module/password/rsa/RsaEncrypt.h"
#include "module/password/rsa/SecureBuffer.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

constexpr int kSeedRun = 100;
constexpr int64_t kSeedTimeOffset = 1372;

// Only a real public RSA key with a usable exponent may seal: a private blob published by mistake would
// give a value nobody can open, and an exponent of 1 would store the password in clear.
int32_t CheckSealingKey(const rsa::CKeyObject& key) {
    if (key.Kind() != static_cast<uint8_t>(rsa::KeyKind::RsaPublic) || key.Variant() != rsa::kVariantRsa) {
        return rsa::kErrKeyData;
    }
    // The encryption checks the whole key data before it writes; here only the exponent is looked at,
    // through the bounds-checked field lookup.
    const rsa::KeyField field = rsa::FindKeyField(key.Data(), key.DataLength(), "EN");
    rsa::BigNum exponent;
    if (!field.present || field.length > rsa::kMaxNumberBytes ||
        !exponent.SetBytesLE(key.Data() + field.offset, field.length)) {
        return rsa::kErrKeyData;
    }
    if (!exponent.IsOdd() || rsa::BigNum::Compare(exponent, rsa::BigNum::FromU64(3)) < 0) {
        return rsa::kErrKeyData;
    }
    return rsa::kOk;
}

} // namespace

CPasswordSealer::CPasswordSealer() : m_generator(rsa::ProcessGenerator()) {}

CPasswordSealer::CPasswordSealer(int64_t calendarTime)
    : m_generator(m_ownGenerator), m_knownAnswer(true), m_time(calendarTime) {}

void CPasswordSealer::SeedOnce() {
    if (m_seeded) {
        return;
    }
    const int64_t now = m_knownAnswer ? m_time : static_cast<int64_t>(std::time(nullptr));
    const uint8_t seeds[2] = {0, static_cast<uint8_t>(static_cast<uint64_t>(now + kSeedTimeOffset) & 0xFF)};
    for (const uint8_t s : seeds) {
        for (int i = 0; i < kSeedRun; ++i) {
            m_generator.Seed(static_cast<uint8_t>(i));
        }
        for (int i = 0; i < kSeedRun; ++i) {
            m_generator.Seed(s);
        }
    }
    m_seeded = true;
}

bool CPasswordSealer::Fill(uint8_t* data, size_t length) const {
    if (m_knownAnswer) {
        std::memset(data, 0, length);
        return true;
    }
    return COsRandomPool::Process().Take(data, length);
}

int32_t CPasswordSealer::Seal(const uint8_t* keyBlob, uint32_t keyBlobLength, uint8_t* output,
                              uint32_t outputCapacity, const char* password) {
    if (password == nullptr || strnlen(password, kMaxPasswordLength + 1) > kMaxPasswordLength) {
        return rsa::kErrLength;
    }
    const size_t passwordLength = std::strlen(password);
    std::lock_guard<std::mutex> guard(m_lock);
    SeedOnce();

    rsa::CKeyObject key;
    if (const int32_t code = rsa::ImportKeyBlob(key, keyBlob, keyBlobLength); code != rsa::kOk) {
        return code;
    }
    if (const int32_t code = CheckSealingKey(key); code != rsa::kOk) {
        return code;
    }
    const uint32_t blockLength = rsa::InputBlockLength(key, rsa::kModeEncrypt);
    // Only two key sizes give the 212 bytes the reader expects; any other size is refused before a byte
    // of output is written, so a small key cannot run past the caller's buffer either.
    if (blockLength != 0) {
        const uint32_t padding = blockLength - kSealPlaintextSize % blockLength;
        const uint32_t blocks = (kSealPlaintextSize + padding) / blockLength;
        if (blocks * rsa::OutputBlockLength(key, rsa::kModeEncrypt) != kSealedPasswordSize) {
            return rsa::kErrLength;
        }
    }

    // The reader stops at the NUL and ignores what follows the sealed value; random filler there keeps the
    // blocks and the stored value free of long runs of known bytes. One draw serves both places.
    const size_t plainFiller = kSealPlaintextSize - passwordLength - 1;
    const size_t tailFiller = kSealedValueSize - kSealedPasswordSize;
    rsa::SecureBuffer plaintext(kSealPlaintextSize);
    rsa::SecureBuffer filler(plainFiller + tailFiller);
    if (!plaintext.Valid() || !filler.Valid() || !Fill(filler.Data(), filler.Size())) {
        return rsa::kErrMagic;
    }
    std::memcpy(plaintext.Data(), password, passwordLength + 1);
    std::memcpy(plaintext.Data() + passwordLength + 1, filler.Data(), plainFiller);

    uint32_t written = 0;
    const int32_t code = rsa::RsaEncrypt(key, rsa::kModeEncrypt, plaintext.Data(), kSealPlaintextSize,
                                         blockLength, output, outputCapacity, &written, m_generator);
    key.ReleaseData();
    if (code != rsa::kOk) {
        return code;
    }
    if (written != kSealedPasswordSize) {
        rsa::SecureZero(output, written);
        return rsa::kErrLength;
    }
    const uint32_t end = std::min(outputCapacity, kSealedValueSize);
    std::memcpy(output + kSealedPasswordSize, filler.Data() + plainFiller, end - kSealedPasswordSize);
    return rsa::kOk;
}

int32_t SealPassword(const uint8_t* keyBlob, uint32_t keyBlobLength, uint8_t* output, uint32_t outputCapacity,
                     const char* password) {
    static CPasswordSealer sealer;
    return sealer.Seal(keyBlob, keyBlobLength, output, outputCapacity, password);
}
