#include "agent/KeyGenerator.h"
#include "agent/Unsealer.h"
#include "module/password/SealPassword.h"
#include "module/password/rsa/KeyData.h"
#include "module/password/rsa/RsaCodes.h"

#include <gmp.h>
#include <gtest/gtest.h>

namespace {

using rsa::BigNum;

struct Mpz {
    mpz_t v;
    Mpz() { mpz_init(v); }
    explicit Mpz(const BigNum& n) {
        mpz_init(v);
        std::vector<uint8_t> bytes(BigNum::kMaxLimbs * 8);
        EXPECT_TRUE(n.GetBytesLE(bytes.data(), bytes.size()));
        mpz_import(v, bytes.size(), -1, 1, 0, 0, bytes.data());
    }
    ~Mpz() { mpz_clear(v); }
    Mpz(const Mpz&) = delete;
    Mpz& operator=(const Mpz&) = delete;
};

rsa::CKeyData Parsed(const agent::SecretBytes& blob) {
    rsa::CKeyObject key;
    EXPECT_EQ(rsa::ImportKeyBlob(key, blob.data(), blob.size()), rsa::kOk);
    rsa::CKeyData data;
    EXPECT_EQ(rsa::ParseKeyData(key, data), rsa::kOk);
    return data;
}

// GMP judges the numbers: primes, exact modulus size, and the private exponents and coefficient.
TEST(KeyGeneratorTest, KeysHaveExactSizeAndConsistentNumbers) {
    for (const auto& [bits, e] :
         {std::pair{848, 65537u}, {848, 3u}, {424, 65537u}, {424, 3u}, {600, 17u}, {81, 3u}}) {
        SCOPED_TRACE(std::to_string(bits) + " bits, e=" + std::to_string(e));
        const agent::KeyPair pair = agent::GenerateKeyPair(bits, e);
        ASSERT_EQ(pair.code, agent::kKeygenOk);
        const rsa::CKeyData pub = Parsed(pair.publicBlob);
        const rsa::CKeyData priv = Parsed(pair.privateBlob);
        EXPECT_FALSE(pub.isPrivate);
        EXPECT_TRUE(priv.isPrivate);
        EXPECT_EQ(pub.modulus.BitLength(), static_cast<size_t>(bits));
        EXPECT_EQ(BigNum::Compare(pub.modulus, priv.modulus), 0);
        EXPECT_EQ(BigNum::Compare(pub.exponent, BigNum::FromU64(e)), 0);
        const Mpz p(priv.primeP);
        const Mpz q(priv.primeQ);
        EXPECT_NE(mpz_probab_prime_p(p.v, 30), 0);
        EXPECT_NE(mpz_probab_prime_p(q.v, 30), 0);
        EXPECT_NE(mpz_cmp(p.v, q.v), 0);
        Mpz expected;
        Mpz pm1;
        mpz_sub_ui(pm1.v, p.v, 1);
        mpz_set_ui(expected.v, e);
        ASSERT_NE(mpz_invert(expected.v, expected.v, pm1.v), 0);
        EXPECT_EQ(mpz_cmp(expected.v, Mpz(priv.exponentP).v), 0);
        Mpz qm1;
        mpz_sub_ui(qm1.v, q.v, 1);
        mpz_set_ui(expected.v, e);
        ASSERT_NE(mpz_invert(expected.v, expected.v, qm1.v), 0);
        EXPECT_EQ(mpz_cmp(expected.v, Mpz(priv.exponentQ).v), 0);
        ASSERT_NE(mpz_invert(expected.v, q.v, p.v), 0);
        EXPECT_EQ(mpz_cmp(expected.v, Mpz(priv.coefficient).v), 0); // "CR" is q^-1 mod p
    }
}

TEST(KeyGeneratorTest, GeneratedKeysSealAndUnseal) {
    for (const int bits : {848, 424}) {
        const agent::KeyPair pair = agent::GenerateKeyPair(bits);
        ASSERT_EQ(pair.code, agent::kKeygenOk);
        std::vector<uint8_t> sealed(kSealedValueSize);
        ASSERT_EQ(SealPassword(pair.publicBlob.data(), static_cast<uint32_t>(pair.publicBlob.size()),
                               sealed.data(), kSealedValueSize, "Winter2026!"),
                  0);
        const auto result = agent::UnsealPassword(pair.privateBlob.data(), pair.privateBlob.size(),
                                                  sealed.data(), sealed.size());
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(std::string(result.password.begin(), result.password.end()), "Winter2026!");
    }
}

TEST(KeyGeneratorTest, RefusesSizesAndExponentsItCannotMake) {
    EXPECT_EQ(agent::GenerateKeyPair(79).code, agent::kKeygenBadBits);
    EXPECT_EQ(agent::GenerateKeyPair(849).code, agent::kKeygenBadBits);
    EXPECT_EQ(agent::GenerateKeyPair(1024).code, agent::kKeygenBadBits);
    EXPECT_EQ(agent::GenerateKeyPair(424, 1).code, agent::kKeygenBadExponent);
    EXPECT_EQ(agent::GenerateKeyPair(424, 2).code, agent::kKeygenBadExponent);
    EXPECT_EQ(agent::GenerateKeyPair(424, 65536).code, agent::kKeygenBadExponent);
    EXPECT_TRUE(agent::GenerateKeyPair(424, 65536).publicBlob.empty());
}

TEST(KeyGeneratorTest, PrimalityAgreesWithGmp) {
    struct Case {
        const char* hex;
        bool prime;
    };
    const Case cases[] = {
        {"2", true},
        {"3", true},
        {"11b", true}, // 283
        {"1", false},
        {"0", false},
        {"231", false},             // 561, a Carmichael number
        {"a051", false},            // 41041, a Carmichael number
        {"bfa2f5c7", false},        // 3215031751, a strong pseudoprime to bases 2, 3, 5 and 7
        {"1fffffffffffffff", true}, // 2^61 - 1
        {"7ffffffffffffffffffffffffffffffff", false}, // 2^131 - 1, composite
        {"7fffffffffffffffffffffffffffffff", true},   // 2^127 - 1
    };
    for (const auto& c : cases) {
        Mpz m;
        mpz_set_str(m.v, c.hex, 16);
        std::vector<uint8_t> bytes(64, 0);
        size_t count = 0;
        mpz_export(bytes.data(), &count, -1, 1, 0, 0, m.v);
        BigNum n;
        ASSERT_TRUE(n.SetBytesLE(bytes.data(), count));
        const bool gmp = mpz_probab_prime_p(m.v, 40) != 0;
        EXPECT_EQ(agent::IsProbablePrime(n, 40), gmp) << c.hex;
        EXPECT_EQ(gmp, c.prime) << c.hex;
    }
    // Random odd numbers of key-prime size, mostly composite, with GMP as the judge.
    gmp_randstate_t state;
    gmp_randinit_mt(state);
    gmp_randseed_ui(state, 212);
    int primes = 0;
    for (int i = 0; i < 400; ++i) {
        Mpz m;
        mpz_urandomb(m.v, state, 212);
        mpz_setbit(m.v, 0);
        std::vector<uint8_t> bytes(64, 0);
        size_t count = 0;
        mpz_export(bytes.data(), &count, -1, 1, 0, 0, m.v);
        BigNum n;
        ASSERT_TRUE(n.SetBytesLE(bytes.data(), count));
        const bool gmp = mpz_probab_prime_p(m.v, 40) != 0;
        primes += gmp ? 1 : 0;
        EXPECT_EQ(agent::IsProbablePrime(n, 20), gmp);
    }
    EXPECT_GT(primes, 0);
    gmp_randclear(state);
}

} // namespace
