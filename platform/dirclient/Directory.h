// The directory over a store: name resolution, schema checks, references, rights and passwords. Every request
// is one store transaction that begins before its first read: a write holds the store's write lock from its
// first check to its commit, so another process cannot change what a check saw, and a refused request
// changes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/dirclient/DirBuffer.h"
#include "platform/dirclient/DirSchema.h"
#include "platform/dirclient/DirStore.h"

namespace dirclient {

inline constexpr int64_t kPublicSubject = 0; // the identity of nobody signed in, and "[Public]"

class Directory {
public:
    explicit Directory(std::unique_ptr<DirStore> store) : m_owned(std::move(store)), m_store(m_owned.get()) {}
    // Works on a store that someone else owns (a new store being filled before it is opened).
    explicit Directory(DirStore& store) : m_store(&store) {}

    // Fills a new store: "[Root]", the user "Admin" with the Supervisor entry right on "[Root]".
    [[nodiscard]] int32_t Initialize();

    int64_t Identity() const { return m_identity; }
    [[nodiscard]] int32_t Login(std::string_view name, const char* password);

    // Runs body as one request: inside one transaction (a write one when write), after making sure that the
    // identity signed in is still there. body answers a code; the transaction commits only on kDirOk.
    // A server store answers kDirErrConflict at commit when another client committed since the request
    // began; nothing of it was written, so it runs again on what is there now.
    template <typename Body> [[nodiscard]] int32_t Request(bool write, Body&& body) {
        int32_t rc = kDirErrConflict;
        for (int attempt = 0; attempt < kConflictAttempts && rc == kDirErrConflict; ++attempt) {
            Forget();
            Scope scope(*this);
            rc = scope.Begin(write, /*retryable=*/true);
            if (rc == kDirOk) {
                rc = CheckIdentity();
            }
            if (rc == kDirOk) {
                rc = body();
            }
            if (rc != kDirOk && rc != kDirErrConflict && m_store->Unchecked()) {
                rc = kDirErrConflict; // decided on what the store held from before: again, on checked state
            }
            if (rc == kDirOk) {
                rc = scope.Commit();
            }
        }
        return rc;
    }
    static constexpr int kConflictAttempts = 20;
    // The slow hash of a new password, made before the request's transaction so that the write lock is
    // not held for it. An empty password gives an empty hash.
    [[nodiscard]] static int32_t HashPassword(const char* password, std::string* hash);
    // The whole-store check: the storage's own check, the tree, references, and links kept on both sides.
    // With repair (and the Supervisor right over "[Root]") one-sided links are made whole. Each finding is
    // one line of report.
    [[nodiscard]] int32_t Check(bool repair, std::vector<std::string>* report);

    [[nodiscard]] int32_t Resolve(std::string_view name, int64_t* id);
    // As Resolve, then to the aliased object when flags hold kDirFlagDerefAliases.
    [[nodiscard]] int32_t ResolveForRead(std::string_view name, uint32_t flags, int64_t* id);
    [[nodiscard]] int32_t FullName(int64_t id, std::string* out);
    // Names are cached only within one call: another process may rename objects of a shared store file.
    void Forget() { m_names.clear(); }
    // subject kPublicSubject is "[Public]"; attr an attribute, "[All Attributes Rights]" or "[Entry Rights]".
    [[nodiscard]] int32_t Rights(int64_t subject, int64_t object, std::string_view attr, uint32_t* rights);

    // The writes below run only inside Request(/*write=*/true, ...).
    [[nodiscard]] int32_t Modify(int64_t object, const std::vector<RequestItem>& items);
    [[nodiscard]] int32_t Add(std::string_view name, const std::vector<RequestItem>& items);
    [[nodiscard]] int32_t Remove(int64_t object);
    [[nodiscard]] int32_t Rename(int64_t object, std::string_view newLeaf, bool removeOld);
    [[nodiscard]] int32_t Move(int64_t object, int64_t container);
    // oldPassword nullptr sets the password without the old one; newHash is HashPassword's of newPassword.
    // After a request that set the password of the user signed in committed: a store on a server signs in
    // again with it, so that what the store makes anew later (a connection after a restart) is made as that
    // user. hash is the new password's.
    [[nodiscard]] int32_t OwnPasswordSet(int64_t user, const std::string& hash, const char* newPassword);
    // What a password change found before its request, with the slow hashes that the write request would
    // otherwise work out while it holds the store's lock: against which of the user's hashes it checked,
    // whether the old password is right and whether the new one repeats the current. A store on a server
    // checks passwords itself, so there nothing is checked before (checked stays false).
    struct PasswordProof {
        bool checked = false;
        std::string hash;
        bool oldRight = false;
        bool repeated = false;
        bool stale = false; // SetPassword found another hash: nothing was written; check again
    };
    [[nodiscard]] int32_t ProvePasswords(std::string_view name, uint32_t flags, const char* oldPassword,
                                         const char* newPassword, PasswordProof* proof);
    // proof (may be nullptr) is ProvePasswords' for the same passwords.
    [[nodiscard]] int32_t SetPassword(int64_t user, const char* oldPassword, const char* newPassword,
                                      const std::string& newHash, PasswordProof* proof);

    [[nodiscard]] int32_t Read(int64_t object, bool all, const std::vector<std::string>& names,
                               std::vector<ReplyAttr>* out);
    [[nodiscard]] int32_t Compare(int64_t object, const std::vector<RequestItem>& items, bool* matched);
    [[nodiscard]] int32_t ObjectInfo(int64_t id, uint32_t flags, std::string* name, DirObjectInfo* info);
    [[nodiscard]] int32_t List(int64_t container, uint32_t flags, std::vector<ReplyObject>* out);

    [[nodiscard]] int32_t TreeName(std::string* out);
    [[nodiscard]] int32_t SetTreeName(const std::string& name);

private:
    // Nested scopes share the outermost one's store transaction; an inner scope that ends without a commit
    // dooms the whole request.
    class Scope {
    public:
        explicit Scope(Directory& directory) : m_directory(directory) {}
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        ~Scope() {
            if (m_open) {
                (void)m_directory.EndScope(/*commit=*/false);
            }
        }
        [[nodiscard]] int32_t Begin(bool write, bool retryable = false) {
            const int32_t rc = m_directory.BeginScope(write, retryable);
            m_open = rc == kDirOk;
            return rc;
        }
        [[nodiscard]] int32_t Commit() {
            m_open = false;
            return m_directory.EndScope(/*commit=*/true);
        }

    private:
        Directory& m_directory;
        bool m_open = false;
    };
    // What the ACL values on an object and its containers grant one subject.
    struct Grants {
        uint32_t entry = 0;
        uint32_t allAttributes = 0;
        std::vector<std::pair<std::string, uint32_t>> attributes; // folded name, privileges
        uint32_t EntryRights() const;
        uint32_t AttributeRights(std::string_view attr) const;
    };

    [[nodiscard]] int32_t BeginScope(bool write, bool retryable);
    [[nodiscard]] int32_t EndScope(bool commit);
    [[nodiscard]] int32_t CheckIdentity();
    [[nodiscard]] int32_t CollectGrants(int64_t subject, int64_t object, Grants* grants);
    // kDirErrNoRight unless the signed-in identity holds the attribute right on the object.
    [[nodiscard]] int32_t RequireAttributeRight(int64_t object, std::string_view attr, uint32_t right);
    // kDirErrContainment when an object of className may not live directly in container.
    [[nodiscard]] int32_t CheckContainment(const std::string& className, int64_t container);
    // kDirErrContainment when object (with everything below it) may not move into container.
    [[nodiscard]] int32_t CheckMoveContainment(const ObjectRecord& object, int64_t container);
    // Who holds the Supervisor entry right over "[Root]": some user at all, and some user whom sign-in
    // would not refuse now ("[Public]" is both).
    struct Supervisors {
        bool user = false;
        bool able = false;
    };
    [[nodiscard]] int32_t FindSupervisors(Supervisors* found);
    // kDirErrLastSupervisor when no user holds the Supervisor entry right over "[Root]" any more, or when
    // before (what FindSupervisors found at the start of the request) had one who could sign in and none
    // is left: the tree would have nobody to administer it.
    [[nodiscard]] int32_t RequireSupervisorLeft(const Supervisors& before);
    [[nodiscard]] int32_t SubtreeHolds(int64_t root, bool (*wanted)(const std::string& className),
                                       bool* found);
    [[nodiscard]] int32_t CheckLinks(bool repair, std::vector<std::string>* report, size_t* problems);
    // What sign-in reads of a user itself: its switches and the state of intruder detection.
    struct SignInState {
        bool disabled = false;
        uint32_t expiration = 0; // 0: never
        uint32_t attempts = 0;
        uint32_t resetTime = 0;
        bool locked = false;
    };
    [[nodiscard]] int32_t ReadSignInState(int64_t user, SignInState* state);
    // kDirErrLoginDisabled, kDirErrLoginExpired or kDirErrIntruderLocked when sign-in is refused whatever
    // the password; else kDirOk.
    static int32_t SignInRefusal(const SignInState& state, uint32_t now);
    // Records the outcome of a sign-in whose password was checked against user's hash, in a write request
    // of its own: the count of failed attempts and the lock by the policy of the user's container. Answers
    // kDirErrConflict when the user's password changed since, a refusal that holds now, or kDirOk.
    [[nodiscard]] int32_t RecordSignIn(const ObjectRecord& user, bool right);
    // Whether password is the user's: by the stored hash, or by the server that keeps it.
    [[nodiscard]] int32_t PasswordMatches(const ObjectRecord& user, const char* password, size_t length,
                                          bool* right);
    [[nodiscard]] int32_t ReadNumber(int64_t object, std::string_view attr, uint32_t* number, bool* present);
    [[nodiscard]] int32_t WriteNumber(int64_t object, std::string_view attr, uint32_t number);

    struct Change {
        int32_t change = 0;
        const AttributeDef* def = nullptr;
        // The items of kind Value that follow the change (or the attribute name) in the request.
        std::span<const RequestItem> values;
    };

    [[nodiscard]] int32_t ToStored(const Value& value, const AttributeDef& def, StoredValue* out);
    // As ToStored, leaving out->attr as it is: for values that go to the store under their attribute's name.
    [[nodiscard]] int32_t ToStoredData(const Value& value, const AttributeDef& def, StoredValue* out);
    [[nodiscard]] int32_t FromStored(const StoredValue& stored, Value* out);
    [[nodiscard]] int32_t AddValue(int64_t object, const AttributeDef& def, const Value& value);
    [[nodiscard]] int32_t AliasTarget(int64_t alias, ObjectRecord* target);
    [[nodiscard]] int32_t FillInfo(const ObjectRecord& record, uint32_t subordinates, uint32_t flags,
                                   DirObjectInfo* info);
    [[nodiscard]] int32_t LongestBelow(int64_t id, size_t* extra);
    // kDirErrNameTooLong when the object, with the leaf `leaf` in `container`, or any object below it would
    // get a full name longer than the limit.
    [[nodiscard]] int32_t CheckNamesFit(int64_t object, int64_t container, std::string_view leaf);
    // kDirErrObjectExists when the container already holds an object of that leaf (in any letter case).
    [[nodiscard]] int32_t RequireFreeLeaf(int64_t container, std::string_view leaf);
    [[nodiscard]] int32_t AddValues(int64_t object, const AttributeDef& def,
                                    std::span<const RequestItem> values);
    [[nodiscard]] int32_t Touch(int64_t object);
    // As Touch, for an object whose modification time this request has read already.
    [[nodiscard]] int32_t Touch(int64_t object, uint32_t modTime);
    // kDirErrNoRight unless the signed-in identity holds the entry right on the object.
    [[nodiscard]] int32_t RequireEntryRight(int64_t object, uint32_t right);

    std::unique_ptr<DirStore> m_owned;
    DirStore* m_store;
    int m_depth = 0;
    bool m_writing = false;
    bool m_doomed = false;
    int64_t m_identity = kPublicSubject;
    std::string m_identityName; // the full name it was last seen under
    bool m_identityGone = false;
    std::unordered_map<int64_t, std::string> m_names; // full names, valid within one call
};

// Argon2id cost of passwords set from now on.
void SetHashCost(uint64_t opsLimit, uint64_t memLimit);

} // namespace dirclient
