#pragma once

#include "module/password/rsa/BigNum.h"
#include "module/password/rsa/SecureBuffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace agent {

// Allocator that zero-fills memory before giving it back, for vectors that hold key material.
template <typename T> struct ZeroingAllocator {
    using value_type = T;
    ZeroingAllocator() = default;
    template <typename U> ZeroingAllocator(const ZeroingAllocator<U>&) {}
    T* allocate(size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T* p, size_t n) {
        rsa::SecureZero(p, n * sizeof(T));
        std::allocator<T>().deallocate(p, n);
    }
    template <typename U> bool operator==(const ZeroingAllocator<U>&) const { return true; }
};

using SecretBytes = std::vector<uint8_t, ZeroingAllocator<uint8_t>>;

// Builds a key blob field by field: the caller adds the fields in the order it wants, and Finish appends
// the "MA" check value and the trailer and puts the blob header in front.
class CKeyBlobWriter {
public:
    void AddField(std::string_view tag, const uint8_t* value, size_t length);
    void AddText(std::string_view tag, std::string_view text);
    void AddByte(std::string_view tag, uint8_t value);
    void AddU16(std::string_view tag, uint16_t value);
    // A number least significant byte first, in `length` bytes (0: as few as it needs).
    void AddNumber(std::string_view tag, const rsa::BigNum& value, size_t length = 0);

    // The whole blob: header, key data with "MA" last and the trailer of the kind, and the slack bytes
    // that the import requires.
    SecretBytes Finish(uint8_t kind, uint8_t variant, uint16_t bits) const;

private:
    SecretBytes m_fields;
};

} // namespace agent
