#pragma once

#include "agent/KeyBlobWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace agent {

// What the NT side reads out of a sealed value: the password, or the first thing that failed.
struct UnsealResult {
    bool ok = false;
    std::string error;    // names the block (counting from 1) and what failed
    SecretBytes password; // the bytes before the NUL
};

// The layout of a sealed value for a key of `bits` bits.
struct SealedLayout {
    uint32_t dataBlock = 0;   // B
    uint32_t cipherBlock = 0; // k
    uint32_t padding = 0;     // p
    uint32_t blocks = 0;
};
SealedLayout LayoutForBits(unsigned bits);

// Opens a sealed value (212 bytes or the whole 500-byte attribute value) with a private key blob: every
// block through the private operation, its first byte and check value checked, the padding checked and
// dropped, the password read up to its NUL.
[[nodiscard]] UnsealResult UnsealPassword(const uint8_t* privateBlob, size_t blobLength,
                                          const uint8_t* sealed, size_t sealedLength);

} // namespace agent
