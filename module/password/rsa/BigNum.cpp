#include "module/password/rsa/BigNum.h"

#include "module/password/rsa/SecureBuffer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace rsa {
namespace {

using U128 = unsigned __int128;

} // namespace

BigNum::~BigNum() {
    // Every operation leaves the limbs above the size at zero, so only the used ones carry data.
    SecureZero(m_limbs.data(), sizeof(uint64_t) * m_size);
}

void BigNum::Normalise(size_t size) {
    m_size = std::min(size, kMaxLimbs);
    while (m_size > 0 && m_limbs[m_size - 1] == 0) {
        --m_size;
    }
    for (size_t i = m_size; i < kMaxLimbs; ++i) {
        m_limbs[i] = 0;
    }
}

BigNum BigNum::FromU64(uint64_t value) {
    BigNum n;
    n.m_limbs[0] = value;
    n.Normalise(1);
    return n;
}

bool BigNum::SetBytesLE(const uint8_t* bytes, size_t length) {
    m_limbs.fill(0);
    m_size = 0;
    size_t used = length;
    while (used > 0 && bytes[used - 1] == 0) {
        --used;
    }
    if (used > kMaxLimbs * 8) {
        return false;
    }
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(m_limbs.data(), bytes, used);
    } else {
        for (size_t i = 0; i < used; ++i) {
            m_limbs[i / 8] |= static_cast<uint64_t>(bytes[i]) << (8 * (i % 8));
        }
    }
    Normalise((used + 7) / 8);
    return true;
}

bool BigNum::GetBytesLE(uint8_t* out, size_t length) const {
    if ((BitLength() + 7) / 8 > length) {
        return false;
    }
    if constexpr (std::endian::native == std::endian::little) {
        const size_t used = std::min(length, m_size * 8);
        std::memcpy(out, m_limbs.data(), used);
        std::memset(out + used, 0, length - used);
    } else {
        for (size_t i = 0; i < length; ++i) {
            out[i] = i / 8 < m_size ? static_cast<uint8_t>(m_limbs[i / 8] >> (8 * (i % 8))) : 0;
        }
    }
    return true;
}

size_t BigNum::BitLength() const {
    if (m_size == 0) {
        return 0;
    }
    return 64 * (m_size - 1) + (64 - static_cast<size_t>(std::countl_zero(m_limbs[m_size - 1])));
}

bool BigNum::Bit(size_t i) const {
    return i / 64 < m_size && ((m_limbs[i / 64] >> (i % 64)) & 1) != 0;
}

void BigNum::SetBit(size_t bit) {
    if (bit / 64 < kMaxLimbs) {
        m_limbs[bit / 64] |= uint64_t{1} << (bit % 64);
        Normalise(std::max(m_size, bit / 64 + 1));
    }
}

int BigNum::Compare(const BigNum& a, const BigNum& b) {
    if (a.m_size != b.m_size) {
        return a.m_size < b.m_size ? -1 : 1;
    }
    for (size_t i = a.m_size; i-- > 0;) {
        if (a.m_limbs[i] != b.m_limbs[i]) {
            return a.m_limbs[i] < b.m_limbs[i] ? -1 : 1;
        }
    }
    return 0;
}

bool BigNum::Add(const BigNum& a, const BigNum& b, BigNum& out) {
    const size_t n = std::max(a.m_size, b.m_size);
    BigNum r;
    uint64_t carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const U128 s = static_cast<U128>(a.Limb(i)) + b.Limb(i) + carry;
        r.m_limbs[i] = static_cast<uint64_t>(s);
        carry = static_cast<uint64_t>(s >> 64);
    }
    if (carry != 0) {
        if (n >= kMaxLimbs) {
            return false;
        }
        r.m_limbs[n] = carry;
    }
    r.Normalise(n + 1);
    out = r;
    return true;
}

bool BigNum::Sub(const BigNum& a, const BigNum& b, BigNum& out) {
    if (Compare(a, b) < 0) {
        return false;
    }
    BigNum r;
    uint64_t borrow = 0;
    for (size_t i = 0; i < a.m_size; ++i) {
        const uint64_t bi = b.Limb(i);
        const uint64_t d = a.m_limbs[i] - bi - borrow;
        borrow = (a.m_limbs[i] < bi || (a.m_limbs[i] == bi && borrow != 0)) ? 1 : 0;
        r.m_limbs[i] = d;
    }
    r.Normalise(a.m_size);
    out = r;
    return true;
}

bool BigNum::Mul(const BigNum& a, const BigNum& b, BigNum& out) {
    if (a.m_size == 0 || b.m_size == 0) {
        out = BigNum();
        return true;
    }
    if (a.m_size + b.m_size > kMaxLimbs) {
        return false;
    }
    BigNum r;
    for (size_t i = 0; i < a.m_size; ++i) {
        uint64_t carry = 0;
        for (size_t j = 0; j < b.m_size; ++j) {
            const U128 t = static_cast<U128>(a.m_limbs[i]) * b.m_limbs[j] + r.m_limbs[i + j] + carry;
            r.m_limbs[i + j] = static_cast<uint64_t>(t);
            carry = static_cast<uint64_t>(t >> 64);
        }
        r.m_limbs[i + b.m_size] = carry;
    }
    r.Normalise(a.m_size + b.m_size);
    out = r;
    return true;
}

bool BigNum::AddSmall(const BigNum& a, uint64_t b, BigNum& out) {
    return Add(a, FromU64(b), out);
}

bool BigNum::MulSmall(const BigNum& a, uint64_t b, BigNum& out) {
    return Mul(a, FromU64(b), out);
}

uint64_t BigNum::ModSmall(const BigNum& a, uint64_t m) {
    U128 r = 0;
    for (size_t i = a.m_size; i-- > 0;) {
        r = ((r << 64) | a.m_limbs[i]) % m;
    }
    return static_cast<uint64_t>(r);
}

void BigNum::DivSmall(const BigNum& a, uint64_t m, BigNum& out) {
    BigNum q;
    U128 r = 0;
    for (size_t i = a.m_size; i-- > 0;) {
        const U128 cur = (r << 64) | a.m_limbs[i];
        q.m_limbs[i] = static_cast<uint64_t>(cur / m);
        r = cur % m;
    }
    q.Normalise(a.m_size);
    out = q;
}

void BigNum::ShiftRight(size_t bits) {
    const size_t limbShift = bits / 64;
    const unsigned bitShift = bits % 64;
    if (limbShift >= m_size) {
        m_limbs.fill(0);
        m_size = 0;
        return;
    }
    const size_t n = m_size - limbShift;
    for (size_t i = 0; i < n; ++i) {
        uint64_t v = m_limbs[i + limbShift] >> bitShift;
        if (bitShift != 0 && i + limbShift + 1 < m_size) {
            v |= m_limbs[i + limbShift + 1] << (64 - bitShift);
        }
        m_limbs[i] = v;
    }
    Normalise(n);
}

// Knuth's algorithm D (TAOCP 4.3.1) on 64-bit digits.
bool BigNum::DivMod(const BigNum& a, const BigNum& m, BigNum* quotient, BigNum* remainder) {
    if (m.m_size == 0) {
        return false;
    }
    if (Compare(a, m) < 0) {
        if (remainder != nullptr) {
            *remainder = a;
        }
        if (quotient != nullptr) {
            *quotient = BigNum();
        }
        return true;
    }
    if (m.m_size == 1) {
        const uint64_t r = ModSmall(a, m.m_limbs[0]);
        if (quotient != nullptr) {
            DivSmall(a, m.m_limbs[0], *quotient);
        }
        if (remainder != nullptr) {
            *remainder = FromU64(r);
        }
        return true;
    }
    const size_t n = m.m_size;
    const size_t mm = a.m_size - n;
    const unsigned s = static_cast<unsigned>(std::countl_zero(m.m_limbs[n - 1]));
    uint64_t v[kMaxLimbs] = {};
    uint64_t u[kMaxLimbs + 1] = {};
    for (size_t i = n; i-- > 0;) {
        v[i] = (m.m_limbs[i] << s) | (s != 0 && i > 0 ? m.m_limbs[i - 1] >> (64 - s) : 0);
    }
    u[a.m_size] = s != 0 ? a.m_limbs[a.m_size - 1] >> (64 - s) : 0;
    for (size_t i = a.m_size; i-- > 0;) {
        u[i] = (a.m_limbs[i] << s) | (s != 0 && i > 0 ? a.m_limbs[i - 1] >> (64 - s) : 0);
    }
    BigNum q;
    for (size_t j = mm + 1; j-- > 0;) {
        const U128 num = (static_cast<U128>(u[j + n]) << 64) | u[j + n - 1];
        U128 qhat = num / v[n - 1];
        U128 rhat = num % v[n - 1];
        while (qhat >> 64 != 0 || qhat * v[n - 2] > ((rhat << 64) | u[j + n - 2])) {
            --qhat;
            rhat += v[n - 1];
            if (rhat >> 64 != 0) {
                break;
            }
        }
        // The test above leaves qhat below 2^64 (Knuth's step D3), so the row product needs one 64-bit
        // multiplication per limb.
        uint64_t digit = static_cast<uint64_t>(qhat);
        // Multiply and subtract.
        uint64_t borrow = 0;
        uint64_t carry = 0;
        for (size_t i = 0; i < n; ++i) {
            const U128 p = static_cast<U128>(digit) * v[i] + carry;
            carry = static_cast<uint64_t>(p >> 64);
            const uint64_t pl = static_cast<uint64_t>(p);
            const uint64_t t = u[i + j] - pl - borrow;
            borrow = (u[i + j] < pl || (u[i + j] == pl && borrow != 0)) ? 1 : 0;
            u[i + j] = t;
        }
        const uint64_t t = u[j + n] - carry - borrow;
        const bool negative = u[j + n] < carry || (u[j + n] == carry && borrow != 0);
        u[j + n] = t;
        if (negative) {
            --digit;
            uint64_t c = 0;
            for (size_t i = 0; i < n; ++i) {
                const U128 sum = static_cast<U128>(u[i + j]) + v[i] + c;
                u[i + j] = static_cast<uint64_t>(sum);
                c = static_cast<uint64_t>(sum >> 64);
            }
            u[j + n] += c;
        }
        q.m_limbs[j] = digit;
    }
    q.Normalise(mm + 1);
    if (remainder != nullptr) {
        BigNum r;
        for (size_t i = 0; i < n; ++i) {
            r.m_limbs[i] = (u[i] >> s) | (s != 0 ? u[i + 1] << (64 - s) : 0);
        }
        r.Normalise(n);
        *remainder = r;
    }
    if (quotient != nullptr) {
        *quotient = q;
    }
    SecureZero(u, sizeof u);
    SecureZero(v, sizeof v);
    return true;
}

CMontgomery::~CMontgomery() {
    m_n0Inv = 0;
}

bool CMontgomery::Init(const BigNum& modulus) {
    if (!modulus.IsOdd() || modulus.Size() > kMaxModulusLimbs || modulus.BitLength() < 2) {
        return false;
    }
    m_modulus = modulus;
    m_limbs = modulus.Size();
    // Newton's iteration doubles the correct low bits of n^-1 mod 2^64 at each step.
    const uint64_t n0 = modulus.Limb(0);
    uint64_t inv = n0;
    for (int i = 0; i < 6; ++i) {
        inv *= 2 - n0 * inv;
    }
    m_n0Inv = ~inv + 1;
    BigNum r2;
    r2.SetBit(128 * m_limbs);
    return BigNum::DivMod(r2, modulus, nullptr, &m_rr);
}

namespace {

// The column loops below run a fixed number of times for each limb count; unrolled, every limb index is a
// constant and the accumulators stay in registers. Clang unrolls them by its own measure and reports a
// pragma that it cannot honour as an error, so the request is made of GCC only.
#if defined(__GNUC__) && !defined(__clang__)
#define KELNT_UNROLL_FULLY _Pragma("GCC unroll 16")
#else
#define KELNT_UNROLL_FULLY
#endif

enum class MontOp { Multiply, Square, Reduce };

// A three-limb column accumulator.
struct Column {
    uint64_t lo = 0;
    uint64_t hi = 0;
    uint64_t top = 0;

    // Adds x * y. On x86-64 this is the four instructions the carry chain needs; compilers otherwise spill
    // the carry into a byte register and back at every product.
    void MulAdd(uint64_t x, uint64_t y) {
#if defined(__x86_64__) && defined(__GNUC__) && !defined(KELNT_PORTABLE_ARITHMETIC)
        uint64_t high;
        asm("mulq %[y]\n\t"
            "addq %%rax, %[lo]\n\t"
            "adcq %%rdx, %[hi]\n\t"
            "adcq $0, %[top]"
            : [lo] "+r"(lo), [hi] "+r"(hi), [top] "+r"(top), "+a"(x), "=&d"(high)
            : [y] "rm"(y)
            : "cc");
#else
        const U128 p = static_cast<U128>(x) * y;
        const U128 sum = ((static_cast<U128>(hi) << 64) | lo) + p;
        top += sum < p ? 1 : 0;
        lo = static_cast<uint64_t>(sum);
        hi = static_cast<uint64_t>(sum >> 64);
#endif
    }
    void Add(uint64_t x) {
        const U128 sum = ((static_cast<U128>(hi) << 64) | lo) + x;
        top += sum < x ? 1 : 0;
        lo = static_cast<uint64_t>(sum);
        hi = static_cast<uint64_t>(sum >> 64);
    }
    void Add(const Column& other) {
        const U128 mine = (static_cast<U128>(hi) << 64) | lo;
        const U128 theirs = (static_cast<U128>(other.hi) << 64) | other.lo;
        const U128 sum = mine + theirs;
        top += other.top + (sum < theirs ? 1 : 0);
        lo = static_cast<uint64_t>(sum);
        hi = static_cast<uint64_t>(sum >> 64);
    }
    void Double() {
        top = (top << 1) | (hi >> 63);
        hi = (hi << 1) | (lo >> 63);
        lo <<= 1;
    }
    // Moves on to the next column: the low limb is done.
    void Shift() {
        lo = hi;
        hi = top;
        top = 0;
    }
};

// Montgomery multiplication in product-scanning form (the "finely integrated product scanning" method):
// each result column gathers its products of a * b and of m * n in three-limb accumulators held in
// registers, so no intermediate row goes through memory. Written for a fixed limb count so that the
// compiler can unroll it for each modulus size.
//
// Square (b is a) takes each cross product once and doubles the column's sum, a quarter fewer products;
// Reduce (b is 1) only leaves the Montgomery form, so it has no a * b products at all. `scratch` holds
// 2N + 1 limbs of intermediate values; the caller zero-fills it once after a run of operations.
template <size_t N, MontOp kOp>
void MontFixed(const uint64_t* a, const uint64_t* b, const uint64_t* mod, uint64_t n0Inv, uint64_t* out,
               uint64_t* scratch) {
    uint64_t* m = scratch;
    uint64_t* t = scratch + N;
    Column acc;
    // The a * b products of column i, for i - N < j <= i.
    const auto products = [&](size_t i) {
        const size_t low = i >= N ? i - N + 1 : 0;
        if constexpr (kOp == MontOp::Multiply) {
            const size_t high = i < N ? i : N - 1;
            KELNT_UNROLL_FULLY for (size_t j = low; j <= high; ++j) {
                acc.MulAdd(a[j], b[i - j]);
            }
        } else if constexpr (kOp == MontOp::Square) {
            Column cross;
            KELNT_UNROLL_FULLY for (size_t j = low; j < i - j; ++j) {
                cross.MulAdd(a[j], a[i - j]);
            }
            cross.Double();
            acc.Add(cross);
            if (i % 2 == 0) {
                acc.MulAdd(a[i / 2], a[i / 2]);
            }
        } else {
            if (i < N) {
                acc.Add(a[i]);
            }
        }
    };
    // The m * n products of a column go to an accumulator of their own, so that the processor runs their
    // carry chain beside the one of the a * b products; the two meet once per column.
    const auto reduction = [&](size_t low, size_t high, size_t i) {
        Column column;
        KELNT_UNROLL_FULLY for (size_t j = low; j < high; ++j) {
            column.MulAdd(m[j], mod[i - j]);
        }
        acc.Add(column);
    };
    KELNT_UNROLL_FULLY for (size_t i = 0; i < N; ++i) {
        products(i);
        reduction(0, i, i);
        m[i] = acc.lo * n0Inv;
        acc.MulAdd(m[i], mod[0]); // clears the low limb
        acc.Shift();
    }
    KELNT_UNROLL_FULLY for (size_t i = N; i < 2 * N - 1; ++i) {
        products(i);
        reduction(i - N + 1, N, i);
        t[i - N] = acc.lo;
        acc.Shift();
    }
    t[N - 1] = acc.lo;
    t[N] = acc.hi;
    // t < 2n here; one conditional subtraction brings it below n.
    bool geq = t[N] != 0;
    if (!geq) {
        geq = true;
        for (size_t i = N; i-- > 0;) {
            if (t[i] != mod[i]) {
                geq = t[i] > mod[i];
                break;
            }
        }
    }
    if (geq) {
        uint64_t borrow = 0;
        for (size_t i = 0; i < N; ++i) {
            const uint64_t d = t[i] - mod[i] - borrow;
            borrow = (t[i] < mod[i] || (t[i] == mod[i] && borrow != 0)) ? 1 : 0;
            t[i] = d;
        }
    }
    std::memcpy(out, t, N * sizeof(uint64_t));
}

using MontFunction = void (*)(const uint64_t*, const uint64_t*, const uint64_t*, uint64_t, uint64_t*,
                              uint64_t*);

template <MontOp kOp, size_t... I>
constexpr std::array<MontFunction, sizeof...(I)> MakeMontTable(std::index_sequence<I...>) {
    return {&MontFixed<I + 1, kOp>...};
}

constexpr std::array<std::array<MontFunction, CMontgomery::kMaxModulusLimbs>, 3> kMontTable = {
    MakeMontTable<MontOp::Multiply>(std::make_index_sequence<CMontgomery::kMaxModulusLimbs>()),
    MakeMontTable<MontOp::Square>(std::make_index_sequence<CMontgomery::kMaxModulusLimbs>()),
    MakeMontTable<MontOp::Reduce>(std::make_index_sequence<CMontgomery::kMaxModulusLimbs>()),
};

} // namespace

void CMontgomery::MontMul(const uint64_t* a, const uint64_t* b, uint64_t* out, uint64_t* scratch) const {
    kMontTable[0][m_limbs - 1](a, b, m_modulus.LimbData(), m_n0Inv, out, scratch);
}

void CMontgomery::MontSquare(const uint64_t* a, uint64_t* out, uint64_t* scratch) const {
    kMontTable[1][m_limbs - 1](a, a, m_modulus.LimbData(), m_n0Inv, out, scratch);
}

void CMontgomery::MontReduce(const uint64_t* a, uint64_t* out, uint64_t* scratch) const {
    kMontTable[2][m_limbs - 1](a, nullptr, m_modulus.LimbData(), m_n0Inv, out, scratch);
}

bool CMontgomery::PowMod(const BigNum& base, const BigNum& exponent, BigNum& out) const {
    if (m_limbs == 0 || BigNum::Compare(base, m_modulus) >= 0) {
        return false;
    }
    const size_t n = m_limbs;
    uint64_t one[kMaxModulusLimbs] = {1};
    uint64_t b[kMaxModulusLimbs] = {};
    uint64_t acc[kMaxModulusLimbs] = {};
    uint64_t scratch[kScratchLimbs] = {};
    std::memcpy(b, base.LimbData(), n * sizeof(uint64_t));
    MontMul(b, m_rr.LimbData(), b, scratch); // into Montgomery form
    const size_t bits = exponent.BitLength();
    if (bits == 0) {
        MontMul(one, m_rr.LimbData(), acc, scratch); // R mod n, the Montgomery form of 1
    } else if (bits <= 64) {
        // Public exponents are short: square-and-multiply from below the top bit, which is the base itself.
        std::memcpy(acc, b, sizeof acc);
        for (size_t i = bits - 1; i-- > 0;) {
            MontSquare(acc, acc, scratch);
            if (exponent.Bit(i)) {
                MontMul(acc, b, acc, scratch);
            }
        }
    } else {
        MontMul(one, m_rr.LimbData(), acc, scratch);
        // Fixed 4-bit windows: the private exponents and the primality tests have full-length exponents.
        uint64_t table[16][kMaxModulusLimbs] = {};
        std::memcpy(table[0], acc, sizeof acc);
        for (int i = 1; i < 16; ++i) {
            MontMul(table[i - 1], b, table[i], scratch);
        }
        const size_t windows = (bits + 3) / 4;
        for (size_t w = windows; w-- > 0;) {
            for (int k = 0; k < 4; ++k) {
                MontSquare(acc, acc, scratch);
            }
            unsigned digit = 0;
            for (int k = 3; k >= 0; --k) {
                digit = (digit << 1) | (exponent.Bit(4 * w + static_cast<size_t>(k)) ? 1u : 0u);
            }
            MontMul(acc, table[digit], acc, scratch);
        }
        SecureZero(table, sizeof table);
    }
    MontReduce(acc, acc, scratch);
    BigNum r;
    std::memcpy(r.LimbData(), acc, n * sizeof(uint64_t));
    r.Normalise(n);
    out = r;
    SecureZero(b, sizeof b);
    SecureZero(acc, sizeof acc);
    SecureZero(scratch, sizeof scratch);
    return true;
}

} // namespace rsa
