#pragma once

#include "module/password/rsa/SecureBuffer.h"

#include <cstddef>
#include <cstdint>

namespace rsa {

inline constexpr uint32_t kBlobMagic = 0x0000B10Bu;
inline constexpr uint16_t kBlobVersion = 101;
inline constexpr size_t kBlobHeaderSize = 16;
// A blob carries at least this many bytes beyond its key data.
inline constexpr size_t kBlobSlack = 10;

enum class KeyKind : uint8_t { Digest = 1, SecretKey = 2, RsaPublic = 3, RsaPrivate = 4 };

inline constexpr uint8_t kVariantRsa = 0x30;
inline constexpr uint8_t kVariantNull = 0x3F;

// A key object: the key blob's header fields and its own copy of the key data. The data area is D + 16
// bytes and is zero-filled before it is freed, on every path (the destructor releases it too).
class CKeyObject {
public:
    CKeyObject() = default;
    ~CKeyObject() { ReleaseData(); }
    CKeyObject(const CKeyObject&) = delete;
    CKeyObject& operator=(const CKeyObject&) = delete;

    // Answers kErrInUse when the object already owns data; kErrMagic when it has a data pointer, a nonzero
    // external word, no data length, or memory runs out.
    [[nodiscard]] int32_t AllocateData();
    void ReleaseData();

    uint16_t DataLength() const { return m_dataLength; }
    const uint8_t* Data() const { return m_data.Data(); }
    uint8_t* Data() { return m_data.Data(); }
    bool HasData() const { return m_data.Valid(); }
    uint16_t ExternalWord() const { return m_externalWord; }
    uint16_t OwnsDataFlag() const { return m_ownsData; }
    uint8_t Kind() const { return m_kind; }
    uint8_t Variant() const { return m_variant; }
    uint16_t Bits() const { return m_bits; }

    void SetHeader(uint16_t dataLength, uint16_t externalWord, uint8_t kind, uint8_t variant, uint16_t bits);
    void SetOwnsDataFlag(uint16_t flag) { m_ownsData = flag; }

private:
    uint16_t m_dataLength = 0;
    SecureBuffer m_data;
    uint16_t m_externalWord = 0;
    uint16_t m_ownsData = 0;
    uint8_t m_kind = 0;
    uint8_t m_variant = 0;
    uint16_t m_bits = 0;
};

// Fills `key` from a key blob. Every length is checked before it is read: a blob shorter than its 16-byte
// header or than D + 26 bytes answers kErrLength; bad magic kErrMagic; wrong version kErrVersion; the data
// area's own codes otherwise. On failure the object holds no data.
[[nodiscard]] int32_t ImportKeyBlob(CKeyObject& key, const uint8_t* blob, size_t blobLength);

// Block lengths of the key for a transform mode; 0 where the kind or mode has none.
uint32_t InputBlockLength(const CKeyObject& key, int mode);
uint32_t OutputBlockLength(const CKeyObject& key, int mode);

} // namespace rsa
