#include "module/password/rsa/RandomGenerator.h"

#include "module/password/rsa/RsaCodes.h"
#include "module/password/rsa/SecureBuffer.h"

namespace rsa {

CRandomGenerator::~CRandomGenerator() {
    SecureZero(m_state, sizeof m_state);
    SecureZero(m_block, sizeof m_block);
}

void CRandomGenerator::Reset() {
    for (unsigned i = 0; i < 16; ++i) {
        m_state[i] = static_cast<uint8_t>(i);
    }
    m_seedsMissing = kSeedBytesRequired;
    m_seedPosition = 0;
    SecureZero(m_block, sizeof m_block);
    m_outIndex = 0;
    m_cipherReady = false;
}

void CRandomGenerator::Seed(uint8_t byte) {
    if (m_seedsMissing != 0) {
        --m_seedsMissing;
    }
    m_state[m_seedPosition] ^= byte;
    m_cipherReady = false;
    // Once seeded, bytes 12 .. 15 belong to the counter and seeding leaves them alone.
    const unsigned span = m_seedsMissing != 0 ? 16u : 12u;
    m_seedPosition = (m_seedPosition + 1) % span;
}

int32_t CRandomGenerator::Draw(uint8_t* out) {
    if (m_seedsMissing != 0) {
        return kErrUnseeded;
    }
    if (m_outIndex == 0) {
        for (unsigned i = 12; i < 16; ++i) {
            if (++m_state[i] != 0) {
                break;
            }
        }
        if (!m_cipherReady) {
            if (!m_cipher.SetKey(m_state, 8, 64)) {
                return kErrArithmetic;
            }
            m_cipherReady = true;
        }
        m_cipher.EncryptBlock(m_state + 8, m_block);
    }
    *out = m_block[m_outIndex];
    m_outIndex = (m_outIndex + 1) % 8;
    return kOk;
}

CRandomGenerator& ProcessGenerator() {
    static CRandomGenerator generator;
    return generator;
}

} // namespace rsa
