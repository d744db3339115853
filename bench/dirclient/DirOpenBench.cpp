// What a single `cvadmin -c 'dump X'` costs in the directory, on stores of 10,000, 100,000 and 1,000,000
// objects: DirOpenStore, DirLogin as "Admin", DirReadObjectInfo and a DirRead of one attribute of one object,
// DirCloseStore. Opening must cost the same at any size, so the figure that matters is the ratio of the
// largest store's median to the smallest's.
//
//   dirclient_open_bench [DIRECTORY] [--runs N]
//
// DIRECTORY (default: the current directory) keeps the stores between runs (open-N.db, about 250 MB for
// the largest; delete them when done). Each sample runs in a process of its own (the program starts itself
// again), so that no SQLite page cache, prepared statement or session state survives from one open to the
// next: what the operating system keeps of the file in memory is all that is warm ("cold-ish"). The sizes
// take turns, so that a change in the machine's load meets all of them alike.
//
// The stores are made with the client (DirOpenStore(path, 1), which writes the schema, "[Root]" and
// "Admin", and one Organization added through DirAddObject), then filled directly with SQLite in one
// transaction in the store's own schema: making a million objects through the API would take hours of
// durable requests.
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "platform/dirclient/DirClient.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kOrganization = "Bench";
constexpr const char* kReadAttr = "Object Class";
constexpr int64_t kSizes[] = {10000, 100000, 1000000};

using bench::Check;
using bench::Median;

void CheckSql(sqlite3* db, int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s failed: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Leaves in lower case and digits only: their comparison key (ASCII letters folded) is the leaf itself.
std::string Leaf(int64_t i) {
    char text[32];
    std::snprintf(text, sizeof text, "u%07lld", static_cast<long long>(i));
    return text;
}

std::string StorePath(const std::string& dir, int64_t size) {
    return dir + "/open-" + std::to_string(size) + ".db";
}

void Exec(sqlite3* db, const char* sql) {
    CheckSql(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql);
}

void BuildStore(const std::string& path, int64_t size) {
    const std::string building = path + ".building";
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(building + suffix);
    }
    Check(DirOpenStore(building.c_str(), 1), "create");
    Check(DirLogin("Admin", nullptr), "login");
    const int32_t ctx = DirCreateContext();
    Check(ctx > 0 ? kDirOk : ctx, "context");
    DirBuffer* buf = nullptr;
    Check(DirAllocBuffer(kDirBufferSmall, &buf), "alloc");
    Check(DirInitBuffer(ctx, kDirOpAdd, buf), "init");
    Check(DirPutAttrName(ctx, buf, "Object Class"), "name");
    Check(DirPutAttrValue(ctx, buf, kDirSyntaxClassName, "Organization"), "class");
    Check(DirAddObject(ctx, kOrganization, 0, 0, buf), "add organization");
    (void)DirFreeBuffer(buf);
    (void)DirFreeContext(ctx);
    Check(DirCloseStore(), "close");

    sqlite3* db = nullptr;
    CheckSql(db, sqlite3_open_v2(building.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), "open");
    Exec(db, "PRAGMA cache_size=-200000; BEGIN IMMEDIATE");
    // The organization's id, and the form in which the client keeps a User's "Object Class" value.
    sqlite3_stmt* stmt = nullptr;
    CheckSql(db,
             sqlite3_prepare_v2(db, "SELECT id FROM objects WHERE parent=1 AND leaf=?1", -1, &stmt, nullptr),
             "prepare");
    sqlite3_bind_text(stmt, 1, kOrganization, -1, SQLITE_STATIC);
    if (sqlite3_step(stmt) != SQLITE_ROW) {
        std::fprintf(stderr, "no organization %s\n", kOrganization);
        std::exit(1);
    }
    const int64_t organization = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    CheckSql(
        db,
        sqlite3_prepare_v2(db,
                           "SELECT v.attr,v.syntax,v.key,v.data FROM vals v JOIN objects o ON o.id=v.object"
                           " WHERE o.class='User' AND v.attr=?1 LIMIT 1",
                           -1, &stmt, nullptr),
        "prepare");
    sqlite3_bind_text(stmt, 1, kReadAttr, -1, SQLITE_STATIC);
    if (sqlite3_step(stmt) != SQLITE_ROW) {
        std::fprintf(stderr, "no User's \"%s\" value to copy\n", kReadAttr);
        std::exit(1);
    }
    const std::string attr(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    const int64_t syntax = sqlite3_column_int64(stmt, 1);
    const std::string key(static_cast<const char*>(sqlite3_column_blob(stmt, 2)),
                          static_cast<size_t>(sqlite3_column_bytes(stmt, 2)));
    const std::string data(static_cast<const char*>(sqlite3_column_blob(stmt, 3)),
                           static_cast<size_t>(sqlite3_column_bytes(stmt, 3)));
    sqlite3_finalize(stmt);

    // Ids follow the highest one ever given, which the client keeps in meta as 'last id'.
    int64_t lastId = 0;
    CheckSql(db,
             sqlite3_prepare_v2(
                 db,
                 "SELECT max(coalesce((SELECT CAST(value AS INTEGER) FROM meta WHERE key='last id'),0),"
                 " coalesce((SELECT max(id) FROM objects),0))",
                 -1, &stmt, nullptr),
             "prepare");
    CheckSql(db, sqlite3_step(stmt), "last id");
    lastId = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);

    sqlite3_stmt* object = nullptr;
    sqlite3_stmt* value = nullptr;
    CheckSql(db,
             sqlite3_prepare_v2(db,
                                "INSERT INTO objects(id,parent,leaf,leaf_key,class,mod_time,password)"
                                " VALUES(?1,?2,?3,?5,'User',?4,'')",
                                -1, &object, nullptr),
             "prepare");
    CheckSql(db,
             sqlite3_prepare_v2(
                 db, "INSERT INTO vals(object,attr,syntax,key,data,ref) VALUES(?1,?2,?3,?4,?5,NULL)", -1,
                 &value, nullptr),
             "prepare");
    const int64_t now = std::time(nullptr);
    for (int64_t i = 0; i < size; ++i) {
        const int64_t id = lastId + 1 + i;
        const std::string leaf = Leaf(i);
        sqlite3_reset(object);
        sqlite3_bind_int64(object, 1, id);
        sqlite3_bind_int64(object, 2, organization);
        sqlite3_bind_text(object, 3, leaf.data(), static_cast<int>(leaf.size()), SQLITE_STATIC);
        sqlite3_bind_int64(object, 4, now);
        // The client keeps comparison keys as blobs, and SQLite never finds a blob equal to a text.
        sqlite3_bind_blob(object, 5, leaf.data(), static_cast<int>(leaf.size()), SQLITE_STATIC);
        CheckSql(db, sqlite3_step(object), "insert object");
        sqlite3_reset(value);
        sqlite3_bind_int64(value, 1, id);
        sqlite3_bind_text(value, 2, attr.data(), static_cast<int>(attr.size()), SQLITE_STATIC);
        sqlite3_bind_int64(value, 3, syntax);
        sqlite3_bind_blob(value, 4, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
        sqlite3_bind_blob(value, 5, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
        CheckSql(db, sqlite3_step(value), "insert value");
    }
    sqlite3_finalize(object);
    sqlite3_finalize(value);
    CheckSql(db,
             sqlite3_prepare_v2(db,
                                "INSERT OR REPLACE INTO meta(key,value) VALUES('last id',CAST(?1 AS TEXT))",
                                -1, &stmt, nullptr),
             "prepare");
    sqlite3_bind_int64(stmt, 1, lastId + size);
    CheckSql(db, sqlite3_step(stmt), "last id");
    sqlite3_finalize(stmt);
    Exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE)");
    sqlite3_close(db);

    // One open through the client before the store takes its place, as any first use would make it.
    Check(DirOpenStore(building.c_str(), 0), "reopen");
    Check(DirCloseStore(), "close");
    std::filesystem::rename(building, path);
}

// Made once and kept: a store is reused only when its marker says it was finished for that size.
void EnsureStore(const std::string& dir, int64_t size) {
    const std::string path = StorePath(dir, size);
    const std::string marker = path + ".done";
    if (std::filesystem::exists(path) && std::filesystem::exists(marker)) {
        return;
    }
    std::printf("making a store of %lld objects ...\n", static_cast<long long>(size));
    std::fflush(stdout);
    const auto start = Clock::now();
    BuildStore(path, size);
    std::ofstream(marker) << size << "\n";
    std::printf("  made in %.1f s\n", std::chrono::duration<double>(Clock::now() - start).count());
}

// One open-and-read, timed; answers microseconds.
double OpenAndRead(const std::string& path, const std::string& objectName) {
    char name[kDirMaxNameBytes + 1];
    DirObjectInfo info{};
    DirBuffer* names = nullptr;
    DirBuffer* reply = nullptr;
    Check(DirAllocBuffer(kDirBufferSmall, &names), "alloc");
    Check(DirAllocBuffer(kDirBufferReply, &reply), "alloc");
    const auto start = Clock::now();
    Check(DirOpenStore(path.c_str(), 0), "open");
    Check(DirLogin("Admin", nullptr), "login");
    const int32_t ctx = DirCreateContext();
    Check(ctx > 0 ? kDirOk : ctx, "context");
    Check(DirReadObjectInfo(ctx, objectName.c_str(), name, &info), "object info");
    Check(DirInitBuffer(ctx, kDirOpRead, names), "init");
    Check(DirPutAttrName(ctx, names, kReadAttr), "name");
    int32_t iteration = -1;
    Check(DirRead(ctx, objectName.c_str(), 1, 0, names, &iteration, reply), "read");
    uint32_t count = 0;
    Check(DirGetAttrCount(ctx, reply, &count), "count");
    Check(DirCloseIteration(ctx, iteration, kDirOpRead), "close iteration");
    (void)DirFreeContext(ctx);
    Check(DirCloseStore(), "close");
    const double micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    (void)DirFreeBuffer(names);
    (void)DirFreeBuffer(reply);
    if (count != 1 || std::strcmp(info.baseClass, "User") != 0) {
        std::fprintf(stderr, "read of %s gave %u attributes, class %s\n", objectName.c_str(), count,
                     info.baseClass);
        std::exit(1);
    }
    return micros;
}

std::string ObjectName(int64_t size, int run) {
    // A different object each run, spread over the container, so that no one path through the tree is
    // measured alone.
    const int64_t i = (static_cast<int64_t>(run) * 7919 + size / 2) % size;
    return Leaf(i) + "." + kOrganization;
}

// Runs one sample in a fresh process of this program; answers its microseconds.
double SampleInChild(const std::string& path, const std::string& objectName) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string once = "--once";
    std::vector<char*> argv = {self.data(), once.data(), const_cast<char*>(path.c_str()),
                               const_cast<char*>(objectName.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    char chunk[256];
    ssize_t got = 0;
    while ((got = read(fds[0], chunk, sizeof chunk)) > 0) {
        out.append(chunk, static_cast<size_t>(got));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || out.empty()) {
        std::fprintf(stderr, "sample on %s failed\n", path.c_str());
        std::exit(1);
    }
    return std::atof(out.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--once") == 0) {
        std::printf("%.3f\n", OpenAndRead(argv[2], argv[3]));
        return 0;
    }
    const bench::Args args = bench::ParseArgs(argc, argv, 21);
    const std::string& dir = args.dir;
    const int runs = args.runs;
    for (const int64_t size : kSizes) {
        EnsureStore(dir, size);
    }
    std::vector<std::vector<double>> fresh(std::size(kSizes));
    std::vector<std::vector<double>> warm(std::size(kSizes));
    for (int run = 0; run < runs; ++run) {
        for (size_t s = 0; s < std::size(kSizes); ++s) {
            const std::string path = StorePath(dir, kSizes[s]);
            const std::string object = ObjectName(kSizes[s], run);
            fresh[s].push_back(SampleInChild(path, object));
            warm[s].push_back(OpenAndRead(path, object));
        }
    }
    std::printf(
        "open, sign in, object info and one read, close (median of %d; each sample in a fresh process, "
        "the store's file in the system's cache):\n",
        runs);
    for (size_t s = 0; s < std::size(kSizes); ++s) {
        std::printf("  %8lld objects: %7.1f us   (again in this process: %7.1f us)\n",
                    static_cast<long long>(kSizes[s]), Median(fresh[s]), Median(warm[s]));
    }
    const double ratio = Median(fresh.back()) / Median(fresh.front());
    const double warmRatio = Median(warm.back()) / Median(warm.front());
    std::printf("largest / smallest: %.2fx fresh process, %.2fx again in this process (aim: under 1.2x)\n",
                ratio, warmRatio);
    return 0;
}
