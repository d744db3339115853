#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace rsa {

// A non-negative multi-precision integer of at most kMaxLimbs 64-bit limbs, least significant limb first.
// Large enough for the product of two numbers of the largest modulus the key format holds. Its limbs are
// zero-filled when it goes away, since it carries plaintext and key material.
class BigNum {
public:
    static constexpr size_t kMaxLimbs = 36;

    BigNum() = default;
    ~BigNum();
    BigNum(const BigNum& other) = default;
    BigNum& operator=(const BigNum& other) = default;

    static BigNum FromU64(uint64_t value);
    // Reads `length` bytes, least significant first. Answers false when they do not fit.
    [[nodiscard]] bool SetBytesLE(const uint8_t* bytes, size_t length);
    // Writes the low `length` bytes, least significant first; answers false when the value needs more.
    [[nodiscard]] bool GetBytesLE(uint8_t* out, size_t length) const;

    size_t Size() const { return m_size; }
    uint64_t Limb(size_t i) const { return i < m_size ? m_limbs[i] : 0; }
    size_t BitLength() const;
    bool Bit(size_t i) const;
    bool IsZero() const { return m_size == 0; }
    bool IsOdd() const { return m_size != 0 && (m_limbs[0] & 1) != 0; }

    static int Compare(const BigNum& a, const BigNum& b);
    // These answer false on overflow of the fixed capacity (or, for Sub, when a < b).
    [[nodiscard]] static bool Add(const BigNum& a, const BigNum& b, BigNum& out);
    [[nodiscard]] static bool Sub(const BigNum& a, const BigNum& b, BigNum& out);
    [[nodiscard]] static bool Mul(const BigNum& a, const BigNum& b, BigNum& out);
    // quotient and remainder of a / m; either output may be null. False when m is zero.
    [[nodiscard]] static bool DivMod(const BigNum& a, const BigNum& m, BigNum* quotient, BigNum* remainder);
    // Small-operand helpers for key generation.
    [[nodiscard]] static bool AddSmall(const BigNum& a, uint64_t b, BigNum& out);
    [[nodiscard]] static bool MulSmall(const BigNum& a, uint64_t b, BigNum& out);
    static uint64_t ModSmall(const BigNum& a, uint64_t m);
    static void DivSmall(const BigNum& a, uint64_t m, BigNum& out);
    void ShiftRight(size_t bits);
    void SetBit(size_t bit);

    uint64_t* LimbData() { return m_limbs.data(); }
    const uint64_t* LimbData() const { return m_limbs.data(); }
    // Sets the size and drops leading zero limbs.
    void Normalise(size_t size);

private:
    std::array<uint64_t, kMaxLimbs> m_limbs{};
    size_t m_size = 0;
};

// Montgomery arithmetic modulo an odd number: the reduction constants are derived from the modulus once,
// and every exponentiation then runs on multiplications without division.
class CMontgomery {
public:
    static constexpr size_t kMaxModulusLimbs = 16;

    CMontgomery() = default;
    ~CMontgomery();
    CMontgomery(const CMontgomery&) = delete;
    CMontgomery& operator=(const CMontgomery&) = delete;

    // False when the modulus is even, below 3, or longer than kMaxModulusLimbs limbs.
    [[nodiscard]] bool Init(const BigNum& modulus);
    // base^exponent mod n; base must already be below the modulus. False on an arithmetic failure.
    [[nodiscard]] bool PowMod(const BigNum& base, const BigNum& exponent, BigNum& out) const;
    const BigNum& Modulus() const { return m_modulus; }

private:
    // Scratch areas for the operations below: 2 * kMaxModulusLimbs + 1 limbs.
    static constexpr size_t kScratchLimbs = 2 * kMaxModulusLimbs + 1;
    // a * b / R mod n; `out` may be `a` or `b`.
    void MontMul(const uint64_t* a, const uint64_t* b, uint64_t* out, uint64_t* scratch) const;
    // a * a / R mod n.
    void MontSquare(const uint64_t* a, uint64_t* out, uint64_t* scratch) const;
    // a / R mod n: out of the Montgomery form.
    void MontReduce(const uint64_t* a, uint64_t* out, uint64_t* scratch) const;

    BigNum m_modulus;
    BigNum m_rr; // R^2 mod n, R = 2^(64 * m_limbs)
    uint64_t m_n0Inv = 0;
    size_t m_limbs = 0;
};

} // namespace rsa
