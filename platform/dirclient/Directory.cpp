#include "platform/dirclient/Directory.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>
#include <unordered_map>

#include "platform/dirclient/DirNames.h"

namespace dirclient {

namespace {

constexpr std::string_view kTreeNameKey = "tree name";
constexpr std::string_view kDefaultTreeName = "KELNT";
constexpr size_t kMaxPasswordBytes = 1024;
constexpr int kMaxAliasHops = 16;

uint64_t g_opsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
uint64_t g_memLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;

std::string Word(uint32_t number) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xff);
    }
    return bytes;
}

uint32_t ReadWord(const std::string& bytes, size_t at) {
    uint32_t number = 0;
    for (int i = 0; i < 4 && at + i < bytes.size(); ++i) {
        number |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    }
    return number;
}

std::string IdKey(int64_t id) {
    std::string bytes(8, '\0');
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<char>((static_cast<uint64_t>(id) >> (8 * i)) & 0xff);
    }
    return bytes;
}

uint32_t Now() {
    return static_cast<uint32_t>(std::time(nullptr));
}

// A value item joins the values of the change or name before it: in a request they follow it one after the
// other, so the change keeps their place in the request rather than a list of its own.
void TakeInto(std::span<const RequestItem>* values, const RequestItem& item) {
    *values = values->empty() ? std::span(&item, 1) : std::span(values->data(), values->size() + 1);
}

bool IsContainer(const std::string& className) {
    const ClassDef* def = FindClass(className);
    return def != nullptr && def->container;
}

// The stored ACL value: privileges, the protected attribute, and "[Public]" when the subject is no object.
struct AclParts {
    uint32_t privileges = 0;
    std::string protectedAttr;
    std::string specialSubject;
};

AclParts DecodeAcl(const std::string& data) {
    AclParts parts;
    parts.privileges = ReadWord(data, 0);
    const size_t end = data.find('\0', 4);
    parts.protectedAttr = data.substr(4, end == std::string::npos ? std::string::npos : end - 4);
    if (end != std::string::npos) {
        parts.specialSubject = data.substr(end + 1);
    }
    return parts;
}

bool BoundedPassword(const char* password, size_t* length) {
    if (password == nullptr) {
        *length = 0;
        return true;
    }
    const void* end = std::memchr(password, '\0', kMaxPasswordBytes + 1);
    if (end == nullptr) {
        return false;
    }
    *length = static_cast<size_t>(static_cast<const char*>(end) - password);
    return true;
}

bool VerifyPassword(const std::string& hash, const char* password, size_t length) {
    if (hash.empty()) {
        return length == 0;
    }
    return crypto_pwhash_str_verify(hash.c_str(), password == nullptr ? "" : password, length) == 0;
}

bool IsNtAccountClass(const std::string& className) {
    return NamesEqual(className, "KEL:NT User") || NamesEqual(className, "KEL:Hybrid User") ||
           NamesEqual(className, "KEL:NT Global Group") || NamesEqual(className, "KEL:NT Local Group");
}

bool IsNtSystemClass(const std::string& className) {
    return NamesEqual(className, "KEL:NT Domain") || NamesEqual(className, "KEL:NT Workgroup System");
}

bool IsNtGroupClass(const std::string& className) {
    return NamesEqual(className, "KEL:NT Global Group") || NamesEqual(className, "KEL:NT Local Group");
}

bool IsUserClass(const std::string& className) {
    return NamesEqual(className, kClassUser);
}

// The attributes of a user that decide whether sign-in refuses it before it looks at the password.
bool IsSignInAttribute(std::string_view attr) {
    return NamesEqual(attr, kAttrLoginDisabled) || NamesEqual(attr, kAttrLoginExpirationTime) ||
           NamesEqual(attr, kAttrLockedByIntruder) || NamesEqual(attr, kAttrLoginIntruderResetTime);
}

// The hash that a sign-in checks a password against when there is no hash to check it against, so that a
// wrong password costs the same whether or not the user exists or has a password.
const std::string& StandInHash() {
    static std::string hash;
    static uint64_t ops = 0;
    static uint64_t mem = 0;
    if (hash.empty() || ops != g_opsLimit || mem != g_memLimit) {
        std::string made(crypto_pwhash_STRBYTES, '\0');
        static const char kNothing[] = "no such user";
        if (crypto_pwhash_str(made.data(), kNothing, sizeof kNothing - 1, g_opsLimit,
                              static_cast<size_t>(g_memLimit)) == 0) {
            made.resize(std::strlen(made.c_str()));
            hash = made;
            ops = g_opsLimit;
            mem = g_memLimit;
        }
    }
    return hash;
}

} // namespace

void SetHashCost(uint64_t opsLimit, uint64_t memLimit) {
    g_opsLimit = opsLimit;
    g_memLimit = memLimit;
}

int32_t Directory::BeginScope(bool write, bool retryable) {
    if (m_depth > 0) {
        // A read request cannot turn into a write halfway: what it read may already be stale.
        if (write && !m_writing) {
            return kDirErrStoreFailed;
        }
        ++m_depth;
        return kDirOk;
    }
    const int32_t rc = retryable ? m_store->BeginRetryable(write) : m_store->Begin(write);
    if (rc == kDirOk) {
        m_depth = 1;
        m_writing = write;
        m_doomed = false;
    }
    return rc;
}

int32_t Directory::EndScope(bool commit) {
    if (m_depth == 0) {
        return kDirErrStoreFailed;
    }
    if (!commit) {
        m_doomed = true;
    }
    if (--m_depth > 0) {
        return kDirOk;
    }
    if (m_doomed) {
        m_store->Rollback();
        return commit ? kDirErrStoreFailed : kDirOk;
    }
    return m_store->Commit();
}

int32_t Directory::CheckIdentity() {
    if (m_identityGone) {
        return kDirErrIdentityGone;
    }
    if (m_identity == kPublicSubject) {
        return kDirOk;
    }
    ObjectRecord record;
    int32_t rc = m_store->GetObject(m_identity, &record);
    if (rc == kDirErrNoSuchObject) {
        m_identityGone = true;
        return kDirErrIdentityGone;
    }
    // Renamed away is still the same user; renamed away and replaced by another object under the name it
    // signed in with is not.
    int64_t holder = 0;
    rc = Resolve(m_identityName, &holder);
    if (rc == kDirOk && holder != m_identity) {
        m_identityGone = true;
        return kDirErrIdentityGone;
    }
    if (rc != kDirOk && rc != kDirErrNoSuchObject && rc != kDirErrBadName && rc != kDirErrNameTooLong) {
        return rc;
    }
    return FullName(m_identity, &m_identityName);
}

int32_t Directory::HashPassword(const char* password, std::string* hash) {
    hash->clear();
    size_t length = 0;
    if (password == nullptr || !BoundedPassword(password, &length)) {
        return kDirErrBadArgument;
    }
    if (length == 0) {
        return kDirOk;
    }
    hash->assign(crypto_pwhash_STRBYTES, '\0');
    if (crypto_pwhash_str(hash->data(), password, length, g_opsLimit, static_cast<size_t>(g_memLimit)) != 0) {
        hash->clear();
        return kDirErrOutOfMemory;
    }
    hash->resize(std::strlen(hash->c_str()));
    return kDirOk;
}

int32_t Directory::Initialize() {
    Forget();
    Scope scope(*this);
    int32_t rc = scope.Begin(/*write=*/true);
    ObjectRecord root{0, 0, std::string(kRootName), std::string(kClassRoot), Now(), {}};
    if (rc == kDirOk) {
        rc = m_store->InsertObject(&root);
    }
    if (rc == kDirOk && root.id != kRootId) {
        rc = kDirErrStoreDamaged;
    }
    ObjectRecord admin{0, kRootId, "Admin", std::string(kClassUser), Now(), {}};
    if (rc == kDirOk) {
        rc = m_store->InsertObject(&admin);
    }
    Value className;
    className.syntax = kDirSyntaxClassName;
    className.text = kClassRoot;
    if (rc == kDirOk) {
        rc = AddValue(kRootId, *FindAttribute(kAttrObjectClass), className);
    }
    className.text = kClassUser;
    if (rc == kDirOk) {
        rc = AddValue(admin.id, *FindAttribute(kAttrObjectClass), className);
    }
    Value acl;
    acl.syntax = kDirSyntaxObjectACL;
    acl.text = kEntryRights;
    acl.subject = "Admin";
    acl.number = kDirEntrySupervisor;
    if (rc == kDirOk) {
        rc = AddValue(kRootId, *FindAttribute(kAttrAcl), acl);
    }
    // Anyone may see which objects there are; reading their values takes a grant.
    acl.subject = kPublicName;
    acl.number = kDirEntryBrowse;
    if (rc == kDirOk) {
        rc = AddValue(kRootId, *FindAttribute(kAttrAcl), acl);
    }
    if (rc == kDirOk) {
        rc = m_store->SetMeta(std::string(kTreeNameKey), std::string(kDefaultTreeName));
    }
    if (rc == kDirOk) {
        rc = scope.Commit();
    }
    return rc;
}

int32_t Directory::ReadNumber(int64_t object, std::string_view attr, uint32_t* number, bool* present) {
    std::vector<StoredValue> values;
    const int32_t rc = m_store->ReadValues(object, std::string(attr), &values);
    *present = rc == kDirOk && !values.empty();
    *number = *present ? ReadWord(values.front().data, 0) : 0;
    return rc;
}

int32_t Directory::WriteNumber(int64_t object, std::string_view attr, uint32_t number) {
    const AttributeDef* def = FindAttribute(attr);
    if (def == nullptr) {
        return kDirErrNoSuchAttribute;
    }
    int32_t rc = m_store->DeleteAllValues(object, std::string(def->name));
    Value value;
    value.syntax = def->syntax;
    value.number = number;
    if (rc == kDirOk) {
        rc = AddValue(object, *def, value);
    }
    return rc;
}

int32_t Directory::ReadSignInState(int64_t user, SignInState* state) {
    *state = SignInState{};
    uint32_t number = 0;
    bool present = false;
    int32_t rc = ReadNumber(user, kAttrLoginDisabled, &number, &present);
    state->disabled = number != 0;
    if (rc == kDirOk) {
        rc = ReadNumber(user, kAttrLoginExpirationTime, &state->expiration, &present);
    }
    if (rc == kDirOk) {
        rc = ReadNumber(user, kAttrLoginIntruderAttempts, &state->attempts, &present);
    }
    if (rc == kDirOk) {
        rc = ReadNumber(user, kAttrLoginIntruderResetTime, &state->resetTime, &present);
    }
    if (rc == kDirOk) {
        rc = ReadNumber(user, kAttrLockedByIntruder, &number, &present);
        state->locked = number != 0;
    }
    return rc;
}

// The user's own switches first, then a lock of intruder detection, which lasts until the reset time.
int32_t Directory::SignInRefusal(const SignInState& state, uint32_t now) {
    if (state.disabled) {
        return kDirErrLoginDisabled;
    }
    if (state.expiration != 0 && state.expiration <= now) {
        return kDirErrLoginExpired;
    }
    if (state.locked && now < state.resetTime) {
        return kDirErrIntruderLocked;
    }
    return kDirOk;
}

// Intruder detection by the policy of the user's container: after "Login Intruder Limit" failed attempts
// within "Intruder Attempt Reset Interval" the user is locked for "Intruder Lockout Reset Interval". The
// count, the end of the counting window (or of the lock) and the lock itself are kept on the user, where
// an administrator sees them and can clear the lock. Everything is read again under the write lock, since
// other sign-ins may have counted since the password was checked.
int32_t Directory::RecordSignIn(const ObjectRecord& user, bool right) {
    Scope scope(*this);
    int32_t rc = scope.Begin(/*write=*/true);
    ObjectRecord current;
    if (rc == kDirOk) {
        rc = m_store->GetObject(user.id, &current);
    }
    if (rc == kDirOk && (current.passwordHash != user.passwordHash || current.className != user.className)) {
        return kDirErrConflict; // the password was checked against a hash that is no longer the user's
    }
    SignInState state;
    if (rc == kDirOk) {
        rc = ReadSignInState(user.id, &state);
    }
    const uint32_t now = Now();
    if (rc == kDirOk) {
        rc = SignInRefusal(state, now);
    }
    if (rc == kDirOk && right) {
        if (state.attempts != 0 || state.locked) {
            rc = WriteNumber(user.id, kAttrLoginIntruderAttempts, 0);
            if (rc == kDirOk) {
                rc = WriteNumber(user.id, kAttrLockedByIntruder, 0);
            }
        }
        return rc == kDirOk ? scope.Commit() : rc;
    }
    uint32_t limit = 0;
    uint32_t attemptWindow = 0;
    uint32_t lockout = 0;
    bool limited = false;
    bool present = false;
    if (rc == kDirOk) {
        rc = ReadNumber(current.parent, kAttrLoginIntruderLimit, &limit, &limited);
    }
    if (rc == kDirOk) {
        rc = ReadNumber(current.parent, kAttrIntruderAttemptResetInterval, &attemptWindow, &present);
    }
    if (rc == kDirOk) {
        rc = ReadNumber(current.parent, kAttrIntruderLockoutResetInterval, &lockout, &present);
    }
    if (rc != kDirOk || !limited || limit == 0) {
        return rc;
    }
    if (state.locked || now >= state.resetTime) {
        state.attempts = 0; // the last lock or counting window is over
        state.locked = false;
    }
    if (state.attempts == 0) {
        state.resetTime = now + attemptWindow;
    }
    ++state.attempts;
    if (state.attempts >= limit) {
        state.locked = true;
        state.resetTime = now + lockout;
    }
    rc = WriteNumber(user.id, kAttrLoginIntruderAttempts, state.attempts);
    if (rc == kDirOk) {
        rc = WriteNumber(user.id, kAttrLoginIntruderResetTime, state.resetTime);
    }
    if (rc == kDirOk) {
        rc = WriteNumber(user.id, kAttrLockedByIntruder, state.locked ? 1 : 0);
    }
    return rc == kDirOk ? scope.Commit() : rc;
}

int32_t Directory::PasswordMatches(const ObjectRecord& user, const char* password, size_t length,
                                   bool* right) {
    if (m_store->ServerChecksPasswords()) {
        return m_store->VerifyPassword(user, password, length, right);
    }
    *right = VerifyPassword(user.passwordHash, password, length);
    return kDirOk;
}

// The password is checked outside any transaction: its slow hash must not hold the store's write lock,
// which the requests and sign-ins of every process on the store wait for. The write lock is taken only to
// record a failed attempt or to clear the count, on the state as it stands then.
int32_t Directory::Login(std::string_view name, const char* password) {
    Forget();
    size_t length = 0;
    if (!BoundedPassword(password, &length)) {
        return kDirErrBadPassword;
    }
    int32_t rc = kDirErrConflict;
    for (int attempt = 0; attempt < kConflictAttempts && rc == kDirErrConflict; ++attempt) {
        int64_t id = 0;
        ObjectRecord user;
        SignInState state;
        std::string fullName;
        {
            Scope scope(*this);
            rc = scope.Begin(/*write=*/false);
            if (rc == kDirOk) {
                rc = Resolve(name, &id);
            }
            if (rc == kDirOk) {
                rc = m_store->GetObject(id, &user);
            }
            if (rc == kDirOk && !NamesEqual(user.className, kClassUser)) {
                rc = kDirErrNotAUser;
            }
            if (rc == kDirOk) {
                rc = ReadSignInState(id, &state);
            }
            if (rc == kDirOk) {
                rc = FullName(id, &fullName);
            }
            if (rc == kDirOk) {
                rc = scope.Commit();
            }
        }
        if (rc == kDirErrNoSuchObject || rc == kDirErrNotAUser) {
            (void)VerifyPassword(StandInHash(), password, length); // as long as a wrong password takes
            return rc;
        }
        if (rc == kDirOk) {
            rc = SignInRefusal(state, Now());
        }
        if (rc != kDirOk) {
            return rc;
        }
        bool right = false;
        if (user.passwordHash.empty()) {
            right = length == 0;
            if (!right) {
                (void)VerifyPassword(StandInHash(), password, length); // as long as a wrong password takes
            }
        } else {
            rc = PasswordMatches(user, password, length, &right);
            if (rc != kDirOk) {
                return rc;
            }
        }
        // A right password with nothing counted writes nothing: most sign-ins take no write lock at all.
        if (m_store->KeepsSignInState() && (!right || state.attempts != 0 || state.locked)) {
            rc = RecordSignIn(user, right);
            if (rc != kDirOk) {
                continue;
            }
        }
        if (!right) {
            return kDirErrBadPassword;
        }
        rc = m_store->SignIn(user, password, length);
        if (rc == kDirOk) {
            m_identity = id;
            m_identityName = fullName;
            m_identityGone = false;
        }
    }
    return rc;
}

int32_t Directory::Resolve(std::string_view name, int64_t* id) {
    std::vector<std::string> leaves;
    const int32_t rc = SplitName(name, &leaves);
    if (rc != kDirOk) {
        return rc;
    }
    int64_t current = kRootId;
    for (auto leaf = leaves.rbegin(); leaf != leaves.rend(); ++leaf) {
        ObjectRecord child;
        const int32_t found = m_store->FindChild(current, FoldName(*leaf), &child);
        if (found != kDirOk) {
            return found;
        }
        current = child.id;
    }
    *id = current;
    return kDirOk;
}

int32_t Directory::ResolveForRead(std::string_view name, uint32_t flags, int64_t* id) {
    int32_t rc = Resolve(name, id);
    if (rc != kDirOk || (flags & kDirFlagDerefAliases) == 0) {
        return rc;
    }
    ObjectRecord record;
    rc = m_store->GetObject(*id, &record);
    if (rc == kDirOk && NamesEqual(record.className, kClassAlias)) {
        ObjectRecord target;
        rc = AliasTarget(*id, &target);
        if (rc == kDirOk) {
            *id = target.id;
        }
    }
    return rc;
}

int32_t Directory::AliasTarget(int64_t alias, ObjectRecord* target) {
    int64_t current = alias;
    for (int hop = 0; hop < kMaxAliasHops; ++hop) {
        int32_t rc = m_store->GetObject(current, target);
        if (rc != kDirOk) {
            return rc;
        }
        if (!NamesEqual(target->className, kClassAlias)) {
            return kDirOk;
        }
        std::vector<StoredValue> values;
        rc = m_store->ReadValues(current, std::string(kAttrAliasedObjectName), &values);
        if (rc != kDirOk) {
            return rc;
        }
        if (values.empty()) {
            return kDirOk; // an alias naming nothing stands for itself
        }
        current = values.front().ref;
    }
    return kDirErrLoop;
}

int32_t Directory::FullName(int64_t id, std::string* out) {
    const auto cached = m_names.find(id);
    if (cached != m_names.end()) {
        *out = cached->second;
        return kDirOk;
    }
    if (id == kRootId) {
        *out = kRootName;
        return kDirOk;
    }
    // Walked upwards rather than by recursion, and bounded: a name holds at most 511 bytes, so a longer
    // walk can only be a damaged store.
    std::string name;
    for (int64_t current = id; current != kRootId;) {
        if (!name.empty()) {
            name += '.';
        }
        if (const auto known = m_names.find(current); known != m_names.end()) {
            name += known->second;
            break;
        }
        ObjectRecord record;
        const int32_t rc = m_store->GetObject(current, &record);
        if (rc != kDirOk) {
            return rc;
        }
        name += record.leaf;
        if (name.size() > 2 * kDirMaxNameBytes || record.parent == 0) {
            return kDirErrStoreDamaged;
        }
        current = record.parent;
    }
    m_names.emplace(id, name);
    *out = std::move(name);
    return kDirOk;
}

namespace {
constexpr uint32_t kAllEntry =
    kDirEntryBrowse | kDirEntryCreate | kDirEntryDelete | kDirEntryRename | kDirEntrySupervisor;
constexpr uint32_t kAllAttr =
    kDirRightCompare | kDirRightRead | kDirRightWrite | kDirRightAddSelf | kDirRightAttrSupervisor;
} // namespace

uint32_t Directory::Grants::EntryRights() const {
    return (entry & kDirEntrySupervisor) != 0 ? kAllEntry : entry & kAllEntry;
}

uint32_t Directory::Grants::AttributeRights(std::string_view attr) const {
    uint32_t bits = allAttributes;
    const std::string key = FoldName(attr);
    for (const auto& [name, privileges] : attributes) {
        if (name == key) {
            bits |= privileges;
        }
    }
    if ((entry & kDirEntrySupervisor) != 0 || (bits & kDirRightAttrSupervisor) != 0) {
        bits |= kAllAttr;
    }
    return bits & kAllAttr;
}

int32_t Directory::CollectGrants(int64_t subject, int64_t object, Grants* grants) {
    *grants = Grants{};
    // The subject stands for itself and for every container that holds it.
    std::set<int64_t> subjects;
    for (int64_t id = subject; id != 0 && subjects.size() <= kDirMaxNameBytes;) {
        subjects.insert(id);
        ObjectRecord record;
        const int32_t rc = m_store->GetObject(id, &record);
        if (rc != kDirOk) {
            return rc;
        }
        id = record.parent;
    }
    const std::string aclName(kAttrAcl);
    std::vector<StoredValue> acls;
    // A name holds at most 511 bytes, so no object lies deeper than 256 levels: the bound keeps a damaged
    // store from looping here.
    int depth = 0;
    for (int64_t id = object; id != 0 && depth <= static_cast<int>(kDirMaxNameBytes); ++depth) {
        int32_t rc = m_store->ReadValues(id, aclName, &acls);
        if (rc != kDirOk) {
            return rc;
        }
        for (const auto& value : acls) {
            const AclParts parts = DecodeAcl(value.data);
            const bool matches = value.ref != 0 ? subjects.count(value.ref) != 0
                                                : NamesEqual(parts.specialSubject, kPublicName);
            if (!matches) {
                continue;
            }
            if (NamesEqual(parts.protectedAttr, kEntryRights)) {
                grants->entry |= parts.privileges;
            } else if (NamesEqual(parts.protectedAttr, kAllAttributesRights)) {
                grants->allAttributes |= parts.privileges;
            } else {
                grants->attributes.emplace_back(FoldName(parts.protectedAttr), parts.privileges);
            }
        }
        ObjectRecord record;
        rc = m_store->GetObject(id, &record);
        if (rc != kDirOk) {
            return rc;
        }
        id = record.parent;
    }
    return kDirOk;
}

int32_t Directory::RequireEntryRight(int64_t object, uint32_t right) {
    Grants grants;
    const int32_t rc = CollectGrants(m_identity, object, &grants);
    if (rc != kDirOk) {
        return rc;
    }
    return (grants.EntryRights() & right) == 0 ? kDirErrNoRight : kDirOk;
}

int32_t Directory::RequireAttributeRight(int64_t object, std::string_view attr, uint32_t right) {
    Grants grants;
    const int32_t rc = CollectGrants(m_identity, object, &grants);
    if (rc != kDirOk) {
        return rc;
    }
    return (grants.AttributeRights(attr) & right) == 0 ? kDirErrNoRight : kDirOk;
}

int32_t Directory::Rights(int64_t subject, int64_t object, std::string_view attr, uint32_t* rights) {
    *rights = 0;
    const bool entry = NamesEqual(attr, kEntryRights);
    if (!entry && !NamesEqual(attr, kAllAttributesRights) && FindAttribute(attr) == nullptr) {
        return kDirErrNoSuchAttribute;
    }
    Grants grants;
    const int32_t rc = CollectGrants(subject, object, &grants);
    if (rc != kDirOk) {
        return rc;
    }
    *rights = entry ? grants.EntryRights() : grants.AttributeRights(attr);
    return kDirOk;
}

int32_t Directory::ToStored(const Value& value, const AttributeDef& def, StoredValue* out) {
    out->attr = def.name;
    return ToStoredData(value, def, out);
}

int32_t Directory::ToStoredData(const Value& value, const AttributeDef& def, StoredValue* out) {
    if (value.syntax != def.syntax) {
        return kDirErrWrongSyntax;
    }
    out->syntax = def.syntax;
    out->ref = 0;
    switch (value.syntax) {
    case kDirSyntaxDistinguishedName: {
        int64_t id = 0;
        const int32_t rc = Resolve(value.text, &id);
        if (rc != kDirOk) {
            return rc == kDirErrNoSuchObject ? kDirErrDanglingReference : rc;
        }
        out->ref = id;
        out->key = IdKey(id);
        out->data.clear();
        return kDirOk;
    }
    case kDirSyntaxClassName: {
        const ClassDef* classDef = FindClass(value.text);
        if (classDef == nullptr) {
            return kDirErrNoSuchClass;
        }
        out->data = classDef->name;
        out->key = FoldName(out->data);
        return kDirOk;
    }
    case kDirSyntaxCaseIgnoreString:
        out->data = value.text;
        out->key = FoldName(value.text);
        return kDirOk;
    case kDirSyntaxBoolean:
    case kDirSyntaxInteger:
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        out->data = Word(value.number);
        out->key = out->data;
        return kDirOk;
    case kDirSyntaxOctetString:
        out->data = value.bytes;
        out->key = out->data;
        return kDirOk;
    case kDirSyntaxNetAddress:
        out->data = Word(value.number) + value.bytes;
        out->key = out->data;
        return kDirOk;
    case kDirSyntaxObjectACL: {
        std::string protectedAttr;
        if (NamesEqual(value.text, kEntryRights)) {
            protectedAttr = kEntryRights;
        } else if (NamesEqual(value.text, kAllAttributesRights)) {
            protectedAttr = kAllAttributesRights;
        } else if (const AttributeDef* protectedDef = FindAttribute(value.text); protectedDef != nullptr) {
            protectedAttr = protectedDef->name;
        } else {
            return kDirErrNoSuchAttribute;
        }
        std::string special;
        std::string subjectKey;
        if (NamesEqual(value.subject, kPublicName)) {
            special = kPublicName;
            subjectKey = FoldName(special);
        } else {
            int64_t id = 0;
            const int32_t rc = Resolve(value.subject, &id);
            if (rc != kDirOk) {
                return rc == kDirErrNoSuchObject ? kDirErrDanglingReference : rc;
            }
            out->ref = id;
            subjectKey = IdKey(id);
        }
        out->data = Word(value.number) + protectedAttr + '\0' + special;
        out->key = FoldName(protectedAttr) + '\0' + subjectKey + '\0' + Word(value.number);
        return kDirOk;
    }
    default:
        return kDirErrWrongSyntax;
    }
}

int32_t Directory::FromStored(const StoredValue& stored, Value* out) {
    *out = Value{};
    out->syntax = stored.syntax;
    switch (stored.syntax) {
    case kDirSyntaxDistinguishedName:
        return FullName(stored.ref, &out->text);
    case kDirSyntaxObjectACL: {
        const AclParts parts = DecodeAcl(stored.data);
        out->text = parts.protectedAttr;
        out->number = parts.privileges;
        if (stored.ref != 0) {
            return FullName(stored.ref, &out->subject);
        }
        out->subject = parts.specialSubject;
        return kDirOk;
    }
    case kDirSyntaxBoolean:
    case kDirSyntaxInteger:
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        out->number = ReadWord(stored.data, 0);
        return kDirOk;
    case kDirSyntaxOctetString:
        out->bytes = stored.data;
        return kDirOk;
    case kDirSyntaxNetAddress:
        out->number = ReadWord(stored.data, 0);
        out->bytes = stored.data.substr(stored.data.size() >= 4 ? 4 : stored.data.size());
        return kDirOk;
    default:
        out->text = stored.data;
        return kDirOk;
    }
}

int32_t Directory::AddValue(int64_t object, const AttributeDef& def, const Value& value) {
    StoredValue stored;
    int32_t rc = ToStored(value, def, &stored);
    if (rc != kDirOk) {
        return rc;
    }
    // A value the attribute holds already is refused by the store (kDirErrValueExists).
    if (def.singleValued) {
        uint32_t count = 0;
        rc = m_store->CountValues(object, stored.attr, &count);
        if (rc != kDirOk) {
            return rc;
        }
        if (count != 0) {
            bool same = false;
            rc = m_store->HasValue(object, stored.attr, stored.key, &same);
            return rc != kDirOk ? rc : same ? kDirErrValueExists : kDirErrSingleValued;
        }
    }
    return m_store->InsertValue(object, stored);
}

// Values of a multi-valued attribute go to the store together. A value that cannot be stored is answered
// only after those before it were written, so that a request fails with the code of its first bad value,
// as it would one value at a time.
int32_t Directory::AddValues(int64_t object, const AttributeDef& def, std::span<const RequestItem> values) {
    std::vector<StoredValue> stored(values.size());
    int32_t rc = kDirOk;
    size_t converted = 0;
    for (; converted < values.size() && rc == kDirOk; ++converted) {
        rc = ToStoredData(values[converted].value, def, &stored[converted]);
    }
    if (rc != kDirOk) {
        stored.resize(converted - 1);
    }
    const int32_t written = m_store->TakeValues(object, std::string(def.name), std::move(stored));
    return written != kDirOk ? written : rc;
}

int32_t Directory::Touch(int64_t object) {
    ObjectRecord record;
    const int32_t rc = m_store->GetObject(object, &record);
    return rc != kDirOk ? rc : Touch(object, record.modTime);
}

int32_t Directory::Touch(int64_t object, uint32_t modTime) {
    // The time has a resolution of a second: within the same second there is nothing to write, which spares
    // a page in every request of a busy second.
    const uint32_t now = Now();
    return modTime == now ? kDirOk : m_store->SetModTime(object, now);
}

int32_t Directory::Modify(int64_t object, const std::vector<RequestItem>& items) {
    // Every check below must run inside the write transaction that commits what it allowed.
    if (m_depth == 0 || !m_writing) {
        return kDirErrStoreFailed;
    }
    std::vector<Change> changes;
    for (const auto& item : items) {
        if (item.kind == RequestItemKind::Change) {
            Change change;
            change.change = item.change;
            change.def = FindAttribute(item.attr);
            if (change.def == nullptr) {
                return kDirErrNoSuchAttribute;
            }
            if (NamesEqual(change.def->name, kAttrObjectClass)) {
                return kDirErrReadOnlyAttribute;
            }
            changes.push_back(change);
        } else if (item.kind == RequestItemKind::Value && !changes.empty() &&
                   changes.back().change != kDirChangeRemoveAllValues) {
            TakeInto(&changes.back().values, item);
        } else {
            return kDirErrWrongBuffer;
        }
    }
    if (changes.empty()) {
        return kDirErrWrongBuffer;
    }
    ObjectRecord record;
    int32_t rc = m_store->GetObject(object, &record);
    if (rc != kDirOk) {
        return rc;
    }
    // Rights first, for every change: a refused request must not have written anything.
    std::string self;
    if (m_identity != kPublicSubject) {
        rc = FullName(m_identity, &self);
        if (rc != kDirOk) {
            return rc;
        }
    }
    // One walk over the object and its containers serves every change of the request.
    Grants grants;
    rc = CollectGrants(m_identity, object, &grants);
    if (rc != kDirOk) {
        return rc;
    }
    for (const auto& change : changes) {
        const uint32_t rights = grants.AttributeRights(change.def->name);
        if ((rights & kDirRightWrite) != 0) {
            continue;
        }
        bool onlySelf = (rights & kDirRightAddSelf) != 0 && change.change != kDirChangeRemoveAllValues &&
                        change.def->syntax == kDirSyntaxDistinguishedName && !self.empty();
        for (const RequestItem& value : change.values) {
            onlySelf = onlySelf && NamesEqual(value.value.text, self);
        }
        if (!onlySelf) {
            return kDirErrNoRight;
        }
    }
    // A request that may take the Supervisor right over "[Root]" from its last holder, or leave that holder
    // unable to sign in, is weighed before and after.
    bool guarded = false;
    for (const auto& change : changes) {
        guarded = guarded ||
                  (object == kRootId && NamesEqual(change.def->name, kAttrAcl) &&
                   change.change != kDirChangeAddValue) ||
                  (IsUserClass(record.className) && IsSignInAttribute(change.def->name));
    }
    Supervisors before;
    if (guarded) {
        rc = FindSupervisors(&before);
        if (rc != kDirOk) {
            return rc;
        }
    }
    Scope scope(*this);
    rc = scope.Begin(/*write=*/true);
    for (const auto& change : changes) {
        if (rc != kDirOk) {
            break;
        }
        if (change.change == kDirChangeRemoveAllValues) {
            rc = m_store->DeleteAllValues(object, std::string(change.def->name));
            continue;
        }
        if (change.change == kDirChangeAddValue && !change.def->singleValued) {
            rc = AddValues(object, *change.def, change.values);
            continue;
        }
        for (const RequestItem& value : change.values) {
            if (change.change == kDirChangeAddValue) {
                rc = AddValue(object, *change.def, value.value);
            } else {
                StoredValue stored;
                rc = ToStored(value.value, *change.def, &stored);
                if (rc == kDirErrDanglingReference) {
                    rc = kDirErrNoSuchValue; // a name of no object cannot be among the values
                }
                if (rc == kDirOk) {
                    rc = m_store->DeleteValue(object, stored.attr, stored.key);
                }
            }
            if (rc != kDirOk) {
                break;
            }
        }
    }
    if (rc == kDirOk) {
        rc = Touch(object, record.modTime); // read above, in this transaction
    }
    if (rc == kDirOk && guarded) {
        rc = RequireSupervisorLeft(before);
    }
    if (rc == kDirOk) {
        rc = scope.Commit();
    }
    return rc;
}

int32_t Directory::Add(std::string_view name, const std::vector<RequestItem>& items) {
    // Every check below must run inside the write transaction that commits what it allowed.
    if (m_depth == 0 || !m_writing) {
        return kDirErrStoreFailed;
    }
    std::vector<std::string> leaves;
    int32_t rc = SplitName(name, &leaves);
    if (rc != kDirOk) {
        return rc;
    }
    if (leaves.empty()) {
        return kDirErrObjectExists; // "[Root]"
    }
    rc = CheckNewLeaf(leaves.front());
    if (rc != kDirOk) {
        return rc;
    }
    int64_t parent = kRootId;
    for (size_t i = leaves.size(); i-- > 1;) {
        ObjectRecord child;
        rc = m_store->FindChild(parent, FoldName(leaves[i]), &child);
        if (rc != kDirOk) {
            return rc;
        }
        parent = child.id;
    }
    ObjectRecord parentRecord;
    rc = m_store->GetObject(parent, &parentRecord);
    if (rc != kDirOk) {
        return rc;
    }
    if (!IsContainer(parentRecord.className)) {
        return kDirErrNotContainer;
    }
    rc = RequireEntryRight(parent, kDirEntryCreate);
    if (rc != kDirOk) {
        return rc;
    }
    std::vector<Change> attrs;
    const ClassDef* classDef = nullptr;
    for (const auto& item : items) {
        if (item.kind == RequestItemKind::AttrName) {
            Change attr;
            attr.def = FindAttribute(item.attr);
            if (attr.def == nullptr) {
                return kDirErrNoSuchAttribute;
            }
            attrs.push_back(attr);
        } else if (item.kind == RequestItemKind::Value && !attrs.empty()) {
            TakeInto(&attrs.back().values, item);
            if (NamesEqual(attrs.back().def->name, kAttrObjectClass)) {
                if (item.value.syntax != kDirSyntaxClassName) {
                    return kDirErrWrongSyntax;
                }
                if (classDef != nullptr) {
                    return kDirErrSingleValued;
                }
                classDef = FindClass(item.value.text);
                if (classDef == nullptr) {
                    return kDirErrNoSuchClass;
                }
            }
        } else {
            return kDirErrWrongBuffer;
        }
    }
    if (classDef == nullptr) {
        return kDirErrMissingClass;
    }
    rc = CheckContainment(std::string(classDef->name), parent);
    if (rc != kDirOk) {
        return rc;
    }
    rc = RequireFreeLeaf(parent, leaves.front());
    if (rc != kDirOk) {
        return rc;
    }
    Scope scope(*this);
    rc = scope.Begin(/*write=*/true);
    ObjectRecord record{0, parent, leaves.front(), std::string(classDef->name), Now(), {}};
    if (rc == kDirOk) {
        rc = m_store->InsertObject(&record);
    }
    for (const auto& attr : attrs) {
        for (const RequestItem& value : attr.values) {
            if (rc == kDirOk) {
                rc = AddValue(record.id, *attr.def, value.value);
            }
        }
    }
    if (rc == kDirOk) {
        rc = scope.Commit();
    }
    return rc;
}

int32_t Directory::Remove(int64_t object) {
    // Every check below must run inside the write transaction that commits what it allowed.
    if (m_depth == 0 || !m_writing) {
        return kDirErrStoreFailed;
    }
    if (object == kRootId) {
        return kDirErrNotEmpty;
    }
    int32_t rc = RequireEntryRight(object, kDirEntryDelete);
    if (rc != kDirOk) {
        return rc;
    }
    uint32_t children = 0;
    rc = m_store->CountChildren(object, &children);
    if (rc != kDirOk) {
        return rc;
    }
    if (children != 0) {
        return kDirErrNotEmpty;
    }
    ObjectRecord record;
    rc = m_store->GetObject(object, &record);
    Supervisors before;
    if (rc == kDirOk) {
        rc = FindSupervisors(&before);
    }
    Scope scope(*this);
    if (rc == kDirOk) {
        rc = scope.Begin(/*write=*/true);
    }
    if (rc == kDirOk) {
        rc = m_store->DeleteObject(object);
    }
    if (rc == kDirOk && record.parent != 0) {
        rc = Touch(record.parent);
    }
    if (rc == kDirOk) {
        rc = RequireSupervisorLeft(before);
    }
    if (rc == kDirOk) {
        rc = scope.Commit();
    }
    if (rc == kDirOk && object == m_identity) {
        m_identityGone = true; // as for a user deleted by another session: only a new sign-in goes on
    }
    return rc;
}

int32_t Directory::CheckNamesFit(int64_t object, int64_t container, std::string_view leaf) {
    std::string containerName;
    int32_t rc = kDirOk;
    if (container != kRootId) {
        rc = FullName(container, &containerName);
    }
    size_t below = 0;
    if (rc == kDirOk) {
        rc = LongestBelow(object, &below);
    }
    if (rc != kDirOk) {
        return rc;
    }
    if (leaf.size() + (containerName.empty() ? 0 : containerName.size() + 1) + below > kDirMaxNameBytes) {
        return kDirErrNameTooLong;
    }
    return kDirOk;
}

int32_t Directory::RequireFreeLeaf(int64_t container, std::string_view leaf) {
    ObjectRecord other;
    const int32_t rc = m_store->FindChild(container, FoldName(leaf), &other);
    if (rc == kDirOk) {
        return kDirErrObjectExists;
    }
    return rc == kDirErrNoSuchObject ? kDirOk : rc;
}

int32_t Directory::LongestBelow(int64_t id, size_t* extra) {
    *extra = 0;
    std::vector<ChildSummary> children;
    int32_t rc = m_store->ListChildren(id, &children);
    for (const auto& child : children) {
        if (rc != kDirOk) {
            break;
        }
        size_t below = 0;
        if (child.subordinateCount != 0) {
            rc = LongestBelow(child.record.id, &below);
        }
        *extra = std::max(*extra, child.record.leaf.size() + 1 + below);
    }
    return rc;
}

int32_t Directory::Rename(int64_t object, std::string_view newLeaf, bool removeOld) {
    // Every check below must run inside the write transaction that commits what it allowed.
    if (m_depth == 0 || !m_writing) {
        return kDirErrStoreFailed;
    }
    int32_t rc = CheckNewLeaf(newLeaf);
    if (rc != kDirOk) {
        return rc;
    }
    if (object == kRootId) {
        return kDirErrBadName;
    }
    rc = RequireEntryRight(object, kDirEntryRename);
    if (rc != kDirOk) {
        return rc;
    }
    ObjectRecord record;
    rc = m_store->GetObject(object, &record);
    if (rc == kDirOk) {
        rc = CheckNamesFit(object, record.parent, newLeaf);
    }
    if (rc == kDirOk && FoldName(newLeaf) != FoldName(record.leaf)) {
        rc = RequireFreeLeaf(record.parent, newLeaf);
    }
    if (rc != kDirOk) {
        return rc;
    }
    Scope scope(*this);
    rc = scope.Begin(/*write=*/true);
    const std::string oldLeaf = record.leaf;
    record.leaf = newLeaf;
    record.modTime = Now();
    if (rc == kDirOk) {
        rc = m_store->UpdateObject(record);
    }
    if (rc == kDirOk && removeOld) {
        const std::string cn(kAttrCn);
        bool found = false;
        rc = m_store->HasValue(object, cn, FoldName(oldLeaf), &found);
        if (rc == kDirOk && found) {
            rc = m_store->DeleteAllValues(object, cn);
            StoredValue value{cn, kDirSyntaxCaseIgnoreString, FoldName(newLeaf), std::string(newLeaf), 0};
            if (rc == kDirOk) {
                rc = m_store->InsertValue(object, value);
            }
        }
    }
    if (rc == kDirOk) {
        rc = scope.Commit();
    }
    return rc;
}

int32_t Directory::Move(int64_t object, int64_t container) {
    // Every check below must run inside the write transaction that commits what it allowed.
    if (m_depth == 0 || !m_writing) {
        return kDirErrStoreFailed;
    }
    if (object == kRootId) {
        return kDirErrBadName;
    }
    ObjectRecord record;
    ObjectRecord target;
    int32_t rc = m_store->GetObject(object, &record);
    if (rc == kDirOk) {
        rc = m_store->GetObject(container, &target);
    }
    if (rc != kDirOk) {
        return rc;
    }
    if (!IsContainer(target.className)) {
        return kDirErrNotContainer;
    }
    // A leaf stored before leaves had to stand anywhere may not be able to stand below a container.
    rc = CheckLeaf(record.leaf);
    if (rc != kDirOk) {
        return rc;
    }
    for (int64_t id = container; id != 0;) {
        if (id == object) {
            return kDirErrLoop;
        }
        ObjectRecord step;
        rc = m_store->GetObject(id, &step);
        if (rc != kDirOk) {
            return rc;
        }
        id = step.parent;
    }
    uint32_t rights = 0;
    rc = Rights(m_identity, object, kEntryRights, &rights);
    if (rc != kDirOk) {
        return rc;
    }
    uint32_t createRights = 0;
    rc = Rights(m_identity, container, kEntryRights, &createRights);
    if (rc != kDirOk) {
        return rc;
    }
    if ((rights & kDirEntryRename) == 0 || (createRights & kDirEntryCreate) == 0) {
        return kDirErrNoRight;
    }
    rc = CheckNamesFit(object, container, record.leaf);
    if (rc != kDirOk || record.parent == container) {
        return rc;
    }
    rc = CheckMoveContainment(record, container);
    if (rc != kDirOk) {
        return rc;
    }
    rc = RequireFreeLeaf(container, record.leaf);
    Supervisors before;
    if (rc == kDirOk) {
        rc = FindSupervisors(&before);
    }
    if (rc != kDirOk) {
        return rc;
    }
    Scope scope(*this);
    rc = scope.Begin(/*write=*/true);
    const int64_t oldParent = record.parent;
    record.parent = container;
    record.modTime = Now();
    if (rc == kDirOk) {
        rc = m_store->UpdateObject(record);
    }
    if (rc == kDirOk) {
        rc = Touch(oldParent);
    }
    if (rc == kDirOk) {
        rc = Touch(container);
    }
    if (rc == kDirOk) {
        rc = RequireSupervisorLeft(before); // a user moved out of the container that holds the right
    }
    if (rc == kDirOk) {
        rc = scope.Commit();
    }
    return rc;
}

int32_t Directory::OwnPasswordSet(int64_t user, const std::string& hash, const char* newPassword) {
    if (user != m_identity || user == 0 || !m_store->ServerChecksPasswords()) {
        return kDirOk;
    }
    ObjectRecord record;
    record.id = user;
    record.passwordHash = hash;
    return m_store->SignIn(record, newPassword, std::strlen(newPassword));
}

int32_t Directory::ProvePasswords(std::string_view name, uint32_t flags, const char* oldPassword,
                                  const char* newPassword, PasswordProof* proof) {
    *proof = PasswordProof{};
    size_t oldLength = 0;
    size_t newLength = 0;
    if (m_store->ServerChecksPasswords() || newPassword == nullptr || !BoundedPassword(newPassword, &newLength) ||
        !BoundedPassword(oldPassword, &oldLength)) {
        return kDirOk; // the request checks, or refuses, them itself
    }
    ObjectRecord record;
    const int32_t rc = Request(/*write=*/false, [&] {
        int64_t id = 0;
        const int32_t found = ResolveForRead(name, flags, &id);
        return found != kDirOk ? found : m_store->GetObject(id, &record);
    });
    if (rc != kDirOk || !NamesEqual(record.className, kClassUser)) {
        return kDirOk; // the request answers what is wrong
    }
    proof->checked = true;
    proof->hash = record.passwordHash;
    if (oldPassword != nullptr) {
        proof->oldRight = VerifyPassword(record.passwordHash, oldPassword, oldLength);
    }
    proof->repeated = !record.passwordHash.empty() && VerifyPassword(record.passwordHash, newPassword, newLength);
    return kDirOk;
}

int32_t Directory::SetPassword(int64_t user, const char* oldPassword, const char* newPassword,
                               const std::string& newHash, PasswordProof* proof) {
    // Every check below must run inside the write transaction that commits what it allowed.
    if (m_depth == 0 || !m_writing) {
        return kDirErrStoreFailed;
    }
    size_t oldLength = 0;
    size_t newLength = 0;
    if (newPassword == nullptr || !BoundedPassword(newPassword, &newLength) ||
        !BoundedPassword(oldPassword, &oldLength)) {
        return kDirErrBadArgument;
    }
    ObjectRecord record;
    int32_t rc = m_store->GetObject(user, &record);
    if (rc != kDirOk) {
        return rc;
    }
    if (!NamesEqual(record.className, kClassUser)) {
        return kDirErrNotAUser;
    }
    const bool proven = proof != nullptr && proof->checked;
    if (proven && record.passwordHash != proof->hash) {
        proof->stale = true; // changed since the passwords were checked: nothing is written
        return kDirOk;
    }
    uint32_t rights = 0;
    rc = Rights(m_identity, user, kEntryRights, &rights);
    if (rc != kDirOk) {
        return rc;
    }
    const bool supervisor = (rights & kDirEntrySupervisor) != 0;
    if (oldPassword == nullptr ? !supervisor : (!supervisor && m_identity != user)) {
        return kDirErrNoRight;
    }
    if (oldPassword != nullptr) {
        bool right = proven && proof->oldRight;
        rc = proven ? kDirOk : PasswordMatches(record, oldPassword, oldLength, &right);
        if (rc != kDirOk) {
            return rc;
        }
        if (!right) {
            return kDirErrBadPassword;
        }
    }
    std::vector<StoredValue> values;
    rc = m_store->ReadValues(user, std::string(kAttrPasswordMinimumLength), &values);
    if (rc != kDirOk) {
        return rc;
    }
    const int32_t minimum = values.empty() ? 0 : static_cast<int32_t>(ReadWord(values.front().data, 0));
    rc = m_store->ReadValues(user, std::string(kAttrPasswordRequired), &values);
    if (rc != kDirOk) {
        return rc;
    }
    const bool required = !values.empty() && ReadWord(values.front().data, 0) != 0;
    if ((minimum > 0 && newLength < static_cast<size_t>(minimum)) || (required && newLength == 0)) {
        return kDirErrPasswordTooShort;
    }
    if (!record.passwordHash.empty()) {
        bool repeated = proven && proof->repeated;
        rc = proven ? kDirOk : PasswordMatches(record, newPassword, newLength, &repeated);
        if (rc != kDirOk) {
            return rc;
        }
        if (repeated) {
            return kDirErrPasswordRepeated;
        }
    }
    Scope scope(*this);
    rc = scope.Begin(/*write=*/true);
    record.passwordHash = newHash;
    record.modTime = Now();
    if (rc == kDirOk) {
        rc = m_store->UpdateObject(record);
    }
    if (rc == kDirOk) {
        rc = scope.Commit();
    }
    return rc;
}

int32_t Directory::Read(int64_t object, bool all, const std::vector<std::string>& names,
                        std::vector<ReplyAttr>* out) {
    out->clear();
    ObjectRecord record;
    int32_t rc = m_store->GetObject(object, &record);
    if (rc != kDirOk) {
        return rc;
    }
    Grants grants;
    rc = CollectGrants(m_identity, object, &grants);
    if (rc != kDirOk) {
        return rc;
    }
    std::vector<StoredValue> stored;
    std::vector<StoredValue> some;
    if (all) {
        rc = m_store->ReadValues(object, std::string(), &stored);
        if (rc != kDirOk) {
            return rc;
        }
        // As an LDAP server does, a read of every attribute gives those the identity may read; one that
        // may read none of them is refused rather than answered with nothing.
        const size_t held = stored.size();
        std::erase_if(stored, [&](const StoredValue& value) {
            return (grants.AttributeRights(value.attr) & kDirRightRead) == 0;
        });
        if (held != 0 && stored.empty()) {
            return kDirErrNoRight;
        }
    } else {
        for (const auto& name : names) {
            const AttributeDef* def = FindAttribute(name);
            if (def == nullptr) {
                return kDirErrNoSuchAttribute;
            }
            if ((grants.AttributeRights(def->name) & kDirRightRead) == 0) {
                return kDirErrNoRight;
            }
            rc = m_store->ReadValues(object, std::string(def->name), &some);
            if (rc != kDirOk) {
                return rc;
            }
            stored.insert(stored.end(), some.begin(), some.end());
        }
    }
    for (const auto& value : stored) {
        if (out->empty() || out->back().name != value.attr) {
            out->push_back(ReplyAttr{value.attr, value.syntax, {}});
        }
        Value client;
        rc = FromStored(value, &client);
        if (rc != kDirOk) {
            return rc;
        }
        out->back().values.push_back(std::move(client));
    }
    if (!all && out->empty()) {
        return kDirErrNoSuchAttribute;
    }
    return kDirOk;
}

int32_t Directory::Compare(int64_t object, const std::vector<RequestItem>& items, bool* matched) {
    *matched = false;
    if (items.size() != 2 || items[0].kind != RequestItemKind::AttrName ||
        items[1].kind != RequestItemKind::Value) {
        return kDirErrWrongBuffer;
    }
    const AttributeDef* def = FindAttribute(items[0].attr);
    if (def == nullptr) {
        return kDirErrNoSuchAttribute;
    }
    ObjectRecord record;
    int32_t rc = m_store->GetObject(object, &record);
    if (rc == kDirOk) {
        rc = RequireAttributeRight(object, def->name, kDirRightCompare);
    }
    if (rc != kDirOk) {
        return rc;
    }
    StoredValue stored;
    rc = ToStored(items[1].value, *def, &stored);
    if (rc == kDirErrDanglingReference || rc == kDirErrNoSuchClass) {
        return kDirOk; // a name of no object is never among the values
    }
    if (rc != kDirOk) {
        return rc;
    }
    return m_store->HasValue(object, stored.attr, stored.key, matched);
}

int32_t Directory::FillInfo(const ObjectRecord& record, uint32_t subordinates, uint32_t flags,
                            DirObjectInfo* info) {
    *info = DirObjectInfo{};
    info->subordinateCount = subordinates;
    info->modificationTime = record.modTime;
    ObjectRecord target;
    const std::string* baseClass = &record.className;
    const bool alias = NamesEqual(record.className, kClassAlias);
    if (alias) {
        info->objectFlags |= kDirObjectAlias;
        if ((flags & kDirFlagAliasBaseClass) != 0) {
            const int32_t rc = AliasTarget(record.id, &target);
            if (rc != kDirOk) {
                return rc;
            }
            baseClass = &target.className;
        }
    }
    if (IsContainer(record.className)) {
        info->objectFlags |= kDirObjectContainer;
    }
    // The rest of the field is zero already, as strncpy would leave it; a listing fills it for every child.
    std::memcpy(info->baseClass, baseClass->data(),
                std::min(std::strlen(baseClass->c_str()), sizeof info->baseClass - 1));
    return kDirOk;
}

int32_t Directory::ObjectInfo(int64_t id, uint32_t flags, std::string* name, DirObjectInfo* info) {
    ObjectRecord record;
    int32_t rc = m_store->GetObject(id, &record);
    if (rc == kDirOk) {
        rc = RequireEntryRight(id, kDirEntryBrowse);
    }
    if (rc != kDirOk) {
        return rc;
    }
    uint32_t subordinates = 0;
    rc = m_store->CountChildren(id, &subordinates);
    if (rc == kDirOk) {
        rc = FillInfo(record, subordinates, flags, info);
    }
    if (rc == kDirOk) {
        rc = FullName(id, name);
    }
    return rc;
}

int32_t Directory::List(int64_t container, uint32_t flags, std::vector<ReplyObject>* out) {
    out->clear();
    ObjectRecord record;
    int32_t rc = m_store->GetObject(container, &record);
    if (rc == kDirOk) {
        rc = RequireEntryRight(container, kDirEntryBrowse);
    }
    if (rc != kDirOk) {
        return rc;
    }
    std::vector<ChildSummary> children;
    rc = m_store->ListChildren(container, &children);
    if (rc != kDirOk) {
        return rc;
    }
    std::string containerName;
    rc = FullName(container, &containerName);
    if (rc != kDirOk) {
        return rc;
    }
    out->reserve(children.size());
    for (auto& child : children) {
        ReplyObject entry;
        rc = FillInfo(child.record, child.subordinateCount, flags, &entry.info);
        if (rc != kDirOk) {
            return rc;
        }
        if (container == kRootId) {
            entry.name = std::move(child.record.leaf);
        } else {
            entry.name.reserve(child.record.leaf.size() + 1 + containerName.size());
            entry.name.append(child.record.leaf).append(1, '.').append(containerName);
        }
        entry.attrCount = child.attrCount;
        out->push_back(std::move(entry));
    }
    return kDirOk;
}

int32_t Directory::TreeName(std::string* out) {
    const int32_t rc = m_store->GetMeta(std::string(kTreeNameKey), out);
    if (rc == kDirErrNoSuchAttribute) {
        *out = kDefaultTreeName;
        return kDirOk;
    }
    return rc;
}

int32_t Directory::SetTreeName(const std::string& name) {
    Scope scope(*this);
    int32_t rc = scope.Begin(/*write=*/true);
    if (rc == kDirOk) {
        rc = m_store->SetMeta(std::string(kTreeNameKey), name);
    }
    if (rc == kDirOk) {
        rc = scope.Commit();
    }
    return rc;
}

// NT accounts and groups live directly in an NT system; an NT system never lives anywhere below another NT
// system (the NT side has no such thing). Other classes are not restricted: an NT system also holds the
// aliases its member pages list.
int32_t Directory::CheckContainment(const std::string& className, int64_t container) {
    ObjectRecord parent;
    int32_t rc = m_store->GetObject(container, &parent);
    if (rc != kDirOk) {
        return rc;
    }
    if (IsNtAccountClass(className)) {
        return IsNtSystemClass(parent.className) ? kDirOk : kDirErrContainment;
    }
    if (!IsNtSystemClass(className)) {
        return kDirOk;
    }
    int depth = 0;
    for (int64_t id = container; id != 0 && depth <= static_cast<int>(kDirMaxNameBytes); ++depth) {
        ObjectRecord step;
        rc = m_store->GetObject(id, &step);
        if (rc != kDirOk) {
            return rc;
        }
        if (IsNtSystemClass(step.className) || IsNtAccountClass(step.className)) {
            return kDirErrContainment;
        }
        id = step.parent;
    }
    return kDirOk;
}

int32_t Directory::CheckMoveContainment(const ObjectRecord& object, int64_t container) {
    int32_t rc = CheckContainment(object.className, container);
    if (rc != kDirOk || !IsContainer(object.className) || IsNtSystemClass(object.className)) {
        return rc;
    }
    // A container moved below an NT system may not carry an NT system along.
    bool belowSystem = false;
    int depth = 0;
    for (int64_t id = container; id != 0 && !belowSystem && depth <= static_cast<int>(kDirMaxNameBytes);
         ++depth) {
        ObjectRecord step;
        rc = m_store->GetObject(id, &step);
        if (rc != kDirOk) {
            return rc;
        }
        belowSystem = IsNtSystemClass(step.className);
        id = step.parent;
    }
    if (!belowSystem) {
        return kDirOk;
    }
    bool found = false;
    rc = SubtreeHolds(object.id, IsNtSystemClass, &found);
    return rc != kDirOk ? rc : found ? kDirErrContainment : kDirOk;
}

int32_t Directory::SubtreeHolds(int64_t root, bool (*wanted)(const std::string& className), bool* found) {
    *found = false;
    std::vector<int64_t> pending{root};
    std::vector<ChildSummary> children;
    while (!pending.empty() && !*found) {
        const int64_t id = pending.back();
        pending.pop_back();
        const int32_t rc = m_store->ListChildren(id, &children);
        if (rc != kDirOk) {
            return rc;
        }
        for (const auto& child : children) {
            if (wanted(child.record.className)) {
                *found = true;
                break;
            }
            if (child.subordinateCount != 0) {
                pending.push_back(child.record.id);
            }
        }
    }
    return kDirOk;
}

// Somebody must be able to sign in and administer the tree: a user named by a Supervisor entry right on
// "[Root]", a user below a container so named, or everybody through "[Public]". Able to sign in is what
// sign-in itself decides before it looks at the password: not disabled, not expired, not locked now.
int32_t Directory::FindSupervisors(Supervisors* found) {
    *found = Supervisors{};
    m_store->DependsOnOthers(); // two administrators disabling one another at once must not both succeed
    std::vector<StoredValue> acls;
    int32_t rc = m_store->ReadValues(kRootId, std::string(kAttrAcl), &acls);
    if (rc != kDirOk) {
        return rc;
    }
    const uint32_t now = Now();
    auto weigh = [&](int64_t user) -> int32_t {
        found->user = true;
        SignInState state;
        const int32_t status = ReadSignInState(user, &state);
        found->able = status == kDirOk && SignInRefusal(state, now) == kDirOk;
        return status;
    };
    std::vector<ChildSummary> children;
    for (const auto& value : acls) {
        const AclParts parts = DecodeAcl(value.data);
        if (!NamesEqual(parts.protectedAttr, kEntryRights) || (parts.privileges & kDirEntrySupervisor) == 0) {
            continue;
        }
        if (value.ref == 0) {
            *found = Supervisors{true, true}; // "[Public]"
            return kDirOk;
        }
        ObjectRecord subject;
        rc = m_store->GetObject(value.ref, &subject);
        if (rc == kDirOk && IsUserClass(subject.className)) {
            rc = weigh(subject.id);
        }
        // Every user below a container so named holds the right; the walk ends at the first who can sign in.
        std::vector<int64_t> pending;
        if (rc == kDirOk && IsContainer(subject.className)) {
            pending.push_back(subject.id);
        }
        while (rc == kDirOk && !pending.empty() && !found->able) {
            const int64_t id = pending.back();
            pending.pop_back();
            rc = m_store->ListChildren(id, &children);
            for (size_t i = 0; rc == kDirOk && i < children.size() && !found->able; ++i) {
                if (IsUserClass(children[i].record.className)) {
                    rc = weigh(children[i].record.id);
                }
                if (children[i].subordinateCount != 0) {
                    pending.push_back(children[i].record.id);
                }
            }
        }
        if (rc != kDirOk || found->able) {
            return rc;
        }
    }
    return kDirOk;
}

int32_t Directory::RequireSupervisorLeft(const Supervisors& before) {
    Supervisors after;
    const int32_t rc = FindSupervisors(&after);
    if (rc != kDirOk) {
        return rc;
    }
    // A tree in which nobody can sign in now (a lock of intruder detection that ends by itself) still lets
    // other work go on, but never loses its last supervisor.
    return !after.user || (before.able && !after.able) ? kDirErrLastSupervisor : kDirOk;
}

int32_t Directory::Check(bool repair, std::vector<std::string>* report) {
    report->clear();
    // The check reads every object and link of the tree and repairs write anywhere in it: what it reports
    // shows names and values that only a supervisor of the whole tree may see. A store too damaged to tell
    // who that is still has its pages checked, since that report names no object.
    auto requireSupervisor = [&]() -> int32_t {
        Grants grants;
        const int32_t status = CollectGrants(m_identity, kRootId, &grants);
        if (status != kDirOk) {
            return status;
        }
        return (grants.EntryRights() & kDirEntrySupervisor) == 0 ? kDirErrNoRight : kDirOk;
    };
    int32_t rc = Request(/*write=*/false, requireSupervisor);
    if (rc != kDirOk && rc != kDirErrStoreDamaged) {
        return rc;
    }
    std::string problem;
    const int32_t checked = m_store->CheckFile(&problem);
    if (checked != kDirOk) {
        return checked;
    }
    if (!problem.empty()) {
        report->push_back("damaged | " + problem);
        return kDirErrStoreDamaged;
    }
    if (rc != kDirOk) {
        return rc;
    }
    const bool writing = repair && !m_store->ReadOnly();
    return Request(writing, [&]() -> int32_t {
        int32_t status = requireSupervisor(); // again, inside the request that repairs
        if (status != kDirOk) {
            return status;
        }
        std::vector<ObjectRecord> objects;
        status = m_store->ListAllObjects(&objects);
        if (status != kDirOk) {
            return status;
        }
        size_t problems = 0;
        // Every object must reach the root: a store written only through requests cannot hold a cycle or an
        // orphan, so one found here is damage that no repair may guess at.
        std::unordered_map<int64_t, int64_t> parents;
        for (const auto& record : objects) {
            parents.emplace(record.id, record.parent);
        }
        for (const auto& record : objects) {
            if (record.id == kRootId) {
                continue;
            }
            int64_t id = record.id;
            size_t steps = 0;
            while (id != kRootId && steps <= parents.size()) {
                const auto up = parents.find(id);
                if (up == parents.end()) {
                    break;
                }
                id = up->second;
                ++steps;
            }
            if (id != kRootId) {
                report->push_back("damaged | object " + std::to_string(record.id) + " (" + record.leaf +
                                  ") is not reachable from [Root]");
                ++problems;
            }
        }
        if (problems != 0) {
            return kDirErrStoreDamaged;
        }
        // Earlier versions took leaves that no full name can reach below a container (a trailing backslash
        // or lead byte). Nothing guesses a new name for them; the operator learns which they are.
        size_t unnamed = 0;
        for (const auto& record : objects) {
            if (record.parent != kRootId && record.id != kRootId && CheckLeaf(record.leaf) != kDirOk) {
                report->push_back("found | object " + std::to_string(record.id) + " (" + record.leaf +
                                  ") | leaf | no full name reaches it");
                ++unnamed;
            }
        }
        status = CheckLinks(writing, report, &problems);
        if (status != kDirOk) {
            return status;
        }
        // Repairs are counted apart from what only an operator can settle.
        const size_t found = unnamed + (writing ? 0 : problems);
        std::string summary = writing && problems != 0 ? std::to_string(problems) + " repaired" : "";
        if (found != 0) {
            summary += (summary.empty() ? "" : ", ") + std::to_string(found) + " found";
        }
        report->push_back(summary.empty() ? "ok" : summary);
        return kDirOk;
    });
}

// Links kept on both sides, each written in two requests, so that an interruption can leave one side only.
// Group memberships ("Member" on the group, "KEL:Group Membership" on the account): the missing side is
// added, since the writer meant the link (a leave takes the account's side away first, so an interrupted
// leave is completed as a stay). A primary group must be one of the account's groups, or it is removed.
int32_t Directory::CheckLinks(bool repair, std::vector<std::string>* report, size_t* problems) {
    std::vector<ObjectRecord> objects;
    int32_t rc = m_store->ListAllObjects(&objects);
    if (rc != kDirOk) {
        return rc;
    }
    std::unordered_map<int64_t, const ObjectRecord*> byId;
    for (const auto& record : objects) {
        byId.emplace(record.id, &record);
    }
    const AttributeDef& member = *FindAttribute(kAttrMember);
    const AttributeDef& membership = *FindAttribute(kAttrGroupMembership);
    const AttributeDef& primary = *FindAttribute(kAttrPrimaryGroup);
    auto note = [&](int64_t id, std::string_view attr, const std::string& what, int64_t other) -> int32_t {
        std::string name;
        std::string otherName;
        int32_t status = FullName(id, &name);
        if (status == kDirOk) {
            status = FullName(other, &otherName);
        }
        if (status != kDirOk) {
            return status;
        }
        report->push_back(std::string(repair ? "repaired | " : "found | ") + name + " | " +
                          std::string(attr) + " | " + what + " " + otherName);
        ++*problems;
        return kDirOk;
    };
    auto addLink = [&](int64_t object, const AttributeDef& def, int64_t target) -> int32_t {
        StoredValue value{std::string(def.name), def.syntax, IdKey(target), {}, target};
        const int32_t status = m_store->InsertValue(object, value);
        return status == kDirOk ? Touch(object) : status;
    };
    auto holds = [&](int64_t object, const AttributeDef& def, int64_t target, bool* found) {
        return m_store->HasValue(object, std::string(def.name), IdKey(target), found);
    };
    std::vector<StoredValue> values;
    for (const auto& record : objects) {
        const bool group = IsNtGroupClass(record.className);
        const bool account = IsNtAccountClass(record.className) && !group;
        if (!group && !account) {
            continue;
        }
        rc = m_store->ReadValues(record.id, std::string(group ? member.name : membership.name), &values);
        if (rc != kDirOk) {
            return rc;
        }
        for (const auto& value : values) {
            const auto other = byId.find(value.ref);
            if (other == byId.end()) {
                continue;
            }
            const bool otherFits = group ? IsNtAccountClass(other->second->className) &&
                                               !IsNtGroupClass(other->second->className)
                                         : IsNtGroupClass(other->second->className);
            if (!otherFits) {
                continue; // an alias or a directory object: not a link this check keeps
            }
            const AttributeDef& otherSide = group ? membership : member;
            bool found = false;
            rc = holds(value.ref, otherSide, record.id, &found);
            if (rc == kDirOk && !found) {
                rc = note(value.ref, otherSide.name, "added", record.id);
                if (rc == kDirOk && repair) {
                    rc = addLink(value.ref, otherSide, record.id);
                }
            }
            if (rc != kDirOk) {
                return rc;
            }
        }
    }
    // An NT account names its directory user in its own add request ("KEL:QDS User"); the user's list of
    // its accounts ("KEL:Application Server List") can only follow, since a name must name an object.
    const AttributeDef& qdsUser = *FindAttribute(kAttrQdsUser);
    const AttributeDef& accounts = *FindAttribute(kAttrApplicationServerList);
    for (const auto& record : objects) {
        if (!IsNtAccountClass(record.className) || IsNtGroupClass(record.className)) {
            continue;
        }
        rc = m_store->ReadValues(record.id, std::string(qdsUser.name), &values);
        for (const auto& value : values) {
            const auto user = byId.find(value.ref);
            if (rc != kDirOk || user == byId.end() || !IsUserClass(user->second->className)) {
                continue;
            }
            bool found = false;
            rc = holds(value.ref, accounts, record.id, &found);
            if (rc == kDirOk && !found) {
                rc = note(value.ref, accounts.name, "added", record.id);
                if (rc == kDirOk && repair) {
                    rc = addLink(value.ref, accounts, record.id);
                }
            }
        }
        if (rc != kDirOk) {
            return rc;
        }
    }
    for (const auto& record : objects) {
        if (!IsNtAccountClass(record.className) || IsNtGroupClass(record.className)) {
            continue;
        }
        rc = m_store->ReadValues(record.id, std::string(primary.name), &values);
        if (rc != kDirOk) {
            return rc;
        }
        for (const auto& value : values) {
            bool found = false;
            rc = holds(record.id, membership, value.ref, &found);
            if (rc == kDirOk && !found) {
                rc = note(record.id, primary.name, "removed", value.ref);
                if (rc == kDirOk && repair) {
                    rc = m_store->DeleteAllValues(record.id, std::string(primary.name));
                }
                if (rc == kDirOk && repair) {
                    rc = Touch(record.id);
                }
            }
            if (rc != kDirOk) {
                return rc;
            }
        }
    }
    return kDirOk;
}

} // namespace dirclient
