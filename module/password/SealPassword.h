#pragma once

#include "module/password/rsa/RandomGenerator.h"

#include <cstdint>
#include <mutex>

inline constexpr uint32_t kMaxPasswordLength = 142;
inline constexpr uint32_t kSealPlaintextSize = 145;
inline constexpr uint32_t kSealedPasswordSize = 212;
inline constexpr uint32_t kSealedValueSize = 500;

// Seals `password` (NUL-terminated, at most 142 bytes before the NUL, taken as given) under the public
// key blob from "KEL:KEL Public Key". On 0 the first 212 bytes of `output` hold the sealed password and
// the rest up to 500 bytes (or the capacity, if smaller) holds filler; the caller stores all 500 bytes.
// Nonzero means nothing usable was written. Safe to call from several threads.
int32_t SealPassword(const uint8_t* keyBlob, uint32_t keyBlobLength, uint8_t* output, uint32_t outputCapacity,
                     const char* password);

// The sealing with its generator and filler made explicit. The process-wide sealer behind SealPassword
// draws filler from the operating system and seeds from the clock; a known-answer sealer seeds from a
// fixed time into a generator of its own and uses zero filler, so that its output is reproducible.
class CPasswordSealer {
public:
    // Uses the process-wide generator, the clock and OS random filler.
    CPasswordSealer();
    // Reproducible: own generator seeded with `calendarTime`, zero filler.
    explicit CPasswordSealer(int64_t calendarTime);
    CPasswordSealer(const CPasswordSealer&) = delete;
    CPasswordSealer& operator=(const CPasswordSealer&) = delete;

    int32_t Seal(const uint8_t* keyBlob, uint32_t keyBlobLength, uint8_t* output, uint32_t outputCapacity,
                 const char* password);

private:
    void SeedOnce();
    [[nodiscard]] bool Fill(uint8_t* data, size_t length) const;

    std::mutex m_lock;
    rsa::CRandomGenerator m_ownGenerator;
    rsa::CRandomGenerator& m_generator;
    bool m_knownAnswer = false;
    int64_t m_time = 0;
    bool m_seeded = false;
};
