// Figures for the directory client's SQLite store, each printed beside the floor measured in the same run:
// one fdatasync of one page on the same disk, the least a durable request can cost.
//
//   dirclient_bench [DIRECTORY] [--rewrite-only] [--rewrites N]
//
// DIRECTORY (default: the current directory) takes the store and the probe file. --rewrite-only fills the
// attribute with one rewrite instead of 10000 single adds and measures only the rewrites, for profiling
// (valgrind --tool=callgrind). The rewrite runs N times (default 7): the first on the layout the single
// adds left, the others on the layout a rewrite leaves, which is what a list written again and again meets.
#include <fcntl.h>
#include <unistd.h>

#include <ctime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dirclient/DirClient.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kValues = 10000;
constexpr const char* kAttr = "KEL:Enabled Workstation List";
constexpr const char* kObject = "Target.Bench";

// Time this process spent on a processor: beside the wall time it tells computing from waiting for the disk.
double CpuMillis() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double Mean(const std::vector<double>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += samples[i];
    }
    return sum / static_cast<double>(to - from);
}

void Check(int32_t rc, const char* what) {
    if (rc != kDirOk) {
        std::fprintf(stderr, "%s failed: %d (%s)\n", what, rc, DirErrorText(rc));
        std::exit(1);
    }
}

// The floor: rewriting one 4096-byte page in place and syncing its data. The probe stays open for the whole
// run and is sampled between the requests, so that floor and requests meet the same disk conditions (the
// disk is shared, and its sync time moves by a factor of ten within a minute).
class SyncProbe {
public:
    explicit SyncProbe(const std::string& dir) : m_path(dir + "/fsync-probe.tmp") {
        m_fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        if (m_fd < 0) {
            std::perror("open");
            std::exit(1);
        }
    }
    ~SyncProbe() {
        close(m_fd);
        unlink(m_path.c_str());
    }
    double Sample() {
        std::vector<char> page(4096, 'p');
        const auto start = Clock::now();
        if (pwrite(m_fd, page.data(), page.size(), 0) != static_cast<ssize_t>(page.size()) ||
            fdatasync(m_fd) != 0) {
            std::perror("pwrite/fdatasync");
            std::exit(1);
        }
        return Micros(Clock::now() - start);
    }
    std::vector<double> Samples(int rounds) {
        std::vector<double> samples;
        for (int i = 0; i < rounds; ++i) {
            samples.push_back(Sample());
        }
        return samples;
    }

private:
    std::string m_path;
    int m_fd = -1;
};

std::string ValueText(int i) {
    char text[64];
    std::snprintf(text, sizeof text, "workstation-%05d.bench.example", i);
    return text;
}

int32_t AddOne(int32_t ctx, DirBuffer* buf, const std::string& value) {
    int32_t rc = DirInitBuffer(ctx, kDirOpModify, buf);
    if (rc == kDirOk) {
        rc = DirPutChange(ctx, buf, kDirChangeAddValue, kAttr);
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(ctx, buf, kDirSyntaxCaseIgnoreString, value.c_str());
    }
    return rc == kDirOk ? DirModifyObject(ctx, kObject, 0, 0, buf) : rc;
}

// The module's list write: remove all, then add values, sending the buffer whenever it is full.
int RewriteAll(int32_t ctx, DirBuffer* buf, const std::vector<std::string>& values,
               std::vector<double>* times) {
    int requests = 0;
    Check(DirInitBuffer(ctx, kDirOpModify, buf), "init");
    Check(DirPutChange(ctx, buf, kDirChangeRemoveAllValues, kAttr), "change 6");
    Check(DirPutChange(ctx, buf, kDirChangeAddValue, kAttr), "change 2");
    for (const auto& value : values) {
        int32_t rc = DirPutAttrValue(ctx, buf, kDirSyntaxCaseIgnoreString, value.c_str());
        if (rc == kDirErrBufferFull) {
            const auto start = Clock::now();
            Check(DirModifyObject(ctx, kObject, 0, 0, buf), "modify");
            times->push_back(Micros(Clock::now() - start));
            ++requests;
            Check(DirInitBuffer(ctx, kDirOpModify, buf), "init");
            Check(DirPutChange(ctx, buf, kDirChangeAddValue, kAttr), "change 2");
            rc = DirPutAttrValue(ctx, buf, kDirSyntaxCaseIgnoreString, value.c_str());
        }
        Check(rc, "put value");
    }
    const auto start = Clock::now();
    Check(DirModifyObject(ctx, kObject, 0, 0, buf), "modify");
    times->push_back(Micros(Clock::now() - start));
    return requests + 1;
}

void AddEach(int32_t ctx, DirBuffer* buf, const std::vector<std::string>& values, SyncProbe& probe) {
    std::vector<double> adds;
    std::vector<double> floors;
    for (int i = 0; i < kValues; ++i) {
        const auto start = Clock::now();
        Check(AddOne(ctx, buf, values[i]), "add value");
        adds.push_back(Micros(Clock::now() - start));
        if (i % 10 == 0) {
            floors.push_back(probe.Sample());
        }
    }
    const std::vector<double> firstAdds(adds.begin(), adds.begin() + 1000);
    const std::vector<double> lastAdds(adds.end() - 1000, adds.end());
    const std::vector<double> firstFloors(floors.begin(), floors.begin() + 100);
    const std::vector<double> lastFloors(floors.end() - 100, floors.end());
    std::printf("single-value add, %d durable requests to one attribute (floor sampled after every tenth):\n",
                kValues);
    std::printf("  first 1000: median %.1f us (mean %.1f) beside floor median %.1f us = %.2fx\n",
                Median(firstAdds), Mean(firstAdds, 0, 1000), Median(firstFloors),
                Median(firstAdds) / Median(firstFloors));
    std::printf("  last 1000:  median %.1f us (mean %.1f) beside floor median %.1f us = %.2fx\n",
                Median(lastAdds), Mean(lastAdds, 0, 1000), Median(lastFloors),
                Median(lastAdds) / Median(lastFloors));
    std::printf("  all: median %.1f us beside floor median %.1f us = %.2fx\n", Median(adds), Median(floors),
                Median(adds) / Median(floors));
}

size_t ReadAll(int32_t ctx, int* replies) {
    DirBuffer* names = nullptr;
    DirBuffer* reply = nullptr;
    Check(DirAllocBuffer(4196, &names), "alloc");
    Check(DirAllocBuffer(4196, &reply), "alloc");
    Check(DirInitBuffer(ctx, kDirOpRead, names), "init");
    Check(DirPutAttrName(ctx, names, kAttr), "name");
    int32_t iteration = -1;
    size_t values = 0;
    *replies = 0;
    std::vector<char> block(256);
    do {
        Check(DirRead(ctx, kObject, 1, 0, names, &iteration, reply), "read");
        ++*replies;
        uint32_t attrs = 0;
        Check(DirGetAttrCount(ctx, reply, &attrs), "count");
        for (uint32_t a = 0; a < attrs; ++a) {
            char name[132];
            uint32_t count = 0;
            uint32_t syntax = 0;
            Check(DirGetAttrName(ctx, reply, name, &count, &syntax), "name");
            for (uint32_t v = 0; v < count; ++v) {
                uint32_t size = 0;
                Check(DirComputeValueSize(ctx, reply, syntax, &size), "size");
                Check(DirGetAttrValue(ctx, reply, syntax, block.data()), "value");
                ++values;
            }
        }
    } while (iteration != -1);
    (void)DirFreeBuffer(names);
    (void)DirFreeBuffer(reply);
    return values;
}

size_t ListAll(int32_t ctx, const char* container, int* replies) {
    DirBuffer* reply = nullptr;
    Check(DirAllocBuffer(4096, &reply), "alloc");
    int32_t iteration = -1;
    size_t objects = 0;
    *replies = 0;
    do {
        Check(DirList(ctx, container, &iteration, reply), "list");
        ++*replies;
        uint32_t count = 0;
        Check(DirGetObjectCount(ctx, reply, &count), "count");
        for (uint32_t i = 0; i < count; ++i) {
            char name[512];
            uint32_t attrCount = 0;
            DirObjectInfo info{};
            Check(DirGetObjectName(ctx, reply, name, &attrCount, &info), "object");
            ++objects;
        }
    } while (iteration != -1);
    (void)DirFreeBuffer(reply);
    return objects;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = ".";
    bool rewriteOnly = false;
    int rewrites = 7;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rewrite-only") {
            rewriteOnly = true;
        } else if (arg == "--rewrites" && i + 1 < argc) {
            rewrites = std::max(1, std::atoi(argv[++i]));
        } else {
            dir = arg;
        }
    }
    const std::string store = dir + "/dirclient-bench.db";
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(store + suffix);
    }

    SyncProbe probe(dir);
    std::printf("floor at start: fdatasync of one page: median %.1f us\n", Median(probe.Samples(200)));

    Check(DirOpenStore(store.c_str(), 1), "open");
    Check(DirLogin("Admin", nullptr), "login");
    const int32_t ctx = DirCreateContext();
    Check(ctx > 0 ? kDirOk : ctx, "context");
    DirBuffer* buf = nullptr;
    Check(DirAllocBuffer(4096, &buf), "alloc");
    for (const auto& [name, cls] : {std::pair{"Bench", "Organization"}, std::pair{kObject, "User"},
                                    std::pair{"Many.Bench", "Organizational Unit"}}) {
        Check(DirInitBuffer(ctx, kDirOpAdd, buf), "init");
        Check(DirPutAttrName(ctx, buf, "Object Class"), "name");
        Check(DirPutAttrValue(ctx, buf, kDirSyntaxClassName, cls), "class");
        Check(DirAddObject(ctx, name, 0, 0, buf), "add");
    }

    // 1. Single-value adds, one durable request each.
    std::vector<std::string> values;
    for (int i = 0; i < kValues; ++i) {
        values.push_back(ValueText(i));
    }
    DirBuffer* large = nullptr;
    Check(DirAllocBuffer(16384, &large), "alloc");
    if (rewriteOnly) {
        std::vector<double> ignored;
        (void)RewriteAll(ctx, large, values, &ignored);
    } else {
        AddEach(ctx, buf, values, probe);
    }

    // 2. Rewrite all values through 16384-byte modify buffers.
    std::vector<double> totals;
    for (int round = 0; round < rewrites; ++round) {
        const double floorMedian = Median(probe.Samples(100));
        std::reverse(values.begin(), values.end());
        const double cpuStart = CpuMillis();
        const auto start = Clock::now();
        std::vector<double> times;
        const int requests = RewriteAll(ctx, large, values, &times);
        const double rewrite = Micros(Clock::now() - start) / 1000.0;
        const double cpu = CpuMillis() - cpuStart;
        totals.push_back(rewrite);
        std::printf(
            "rewrite of %d values: %.1f ms (%.1f ms on the processor) in %d requests (%.1f us a request = "
            "%.2fx the floor of %.1f us measured just before)\n",
            kValues, rewrite, cpu, requests, rewrite * 1000.0 / requests,
            rewrite * 1000.0 / requests / floorMedian, floorMedian);
        std::printf("  the first request (removes all %d, adds %zu): %.1f us; the others: median %.1f us\n",
                    kValues, values.size() / static_cast<size_t>(requests), times.front(),
                    Median(std::vector<double>(times.begin() + 1, times.end())));
    }
    if (totals.size() > 1) {
        std::printf("rewrite: median of %zu runs %.1f ms (after the first: median %.1f ms)\n", totals.size(),
                    Median(totals), Median(std::vector<double>(totals.begin() + 1, totals.end())));
    }
    if (rewriteOnly) {
        (void)DirFreeBuffer(buf);
        (void)DirFreeBuffer(large);
        (void)DirFreeContext(ctx);
        Check(DirCloseStore(), "close");
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(store + suffix);
        }
        return 0;
    }

    // 3. Read them back through 4196-byte replies.
    int replies = 0;
    auto start = Clock::now();
    const size_t read = ReadAll(ctx, &replies);
    std::printf("read back %zu values: %.1f ms in %d replies of 4196 bytes\n", read,
                Micros(Clock::now() - start) / 1000.0, replies);

    // 4. List a container of 10000 objects.
    for (int i = 0; i < kValues; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "user%05d.Many.Bench", i);
        Check(DirInitBuffer(ctx, kDirOpAdd, buf), "init");
        Check(DirPutAttrName(ctx, buf, "Object Class"), "name");
        Check(DirPutAttrValue(ctx, buf, kDirSyntaxClassName, "User"), "class");
        Check(DirAddObject(ctx, name, 0, 0, buf), "add object");
    }
    start = Clock::now();
    const size_t listed = ListAll(ctx, "Many.Bench", &replies);
    std::printf("list of %zu objects: %.1f ms in %d replies of 4096 bytes\n", listed,
                Micros(Clock::now() - start) / 1000.0, replies);

    (void)DirFreeBuffer(buf);
    (void)DirFreeBuffer(large);
    (void)DirFreeContext(ctx);
    Check(DirCloseStore(), "close");
    std::printf("floor at end: median %.1f us\n", Median(probe.Samples(200)));
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(store + suffix);
    }
    return 0;
}
