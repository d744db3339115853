#include "agent/KeyGenerator.h"

#include "module/password/rsa/KeyData.h"
#include "module/password/rsa/KeyObject.h"

#include <cerrno>
#include <sys/random.h>

namespace agent {
namespace {

using rsa::BigNum;

constexpr int kMillerRabinRounds = 40;

bool RandomBytes(uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t got = getrandom(data, length, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

// A random number of exactly `bits` bits below 2^bits with the top two bits set, so that the product of
// two such numbers has exactly the sum of their bit counts.
bool RandomCandidate(size_t bits, BigNum& out) {
    rsa::SecureBuffer bytes((bits + 7) / 8);
    if (!bytes.Valid() || !RandomBytes(bytes.Data(), bytes.Size())) {
        return false;
    }
    const size_t extra = bytes.Size() * 8 - bits;
    bytes[bytes.Size() - 1] &= static_cast<uint8_t>(0xFFu >> extra);
    if (!out.SetBytesLE(bytes.Data(), bytes.Size())) {
        return false;
    }
    out.SetBit(bits - 1);
    out.SetBit(bits - 2);
    out.SetBit(0);
    return true;
}

uint64_t Gcd(uint64_t a, uint64_t b) {
    while (b != 0) {
        const uint64_t t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// x^-1 mod m for coprime x and m (m small), by the extended Euclidean algorithm.
uint64_t InverseSmall(uint64_t x, uint64_t m) {
    __int128 oldR = static_cast<__int128>(x % m);
    __int128 r = m;
    __int128 oldS = 1;
    __int128 s = 0;
    while (r != 0) {
        const __int128 q = oldR / r;
        const __int128 tr = oldR - q * r;
        oldR = r;
        r = tr;
        const __int128 ts = oldS - q * s;
        oldS = s;
        s = ts;
    }
    __int128 result = oldS % static_cast<__int128>(m);
    if (result < 0) {
        result += m;
    }
    return static_cast<uint64_t>(result);
}

// e^-1 mod modulus for a small e coprime to it: d = (k * modulus + 1) / e with k = -modulus^-1 mod e.
bool InverseOfSmall(uint64_t e, const BigNum& modulus, BigNum& out) {
    const uint64_t r = BigNum::ModSmall(modulus, e);
    if (r == 0 || Gcd(r, e) != 1) {
        return false;
    }
    const uint64_t k = (e - InverseSmall(r, e)) % e;
    BigNum t;
    if (!BigNum::MulSmall(modulus, k, t) || !BigNum::AddSmall(t, 1, t)) {
        return false;
    }
    if (BigNum::ModSmall(t, e) != 0) {
        return false;
    }
    BigNum::DivSmall(t, e, out);
    return true;
}

bool MakePrime(size_t bits, uint64_t exponent, BigNum& out) {
    for (int attempt = 0; attempt < 100000; ++attempt) {
        BigNum candidate;
        if (!RandomCandidate(bits, candidate)) {
            return false;
        }
        // p - 1 must be coprime to e, or no private exponent exists.
        const uint64_t pm1 = BigNum::ModSmall(candidate, exponent);
        if (Gcd((pm1 + exponent - 1) % exponent, exponent) != 1) {
            continue;
        }
        if (IsProbablePrime(candidate, kMillerRabinRounds)) {
            out = candidate;
            return true;
        }
    }
    return false;
}

constexpr uint32_t kSmallPrimes[] = {
    3,   5,   7,   11,  13,  17,  19,  23,  29,  31,  37,  41,  43,  47,  53,  59,  61,  67,  71,  73,
    79,  83,  89,  97,  101, 103, 107, 109, 113, 127, 131, 137, 139, 149, 151, 157, 163, 167, 173, 179,
    181, 191, 193, 197, 199, 211, 223, 227, 229, 233, 239, 241, 251, 257, 263, 269, 271, 277, 281, 283};

} // namespace

bool IsProbablePrime(const BigNum& candidate, int rounds) {
    if (candidate.BitLength() <= 1) {
        return false;
    }
    if (!candidate.IsOdd()) {
        return BigNum::Compare(candidate, BigNum::FromU64(2)) == 0;
    }
    for (const uint32_t small : kSmallPrimes) {
        if (BigNum::ModSmall(candidate, small) == 0) {
            return candidate.BitLength() <= 9 && BigNum::Compare(candidate, BigNum::FromU64(small)) == 0;
        }
    }
    if (candidate.BitLength() <= 16) {
        return true; // a composite below 2^16 has a factor of at most 283
    }
    BigNum minusOne;
    if (!BigNum::Sub(candidate, BigNum::FromU64(1), minusOne)) {
        return false;
    }
    size_t shift = 0;
    while (!minusOne.Bit(shift)) {
        ++shift;
    }
    BigNum odd = minusOne;
    odd.ShiftRight(shift);
    rsa::CMontgomery mont;
    if (!mont.Init(candidate)) {
        return false;
    }
    const BigNum two = BigNum::FromU64(2);
    for (int round = 0; round < rounds; ++round) {
        BigNum base;
        if (!RandomCandidate(candidate.BitLength() - 1, base)) {
            return false;
        }
        BigNum x;
        if (!mont.PowMod(base, odd, x)) {
            return false;
        }
        if (BigNum::Compare(x, BigNum::FromU64(1)) == 0 || BigNum::Compare(x, minusOne) == 0) {
            continue;
        }
        bool composite = true;
        for (size_t i = 1; i < shift; ++i) {
            if (!mont.PowMod(x, two, x)) {
                return false;
            }
            if (BigNum::Compare(x, minusOne) == 0) {
                composite = false;
                break;
            }
        }
        if (composite) {
            return false;
        }
    }
    return true;
}

KeyPair BuildKeyPair(int bits, const BigNum& p, const BigNum& q, uint32_t exponent) {
    KeyPair result;
    result.code = kKeygenArithmetic;
    BigNum n;
    BigNum pm1;
    BigNum qm1;
    BigNum dp;
    BigNum dq;
    BigNum qModP;
    BigNum pm2;
    BigNum coefficient;
    rsa::CMontgomery modP;
    const BigNum one = BigNum::FromU64(1);
    if (!BigNum::Mul(p, q, n) || static_cast<int>(n.BitLength()) != bits || !BigNum::Sub(p, one, pm1) ||
        !BigNum::Sub(q, one, qm1) || !InverseOfSmall(exponent, pm1, dp) ||
        !InverseOfSmall(exponent, qm1, dq)) {
        return result;
    }
    // p is prime, so q^(p-2) is q's inverse modulo p.
    if (!BigNum::DivMod(q, p, nullptr, &qModP) || qModP.IsZero() || !BigNum::Sub(pm1, one, pm2) ||
        !modP.Init(p) || !modP.PowMod(qModP, pm2, coefficient)) {
        return result;
    }
    const size_t modulusBytes = (static_cast<size_t>(bits) + 7) / 8;
    const BigNum e = BigNum::FromU64(exponent);
    for (const uint8_t kind :
         {static_cast<uint8_t>(rsa::KeyKind::RsaPublic), static_cast<uint8_t>(rsa::KeyKind::RsaPrivate)}) {
        CKeyBlobWriter writer;
        writer.AddText("BV", rsa::kVersionText);
        writer.AddByte("BC", kind);
        writer.AddByte("BA", rsa::kVariantRsa);
        writer.AddU16("BL", static_cast<uint16_t>(bits));
        writer.AddNumber("NN", n, modulusBytes);
        writer.AddNumber("EN", e);
        if (kind == static_cast<uint8_t>(rsa::KeyKind::RsaPrivate)) {
            writer.AddNumber("PN", p);
            writer.AddNumber("QN", q);
            writer.AddNumber("DP", dp);
            writer.AddNumber("DQ", dq);
            writer.AddNumber("CR", coefficient);
            result.privateBlob = writer.Finish(kind, rsa::kVariantRsa, static_cast<uint16_t>(bits));
        } else {
            result.publicBlob = writer.Finish(kind, rsa::kVariantRsa, static_cast<uint16_t>(bits));
        }
    }
    result.code = kKeygenOk;
    return result;
}

KeyPair GenerateKeyPair(int bits, uint32_t exponent) {
    KeyPair result;
    if (bits < kMinKeyBits || bits > static_cast<int>(rsa::kMaxKeyBits)) {
        result.code = kKeygenBadBits;
        return result;
    }
    if (exponent < 3 || exponent % 2 == 0) {
        result.code = kKeygenBadExponent;
        return result;
    }
    const size_t pBits = (static_cast<size_t>(bits) + 1) / 2;
    const size_t qBits = static_cast<size_t>(bits) / 2;
    for (int attempt = 0; attempt < 100; ++attempt) {
        BigNum p;
        BigNum q;
        if (!MakePrime(pBits, exponent, p) || !MakePrime(qBits, exponent, q)) {
            result.code = kKeygenNoRandom;
            return result;
        }
        if (BigNum::Compare(p, q) == 0) {
            continue;
        }
        result = BuildKeyPair(bits, p, q, exponent);
        if (result.code == kKeygenOk) {
            return result;
        }
    }
    result.code = kKeygenArithmetic;
    return result;
}

} // namespace agent
