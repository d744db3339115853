#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

// Random bytes from the operating system, drawn in large batches so that a sealing does not pay for a
// system call of its own. Every byte is handed out once and zero-filled in the pool as it is taken. A
// child process never hands out what its parent held: the pool's page is wiped by the kernel on fork, and
// where the kernel cannot do that the pool notices the new process id and discards what it had.
class COsRandomPool {
public:
    static constexpr size_t kPageSize = 4096;

    COsRandomPool();
    ~COsRandomPool();
    COsRandomPool(const COsRandomPool&) = delete;
    COsRandomPool& operator=(const COsRandomPool&) = delete;

    // The pool that the sealing's filler comes from.
    static COsRandomPool& Process();

    // Fills `length` bytes of `out` from the operating system's random source. Answers false when the
    // source fails; `out` is then zero-filled. Safe to call from several threads.
    [[nodiscard]] bool Take(uint8_t* out, size_t length);

    // For tests: how many drawn bytes wait in the pool.
    size_t Available();

private:
    struct Page;

    [[nodiscard]] bool Refill();
    void Discard();

    std::mutex m_lock;
    Page* m_page = nullptr;
    bool m_wipedOnFork = false;
};
