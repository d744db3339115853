#pragma once

#include <cstddef>
#include <cstdint>

namespace rsa {

// The byte permutation that drives the keyless check value.
extern const uint8_t kCheckValueTable[256];

// Runs the keyless check value over `data` with a state of `stateLen` bytes. `state` holds the state to
// continue from (all zero for a fresh value) and receives the new one; after the last byte it is rotated
// so that a continuation starts at position 0 again. Answers kOk, or kErrBlockCheck when stateLen < 2.
[[nodiscard]] int32_t UpdateCheckValue(uint8_t* state, size_t stateLen, const uint8_t* data, size_t length);

// A fresh check value of `length` bytes of `data` into `state` (stateLen bytes).
[[nodiscard]] int32_t ComputeCheckValue(uint8_t* state, size_t stateLen, const uint8_t* data, size_t length);

} // namespace rsa
