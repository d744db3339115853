#include "module/password/rsa/KeyObject.h"

#include "module/password/rsa/RsaCodes.h"

#include <algorithm>
#include <cstring>

namespace rsa {
namespace {

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

int32_t CKeyObject::AllocateData() {
    if (m_ownsData != 0 && m_data.Valid()) {
        return kErrInUse;
    }
    if (m_data.Valid() || m_externalWord != 0 || m_dataLength == 0) {
        return kErrMagic;
    }
    if (!m_data.Allocate(static_cast<size_t>(m_dataLength) + 16)) {
        return kErrMagic;
    }
    m_ownsData = 1;
    return kOk;
}

void CKeyObject::ReleaseData() {
    m_data.Release();
    m_ownsData = 0;
}

void CKeyObject::SetHeader(uint16_t dataLength, uint16_t externalWord, uint8_t kind, uint8_t variant,
                           uint16_t bits) {
    m_dataLength = dataLength;
    m_externalWord = externalWord;
    m_kind = kind;
    m_variant = variant;
    m_bits = bits;
}

int32_t ImportKeyBlob(CKeyObject& key, const uint8_t* blob, size_t blobLength) {
    key.ReleaseData();
    if (blob == nullptr || blobLength < kBlobHeaderSize) {
        return kErrLength;
    }
    if (ReadU32(blob) != kBlobMagic) {
        return kErrMagic;
    }
    if (ReadU16(blob + 4) != kBlobVersion) {
        return kErrVersion;
    }
    const uint16_t dataLength = ReadU16(blob + 6);
    key.SetHeader(dataLength, ReadU16(blob + 8), blob[12], blob[13], ReadU16(blob + 14));
    if (blobLength < static_cast<size_t>(dataLength) + kBlobHeaderSize + kBlobSlack) {
        return kErrLength;
    }
    if (const int32_t code = key.AllocateData(); code != kOk) {
        return code;
    }
    key.SetOwnsDataFlag(ReadU16(blob + 10));
    const size_t tail = std::min<size_t>(16, blobLength - kBlobHeaderSize - dataLength);
    std::memcpy(key.Data(), blob + kBlobHeaderSize, dataLength + tail);
    return kOk;
}

uint32_t InputBlockLength(const CKeyObject& key, int mode) {
    const uint32_t bits = key.Bits();
    switch (static_cast<KeyKind>(key.Kind())) {
    case KeyKind::Digest:
        return 1;
    case KeyKind::SecretKey:
        return 8;
    case KeyKind::RsaPublic:
    case KeyKind::RsaPrivate:
        if (mode == 1 || mode == 2) {
            // Unsigned arithmetic would wrap for tiny keys; such keys have no data block at all.
            return bits >= 73 ? (bits - 1) / 8 - 8 : 0;
        }
        if (mode == 3 || mode == 4 || mode == 5 || mode == 6) {
            return (bits + 7) / 8;
        }
        return 0;
    }
    return 0;
}

uint32_t OutputBlockLength(const CKeyObject& key, int mode) {
    const uint32_t bits = key.Bits();
    switch (static_cast<KeyKind>(key.Kind())) {
    case KeyKind::Digest:
        return 1;
    case KeyKind::SecretKey:
        return 8;
    case KeyKind::RsaPublic:
    case KeyKind::RsaPrivate:
        if (mode == 1 || mode == 2 || mode == 5 || mode == 6) {
            return (bits + 7) / 8;
        }
        if (mode == 3 || mode == 4) {
            return bits >= 73 ? (bits - 1) / 8 - 8 : 0;
        }
        return 0;
    }
    return 0;
}

} // namespace rsa
