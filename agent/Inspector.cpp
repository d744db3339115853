#include "agent/Inspector.h"

#include "agent/Unsealer.h"
#include "module/password/SealPassword.h"
#include "module/password/rsa/CheckValue.h"
#include "module/password/rsa/KeyData.h"
#include "module/password/rsa/KeyObject.h"
#include "module/password/rsa/RsaCodes.h"
#include "module/password/rsa/RsaEncrypt.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace agent {
namespace {

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

std::string Hex(const uint8_t* data, size_t length, size_t limit = 64) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < length && i < limit; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
    }
    if (length > limit) {
        out += "...";
    }
    return out;
}

const char* KindName(uint8_t kind) {
    switch (kind) {
    case 1:
        return "digest";
    case 2:
        return "secret-key cipher";
    case 3:
        return "RSA public key";
    case 4:
        return "RSA private key";
    default:
        return "unknown";
    }
}

std::string Printable(const uint8_t* data, size_t length) {
    std::string out = "\"";
    for (size_t i = 0; i < length; ++i) {
        const uint8_t c = data[i];
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        }
    }
    return out + "\"";
}

const char* ImportCodeText(int32_t code) {
    switch (code) {
    case rsa::kOk:
        return "imported";
    case rsa::kErrLength:
        return "blob too short";
    case rsa::kErrMagic:
        return "bad magic, or no data area (external word set or data length 0)";
    case rsa::kErrVersion:
        return "version is not 101";
    case rsa::kErrInUse:
        return "object already owns data";
    default:
        return "rejected";
    }
}

void DescribeFields(std::ostringstream& out, const uint8_t* data, size_t dataLength) {
    const size_t end = dataLength - rsa::kTrailerSize;
    size_t pos = 0;
    while (pos < end) {
        if (end - pos < 4) {
            out << "  @" << pos << ": field header runs into the trailer (rejected)\n";
            return;
        }
        const char tag[3] = {static_cast<char>(data[pos]), static_cast<char>(data[pos + 1]), 0};
        const size_t length = ReadU16(data + pos + 2);
        out << "  @" << pos << " " << Printable(data + pos, 2) << " " << length << " bytes";
        if (end - pos - 4 < length) {
            out << ": value runs into the trailer (rejected)\n";
            return;
        }
        const uint8_t* value = data + pos + 4;
        const std::string t = tag;
        if (t == "BV") {
            out << " version text " << Printable(value, length)
                << (length > rsa::kMaxVersionText ? " (over 100 bytes)" : "");
        } else if (t == "BC" || t == "BA") {
            out << (t == "BC" ? " kind " : " variant ") << (length == 1 ? std::to_string(value[0]) : "-")
                << (length > 1 ? " (over 1 byte)" : "");
        } else if (t == "BL") {
            out << " bits " << (length == 2 ? std::to_string(ReadU16(value)) : "(not 2 bytes)");
        } else if (t == "MA") {
            out << " check value " << Hex(value, length);
        } else {
            rsa::BigNum number;
            const bool fits = length <= rsa::kMaxNumberBytes && number.SetBytesLE(value, length);
            out << " number";
            if (fits) {
                out << " of " << number.BitLength() << " bits";
            } else {
                out << " (over 106 bytes)";
            }
            out << " " << Hex(value, length, 16);
        }
        out << "\n";
        pos += 4 + length;
    }
}

} // namespace

std::string InspectKeyBlob(const uint8_t* blob, size_t length) {
    std::ostringstream out;
    out << "key blob, " << length << " bytes\n";
    if (length < rsa::kBlobHeaderSize) {
        out << "header: shorter than 16 bytes\nimport: code 1 (blob too short)\n";
        return out.str();
    }
    const uint32_t magic =
        static_cast<uint32_t>(ReadU16(blob)) | (static_cast<uint32_t>(ReadU16(blob + 2)) << 16);
    const uint16_t dataLength = ReadU16(blob + 6);
    char magicText[16];
    std::snprintf(magicText, sizeof magicText, "0x%08x", magic);
    out << "magic " << magicText << (magic == rsa::kBlobMagic ? " ok" : " WRONG (0x0000b10b)") << "\n";
    out << "version " << ReadU16(blob + 4)
        << (ReadU16(blob + 4) == rsa::kBlobVersion ? " ok" : " WRONG (101)") << "\n";
    out << "key data length " << dataLength << " (blob needs at least " << dataLength + 26 << ")\n";
    out << "external word " << ReadU16(blob + 8) << ", owns-data word " << ReadU16(blob + 10) << "\n";
    char variantText[8];
    std::snprintf(variantText, sizeof variantText, "0x%02x", blob[13]);
    out << "kind " << static_cast<int>(blob[12]) << " (" << KindName(blob[12]) << "), variant " << variantText
        << (blob[13] == rsa::kVariantRsa    ? " (RSA)"
            : blob[13] == rsa::kVariantNull ? " (null transform)"
                                            : "")
        << ", bits " << ReadU16(blob + 14) << "\n";

    rsa::CKeyObject key;
    const int32_t importCode = rsa::ImportKeyBlob(key, blob, length);
    out << "import: code " << importCode << " (" << ImportCodeText(importCode) << ")\n";
    if (importCode != rsa::kOk) {
        return out.str();
    }
    const uint8_t* data = key.Data();
    if (dataLength < rsa::kTrailerSize + rsa::kCheckFieldSize) {
        out << "key data: too short for the check field and trailer\n";
    } else {
        out << "key data fields:\n";
        DescribeFields(out, data, dataLength);
        out << "trailer: length " << ReadU16(data + dataLength - 8) << " (expected " << dataLength - 8
            << "), text " << Printable(data + dataLength - 6, 6) << "\n";
        uint8_t expected[rsa::kKeyCheckValueSize];
        (void)rsa::ComputeCheckValue(expected, sizeof expected, data, dataLength - 20);
        const rsa::KeyField check = rsa::FindKeyField(data, dataLength, "MA");
        const bool checkOk = check.present && check.length >= rsa::kKeyCheckValueSize &&
                             std::memcmp(expected, data + check.offset, rsa::kKeyCheckValueSize) == 0;
        out << "check value over bytes 0.." << dataLength - 21 << ": " << Hex(expected, sizeof expected)
            << (checkOk ? " matches \"MA\"" : " does NOT match \"MA\"") << "\n";
    }
    if (blob[13] == rsa::kVariantNull) {
        out << "key data: not used by the null transform\n";
        return out.str();
    }
    rsa::CKeyData keyData;
    const int32_t parseCode = rsa::ParseKeyData(key, keyData);
    out << "key data checks: " << (parseCode == rsa::kOk ? "accepted" : "rejected, code 7") << "\n";
    if (parseCode == rsa::kOk) {
        const SealedLayout layout = LayoutForBits(keyData.bits);
        out << "modulus " << keyData.modulus.BitLength() << " bits, exponent " << keyData.exponent.BitLength()
            << " bits" << (keyData.hasReductionConstant ? ", reduction constant present" : "") << "\n";
        out << "blocks: data " << layout.dataBlock << ", cipher " << layout.cipherBlock
            << "; a password seals into " << layout.blocks
            << " blocks = " << layout.blocks * layout.cipherBlock << " bytes"
            << (layout.blocks * layout.cipherBlock == kSealedPasswordSize ? ""
                                                                          : " (not 212: the sealing refuses)")
            << "\n";
        if (keyData.isPrivate) {
            out << "sealing: refused (a private key; publish the public one)\n";
        } else if (!keyData.exponent.IsOdd() ||
                   rsa::BigNum::Compare(keyData.exponent, rsa::BigNum::FromU64(3)) < 0) {
            out << "sealing: refused (the exponent must be odd and at least 3)\n";
        } else if (layout.blocks * layout.cipherBlock == kSealedPasswordSize) {
            out << "sealing: accepted\n";
        }
    }
    return out.str();
}

std::string InspectSealedValue(const uint8_t* value, size_t length) {
    std::ostringstream out;
    out << "sealed value, " << length << " bytes";
    if (length == kSealedValueSize) {
        out << ": " << kSealedPasswordSize << " sealed + " << kSealedValueSize - kSealedPasswordSize
            << " filler";
    } else if (length < kSealedPasswordSize) {
        out << ": shorter than the " << kSealedPasswordSize << "-byte sealed password";
    }
    out << "\n";
    if (length < kSealedPasswordSize) {
        return out.str();
    }
    for (const unsigned bits : {848u, 424u}) {
        const SealedLayout layout = LayoutForBits(bits);
        out << "as sealed under a " << bits - 7 << ".." << bits << "-bit key: " << layout.blocks
            << " blocks of " << layout.cipherBlock << " bytes (data " << layout.dataBlock << ", padding "
            << layout.padding << ")\n";
        for (size_t b = 0; b < layout.blocks; ++b) {
            out << "  block " << b + 1 << " @" << b * layout.cipherBlock << ": "
                << Hex(value + b * layout.cipherBlock, layout.cipherBlock, 16) << "\n";
        }
    }
    return out.str();
}

std::string Inspect(const uint8_t* data, size_t length) {
    if (length >= 4 && data[0] == 0x0B && data[1] == 0xB1 && data[2] == 0 && data[3] == 0) {
        return InspectKeyBlob(data, length);
    }
    return InspectSealedValue(data, length);
}

} // namespace agent
