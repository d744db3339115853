// The storage interface under the directory: objects in a tree and the values of their attributes. The
// directory logic (names, schema, rights, references) sits above it, so both stores behave the same.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dirclient/DirErrors.h"

namespace dirclient {

inline constexpr int64_t kRootId = 1;

struct ObjectRecord {
    int64_t id = 0;
    int64_t parent = 0; // 0 for the root
    std::string leaf;   // as given when created or renamed
    std::string className;
    uint32_t modTime = 0;
    std::string passwordHash; // Argon2id string; empty when the object has no password
};

// One stored value. key decides equality within an attribute (folded text, the referenced object, raw
// bytes); ref is the object a Distinguished Name value or an ACL subject names (0: none), so that values
// follow their object and disappear with it.
struct StoredValue {
    std::string attr; // the schema's spelling
    uint32_t syntax = 0;
    std::string key;
    std::string data;
    int64_t ref = 0;
};

struct ChildSummary {
    ObjectRecord record; // its passwordHash is not part of a listing (a server's store leaves it empty)
    uint32_t subordinateCount = 0;
    uint32_t attrCount = 0;
};

class DirStore {
public:
    virtual ~DirStore() = default;

    // Every request runs between Begin and Commit; Rollback undoes all of it. A write transaction takes the
    // store's write lock at once, so that every check made inside it still holds when it commits; a read
    // transaction sees one state of the store from its first read to its end.
    [[nodiscard]] virtual int32_t Begin(bool write) = 0;
    [[nodiscard]] virtual int32_t Commit() = 0;
    virtual void Rollback() = 0;
    // Begin for a request that is run again whenever Commit answers kDirErrConflict, or whenever it fails
    // while Unchecked: a store may then begin on what it holds from earlier requests and check at commit.
    [[nodiscard]] virtual int32_t BeginRetryable(bool write) { return Begin(write); }
    // Whether the request begun last was decided on state not checked against the store's own: a refusal
    // it met may be a stale one, to be tried again.
    virtual bool Unchecked() const { return false; }
    // The request's checks read objects beside the one it changes (the supervisors left): a store that
    // guards a change of one object's own values by that object alone must guard this request as a whole.
    virtual void DependsOnOthers() {}

    [[nodiscard]] virtual int32_t GetObject(int64_t id, ObjectRecord* out) = 0;
    [[nodiscard]] virtual int32_t FindChild(int64_t parent, const std::string& leafKey,
                                            ObjectRecord* out) = 0;
    // Children in the order of their folded leaves.
    [[nodiscard]] virtual int32_t ListChildren(int64_t parent, std::vector<ChildSummary>* out) = 0;
    [[nodiscard]] virtual int32_t CountChildren(int64_t parent, uint32_t* count) = 0;
    [[nodiscard]] virtual int32_t InsertObject(ObjectRecord* record) = 0; // sets record->id
    [[nodiscard]] virtual int32_t UpdateObject(const ObjectRecord& record) = 0;
    // Only the modification time: the one change every write makes, kept to one small row update.
    [[nodiscard]] virtual int32_t SetModTime(int64_t id, uint32_t modTime) = 0;
    // Deletes the object, its values and every value that refers to it.
    [[nodiscard]] virtual int32_t DeleteObject(int64_t id) = 0;

    // Values of one attribute (attr empty: of all), ordered by attribute then by insertion.
    [[nodiscard]] virtual int32_t ReadValues(int64_t object, const std::string& attr,
                                             std::vector<StoredValue>* out) = 0;
    [[nodiscard]] virtual int32_t HasValue(int64_t object, const std::string& attr, const std::string& key,
                                           bool* found) = 0;
    [[nodiscard]] virtual int32_t CountValues(int64_t object, const std::string& attr, uint32_t* count) = 0;
    [[nodiscard]] virtual int32_t InsertValue(int64_t object, const StoredValue& value) = 0;
    // The values in their order, as InsertValue one after the other, with the code of the first refused.
    // Values before a refused one may stay written: the request fails as a whole and is rolled back.
    [[nodiscard]] virtual int32_t InsertValues(int64_t object, const std::vector<StoredValue>& values) {
        for (const auto& value : values) {
            const int32_t rc = InsertValue(object, value);
            if (rc != kDirOk) {
                return rc;
            }
        }
        return kDirOk;
    }
    // As InsertValues, for values of the one attribute attr (their own attr is not read) that the caller
    // has no more use for: a store may move them into its own keeping instead of copying each (values is
    // left valid but unspecified). A list write hands over thousands of values at once and names their
    // attribute once.
    [[nodiscard]] virtual int32_t TakeValues(int64_t object, const std::string& attr,
                                             std::vector<StoredValue>&& values) {
        for (auto& value : values) {
            value.attr = attr;
        }
        return InsertValues(object, values);
    }
    // Answers kDirErrNoSuchValue when no value has the key.
    [[nodiscard]] virtual int32_t DeleteValue(int64_t object, const std::string& attr,
                                              const std::string& key) = 0;
    [[nodiscard]] virtual int32_t DeleteAllValues(int64_t object, const std::string& attr) = 0;

    [[nodiscard]] virtual int32_t GetMeta(const std::string& key, std::string* value) = 0;
    [[nodiscard]] virtual int32_t SetMeta(const std::string& key, const std::string& value) = 0;

    // Every object, in the order of their ids: for the whole-store check, which must also find objects that
    // no walk from the root reaches.
    [[nodiscard]] virtual int32_t ListAllObjects(std::vector<ObjectRecord>* out) = 0;
    // The storage's own whole-file check; problem is empty when it found nothing.
    [[nodiscard]] virtual int32_t CheckFile(std::string* problem) = 0;
    virtual bool ReadOnly() const { return false; }

    // A store on a server checks passwords itself and runs every request as the identity signed in, so that
    // the server enforces the rights whatever client writes to it. The others compare with the stored hash.
    virtual bool ServerChecksPasswords() const { return false; }
    [[nodiscard]] virtual int32_t VerifyPassword(const ObjectRecord& /*user*/, const char* /*password*/,
                                                 size_t /*length*/, bool* right) {
        *right = false;
        return kDirErrStoreFailed;
    }
    // The identity later requests run as (user.id 0: nobody), after its password was found right.
    [[nodiscard]] virtual int32_t SignIn(const ObjectRecord& /*user*/, const char* /*password*/,
                                         size_t /*length*/) {
        return kDirOk;
    }
    // Whether sign-in keeps the count of failed attempts on the user (a server store leaves that to the
    // server: a refused sign-in has no identity that may write it).
    virtual bool KeepsSignInState() const { return !ReadOnly(); }
};

std::unique_ptr<DirStore> MakeMemoryStore();
// Opens an existing SQLite store file: for reading only when the file cannot be written. Opening costs the
// same whatever the size of the store (no whole-file check; damage is answered where SQLite meets it).
// `problem`, when given, says why a store that is there was not opened, where a code alone would not.
[[nodiscard]] int32_t OpenSqliteStore(const std::string& path, std::unique_ptr<DirStore>* out,
                                      std::string* problem = nullptr);
// Makes a new, empty SQLite store file (owner-only) at path, which must not exist; fill runs on it before
// it appears under its name, so that no other process ever sees a half-made store. Answers
// kDirErrObjectExists when another process made the file first.
[[nodiscard]] int32_t CreateSqliteStore(const std::string& path, int32_t (*fill)(DirStore& store, void* user),
                                        void* user);

// An address of an LDAP server holding a directory: ldap://HOST:PORT/BASE or ldapi://SOCKET/BASE.
bool IsLdapUrl(std::string_view text);
// How many values of one list a server's directory keeps in the object's own entry, and how many in each
// block below it once the list has grown past that (for tests that exercise blocks with short lists); 0
// keeps the usual figure.
void SetLdapListBlocks(size_t inEntry, size_t perBlock);
// Connects to the server (as nobody until SignIn) and reads its attribute names. problem says what is wrong
// in words an operator can act on.
[[nodiscard]] int32_t OpenLdapStore(const std::string& url, std::unique_ptr<DirStore>* out,
                                    std::string* problem);

} // namespace dirclient
