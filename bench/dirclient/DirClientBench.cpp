// The directory client's figures on its three stores in one run: in memory, a SQLite file, and a directory
// on a throwaway slapd (started and stopped by this program), each LDAP figure beside SQLite's as a ratio.
//
//   dirclient_bench [DIRECTORY] [--store memory|sqlite|ldap]... [--measure modify|adds|rewrite|list]...
//                   [--rewrites N] [--modifies N] [--lists N]
//
// DIRECTORY (default: the current directory) takes the SQLite stores and the fsync probe; the LDAP servers
// live in folders of their own below the system's temporary folder. --store and --measure limit the run to
// the stores and measures named (for perf or valgrind --tool=callgrind on one of them). Measures:
//   modify   one durable request replacing one single value (the LDAP server syncs every write, as an
//            operator's does), median of --modifies requests (default 200);
//   rewrite  10,000 values of one attribute replaced in one request (1 MiB buffer), median of --rewrites
//            runs (default 5);
//   list     10,000 children listed through 4096-byte replies, as the supervisor and as a user who holds
//            only the Browse right every user has, median of --lists runs each (default 5);
//   adds     10,000 single-value adds to one attribute, one request each: the first and the last thousand.
// The LDAP server of every measure but the first runs without syncing (olcDbNoSync), as the tests' servers
// do: its figures show the client's and the server's work, not the disk's.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sodium.h>

#include "bench/BenchSupport.h"
#include "platform/dirclient/DirClient.h"
#include "tests/platform/dirclient/SlapdServer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kValues = 10000;
constexpr const char* kAttr = "KEL:Enabled Workstation List";
constexpr const char* kObject = "Target.Bench";
constexpr const char* kContainer = "Many.Bench";
constexpr const char* kReader = "Reader.Bench";

// Processor time of this process and of the LDAP server, in milliseconds: beside the wall time they tell
// the client's work from the server's and from waiting (the disk, the other's turn).
pid_t g_serverPid = 0;

double ClientCpuMillis() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

double ServerCpuMillis() {
    if (g_serverPid == 0) {
        return 0;
    }
    FILE* stat = std::fopen(("/proc/" + std::to_string(g_serverPid) + "/stat").c_str(), "r");
    if (stat == nullptr) {
        return 0;
    }
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    const char* after = read ? std::strrchr(line, ')') : nullptr;
    unsigned long user = 0;
    unsigned long system = 0;
    // Fields 14 and 15 (utime, stime), counted from the state after the command's closing parenthesis.
    if (after == nullptr ||
        std::sscanf(after + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2) {
        return 0;
    }
    return static_cast<double>(user + system) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Split {
    Clock::time_point wall = Clock::now();
    double client = ClientCpuMillis();
    double server = ServerCpuMillis();
};

// "wall W ms, client C ms, server S ms" from start to now, for the measure's notes.
std::string SplitSince(const Split& start, int requests) {
    const Split now;
    char text[160];
    std::snprintf(text, sizeof text,
                  "%d requests: wall %.0f ms, client %.0f ms, server %.0f ms on a processor", requests,
                  std::chrono::duration<double, std::milli>(now.wall - start.wall).count(),
                  now.client - start.client, now.server - start.server);
    return text;
}

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

using bench::Check;
using bench::Median;
using bench::SyncProbe;

std::string ValueText(int i) {
    char text[64];
    std::snprintf(text, sizeof text, "workstation-%05d.bench.example", i);
    return text;
}

void AddObject(int32_t ctx, DirBuffer* buf, const char* name, const char* cls) {
    Check(DirInitBuffer(ctx, kDirOpAdd, buf), "init");
    Check(DirPutAttrName(ctx, buf, "Object Class"), "name");
    Check(DirPutAttrValue(ctx, buf, kDirSyntaxClassName, cls), "class");
    Check(DirAddObject(ctx, name, 0, 0, buf), "add object");
}

int32_t ReplaceDescription(int32_t ctx, DirBuffer* buf, const std::string& text) {
    int32_t rc = DirInitBuffer(ctx, kDirOpModify, buf);
    if (rc == kDirOk) {
        rc = DirPutChange(ctx, buf, kDirChangeRemoveAllValues, "Description");
    }
    if (rc == kDirOk) {
        rc = DirPutChange(ctx, buf, kDirChangeAddValue, "Description");
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(ctx, buf, kDirSyntaxCaseIgnoreString, text.c_str());
    }
    return rc == kDirOk ? DirModifyObject(ctx, kObject, 0, 0, buf) : rc;
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

// The module's list write in one request: remove all, then add every value.
void RewriteAll(int32_t ctx, DirBuffer* buf, const std::vector<std::string>& values) {
    Check(DirInitBuffer(ctx, kDirOpModify, buf), "init");
    Check(DirPutChange(ctx, buf, kDirChangeRemoveAllValues, kAttr), "change 6");
    Check(DirPutChange(ctx, buf, kDirChangeAddValue, kAttr), "change 2");
    for (const auto& value : values) {
        Check(DirPutAttrValue(ctx, buf, kDirSyntaxCaseIgnoreString, value.c_str()), "put value");
    }
    Check(DirModifyObject(ctx, kObject, 0, 0, buf), "modify");
}

size_t ListAll(int32_t ctx, const char* container) {
    DirBuffer* reply = nullptr;
    Check(DirAllocBuffer(4096, &reply), "alloc");
    int32_t iteration = -1;
    size_t objects = 0;
    do {
        Check(DirList(ctx, container, &iteration, reply), "list");
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

struct Figures {
    double modify = NAN;      // us, median
    double modifyFloor = NAN; // us, median fsync floor sampled between the modifies
    double rewrite = NAN;     // ms, median
    double list = NAN;        // ms, median, as the supervisor
    double listLimited = NAN; // ms, median, as a user with Browse only
    double addFirst = NAN;    // us, median of the first 1000
    double addLast = NAN;     // us, median of the last 1000
    std::vector<std::string> notes;
};

struct Options {
    std::string dir = ".";
    int rewrites = 5;
    int lists = 5;
    int modifies = 200;
    std::vector<std::string> measures; // empty: all

    bool Runs(const char* measure) const {
        return measures.empty() || std::find(measures.begin(), measures.end(), measure) != measures.end();
    }
};

// Opens the store at address ("" for the in-memory one) as Admin and gives a context.
int32_t OpenAsAdmin(const std::string& address) {
    Check(address.empty() ? DirOpenMemoryStore() : DirOpenStore(address.c_str(), /*create=*/1), "open");
    Check(DirLogin("Admin", nullptr), "login");
    const int32_t ctx = DirCreateContext();
    Check(ctx > 0 ? kDirOk : ctx, "context");
    return ctx;
}

// The store opened as Admin with the object every measure changes, and a request buffer.
struct Bench {
    int32_t ctx = 0;
    DirBuffer* buf = nullptr;

    explicit Bench(const std::string& address) : ctx(OpenAsAdmin(address)) {
        Check(DirAllocBuffer(4096, &buf), "alloc");
        AddObject(ctx, buf, "Bench", "Organization");
        AddObject(ctx, buf, kObject, "User");
    }
    ~Bench() {
        (void)DirFreeBuffer(buf);
        (void)DirFreeContext(ctx);
        Check(DirCloseStore(), "close");
    }
};

void MeasureModify(const std::string& address, const Options& options, SyncProbe& probe, Figures* out) {
    if (!options.Runs("modify")) {
        return;
    }
    const Bench bench(address);
    std::vector<double> times;
    std::vector<double> floors;
    double probing = 0;
    const Split split;
    for (int i = 0; i < options.modifies; ++i) {
        const auto start = Clock::now();
        Check(ReplaceDescription(bench.ctx, bench.buf, "description " + std::to_string(i)), "modify");
        times.push_back(Micros(Clock::now() - start));
        floors.push_back(probe.Sample());
        probing += floors.back() / 1000.0;
    }
    out->notes.push_back("modify, " + SplitSince(split, options.modifies) + " (the fsync probe's " +
                         std::to_string(static_cast<int>(probing)) + " ms included)");
    out->modify = Median(times);
    out->modifyFloor = Median(floors);
}

void MeasureBulk(const std::string& address, const Options& options, Figures* out) {
    if (!options.Runs("adds") && !options.Runs("rewrite") && !options.Runs("list")) {
        return;
    }
    const Bench bench(address);
    const int32_t ctx = bench.ctx;
    DirBuffer* const buf = bench.buf;
    AddObject(ctx, buf, kContainer, "Organizational Unit");
    AddObject(ctx, buf, kReader, "User");

    std::vector<std::string> values;
    for (int i = 0; i < kValues; ++i) {
        values.push_back(ValueText(i));
    }
    std::vector<double> adds;
    Split split;
    for (const auto& value :
         options.Runs("adds") || options.Runs("rewrite") ? values : std::vector<std::string>()) {
        const auto start = Clock::now();
        Check(AddOne(ctx, buf, value), "add value");
        adds.push_back(Micros(Clock::now() - start));
        if (adds.size() == 1000) {
            out->notes.push_back("adds, the first " + SplitSince(split, 1000));
        } else if (adds.size() == kValues - 1000) {
            split = Split();
        }
    }
    if (options.Runs("adds")) {
        out->notes.push_back("adds, the last " + SplitSince(split, 1000));
        out->addFirst = Median(std::vector<double>(adds.begin(), adds.begin() + 1000));
        out->addLast = Median(std::vector<double>(adds.end() - 1000, adds.end()));
    }

    DirBuffer* large = nullptr;
    Check(DirAllocBuffer(1024 * 1024, &large), "alloc");
    std::vector<double> rewrites;
    split = Split();
    for (int round = 0; round < (options.Runs("rewrite") ? options.rewrites : 0); ++round) {
        std::reverse(values.begin(), values.end());
        const auto start = Clock::now();
        RewriteAll(ctx, large, values);
        rewrites.push_back(Micros(Clock::now() - start) / 1000.0);
    }
    if (options.Runs("rewrite")) {
        out->notes.push_back("rewrite, " + SplitSince(split, options.rewrites));
        out->rewrite = Median(rewrites);
    }
    (void)DirFreeBuffer(large);
    if (!options.Runs("list")) {
        return;
    }

    for (int i = 0; i < kValues; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "user%05d.%s", i, kContainer);
        AddObject(ctx, buf, name, "User");
    }
    auto listMedian = [&](int32_t context, const char* who) {
        std::vector<double> times;
        const Split listSplit;
        for (int round = 0; round < options.lists; ++round) {
            const auto start = Clock::now();
            if (ListAll(context, kContainer) != static_cast<size_t>(kValues)) {
                std::fprintf(stderr, "the list did not give %d objects\n", kValues);
                std::exit(1);
            }
            times.push_back(Micros(Clock::now() - start) / 1000.0);
        }
        out->notes.push_back(std::string("list as ") + who + ", " + SplitSince(listSplit, options.lists));
        return Median(times);
    };
    out->list = listMedian(ctx, "the supervisor");
    Check(DirLogin(kReader, nullptr), "login as the reader");
    const int32_t reader = DirCreateContext();
    Check(reader > 0 ? kDirOk : reader, "context");
    out->listLimited = listMedian(reader, "a user with Browse only");
    (void)DirFreeContext(reader);
}

void RemoveSqlite(const std::string& file) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(file + suffix);
    }
}

std::string Cell(double value, const char* unit) {
    if (std::isnan(value)) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, unit);
    return text;
}

std::string Ratio(double ldap, double sqlite) {
    if (std::isnan(ldap) || std::isnan(sqlite) || sqlite <= 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", ldap / sqlite);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<std::string> stores;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rewrites" && i + 1 < argc) {
            options.rewrites = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--modifies" && i + 1 < argc) {
            options.modifies = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--lists" && i + 1 < argc) {
            options.lists = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--measure" && i + 1 < argc) {
            const std::string measure = argv[++i];
            options.measures.push_back(measure);
            if (measure != "modify" && measure != "adds" && measure != "rewrite" && measure != "list") {
                std::fprintf(stderr, "dirclient_bench: --measure takes modify, adds, rewrite or list\n");
                return 2;
            }
        } else if (arg == "--store" && i + 1 < argc) {
            stores.emplace_back(argv[++i]);
            if (stores.back() != "memory" && stores.back() != "sqlite" && stores.back() != "ldap") {
                std::fprintf(stderr, "dirclient_bench: --store takes memory, sqlite or ldap\n");
                return 2;
            }
        } else if (!arg.empty() && arg.front() == '-') {
            std::fprintf(stderr, "usage: dirclient_bench [DIRECTORY] [--store memory|sqlite|ldap]... "
                                 "[--measure modify|adds|rewrite|list]... [--rewrites N] [--modifies N] "
                                 "[--lists N]\n");
            return 2;
        } else {
            options.dir = arg;
        }
    }
    if (stores.empty()) {
        stores = {"memory", "sqlite", "ldap"};
    }
    if (sodium_init() < 0) {
        return 1;
    }
    // Sign-in is not measured: the cheapest hash keeps the set-up short.
    Check(DirSetPasswordHashCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN), "hash cost");
    SyncProbe probe(options.dir);
    std::map<std::string, Figures> figures;
    for (const auto& store : stores) {
        std::fprintf(stderr, "measuring the %s store...\n", store.c_str());
        Figures& f = figures[store];
        if (store == "memory") {
            MeasureModify("", options, probe, &f);
            MeasureBulk("", options, &f);
        } else if (store == "sqlite") {
            const std::string durable = options.dir + "/dirclient-bench-modify.db";
            const std::string bulk = options.dir + "/dirclient-bench.db";
            RemoveSqlite(durable);
            RemoveSqlite(bulk);
            MeasureModify(durable, options, probe, &f);
            MeasureBulk(bulk, options, &f);
            RemoveSqlite(durable);
            RemoveSqlite(bulk);
        } else {
            dirtest::SlapdServer::Options durableOptions;
            durableOptions.durable = true;
            dirtest::SlapdServer durable;
            dirtest::SlapdServer fast;
            if (!durable.Start(durableOptions) || !fast.Start()) {
                std::fprintf(stderr, "dirclient_bench: no LDAP server: %s%s\n", durable.Problem().c_str(),
                             fast.Problem().c_str());
                return 1;
            }
            const std::string durableUrl = durable.NewDirectory();
            const std::string fastUrl = fast.NewDirectory();
            if (durableUrl.empty() || fastUrl.empty()) {
                std::fprintf(stderr, "dirclient_bench: the LDAP server refused a new directory\n");
                return 1;
            }
            g_serverPid = durable.Pid();
            MeasureModify(durableUrl, options, probe, &f);
            g_serverPid = fast.Pid();
            MeasureBulk(fastUrl, options, &f);
            g_serverPid = 0;
        }
    }

    auto row = [&](const char* what, double Figures::*field, const char* unit, const char* aim) {
        const Figures none;
        const Figures& m = figures.count("memory") ? figures["memory"] : none;
        const Figures& s = figures.count("sqlite") ? figures["sqlite"] : none;
        const Figures& l = figures.count("ldap") ? figures["ldap"] : none;
        std::printf("%-34s %12s %12s %12s %10s   %s\n", what, Cell(m.*field, unit).c_str(),
                    Cell(s.*field, unit).c_str(), Cell(l.*field, unit).c_str(),
                    Ratio(l.*field, s.*field).c_str(), aim);
    };
    std::printf("%-34s %12s %12s %12s %10s   %s\n", "measure", "memory", "sqlite", "ldap", "ldap/sqlite",
                "aim for ldap");
    row("durable single-value modify", &Figures::modify, "us", "within 2x of sqlite");
    row("  fsync floor beside it", &Figures::modifyFloor, "us", "");
    row("rewrite 10,000 values, 1 request", &Figures::rewrite, "ms", "< 10 ms");
    row("list 10,000 children", &Figures::list, "ms", "< 40 ms");
    row("  as a user with Browse only", &Figures::listLimited, "ms", "within 3x of the supervisor");
    row("single-value add, first 1000", &Figures::addFirst, "us", "");
    row("single-value add, last 1000", &Figures::addLast, "us", "within 1.2x of the first 1000");
    for (const auto& [name, f] : figures) {
        std::printf("%s: limited/supervisor list %.2fx, last/first adds %.2fx\n", name.c_str(),
                    f.listLimited / f.list, f.addLast / f.addFirst);
        for (const auto& note : f.notes) {
            std::printf("  %s\n", note.c_str());
        }
    }
    return 0;
}
