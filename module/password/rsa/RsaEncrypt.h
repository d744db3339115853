#pragma once

#include "module/password/rsa/BigNum.h"
#include "module/password/rsa/KeyData.h"
#include "module/password/rsa/KeyObject.h"
#include "module/password/rsa/RandomGenerator.h"

#include <cstdint>

namespace rsa {

// Transform modes.
inline constexpr int kModeEncrypt = 1;
inline constexpr int kModeEncryptChecked = 2;
inline constexpr int kModeDecrypt = 3;
inline constexpr int kModeDecryptChecked = 4;
inline constexpr int kModeRawA = 5;
inline constexpr int kModeRawB = 6;

inline constexpr uint32_t kMaxEncryptInput = 16384;
inline constexpr uint32_t kMaxBlockLength = 300;
inline constexpr size_t kStreamCheckSize = 5;
inline constexpr uint8_t kBlockMarker = 0x0B;
inline constexpr size_t kBlockRandomBytes = 5;

// The key's arithmetic, set up once for a run of block operations.
class CRsaOperation {
public:
    // Answers kOk or kErrArithmetic (a modulus or prime that Montgomery arithmetic cannot take).
    [[nodiscard]] int32_t Init(const CKeyData& key);
    // The public operation for a public key, the private one (Chinese remainder theorem) for a private
    // key. `in` must be below the modulus. Answers kOk or kErrArithmetic.
    [[nodiscard]] int32_t Apply(const BigNum& in, BigNum& out) const;
    const BigNum& Modulus() const { return m_key->modulus; }

private:
    const CKeyData* m_key = nullptr;
    CMontgomery m_modN;
    CMontgomery m_modP;
    CMontgomery m_modQ;
};

// Runs the block transform of `mode` over `input` with the key and writes the whole result to `output`.
// `blockLength` is the size of the pieces fed to the transform; for encryption it is the data length of
// one block and may not exceed the key's input block length. Nothing is written past `outputCapacity`:
// a result that would not fit answers kErrLength before any output. Draws the per-block random bytes from
// `generator`.
[[nodiscard]] int32_t RsaEncrypt(CKeyObject& key, int mode, const uint8_t* input, uint32_t inputLength,
                                 uint32_t blockLength, uint8_t* output, uint32_t outputCapacity,
                                 uint32_t* outputLength, CRandomGenerator& generator);

// The same with the process-wide generator.
[[nodiscard]] int32_t RsaEncrypt(CKeyObject& key, int mode, const uint8_t* input, uint32_t inputLength,
                                 uint32_t blockLength, uint8_t* output, uint32_t outputCapacity,
                                 uint32_t* outputLength);

} // namespace rsa
