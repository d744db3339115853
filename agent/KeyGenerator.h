#pragma once

#include "agent/KeyBlobWriter.h"

#include <cstdint>

namespace agent {

inline constexpr int kMinKeyBits = 80;
inline constexpr uint32_t kDefaultExponent = 65537;

// The result of a key generation: code 0 and both blobs, or a nonzero code and empty blobs.
struct KeyPair {
    int32_t code = 0;
    SecretBytes publicBlob;  // the value to publish in "KEL:KEL Public Key"
    SecretBytes privateBlob; // kept by the agent, read by `kelnt-agent unseal`
};

inline constexpr int32_t kKeygenOk = 0;
inline constexpr int32_t kKeygenBadBits = 1;     // bits outside 80 .. 848
inline constexpr int32_t kKeygenBadExponent = 2; // exponent even or below 3
inline constexpr int32_t kKeygenNoRandom = 3;    // the operating system's random source failed
inline constexpr int32_t kKeygenArithmetic = 4;

// Makes an RSA key whose modulus has exactly `bits` bits (848 and 424 are the sizes the sealing takes)
// with public exponent `exponent`, from the operating system's random source. The private blob carries
// the primes "PN" and "QN", "DP" and "DQ", and "CR" = q^-1 mod p.
[[nodiscard]] KeyPair GenerateKeyPair(int bits, uint32_t exponent = kDefaultExponent);

// Probabilistic primality test (trial division, then Miller-Rabin with `rounds` random bases).
[[nodiscard]] bool IsProbablePrime(const rsa::BigNum& candidate, int rounds);

// The blobs of a key given by its numbers; used by GenerateKeyPair and by tests that need fixed keys.
[[nodiscard]] KeyPair BuildKeyPair(int bits, const rsa::BigNum& p, const rsa::BigNum& q, uint32_t exponent);

} // namespace agent
