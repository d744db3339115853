#pragma once

#include <cstddef>
#include <cstdint>

namespace rsa {

// The RC2 block cipher of RFC 2268 (64-bit blocks, key of 1 to 128 bytes, effective key bits 1 to 1024).
class CRc2 {
public:
    CRc2() = default;
    ~CRc2();
    CRc2(const CRc2&) = delete;
    CRc2& operator=(const CRc2&) = delete;

    // Answers false for a key length outside 1 .. 128 or effective bits outside 1 .. 1024.
    [[nodiscard]] bool SetKey(const uint8_t* key, size_t keyLength, unsigned effectiveBits);
    void EncryptBlock(const uint8_t in[8], uint8_t out[8]) const;
    void DecryptBlock(const uint8_t in[8], uint8_t out[8]) const;

private:
    uint16_t m_k[64] = {};
};

} // namespace rsa
