#include "agent/KeyBlobWriter.h"

#include "module/password/rsa/CheckValue.h"
#include "module/password/rsa/KeyData.h"
#include "module/password/rsa/KeyObject.h"

namespace agent {
namespace {

void PutU16(SecretBytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

} // namespace

void CKeyBlobWriter::AddField(std::string_view tag, const uint8_t* value, size_t length) {
    m_fields.push_back(static_cast<uint8_t>(tag.size() > 0 ? tag[0] : ' '));
    m_fields.push_back(static_cast<uint8_t>(tag.size() > 1 ? tag[1] : ' '));
    PutU16(m_fields, static_cast<uint16_t>(length));
    m_fields.insert(m_fields.end(), value, value + length);
}

void CKeyBlobWriter::AddText(std::string_view tag, std::string_view text) {
    AddField(tag, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void CKeyBlobWriter::AddByte(std::string_view tag, uint8_t value) {
    AddField(tag, &value, 1);
}

void CKeyBlobWriter::AddU16(std::string_view tag, uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    AddField(tag, bytes, 2);
}

void CKeyBlobWriter::AddNumber(std::string_view tag, const rsa::BigNum& value, size_t length) {
    if (length == 0) {
        length = (value.BitLength() + 7) / 8;
    }
    SecretBytes bytes(length);
    if (!value.GetBytesLE(bytes.data(), length)) {
        bytes.assign(length, 0);
    }
    AddField(tag, bytes.data(), length);
}

SecretBytes CKeyBlobWriter::Finish(uint8_t kind, uint8_t variant, uint16_t bits) const {
    SecretBytes data = m_fields;
    uint8_t check[rsa::kKeyCheckValueSize];
    (void)rsa::ComputeCheckValue(check, sizeof check, data.data(), data.size());
    data.push_back('M');
    data.push_back('A');
    PutU16(data, rsa::kKeyCheckValueSize);
    data.insert(data.end(), check, check + sizeof check);
    const size_t dataLength = data.size() + rsa::kTrailerSize;
    PutU16(data, static_cast<uint16_t>(dataLength - rsa::kTrailerSize));
    const char* trailer =
        kind == static_cast<uint8_t>(rsa::KeyKind::RsaPrivate) ? rsa::kPrivateTrailer : rsa::kPublicTrailer;
    data.insert(data.end(), trailer, trailer + 6);

    SecretBytes blob;
    blob.reserve(rsa::kBlobHeaderSize + dataLength + rsa::kBlobSlack);
    PutU16(blob, static_cast<uint16_t>(rsa::kBlobMagic));
    PutU16(blob, static_cast<uint16_t>(rsa::kBlobMagic >> 16));
    PutU16(blob, rsa::kBlobVersion);
    PutU16(blob, static_cast<uint16_t>(dataLength));
    PutU16(blob, 0); // external word
    PutU16(blob, 0); // owns-data word
    blob.push_back(kind);
    blob.push_back(variant);
    PutU16(blob, bits);
    blob.insert(blob.end(), data.begin(), data.end());
    blob.insert(blob.end(), rsa::kBlobSlack, 0);
    return blob;
}

} // namespace agent
