#include "agent/Unsealer.h"

#include "module/password/SealPassword.h"
#include "module/password/rsa/CheckValue.h"
#include "module/password/rsa/KeyData.h"
#include "module/password/rsa/KeyObject.h"
#include "module/password/rsa/RsaCodes.h"
#include "module/password/rsa/RsaEncrypt.h"

#include <cstdio>
#include <cstring>

namespace agent {
namespace {

std::string BlockError(size_t block, const std::string& what) {
    return "block " + std::to_string(block + 1) + ": " + what;
}

std::string Hex2(const uint8_t* bytes) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x %02x", bytes[0], bytes[1]);
    return text;
}

UnsealResult Fail(std::string message) {
    UnsealResult result;
    result.error = std::move(message);
    return result;
}

} // namespace

SealedLayout LayoutForBits(unsigned bits) {
    SealedLayout layout;
    if (bits < 73) {
        return layout;
    }
    layout.dataBlock = (bits - 1) / 8 - 8;
    layout.cipherBlock = (bits + 7) / 8;
    layout.padding = layout.dataBlock - kSealPlaintextSize % layout.dataBlock;
    layout.blocks = (kSealPlaintextSize + layout.padding) / layout.dataBlock;
    return layout;
}

UnsealResult UnsealPassword(const uint8_t* privateBlob, size_t blobLength, const uint8_t* sealed,
                            size_t sealedLength) {
    rsa::CKeyObject key;
    if (const int32_t code = rsa::ImportKeyBlob(key, privateBlob, blobLength); code != rsa::kOk) {
        return Fail("key: blob rejected with code " + std::to_string(code));
    }
    if (key.Kind() != static_cast<uint8_t>(rsa::KeyKind::RsaPrivate) || key.Variant() != rsa::kVariantRsa) {
        return Fail("key: not a private RSA key (kind " + std::to_string(key.Kind()) + ")");
    }
    rsa::CKeyData keyData;
    if (rsa::ParseKeyData(key, keyData) != rsa::kOk) {
        return Fail("key: key data rejected (trailer, check value or a field)");
    }
    rsa::CRsaOperation op;
    if (op.Init(keyData) != rsa::kOk) {
        return Fail("key: arithmetic failure on the key's numbers");
    }
    const SealedLayout layout = LayoutForBits(keyData.bits);
    if (layout.blocks == 0 || layout.blocks * layout.cipherBlock != kSealedPasswordSize) {
        return Fail("key: a " + std::to_string(keyData.bits) + "-bit key cannot have sealed a password");
    }
    if (sealed == nullptr || sealedLength < kSealedPasswordSize) {
        return Fail("value: " + std::to_string(sealedLength) + " bytes, shorter than the " +
                    std::to_string(kSealedPasswordSize) + "-byte sealed password");
    }

    const size_t dataBlock = layout.dataBlock;
    rsa::SecureBuffer stream(layout.blocks * dataBlock);
    rsa::SecureBuffer work(rsa::kMaxBlockLength);
    if (!stream.Valid() || !work.Valid()) {
        return Fail("out of memory");
    }
    rsa::BigNum cipher;
    rsa::BigNum plain;
    for (size_t b = 0; b < layout.blocks; ++b) {
        if (!cipher.SetBytesLE(sealed + b * layout.cipherBlock, layout.cipherBlock) ||
            rsa::BigNum::Compare(cipher, op.Modulus()) >= 0) {
            return Fail(BlockError(b, "value is not below the modulus"));
        }
        if (op.Apply(cipher, plain) != rsa::kOk) {
            return Fail(BlockError(b, "arithmetic failure"));
        }
        std::memset(work.Data(), 0, work.Size());
        if (!plain.GetBytesLE(work.Data(), dataBlock + 8)) {
            return Fail(BlockError(b, "opened block is longer than " + std::to_string(dataBlock + 8) +
                                          " bytes (wrong key?)"));
        }
        if (work[0] != rsa::kBlockMarker) {
            char text[64];
            std::snprintf(text, sizeof text, "first byte is 0x%02x, not 0x0b (wrong key?)", work[0]);
            return Fail(BlockError(b, text));
        }
        uint8_t check[2];
        if (rsa::ComputeCheckValue(check, 2, work.Data(), dataBlock + 1) != rsa::kOk ||
            std::memcmp(check, work.Data() + dataBlock + 1, 2) != 0) {
            return Fail(BlockError(b, "check value is " + Hex2(work.Data() + dataBlock + 1) + ", expected " +
                                          Hex2(check)));
        }
        std::memcpy(stream.Data() + b * dataBlock, work.Data() + 1, dataBlock);
    }
    const size_t total = stream.Size();
    const uint8_t padding = stream[total - 1];
    if (padding != layout.padding) {
        return Fail(BlockError(layout.blocks - 1, "padding count is " + std::to_string(padding) +
                                                      ", expected " + std::to_string(layout.padding)));
    }
    for (size_t i = total - padding; i < total; ++i) {
        if (stream[i] != padding) {
            return Fail(BlockError(i / dataBlock, "padding byte " + std::to_string(i % dataBlock + 1) +
                                                      " is " + std::to_string(stream[i]) + ", expected " +
                                                      std::to_string(padding)));
        }
    }
    const uint8_t* text = stream.Data();
    const void* nul = std::memchr(text, 0, kSealPlaintextSize);
    if (nul == nullptr) {
        return Fail("value: the password has no terminating NUL");
    }
    UnsealResult result;
    result.ok = true;
    result.password.assign(text, static_cast<const uint8_t*>(nul));
    return result;
}

} // namespace agent
