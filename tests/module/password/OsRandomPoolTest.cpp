#include "module/password/OsRandomPool.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// 16-byte pieces of random data never meet twice by chance.
bool HasRepeatedPiece(const std::vector<uint8_t>& bytes) {
    std::set<std::string> seen;
    for (size_t i = 0; i + 16 <= bytes.size(); i += 16) {
        if (!seen.insert(std::string(bytes.begin() + static_cast<long>(i),
                                     bytes.begin() + static_cast<long>(i + 16)))
                 .second) {
            return true;
        }
    }
    return false;
}

TEST(OsRandomPoolTest, EveryByteIsHandedOutOnce) {
    COsRandomPool pool;
    std::vector<uint8_t> all;
    // Small takes, then one larger than the whole pool, so that the pool refills in the middle of a take.
    for (const size_t length :
         {size_t{1}, size_t{413}, size_t{288}, size_t{64}, 3 * COsRandomPool::kPageSize}) {
        std::vector<uint8_t> piece(length, 0);
        ASSERT_TRUE(pool.Take(piece.data(), piece.size()));
        all.insert(all.end(), piece.begin(), piece.end());
    }
    EXPECT_FALSE(HasRepeatedPiece(all));

    std::array<uint8_t, 100> piece{};
    const size_t before = pool.Available();
    ASSERT_GE(before, piece.size());
    ASSERT_TRUE(pool.Take(piece.data(), piece.size()));
    EXPECT_EQ(pool.Available(), before - piece.size());
}

TEST(OsRandomPoolTest, ForkedChildDoesNotRepeatItsParentsBytes) {
    COsRandomPool pool;
    std::array<uint8_t, 8> warm{};
    ASSERT_TRUE(pool.Take(warm.data(), warm.size())); // the pool now holds drawn bytes
    ASSERT_GT(pool.Available(), 0u);

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::array<uint8_t, 64> mine{};
        const bool ok = pool.Take(mine.data(), mine.size());
        const ssize_t wrote = ok ? write(fds[1], mine.data(), mine.size()) : -1;
        _exit(wrote == static_cast<ssize_t>(mine.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::array<uint8_t, 64> childBytes{};
    size_t got = 0;
    while (got < childBytes.size()) {
        const ssize_t n = read(fds[0], childBytes.data() + got, childBytes.size() - got);
        if (n <= 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(got, childBytes.size());

    std::array<uint8_t, 64> parentBytes{};
    ASSERT_TRUE(pool.Take(parentBytes.data(), parentBytes.size()));
    EXPECT_NE(std::memcmp(parentBytes.data(), childBytes.data(), parentBytes.size()), 0);
}

} // namespace
