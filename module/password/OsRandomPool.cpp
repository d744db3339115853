#include "module/password/OsRandomPool.h"

#include "module/password/rsa/SecureBuffer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <sys/random.h>
#include <unistd.h>

namespace {

// Draws straight from the kernel, through interruptions and short reads.
bool DrawFromSystem(uint8_t* out, size_t length) {
    while (length > 0) {
        const ssize_t got = getrandom(out, length, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        out += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace

// The count lives in the same page as the bytes, so that a kernel wipe on fork empties the pool as a whole.
struct COsRandomPool::Page {
    size_t available;
    pid_t owner;
    uint8_t bytes[kPageSize - 2 * sizeof(size_t)];
};

COsRandomPool::COsRandomPool() {
    static_assert(sizeof(Page) <= kPageSize);
    void* page = mmap(nullptr, kPageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) {
        return; // every Take then goes to the kernel directly
    }
    m_page = static_cast<Page*>(page);
    m_wipedOnFork = madvise(page, kPageSize, MADV_WIPEONFORK) == 0;
    (void)madvise(page, kPageSize, MADV_DONTDUMP); // a core file need not carry future filler
}

COsRandomPool::~COsRandomPool() {
    if (m_page != nullptr) {
        rsa::SecureZero(m_page, kPageSize);
        munmap(m_page, kPageSize);
    }
}

COsRandomPool& COsRandomPool::Process() {
    static COsRandomPool pool;
    return pool;
}

void COsRandomPool::Discard() {
    rsa::SecureZero(m_page->bytes, sizeof m_page->bytes);
    m_page->available = 0;
}

bool COsRandomPool::Refill() {
    if (!DrawFromSystem(m_page->bytes, sizeof m_page->bytes)) {
        Discard();
        return false;
    }
    m_page->available = sizeof m_page->bytes;
    m_page->owner = getpid();
    return true;
}

bool COsRandomPool::Take(uint8_t* out, size_t length) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_page == nullptr) {
        if (!DrawFromSystem(out, length)) {
            rsa::SecureZero(out, length);
            return false;
        }
        return true;
    }
    // Without the kernel's wipe a forked child still holds its parent's bytes; they must not be used twice.
    if (!m_wipedOnFork && m_page->available != 0 && m_page->owner != getpid()) {
        Discard();
    }
    size_t done = 0;
    while (done < length) {
        if (m_page->available == 0 && !Refill()) {
            rsa::SecureZero(out, length);
            return false;
        }
        const size_t count = std::min(length - done, m_page->available);
        uint8_t* from = m_page->bytes + (sizeof m_page->bytes - m_page->available);
        std::memcpy(out + done, from, count);
        rsa::SecureZero(from, count);
        m_page->available -= count;
        done += count;
    }
    return true;
}

size_t COsRandomPool::Available() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_page != nullptr ? m_page->available : 0;
}
