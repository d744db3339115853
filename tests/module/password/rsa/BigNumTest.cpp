#include "module/password/rsa/BigNum.h"
#include "tests/module/password/VecFile.h"

#include <gmp.h>
#include <gtest/gtest.h>

#include <random>

namespace {

using rsa::BigNum;

// GMP stays an oracle of the tests: the product's arithmetic never links it.
struct Mpz {
    mpz_t v;
    Mpz() { mpz_init(v); }
    explicit Mpz(const std::string& hex) { mpz_init_set_str(v, hex.c_str(), 16); }
    ~Mpz() { mpz_clear(v); }
    Mpz(const Mpz&) = delete;
    Mpz& operator=(const Mpz&) = delete;
};

BigNum FromMpz(const Mpz& m) {
    std::vector<uint8_t> bytes((mpz_sizeinbase(m.v, 2) + 7) / 8 + 1, 0);
    size_t count = 0;
    mpz_export(bytes.data(), &count, -1, 1, 0, 0, m.v);
    BigNum n;
    EXPECT_TRUE(n.SetBytesLE(bytes.data(), count));
    return n;
}

std::string Hex(const BigNum& n) {
    std::vector<uint8_t> bytes(BigNum::kMaxLimbs * 8);
    EXPECT_TRUE(n.GetBytesLE(bytes.data(), bytes.size()));
    Mpz m;
    mpz_import(m.v, bytes.size(), -1, 1, 0, 0, bytes.data());
    char* text = mpz_get_str(nullptr, 16, m.v);
    std::string out = text;
    free(text);
    return out;
}

std::string Hex(const Mpz& m) {
    char* text = mpz_get_str(nullptr, 16, m.v);
    std::string out = text;
    free(text);
    return out;
}

TEST(BigNumTest, PowModKnownAnswersAgreeWithGmp) {
    const auto cases = testvec::ReadVecFile("bignum.vec", "PowMod");
    ASSERT_GE(cases.size(), 20u);
    int checked = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE("bignum.vec line " + std::to_string(c.line));
        const Mpz modulus(c.Get("Modulus"));
        const Mpz exponent(c.Get("Exponent"));
        const Mpz base(c.Get("Base"));
        Mpz oracle;
        mpz_powm(oracle.v, base.v, exponent.v, modulus.v);
        ASSERT_EQ(Hex(oracle), c.Get("Result")); // the file and GMP agree
        rsa::CMontgomery mont;
        if (mpz_sizeinbase(modulus.v, 2) > 64 * rsa::CMontgomery::kMaxModulusLimbs) {
            EXPECT_FALSE(mont.Init(FromMpz(modulus)));
            continue;
        }
        ASSERT_TRUE(mont.Init(FromMpz(modulus)));
        BigNum result;
        ASSERT_TRUE(mont.PowMod(FromMpz(base), FromMpz(exponent), result));
        EXPECT_EQ(Hex(result), c.Get("Result"));
        ++checked;
    }
    EXPECT_GE(checked, 20);
}

TEST(BigNumTest, DivModKnownAnswersAgreeWithGmp) {
    for (const auto& c : testvec::ReadVecFile("bignum.vec", "DivMod")) {
        SCOPED_TRACE("bignum.vec line " + std::to_string(c.line));
        const Mpz a(c.Get("A"));
        const Mpz m(c.Get("M"));
        Mpz q;
        Mpz r;
        mpz_tdiv_qr(q.v, r.v, a.v, m.v);
        ASSERT_EQ(Hex(q), c.Get("Quotient"));
        ASSERT_EQ(Hex(r), c.Get("Remainder"));
        BigNum quotient;
        BigNum remainder;
        ASSERT_TRUE(BigNum::DivMod(FromMpz(a), FromMpz(m), &quotient, &remainder));
        EXPECT_EQ(Hex(quotient), c.Get("Quotient"));
        EXPECT_EQ(Hex(remainder), c.Get("Remainder"));
    }
}

// Random operands of every size the toolkit meets, including the limb-boundary cases that division by
// normalised digits gets wrong most easily (top limbs of all ones, quotient digits that need correcting).
TEST(BigNumTest, RandomOperandsAgreeWithGmp) {
    std::mt19937_64 rng(848);
    gmp_randstate_t state;
    gmp_randinit_mt(state);
    gmp_randseed_ui(state, 424);
    for (int round = 0; round < 400; ++round) {
        const unsigned modBits = 2 + static_cast<unsigned>(rng() % 1020);
        const unsigned aBits = 1 + static_cast<unsigned>(rng() % (2 * modBits));
        Mpz a;
        Mpz m;
        if (round % 4 == 0) {
            mpz_rrandomb(a.v, state, aBits);
            mpz_rrandomb(m.v, state, modBits);
        } else {
            mpz_urandomb(a.v, state, aBits);
            mpz_urandomb(m.v, state, modBits);
        }
        mpz_setbit(m.v, 0);
        if (mpz_cmp_ui(m.v, 1) <= 0) {
            mpz_set_ui(m.v, 3);
        }
        SCOPED_TRACE("a=" + Hex(a) + " m=" + Hex(m));
        Mpz sum;
        Mpz product;
        Mpz q;
        Mpz r;
        mpz_add(sum.v, a.v, m.v);
        mpz_mul(product.v, a.v, m.v);
        mpz_tdiv_qr(q.v, r.v, a.v, m.v);
        BigNum s;
        BigNum p;
        BigNum quotient;
        BigNum remainder;
        ASSERT_TRUE(BigNum::Add(FromMpz(a), FromMpz(m), s));
        EXPECT_EQ(Hex(s), Hex(sum));
        if (mpz_sizeinbase(a.v, 2) + mpz_sizeinbase(m.v, 2) <= 64 * BigNum::kMaxLimbs - 128) {
            ASSERT_TRUE(BigNum::Mul(FromMpz(a), FromMpz(m), p));
            EXPECT_EQ(Hex(p), Hex(product));
        }
        ASSERT_TRUE(BigNum::DivMod(FromMpz(a), FromMpz(m), &quotient, &remainder));
        EXPECT_EQ(Hex(quotient), Hex(q));
        EXPECT_EQ(Hex(remainder), Hex(r));
        if (mpz_cmp(sum.v, a.v) >= 0) {
            BigNum d;
            ASSERT_TRUE(BigNum::Sub(s, FromMpz(m), d));
            EXPECT_EQ(Hex(d), Hex(a));
        }
        // Montgomery exponentiation with a base below the modulus.
        Mpz e;
        mpz_urandomb(e.v, state, 1 + static_cast<unsigned>(rng() % 200));
        Mpz expected;
        mpz_powm(expected.v, r.v, e.v, m.v);
        rsa::CMontgomery mont;
        ASSERT_TRUE(mont.Init(FromMpz(m)));
        BigNum result;
        ASSERT_TRUE(mont.PowMod(remainder, FromMpz(e), result));
        EXPECT_EQ(Hex(result), Hex(expected));
    }
    gmp_randclear(state);
}

TEST(BigNumTest, SmallValuesAgreeWithNativeArithmetic) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 2000; ++i) {
        const uint64_t a = rng() >> (rng() % 64);
        const uint64_t m = (rng() >> (rng() % 63)) | 1;
        BigNum q;
        BigNum r;
        ASSERT_TRUE(BigNum::DivMod(BigNum::FromU64(a), BigNum::FromU64(m), &q, &r));
        EXPECT_EQ(q.Limb(0), a / m);
        EXPECT_EQ(r.Limb(0), a % m);
        EXPECT_EQ(BigNum::ModSmall(BigNum::FromU64(a), m), a % m);
        if (m > 2 && m < (uint64_t{1} << 32)) {
            rsa::CMontgomery mont;
            ASSERT_TRUE(mont.Init(BigNum::FromU64(m)));
            const uint64_t e = rng() % 1000;
            uint64_t expected = 1 % m;
            for (uint64_t k = 0; k < e; ++k) {
                expected = expected * (a % m) % m;
            }
            BigNum result;
            ASSERT_TRUE(mont.PowMod(BigNum::FromU64(a % m), BigNum::FromU64(e), result));
            EXPECT_EQ(result.Limb(0), expected) << a << "^" << e << " mod " << m;
        }
    }
}

// Operands with every bit set fill each column's three-limb accumulator to its limit, where a lost carry
// in the squaring, the multiplication or the reduction would show.
TEST(BigNumTest, ExtremeOperandsAgreeWithGmpAtEveryLimbCount) {
    for (size_t limbs = 1; limbs <= rsa::CMontgomery::kMaxModulusLimbs; ++limbs) {
        Mpz allOnes;
        mpz_setbit(allOnes.v, 64 * limbs);
        mpz_sub_ui(allOnes.v, allOnes.v, 1);
        Mpz topAndBottom; // 2^(64 limbs - 1) + 1: the smallest modulus of this length
        mpz_setbit(topAndBottom.v, 64 * limbs - 1);
        mpz_add_ui(topAndBottom.v, topAndBottom.v, 1);
        for (const Mpz* modulus : {&allOnes, &topAndBottom}) {
            if (mpz_cmp_ui(modulus->v, 3) < 0) {
                continue;
            }
            rsa::CMontgomery mont;
            ASSERT_TRUE(mont.Init(FromMpz(*modulus)));
            for (const unsigned long below : {1ul, 2ul}) {
                Mpz base;
                mpz_sub_ui(base.v, modulus->v, below);
                Mpz longExponent;
                mpz_sub_ui(longExponent.v, modulus->v, 2);
                Mpz three("3");
                Mpz f4("10001");
                for (const Mpz* exponent : {&three, &f4, &longExponent}) {
                    SCOPED_TRACE("limbs=" + std::to_string(limbs) + " m=" + Hex(*modulus) +
                                 " e=" + Hex(*exponent));
                    Mpz expected;
                    mpz_powm(expected.v, base.v, exponent->v, modulus->v);
                    BigNum result;
                    ASSERT_TRUE(mont.PowMod(FromMpz(base), FromMpz(*exponent), result));
                    EXPECT_EQ(Hex(result), Hex(expected));
                }
            }
        }
    }
}

TEST(BigNumTest, BytesRoundTripAndRefuseWhatDoesNotFit) {
    const uint8_t bytes[5] = {0x01, 0x02, 0x03, 0x00, 0x00};
    BigNum n;
    ASSERT_TRUE(n.SetBytesLE(bytes, sizeof bytes));
    EXPECT_EQ(n.BitLength(), 18u);
    EXPECT_EQ(n.Limb(0), 0x030201u);
    uint8_t out[3];
    ASSERT_TRUE(n.GetBytesLE(out, 3));
    EXPECT_EQ(out[2], 0x03);
    uint8_t tooShort[2];
    EXPECT_FALSE(n.GetBytesLE(tooShort, 2));
    std::vector<uint8_t> huge(BigNum::kMaxLimbs * 8 + 1, 0xFF);
    EXPECT_FALSE(n.SetBytesLE(huge.data(), huge.size()));
}

TEST(BigNumTest, MontgomeryRefusesWhatItCannotReduce) {
    rsa::CMontgomery mont;
    EXPECT_FALSE(mont.Init(BigNum()));
    EXPECT_FALSE(mont.Init(BigNum::FromU64(1)));
    EXPECT_FALSE(mont.Init(BigNum::FromU64(1000)));
    ASSERT_TRUE(mont.Init(BigNum::FromU64(1001)));
    BigNum out;
    EXPECT_FALSE(mont.PowMod(BigNum::FromU64(1001), BigNum::FromU64(3), out)); // base not below modulus
}

} // namespace
