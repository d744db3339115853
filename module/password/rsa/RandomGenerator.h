#pragma once

#include "module/password/rsa/Rc2.h"

#include <cstdint>

namespace rsa {

// The toolkit's random generator: RC2 (64 effective key bits) in counter mode over a 16-byte state that is
// built up from at least 100 seed bytes. Deterministic for a given seed sequence, which is what lets a
// sealed value be reproduced byte for byte.
class CRandomGenerator {
public:
    static constexpr int kSeedBytesRequired = 100;

    CRandomGenerator() { Reset(); }
    ~CRandomGenerator();
    CRandomGenerator(const CRandomGenerator&) = delete;
    CRandomGenerator& operator=(const CRandomGenerator&) = delete;

    // Back to the state of a new process.
    void Reset();
    void Seed(uint8_t byte);
    // Answers kErrUnseeded until 100 seed bytes were given.
    [[nodiscard]] int32_t Draw(uint8_t* out);
    int SeedBytesMissing() const { return m_seedsMissing; }

private:
    uint8_t m_state[16] = {};
    int m_seedsMissing = kSeedBytesRequired;
    unsigned m_seedPosition = 0;
    uint8_t m_block[8] = {};
    unsigned m_outIndex = 0;
    // The cipher key is state bytes 0 .. 7, which only seeding changes: its schedule is kept until then.
    CRc2 m_cipher;
    bool m_cipherReady = false;
};

// The process-wide generator that the encryption draws from. Not locked: callers that seal from several
// threads serialise around it.
CRandomGenerator& ProcessGenerator();

} // namespace rsa
