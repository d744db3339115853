#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string.h>

namespace rsa {

// Zero-fills memory in a way that the compiler may not drop as a dead store.
inline void SecureZero(void* data, size_t size) {
    if (data != nullptr && size != 0) {
        explicit_bzero(data, size);
    }
}

// A fixed-size byte area for secrets: zero-filled when it is made, and zero-filled again before its memory
// goes back, on every path. Allocation failure is reported through Valid(), never by an exception, so that
// the toolkit can answer its own code.
class SecureBuffer {
public:
    SecureBuffer() = default;
    // Check Valid() afterwards: allocation failure leaves the buffer empty.
    explicit SecureBuffer(size_t size) { (void)Allocate(size); }
    ~SecureBuffer() { Release(); }
    SecureBuffer(const SecureBuffer&) = delete;
    SecureBuffer& operator=(const SecureBuffer&) = delete;
    SecureBuffer(SecureBuffer&& other) noexcept : m_data(other.m_data), m_size(other.m_size) {
        other.m_data = nullptr;
        other.m_size = 0;
    }
    SecureBuffer& operator=(SecureBuffer&& other) noexcept {
        if (this != &other) {
            Release();
            m_data = other.m_data;
            m_size = other.m_size;
            other.m_data = nullptr;
            other.m_size = 0;
        }
        return *this;
    }

    // Answers false when memory runs out; the buffer is then empty.
    [[nodiscard]] bool Allocate(size_t size) {
        Release();
        if (size == 0) {
            return true;
        }
        m_data = new (std::nothrow) uint8_t[size];
        if (m_data == nullptr) {
            return false;
        }
        std::memset(m_data, 0, size);
        m_size = size;
        return true;
    }

    void Release() {
        if (m_data != nullptr) {
            SecureZero(m_data, m_size);
            delete[] m_data;
            m_data = nullptr;
            m_size = 0;
        }
    }

    [[nodiscard]] bool Valid() const { return m_data != nullptr; }
    uint8_t* Data() { return m_data; }
    const uint8_t* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    uint8_t& operator[](size_t i) { return m_data[i]; }
    const uint8_t& operator[](size_t i) const { return m_data[i]; }

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

} // namespace rsa
