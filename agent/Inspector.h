#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace agent {

// A person-readable account of a key blob: every header field, every key-data field with its rule, the
// check value and trailer, and what the import, the key-data checks and the sealing make of it.
std::string InspectKeyBlob(const uint8_t* blob, size_t length);

// The layout of a sealed value: its size, the sealed part and the filler, and its blocks for the key
// sizes that seal.
std::string InspectSealedValue(const uint8_t* value, size_t length);

// A key blob (it starts with the blob magic) or else a sealed value.
std::string Inspect(const uint8_t* data, size_t length);

} // namespace agent
