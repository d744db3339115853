#include "module/password/rsa/RsaEncrypt.h"

#include "module/password/rsa/CheckValue.h"
#include "module/password/rsa/RsaCodes.h"
#include "module/password/rsa/SecureBuffer.h"

#include <cstring>

namespace rsa {
namespace {

bool IsRsaKind(uint8_t kind) {
    return kind == static_cast<uint8_t>(KeyKind::RsaPublic) ||
           kind == static_cast<uint8_t>(KeyKind::RsaPrivate);
}

// Encryption modes: pad, frame each data block, apply the key.
int32_t EncryptStream(const CRsaOperation& op, int mode, const uint8_t* input, uint32_t inputLength,
                      uint32_t blockLength, uint32_t outBlock, uint8_t* output, uint32_t outputCapacity,
                      uint32_t* outputLength, CRandomGenerator& generator) {
    const size_t checkBytes = mode == kModeEncryptChecked ? kStreamCheckSize : 0;
    const size_t streamLength = inputLength + checkBytes;
    const size_t padding = blockLength - streamLength % blockLength;
    if (padding >= 256) {
        return kErrKeyData;
    }
    const size_t total = streamLength + padding;
    const size_t blocks = total / blockLength;
    if (blocks * outBlock > outputCapacity) {
        return kErrLength;
    }
    SecureBuffer stream(total);
    if (!stream.Valid()) {
        return kErrMagic;
    }
    if (inputLength != 0) {
        std::memcpy(stream.Data(), input, inputLength);
    }
    std::memset(stream.Data() + inputLength, static_cast<int>(padding), padding);
    if (checkBytes != 0) {
        if (const int32_t code = ComputeCheckValue(stream.Data() + inputLength + padding, kStreamCheckSize,
                                                   stream.Data(), inputLength + padding);
            code != kOk) {
            return code;
        }
    }

    SecureBuffer work(kMaxBlockLength);
    if (!work.Valid()) {
        return kErrMagic;
    }
    BigNum message;
    BigNum cipher;
    uint32_t written = 0;
    for (size_t b = 0; b < blocks; ++b) {
        std::memset(work.Data(), 0, work.Size());
        work[0] = kBlockMarker;
        std::memcpy(work.Data() + 1, stream.Data() + b * blockLength, blockLength);
        if (const int32_t code =
                ComputeCheckValue(work.Data() + blockLength + 1, 2, work.Data(), blockLength + 1);
            code != kOk) {
            return code;
        }
        for (size_t i = 0; i < kBlockRandomBytes; ++i) {
            if (const int32_t code = generator.Draw(work.Data() + blockLength + 3 + i); code != kOk) {
                return code;
            }
        }
        if (!message.SetBytesLE(work.Data(), blockLength + 3 + kBlockRandomBytes)) {
            return kErrArithmetic;
        }
        if (const int32_t code = op.Apply(message, cipher); code != kOk) {
            return code;
        }
        if (!cipher.GetBytesLE(output + written, outBlock)) {
            return kErrArithmetic;
        }
        written += outBlock;
        *outputLength = written;
    }
    return kOk;
}

// Decryption modes: apply the key to each full block, check its frame, then undo the padding.
int32_t DecryptStream(const CRsaOperation& op, int mode, const uint8_t* input, uint32_t inputLength,
                      uint32_t inBlock, uint32_t dataBlock, uint8_t* output, uint32_t outputCapacity,
                      uint32_t* outputLength) {
    if (inputLength % inBlock != 0) {
        return kErrBlockCheck;
    }
    const size_t blocks = inputLength / inBlock;
    SecureBuffer stream(blocks * dataBlock + 1);
    SecureBuffer work(kMaxBlockLength);
    if (!stream.Valid() || !work.Valid()) {
        return kErrMagic;
    }
    BigNum cipher;
    BigNum plain;
    for (size_t b = 0; b < blocks; ++b) {
        if (!cipher.SetBytesLE(input + b * inBlock, inBlock)) {
            return kErrArithmetic;
        }
        if (BigNum::Compare(cipher, op.Modulus()) >= 0) {
            return kErrBlockCheck;
        }
        if (const int32_t code = op.Apply(cipher, plain); code != kOk) {
            return code;
        }
        std::memset(work.Data(), 0, work.Size());
        if (!plain.GetBytesLE(work.Data(), work.Size())) {
            return kErrArithmetic;
        }
        uint8_t check[2];
        if (ComputeCheckValue(check, 2, work.Data(), dataBlock + 1) != kOk ||
            std::memcmp(check, work.Data() + dataBlock + 1, 2) != 0) {
            return kErrBlockCheck;
        }
        std::memcpy(stream.Data() + b * dataBlock, work.Data() + 1, dataBlock);
    }
    size_t held = blocks * dataBlock;
    if (mode == kModeDecryptChecked) {
        if (held < kStreamCheckSize) {
            return kErrBlockCheck;
        }
        held -= kStreamCheckSize;
        uint8_t check[kStreamCheckSize];
        if (ComputeCheckValue(check, kStreamCheckSize, stream.Data(), held) != kOk ||
            std::memcmp(check, stream.Data() + held, kStreamCheckSize) != 0) {
            return kErrStreamCheck;
        }
    }
    if (held == 0) {
        return kErrBlockCheck;
    }
    const size_t padding = stream[held - 1];
    if (padding == 0 || padding > held) {
        return kErrBlockCheck;
    }
    held -= padding;
    if (held > outputCapacity) {
        return kErrLength;
    }
    if (held != 0) {
        std::memcpy(output, stream.Data(), held);
    }
    *outputLength = static_cast<uint32_t>(held);
    return kOk;
}

int32_t RawStream(const CRsaOperation& op, const uint8_t* input, uint32_t inputLength, uint32_t block,
                  uint8_t* output, uint32_t outputCapacity, uint32_t* outputLength) {
    if (inputLength % block != 0) {
        return kErrBlockCheck;
    }
    if (inputLength > outputCapacity) {
        return kErrLength;
    }
    BigNum in;
    BigNum out;
    uint32_t written = 0;
    for (uint32_t pos = 0; pos < inputLength; pos += block) {
        if (!in.SetBytesLE(input + pos, block)) {
            return kErrArithmetic;
        }
        if (BigNum::Compare(in, op.Modulus()) >= 0) {
            return kErrBlockCheck;
        }
        if (const int32_t code = op.Apply(in, out); code != kOk) {
            return code;
        }
        if (!out.GetBytesLE(output + pos, block)) {
            return kErrArithmetic;
        }
        written += block;
        *outputLength = written;
    }
    return kOk;
}

} // namespace

int32_t CRsaOperation::Init(const CKeyData& key) {
    m_key = &key;
    if (!m_modN.Init(key.modulus)) {
        return kErrArithmetic;
    }
    if (key.isPrivate && (!m_modP.Init(key.primeP) || !m_modQ.Init(key.primeQ))) {
        return kErrArithmetic;
    }
    return kOk;
}

int32_t CRsaOperation::Apply(const BigNum& in, BigNum& out) const {
    if (m_key == nullptr) {
        return kErrArithmetic;
    }
    if (!m_key->isPrivate) {
        return m_modN.PowMod(in, m_key->exponent, out) ? kOk : kErrArithmetic;
    }
    // Garner's recombination: m = m2 + q * (coefficient * (m1 - m2) mod p).
    BigNum cp;
    BigNum cq;
    BigNum m1;
    BigNum m2;
    if (!BigNum::DivMod(in, m_key->primeP, nullptr, &cp) ||
        !BigNum::DivMod(in, m_key->primeQ, nullptr, &cq) || !m_modP.PowMod(cp, m_key->exponentP, m1) ||
        !m_modQ.PowMod(cq, m_key->exponentQ, m2)) {
        return kErrArithmetic;
    }
    BigNum m2p;
    BigNum diff;
    if (!BigNum::DivMod(m2, m_key->primeP, nullptr, &m2p)) {
        return kErrArithmetic;
    }
    if (BigNum::Compare(m1, m2p) >= 0) {
        if (!BigNum::Sub(m1, m2p, diff)) {
            return kErrArithmetic;
        }
    } else {
        BigNum lifted;
        if (!BigNum::Add(m1, m_key->primeP, lifted) || !BigNum::Sub(lifted, m2p, diff)) {
            return kErrArithmetic;
        }
    }
    BigNum h;
    BigNum hq;
    if (!BigNum::Mul(diff, m_key->coefficient, h) || !BigNum::DivMod(h, m_key->primeP, nullptr, &h) ||
        !BigNum::Mul(h, m_key->primeQ, hq) || !BigNum::Add(hq, m2, out)) {
        return kErrArithmetic;
    }
    return kOk;
}

int32_t RsaEncrypt(CKeyObject& key, int mode, const uint8_t* input, uint32_t inputLength,
                   uint32_t blockLength, uint8_t* output, uint32_t outputCapacity, uint32_t* outputLength,
                   CRandomGenerator& generator) {
    if (outputLength == nullptr) {
        return kErrLength;
    }
    *outputLength = 0;
    if (inputLength > kMaxEncryptInput || (input == nullptr && inputLength != 0)) {
        return kErrLength;
    }
    const uint32_t inBlock = InputBlockLength(key, mode);
    const uint32_t outBlock = OutputBlockLength(key, mode);
    if (blockLength < 1 || blockLength > kMaxBlockLength || inBlock < 1 || inBlock > kMaxBlockLength ||
        outBlock < 1 || outBlock > kMaxBlockLength) {
        return kErrKeyData;
    }
    // A data block longer than the key's would not fit below the modulus.
    if ((mode == kModeEncrypt || mode == kModeEncryptChecked) && blockLength > inBlock) {
        return kErrKeyData;
    }
    if (!IsRsaKind(key.Kind()) || mode < kModeEncrypt || mode > kModeRawB) {
        return kErrMode;
    }
    if (key.Variant() == kVariantNull) {
        return kOk;
    }
    if (key.Variant() != kVariantRsa) {
        return kErrMode;
    }
    if (output == nullptr && outputCapacity != 0) {
        return kErrLength;
    }

    CKeyData keyData;
    if (const int32_t code = ParseKeyData(key, keyData); code != kOk) {
        return code;
    }
    CRsaOperation op;
    if (const int32_t code = op.Init(keyData); code != kOk) {
        return code;
    }
    int32_t code = kOk;
    switch (mode) {
    case kModeEncrypt:
    case kModeEncryptChecked:
        code = EncryptStream(op, mode, input, inputLength, blockLength, outBlock, output, outputCapacity,
                             outputLength, generator);
        break;
    case kModeDecrypt:
    case kModeDecryptChecked:
        code = DecryptStream(op, mode, input, inputLength, inBlock, outBlock, output, outputCapacity,
                             outputLength);
        break;
    default:
        code = RawStream(op, input, inputLength, inBlock, output, outputCapacity, outputLength);
        break;
    }
    if (code != kOk && output != nullptr && *outputLength != 0) {
        // A failed call leaves no partial ciphertext or plaintext behind.
        SecureZero(output, *outputLength);
        *outputLength = 0;
    }
    return code;
}

int32_t RsaEncrypt(CKeyObject& key, int mode, const uint8_t* input, uint32_t inputLength,
                   uint32_t blockLength, uint8_t* output, uint32_t outputCapacity, uint32_t* outputLength) {
    return RsaEncrypt(key, mode, input, inputLength, blockLength, output, outputCapacity, outputLength,
                      ProcessGenerator());
}

} // namespace rsa
