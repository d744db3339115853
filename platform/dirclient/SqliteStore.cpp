// The SQLite store: one file in WAL mode with synchronous=FULL, so a committed request is durable after a
// single sync of the log. Values sit in their own indexed table: adding one value writes one row, whatever
// the number of values the attribute already holds.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/dirclient/DirErrors.h"
#include "platform/dirclient/DirNames.h"
#include "platform/dirclient/DirStore.h"

namespace dirclient {

namespace {

// 'KELD': marks a file as ours, so that another SQLite database is refused rather than written to.
constexpr int32_t kApplicationId = 0x4B454C44;
constexpr int32_t kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY, value BLOB NOT NULL);
CREATE TABLE objects(
  id INTEGER PRIMARY KEY,
  parent INTEGER NOT NULL,
  leaf TEXT NOT NULL,
  leaf_key BLOB NOT NULL,
  class TEXT NOT NULL,
  mod_time INTEGER NOT NULL,
  password TEXT NOT NULL DEFAULT '');
CREATE UNIQUE INDEX objects_by_parent ON objects(parent, leaf_key);
-- A value is one row: adding one appends to the table and puts one entry into the key index, whatever the
-- number of values the attribute holds already. The row id keeps the order in which values were added.
CREATE TABLE vals(
  id INTEGER PRIMARY KEY,
  object INTEGER NOT NULL,
  attr TEXT NOT NULL,
  syntax INTEGER NOT NULL,
  key BLOB NOT NULL,
  data BLOB NOT NULL,
  ref INTEGER);
CREATE UNIQUE INDEX vals_by_key ON vals(object, attr, key);
CREATE INDEX vals_by_ref ON vals(ref) WHERE ref IS NOT NULL;
)sql";

int32_t CodeOf(int sqliteCode) {
    switch (sqliteCode & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return kDirOk;
    case SQLITE_NOTADB:
        return kDirErrNotAStore;
    case SQLITE_CORRUPT:
        return kDirErrStoreDamaged;
    case SQLITE_NOMEM:
        return kDirErrOutOfMemory;
    case SQLITE_CONSTRAINT:
        return kDirErrObjectExists;
    default:
        return kDirErrStoreFailed;
    }
}

class Statement {
public:
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(m_stmt); }

    int32_t Prepare(sqlite3* db, const char* sql) {
        return CodeOf(sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr));
    }
    sqlite3_stmt* Use() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        return m_stmt;
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

void BindText(sqlite3_stmt* stmt, int index, const std::string& text) {
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
void BindBlob(sqlite3_stmt* stmt, int index, const std::string& bytes) {
    sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}
std::string ColumnText(sqlite3_stmt* stmt, int index) {
    const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt, index));
    return text == nullptr ? std::string()
                           : std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, index)));
}

class SqliteStore final : public DirStore {
public:
    SqliteStore(sqlite3* db, bool readOnly) : m_db(db), m_readOnly(readOnly) {}
    ~SqliteStore() override {
        m_insertMany.reset();
        m_statements.clear();
        sqlite3_close_v2(m_db);
    }

    int32_t Prepare() {
        const char* sql[kCount] = {
            "BEGIN IMMEDIATE",
            "BEGIN",
            "COMMIT",
            "SELECT id,parent,leaf,class,mod_time,password FROM objects WHERE id=?1",
            "SELECT id,parent,leaf,class,mod_time,password FROM objects WHERE parent=?1 AND leaf_key=?2",
            "SELECT o.id,o.parent,o.leaf,o.class,o.mod_time,o.password,"
            " (SELECT count(*) FROM objects c WHERE c.parent=o.id),"
            " (SELECT count(DISTINCT attr) FROM vals v WHERE v.object=o.id)"
            " FROM objects o WHERE o.parent=?1 ORDER BY o.leaf_key",
            "SELECT count(*) FROM objects WHERE parent=?1",
            // An id is never handed out twice: the highest one ever given is kept, since SQLite alone would
            // give the id of the newest object again once that object is deleted.
            "INSERT INTO objects(id,parent,leaf,leaf_key,class,mod_time,password) VALUES("
            " max(coalesce((SELECT CAST(value AS INTEGER) FROM meta WHERE key='last id'),0),"
            "     coalesce((SELECT max(id) FROM objects),0))+1,?1,?2,?3,?4,?5,?6)",
            "INSERT OR REPLACE INTO meta(key,value) VALUES('last id',CAST(?1 AS TEXT))",
            "UPDATE objects SET parent=?2,leaf=?3,leaf_key=?4,class=?5,mod_time=?6,password=?7 WHERE id=?1",
            "UPDATE objects SET mod_time=?2 WHERE id=?1",
            "DELETE FROM objects WHERE id=?1",
            "DELETE FROM vals WHERE object=?1",
            "DELETE FROM vals WHERE ref=?1",
            "SELECT attr,syntax,key,data,ref FROM vals WHERE object=?1 ORDER BY attr,id",
            "SELECT attr,syntax,key,data,ref FROM vals WHERE object=?1 AND attr=?2 ORDER BY id",
            "SELECT 1 FROM vals WHERE object=?1 AND attr=?2 AND key=?3",
            "SELECT count(*) FROM vals WHERE object=?1 AND attr=?2",
            "INSERT INTO vals(object,attr,syntax,key,data,ref) VALUES(?1,?2,?3,?4,?5,?6)",
            "DELETE FROM vals WHERE object=?1 AND attr=?2 AND key=?3",
            "DELETE FROM vals WHERE object=?1 AND attr=?2",
            "SELECT value FROM meta WHERE key=?1",
            "INSERT OR REPLACE INTO meta(key,value) VALUES(?1,?2)",
            "SELECT id,parent,leaf,class,mod_time,password FROM objects ORDER BY id",
        };
        for (int i = 0; i < kCount; ++i) {
            m_statements.emplace_back(std::make_unique<Statement>());
            const int32_t rc = m_statements.back()->Prepare(m_db, sql[i]);
            if (rc != kDirOk) {
                return rc;
            }
        }
        return kDirOk;
    }

    int32_t Begin(bool write) override {
        if (write && m_readOnly) {
            return kDirErrReadOnlyStore;
        }
        return Step(Use(write ? kBegin : kBeginRead));
    }
    bool ReadOnly() const override { return m_readOnly; }
    int32_t Commit() override {
        const int32_t rc = Step(Use(kCommit));
        if (rc != kDirOk) {
            Rollback();
        }
        return rc;
    }
    void Rollback() override {
        if (sqlite3_get_autocommit(m_db) == 0) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }

    int32_t GetObject(int64_t id, ObjectRecord* out) override {
        sqlite3_stmt* stmt = Use(kGetObject);
        sqlite3_bind_int64(stmt, 1, id);
        return ReadObject(stmt, out);
    }
    int32_t FindChild(int64_t parent, const std::string& leafKey, ObjectRecord* out) override {
        sqlite3_stmt* stmt = Use(kFindChild);
        sqlite3_bind_int64(stmt, 1, parent);
        BindBlob(stmt, 2, leafKey);
        return ReadObject(stmt, out);
    }
    int32_t ListChildren(int64_t parent, std::vector<ChildSummary>* out) override {
        out->clear();
        sqlite3_stmt* stmt = Use(kListChildren);
        sqlite3_bind_int64(stmt, 1, parent);
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            ChildSummary summary;
            FillObject(stmt, &summary.record);
            summary.subordinateCount = static_cast<uint32_t>(sqlite3_column_int64(stmt, 6));
            summary.attrCount = static_cast<uint32_t>(sqlite3_column_int64(stmt, 7));
            out->push_back(std::move(summary));
        }
        sqlite3_reset(stmt);
        return CodeOf(rc);
    }
    int32_t CountChildren(int64_t parent, uint32_t* count) override {
        sqlite3_stmt* stmt = Use(kCountChildren);
        sqlite3_bind_int64(stmt, 1, parent);
        return ReadCount(stmt, count);
    }
    int32_t InsertObject(ObjectRecord* record) override {
        sqlite3_stmt* stmt = Use(kInsertObject);
        sqlite3_bind_int64(stmt, 1, record->parent);
        BindText(stmt, 2, record->leaf);
        BindBlob(stmt, 3, FoldName(record->leaf));
        BindText(stmt, 4, record->className);
        sqlite3_bind_int64(stmt, 5, record->modTime);
        BindText(stmt, 6, record->passwordHash);
        int32_t rc = Step(stmt);
        if (rc == kDirOk) {
            record->id = sqlite3_last_insert_rowid(m_db);
            stmt = Use(kKeepLastId);
            sqlite3_bind_int64(stmt, 1, record->id);
            rc = Step(stmt);
        }
        return rc;
    }
    int32_t UpdateObject(const ObjectRecord& record) override {
        sqlite3_stmt* stmt = Use(kUpdateObject);
        sqlite3_bind_int64(stmt, 1, record.id);
        sqlite3_bind_int64(stmt, 2, record.parent);
        BindText(stmt, 3, record.leaf);
        BindBlob(stmt, 4, FoldName(record.leaf));
        BindText(stmt, 5, record.className);
        sqlite3_bind_int64(stmt, 6, record.modTime);
        BindText(stmt, 7, record.passwordHash);
        return Step(stmt);
    }
    int32_t SetModTime(int64_t id, uint32_t modTime) override {
        sqlite3_stmt* stmt = Use(kSetModTime);
        sqlite3_bind_int64(stmt, 1, id);
        sqlite3_bind_int64(stmt, 2, modTime);
        return Step(stmt);
    }
    // The references are kept by the directory rather than by SQLite's foreign keys, which would look up
    // the parent rows again for every value inserted.
    int32_t DeleteObject(int64_t id) override {
        int32_t rc = kDirOk;
        for (Index index : {kDeleteObjectValues, kDeleteReferences, kDeleteObject}) {
            sqlite3_stmt* stmt = Use(index);
            sqlite3_bind_int64(stmt, 1, id);
            rc = Step(stmt);
            if (rc != kDirOk) {
                break;
            }
        }
        return rc;
    }

    int32_t ReadValues(int64_t object, const std::string& attr, std::vector<StoredValue>* out) override {
        out->clear();
        sqlite3_stmt* stmt = Use(attr.empty() ? kReadAllValues : kReadValues);
        sqlite3_bind_int64(stmt, 1, object);
        if (!attr.empty()) {
            BindText(stmt, 2, attr);
        }
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            StoredValue value;
            value.attr = ColumnText(stmt, 0);
            value.syntax = static_cast<uint32_t>(sqlite3_column_int64(stmt, 1));
            value.key = ColumnText(stmt, 2);
            value.data = ColumnText(stmt, 3);
            value.ref = sqlite3_column_int64(stmt, 4);
            out->push_back(std::move(value));
        }
        sqlite3_reset(stmt);
        return CodeOf(rc);
    }
    int32_t HasValue(int64_t object, const std::string& attr, const std::string& key, bool* found) override {
        sqlite3_stmt* stmt = Use(kHasValue);
        sqlite3_bind_int64(stmt, 1, object);
        BindText(stmt, 2, attr);
        BindBlob(stmt, 3, key);
        const int rc = sqlite3_step(stmt);
        *found = rc == SQLITE_ROW;
        sqlite3_reset(stmt);
        return CodeOf(rc);
    }
    int32_t CountValues(int64_t object, const std::string& attr, uint32_t* count) override {
        sqlite3_stmt* stmt = Use(kCountValues);
        sqlite3_bind_int64(stmt, 1, object);
        BindText(stmt, 2, attr);
        return ReadCount(stmt, count);
    }
    int32_t InsertValue(int64_t object, const StoredValue& value) override {
        sqlite3_stmt* stmt = Use(kInsertValue);
        BindValue(stmt, 0, object, value);
        int32_t rc = Step(stmt);
        sqlite3_clear_bindings(stmt);
        return rc == kDirErrObjectExists ? kDirErrValueExists : rc;
    }
    // A list write adds hundreds of values in one request. One statement for many rows opens its cursors
    // and ends once for all of them, which is most of what a row costs beyond the B-tree work itself.
    int32_t InsertValues(int64_t object, const std::vector<StoredValue>& values) override {
        size_t next = 0;
        if (values.size() >= kValuesPerInsert) {
            if (!m_insertMany) {
                // Prepared on first use, so that opening a store (and every read-only run) does not pay
                // for a statement it may never step.
                std::string sql = "INSERT INTO vals(object,attr,syntax,key,data,ref) VALUES";
                for (int i = 0; i < kValuesPerInsert; ++i) {
                    const int at = i * kParamsPerValue;
                    sql += (i == 0 ? "(?" : ",(?") + std::to_string(at + 1);
                    for (int p = 2; p <= kParamsPerValue; ++p) {
                        sql += ",?" + std::to_string(at + p);
                    }
                    sql += ')';
                }
                auto statement = std::make_unique<Statement>();
                const int32_t rc = statement->Prepare(m_db, sql.c_str());
                if (rc != kDirOk) {
                    return rc;
                }
                m_insertMany = std::move(statement);
            }
            for (; values.size() - next >= kValuesPerInsert; next += kValuesPerInsert) {
                sqlite3_stmt* stmt = m_insertMany->Use();
                for (int i = 0; i < kValuesPerInsert; ++i) {
                    BindValue(stmt, i * kParamsPerValue, object, values[next + static_cast<size_t>(i)]);
                }
                const int32_t rc = Step(stmt);
                sqlite3_clear_bindings(stmt);
                if (rc != kDirOk) {
                    return rc == kDirErrObjectExists ? kDirErrValueExists : rc;
                }
            }
        }
        for (; next < values.size(); ++next) {
            const int32_t rc = InsertValue(object, values[next]);
            if (rc != kDirOk) {
                return rc;
            }
        }
        return kDirOk;
    }
    int32_t DeleteValue(int64_t object, const std::string& attr, const std::string& key) override {
        sqlite3_stmt* stmt = Use(kDeleteValue);
        sqlite3_bind_int64(stmt, 1, object);
        BindText(stmt, 2, attr);
        BindBlob(stmt, 3, key);
        const int32_t rc = Step(stmt);
        if (rc == kDirOk && sqlite3_changes(m_db) == 0) {
            return kDirErrNoSuchValue;
        }
        return rc;
    }
    int32_t DeleteAllValues(int64_t object, const std::string& attr) override {
        sqlite3_stmt* stmt = Use(kDeleteAllValues);
        sqlite3_bind_int64(stmt, 1, object);
        BindText(stmt, 2, attr);
        return Step(stmt);
    }

    int32_t GetMeta(const std::string& key, std::string* value) override {
        sqlite3_stmt* stmt = Use(kGetMeta);
        BindText(stmt, 1, key);
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            *value = ColumnText(stmt, 0);
        }
        sqlite3_reset(stmt);
        return rc == SQLITE_ROW ? kDirOk : rc == SQLITE_DONE ? kDirErrNoSuchAttribute : CodeOf(rc);
    }
    int32_t SetMeta(const std::string& key, const std::string& value) override {
        sqlite3_stmt* stmt = Use(kSetMeta);
        BindText(stmt, 1, key);
        BindBlob(stmt, 2, value);
        return Step(stmt);
    }

    int32_t ListAllObjects(std::vector<ObjectRecord>* out) override {
        out->clear();
        sqlite3_stmt* stmt = Use(kAllObjects);
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            out->emplace_back();
            FillObject(stmt, &out->back());
        }
        sqlite3_reset(stmt);
        return CodeOf(rc);
    }
    int32_t CheckFile(std::string* problem) override {
        problem->clear();
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(m_db, "PRAGMA integrity_check", -1, &stmt, nullptr);
        while (rc == SQLITE_OK || rc == SQLITE_ROW) {
            rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW) {
                const std::string line = ColumnText(stmt, 0);
                if (line != "ok") {
                    *problem += (problem->empty() ? "" : "; ") + line;
                }
            }
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) {
            const int32_t code = CodeOf(rc);
            if (code == kDirErrStoreDamaged && problem->empty()) {
                *problem = sqlite3_errstr(rc);
            }
            return code == kDirErrStoreDamaged ? kDirOk : code;
        }
        return kDirOk;
    }

private:
    enum Index {
        kBegin,
        kBeginRead,
        kCommit,
        kGetObject,
        kFindChild,
        kListChildren,
        kCountChildren,
        kInsertObject,
        kKeepLastId,
        kUpdateObject,
        kSetModTime,
        kDeleteObject,
        kDeleteObjectValues,
        kDeleteReferences,
        kReadAllValues,
        kReadValues,
        kHasValue,
        kCountValues,
        kInsertValue,
        kDeleteValue,
        kDeleteAllValues,
        kGetMeta,
        kSetMeta,
        kAllObjects,
        kCount
    };

    static constexpr int kValuesPerInsert = 50;
    static constexpr int kParamsPerValue = 6;

    sqlite3_stmt* Use(Index index) { return m_statements[index]->Use(); }
    // The hot path of every list write: value outlives the step, so SQLite need not copy its bytes.
    static void BindValue(sqlite3_stmt* stmt, int at, int64_t object, const StoredValue& value) {
        sqlite3_bind_int64(stmt, at + 1, object);
        sqlite3_bind_text(stmt, at + 2, value.attr.data(), static_cast<int>(value.attr.size()),
                          SQLITE_STATIC);
        sqlite3_bind_int64(stmt, at + 3, value.syntax);
        sqlite3_bind_blob(stmt, at + 4, value.key.data(), static_cast<int>(value.key.size()), SQLITE_STATIC);
        sqlite3_bind_blob(stmt, at + 5, value.data.data(), static_cast<int>(value.data.size()),
                          SQLITE_STATIC);
        if (value.ref != 0) {
            sqlite3_bind_int64(stmt, at + 6, value.ref);
        } else {
            sqlite3_bind_null(stmt, at + 6);
        }
    }
    static int32_t Step(sqlite3_stmt* stmt) {
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        return CodeOf(rc);
    }
    static void FillObject(sqlite3_stmt* stmt, ObjectRecord* out) {
        out->id = sqlite3_column_int64(stmt, 0);
        out->parent = sqlite3_column_int64(stmt, 1);
        out->leaf = ColumnText(stmt, 2);
        out->className = ColumnText(stmt, 3);
        out->modTime = static_cast<uint32_t>(sqlite3_column_int64(stmt, 4));
        out->passwordHash = ColumnText(stmt, 5);
    }
    // Every read resets its statement before it answers: a statement left on a row keeps a read snapshot
    // open, and while one is open no checkpoint can empty the log, which then grows without end.
    static int32_t ReadObject(sqlite3_stmt* stmt, ObjectRecord* out) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            FillObject(stmt, out);
        }
        sqlite3_reset(stmt);
        return rc == SQLITE_ROW ? kDirOk : rc == SQLITE_DONE ? kDirErrNoSuchObject : CodeOf(rc);
    }
    static int32_t ReadCount(sqlite3_stmt* stmt, uint32_t* count) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            *count = static_cast<uint32_t>(sqlite3_column_int64(stmt, 0));
        }
        sqlite3_reset(stmt);
        return rc == SQLITE_ROW ? kDirOk : CodeOf(rc);
    }

    sqlite3* m_db;
    bool m_readOnly;
    std::vector<std::unique_ptr<Statement>> m_statements;
    std::unique_ptr<Statement> m_insertMany;
};

int32_t QueryInt(sqlite3* db, const char* sql, int64_t* out) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            *out = sqlite3_column_int64(stmt, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    return CodeOf(rc);
}

// The checks that run before anything may write to an existing file. They read a few pages whatever the
// size of the store: a whole-file check belongs to `check`, run on purpose.
int32_t CheckExisting(sqlite3* db) {
    int64_t applicationId = 0;
    int32_t rc = QueryInt(db, "PRAGMA application_id", &applicationId);
    if (rc != kDirOk) {
        return rc;
    }
    if (applicationId != kApplicationId) {
        return kDirErrNotAStore;
    }
    int64_t version = 0;
    rc = QueryInt(db, "PRAGMA user_version", &version);
    if (rc != kDirOk) {
        return rc;
    }
    if (version != kSchemaVersion) {
        return kDirErrNotAStore;
    }
    int64_t roots = 0;
    rc = QueryInt(db, "SELECT count(*) FROM objects WHERE id=1 AND parent=0", &roots);
    if (rc != kDirOk) {
        return rc == kDirErrNotAStore ? kDirErrStoreDamaged : rc;
    }
    return roots == 1 ? kDirOk : kDirErrStoreDamaged;
}

bool HasSqliteHeader(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char header[16] = {};
    file.read(header, sizeof header);
    return file.gcount() == sizeof header && std::memcmp(header, "SQLite format 3", 16) == 0;
}

// The store holds password hashes: it and its side files are for their owner's eyes only. A file of
// ours that an earlier version left readable to others is tightened when it is opened. Answers why the
// store must not be opened: a side file that another account made beside a store of ours (it opened the
// store while it was readable) would take what we write into a file that account may read and we may not
// tighten.
std::string KeepToOwner(const std::string& path) {
    struct stat store {};
    const bool ours = ::stat(path.c_str(), &store) == 0 && store.st_uid == ::geteuid();
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const std::string file = path + suffix;
        struct stat info {};
        if (::stat(file.c_str(), &info) != 0) {
            continue;
        }
        if (info.st_uid == ::geteuid()) {
            if ((info.st_mode & 077) != 0) {
                (void)::chmod(file.c_str(), info.st_mode & 0700);
            }
        } else if (ours && suffix[0] != '\0') {
            return "its side file " + file + " belongs to another account (uid " +
                   std::to_string(info.st_uid) +
                   "), which could read what is written into it: end that account's programs that use the "
                   "store, then open it again (once no program uses it, its side files can be removed)";
        }
    }
    return {};
}

// A "file:" URI for path, with the characters that a URI gives a meaning escaped.
std::string FileUri(const std::string& path, const char* query) {
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + query;
}

// Another process's request holds the store's lock only while it runs, so its end is waited for however
// long it takes: contention is never answered as a failure of the store. SQLite asks only where waiting
// cannot deadlock; the pause grows to a tenth of a second, so that a long wait costs next to nothing.
int WaitForLock(void* /*user*/, int count) {
    const int pause = count < 7 ? 1 << count : 100;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(pause, 100)));
    return 1;
}

int32_t OpenDatabase(const std::string& path, bool readOnly, sqlite3** db, bool immutable = false) {
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX |
                      (immutable ? SQLITE_OPEN_URI : 0);
    const std::string name = immutable ? FileUri(path, "?immutable=1") : path;
    int32_t rc = CodeOf(sqlite3_open_v2(name.c_str(), db, flags, nullptr));
    if (*db != nullptr) {
        sqlite3_extended_result_codes(*db, 0);
        sqlite3_busy_handler(*db, WaitForLock, nullptr);
    }
    return rc;
}

int32_t Finish(sqlite3* db, bool readOnly, std::unique_ptr<DirStore>* out) {
    auto store = std::make_unique<SqliteStore>(db, readOnly);
    const int32_t rc = store->Prepare();
    if (rc != kDirOk) {
        return rc;
    }
    *out = std::move(store);
    return kDirOk;
}

} // namespace

int32_t OpenSqliteStore(const std::string& path, std::unique_ptr<DirStore>* out, std::string* problem) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return kDirErrNoSuchObject;
    }
    if (!std::filesystem::is_regular_file(path, error) || !HasSqliteHeader(path)) {
        return kDirErrNotAStore;
    }
    if (std::string refused = KeepToOwner(path); !refused.empty()) {
        if (problem != nullptr) {
            *problem = refused;
        }
        return kDirErrStoreFailed;
    }
    const bool readOnly = ::access(path.c_str(), W_OK) != 0;
    sqlite3* db = nullptr;
    int32_t rc = OpenDatabase(path, readOnly, &db);
    if (rc == kDirOk) {
        rc = CheckExisting(db);
    }
    if (rc == kDirErrStoreFailed && readOnly) {
        // Reading a store in WAL mode takes a shared-memory file beside it; where none can be made (a folder
        // the reader may not write), the store is read as a file nobody changes while it is open.
        sqlite3_close_v2(db);
        db = nullptr;
        rc = OpenDatabase(path, readOnly, &db, /*immutable=*/true);
        if (rc == kDirOk) {
            rc = CheckExisting(db);
        }
    }
    if (rc == kDirOk && !readOnly) {
        // A store just made is in rollback mode; the first opener turns it to WAL, which takes the whole
        // file for a moment and is answered busy (without waiting) while another process opens it too: that
        // is contention as well, waited for however long it lasts.
        int code = SQLITE_BUSY;
        for (int attempt = 0; code == SQLITE_BUSY; ++attempt) {
            code = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
            if (code == SQLITE_BUSY) {
                (void)WaitForLock(nullptr, attempt);
            }
        }
        rc = CodeOf(code);
    }
    if (rc != kDirOk) {
        sqlite3_close_v2(db);
        return rc;
    }
    return Finish(db, readOnly, out);
}

namespace {

// A store being made aside holds an exclusive flock on its file until it is done (SQLite's own locks are
// of another kind and do not meet it); one whose maker was killed holds none, and is removed by the next
// creation of the same store together with its journal. A file made in the last minute is left alone: its
// maker may not have locked it yet (it locks it right after making it), and a creation takes seconds.
constexpr time_t kAbandonedAfterSeconds = 60;

void RemoveAbandonedCreations(const std::string& path) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    const std::string prefix = target.filename().string() + ".new-";
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0 || name.size() != prefix.size() + 6) {
            continue;
        }
        const std::string file = it->path().string();
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            continue;
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            ::time(nullptr) - info.st_mtime >= kAbandonedAfterSeconds &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(file.c_str());
            ::unlink((file + "-journal").c_str());
        }
        ::close(fd);
    }
}

} // namespace

int32_t CreateSqliteStore(const std::string& path, int32_t (*fill)(DirStore& store, void* user), void* user) {
    // Built aside under a name of its own and linked into place only when complete: a crash leaves at most
    // a stray file beside the store (removed by a later creation), and of two processes making the same
    // store, one makes it and the other finds it made.
    RemoveAbandonedCreations(path);
    std::string aside = path + ".new-XXXXXX";
    const int fd = ::mkostemp(aside.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? kDirErrNoSuchObject : kDirErrStoreFailed;
    }
    // mkstemp made it owner-only; SQLite gives its side files the same mode. The lock says the creation
    // is alive; it goes with the descriptor, closed when this function returns or the process dies.
    (void)::flock(fd, LOCK_EX);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } holdsLock{fd};
    sqlite3* db = nullptr;
    int32_t rc = OpenDatabase(aside, /*readOnly=*/false, &db);
    if (rc == kDirOk) {
        const std::string script =
            std::string("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; BEGIN;") + kSchema +
            "PRAGMA application_id=" + std::to_string(kApplicationId) +
            "; PRAGMA user_version=" + std::to_string(kSchemaVersion) + "; COMMIT;";
        rc = CodeOf(sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr));
    }
    std::unique_ptr<DirStore> store;
    if (rc == kDirOk) {
        rc = Finish(db, /*readOnly=*/false, &store);
        db = nullptr; // the store owns it now, also when preparing failed
    }
    if (rc == kDirOk) {
        rc = fill(*store, user);
    }
    store.reset();
    if (db != nullptr) {
        sqlite3_close_v2(db);
    }
    if (rc == kDirOk && ::link(aside.c_str(), path.c_str()) != 0) {
        rc = errno == EEXIST ? kDirErrObjectExists : kDirErrStoreFailed;
    }
    if (rc == kDirOk) {
        // The new name must survive a crash as the content did.
        const std::string folder = std::filesystem::path(path).parent_path().string();
        const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (dirFd >= 0) {
            (void)::fsync(dirFd);
            ::close(dirFd);
        }
    }
    ::unlink(aside.c_str());
    return rc;
}

} // namespace dirclient
