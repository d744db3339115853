// What every benchmark program needs: checks that end the run, medians, the disk's sync floor to print
// beside durable figures, and the common command line `[DIRECTORY] [--runs N]`.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dirclient/DirClient.h"

namespace bench {

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "%s failed\n", what);
        std::exit(1);
    }
}

inline void Check(int32_t rc, const char* what) {
    if (rc != kDirOk) {
        std::fprintf(stderr, "%s failed: %d (%s)\n", what, rc, DirErrorText(rc));
        std::exit(1);
    }
}

inline double Median(std::vector<double> samples) {
    if (samples.empty()) {
        return NAN;
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

inline double MicrosSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

// The least a durable request can cost on this disk: rewriting one 4096-byte page in place and syncing it.
// The disk is shared and its sync time moves by a factor of ten within a minute, so it is sampled beside the
// durable requests.
class SyncProbe {
public:
    explicit SyncProbe(const std::string& dir) : m_path(dir + "/fsync-probe.tmp") {
        m_fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        Check(m_fd >= 0, "opening the sync probe");
    }
    ~SyncProbe() {
        close(m_fd);
        unlink(m_path.c_str());
    }
    SyncProbe(const SyncProbe&) = delete;
    SyncProbe& operator=(const SyncProbe&) = delete;
    double Sample() {
        std::vector<char> page(4096, 'p');
        const auto start = std::chrono::steady_clock::now();
        Check(pwrite(m_fd, page.data(), page.size(), 0) == static_cast<ssize_t>(page.size()) &&
                  fdatasync(m_fd) == 0,
              "the sync probe");
        return MicrosSince(start);
    }
    // The median of many samples taken now.
    double Floor(int samples = 100) {
        std::vector<double> taken;
        for (int i = 0; i < samples; ++i) {
            taken.push_back(Sample());
        }
        return Median(taken);
    }

private:
    std::string m_path;
    int m_fd = -1;
};

struct Args {
    std::string dir = ".";
    int runs = 1;
};

// `[DIRECTORY] [--runs N]`, with the program's own number of runs when none is given.
inline Args ParseArgs(int argc, char** argv, int runs) {
    Args args;
    args.runs = runs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            args.runs = std::max(1, std::atoi(argv[++i]));
        } else {
            args.dir = arg;
        }
    }
    return args;
}

// A store file of an earlier run goes, with its side files, so that every run starts from a new store.
inline void RemoveStore(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(path + suffix);
    }
}

} // namespace bench
