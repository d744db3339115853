#include "platform/dirclient/Directory.h"

#include <sodium.h>

#include <cstring>
#include <ctime>
#include <set>

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

// Every write goes through one of these: the transaction is rolled back unless it was committed.
class Transaction {
public:
    explicit Transaction(DirStore& store) : m_store(store) {}
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (m_open) {
            m_store.Rollback();
        }
    }
    [[nodiscard]] int32_t Begin() {
        const int32_t rc = m_store.Begin();
        m_open = rc == kDirOk;
        return rc;
    }
    [[nodiscard]] int32_t Commit() {
        m_open = false;
        return m_store.Commit();
    }

private:
    DirStore& m_store;
    bool m_open = false;
};

} // namespace

void SetHashCost(uint64_t opsLimit, uint64_t memLimit) {
    g_opsLimit = opsLimit;
    g_memLimit = memLimit;
}

int32_t Directory::Initialize() {
    Forget();
    Transaction transaction(*m_store);
    int32_t rc = transaction.Begin();
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
    if (rc == kDirOk) {
        rc = m_store->SetMeta(std::string(kTreeNameKey), std::string(kDefaultTreeName));
    }
    if (rc == kDirOk) {
        rc = transaction.Commit();
    }
    return rc;
}

int32_t Directory::Login(std::string_view name, const char* password) {
    int64_t id = 0;
    int32_t rc = Resolve(name, &id);
    if (rc != kDirOk) {
        return rc;
    }
    ObjectRecord user;
    rc = m_store->GetObject(id, &user);
    if (rc != kDirOk) {
        return rc;
    }
    if (!NamesEqual(user.className, kClassUser)) {
        return kDirErrNotAUser;
    }
    size_t length = 0;
    if (!BoundedPassword(password, &length) || !VerifyPassword(user.passwordHash, password, length)) {
        return kDirErrBadPassword;
    }
    m_identity = id;
    return kDirOk;
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
    ObjectRecord record;
    int32_t rc = m_store->GetObject(id, &record);
    if (rc != kDirOk) {
        return rc;
    }
    std::string name;
    if (id == kRootId) {
        name = kRootName;
    } else if (record.parent == kRootId) {
        name = record.leaf;
    } else {
        std::string container;
        rc = FullName(record.parent, &container);
        if (rc != kDirOk) {
            return rc;
        }
        name = record.leaf + "." + container;
    }
    m_names.emplace(id, name);
    *out = std::move(name);
    return kDirOk;
}

int32_t Directory::RequireEntryRight(int64_t object, uint32_t right) {
    uint32_t rights = 0;
    const int32_t rc = Rights(m_identity, object, kEntryRights, &rights);
    if (rc != kDirOk) {
        return rc;
    }
    return (rights & right) == 0 ? kDirErrNoRight : kDirOk;
}

int32_t Directory::Rights(int64_t subject, int64_t object, std::string_view attr, uint32_t* rights) {
    *rights = 0;
    const bool entry = NamesEqual(attr, kEntryRights);
    if (!entry && !NamesEqual(attr, kAllAttributesRights) && FindAttribute(attr) == nullptr) {
        return kDirErrNoSuchAttribute;
    }
    // The subject stands for itself and for every container that holds it.
    std::set<int64_t> subjects;
    for (int64_t id = subject; id != 0;) {
        subjects.insert(id);
        ObjectRecord record;
        const int32_t rc = m_store->GetObject(id, &record);
        if (rc != kDirOk) {
            return rc;
        }
        id = record.parent;
    }
    uint32_t entryBits = 0;
    uint32_t attrBits = 0;
    const std::string aclName(kAttrAcl);
    for (int64_t id = object; id != 0;) {
        std::vector<StoredValue> acls;
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
                entryBits |= parts.privileges;
            } else if (!entry && (NamesEqual(parts.protectedAttr, kAllAttributesRights) ||
                                  NamesEqual(parts.protectedAttr, attr))) {
                attrBits |= parts.privileges;
            }
        }
        ObjectRecord record;
        rc = m_store->GetObject(id, &record);
        if (rc != kDirOk) {
            return rc;
        }
        id = record.parent;
    }
    constexpr uint32_t kAllEntry =
        kDirEntryBrowse | kDirEntryCreate | kDirEntryDelete | kDirEntryRename | kDirEntrySupervisor;
    constexpr uint32_t kAllAttr =
        kDirRightCompare | kDirRightRead | kDirRightWrite | kDirRightAddSelf | kDirRightAttrSupervisor;
    if (entry) {
        *rights = (entryBits & kDirEntrySupervisor) != 0 ? kAllEntry : entryBits & kAllEntry;
        return kDirOk;
    }
    if ((entryBits & kDirEntrySupervisor) != 0 || (attrBits & kDirRightAttrSupervisor) != 0) {
        attrBits |= kAllAttr;
    }
    *rights = attrBits & kAllAttr;
    return kDirOk;
}

int32_t Directory::ToStored(const Value& value, const AttributeDef& def, StoredValue* out) {
    if (value.syntax != def.syntax) {
        return kDirErrWrongSyntax;
    }
    out->attr = def.name;
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

int32_t Directory::Touch(int64_t object) {
    // The time has a resolution of a second: within the same second there is nothing to write, which spares
    // a page in every request of a busy second.
    ObjectRecord record;
    const int32_t rc = m_store->GetObject(object, &record);
    const uint32_t now = Now();
    if (rc != kDirOk || record.modTime == now) {
        return rc;
    }
    return m_store->SetModTime(object, now);
}

int32_t Directory::Modify(int64_t object, const std::vector<RequestItem>& items) {
    Forget();
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
            changes.back().values.push_back(&item.value);
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
    for (const auto& change : changes) {
        uint32_t rights = 0;
        rc = Rights(m_identity, object, change.def->name, &rights);
        if (rc != kDirOk) {
            return rc;
        }
        if ((rights & kDirRightWrite) != 0) {
            continue;
        }
        bool onlySelf = (rights & kDirRightAddSelf) != 0 && change.change != kDirChangeRemoveAllValues &&
                        change.def->syntax == kDirSyntaxDistinguishedName && !self.empty();
        for (const Value* value : change.values) {
            onlySelf = onlySelf && NamesEqual(value->text, self);
        }
        if (!onlySelf) {
            return kDirErrNoRight;
        }
    }
    Transaction transaction(*m_store);
    rc = transaction.Begin();
    for (const auto& change : changes) {
        if (rc != kDirOk) {
            break;
        }
        if (change.change == kDirChangeRemoveAllValues) {
            rc = m_store->DeleteAllValues(object, std::string(change.def->name));
            continue;
        }
        for (const Value* value : change.values) {
            if (change.change == kDirChangeAddValue) {
                rc = AddValue(object, *change.def, *value);
            } else {
                StoredValue stored;
                rc = ToStored(*value, *change.def, &stored);
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
        rc = Touch(object);
    }
    if (rc == kDirOk) {
        rc = transaction.Commit();
    }
    return rc;
}

int32_t Directory::Add(std::string_view name, const std::vector<RequestItem>& items) {
    Forget();
    std::vector<std::string> leaves;
    int32_t rc = SplitName(name, &leaves);
    if (rc != kDirOk) {
        return rc;
    }
    if (leaves.empty()) {
        return kDirErrObjectExists; // "[Root]"
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
            attrs.back().values.push_back(&item.value);
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
    rc = RequireFreeLeaf(parent, leaves.front());
    if (rc != kDirOk) {
        return rc;
    }
    Transaction transaction(*m_store);
    rc = transaction.Begin();
    ObjectRecord record{0, parent, leaves.front(), std::string(classDef->name), Now(), {}};
    if (rc == kDirOk) {
        rc = m_store->InsertObject(&record);
    }
    for (const auto& attr : attrs) {
        for (const Value* value : attr.values) {
            if (rc == kDirOk) {
                rc = AddValue(record.id, *attr.def, *value);
            }
        }
    }
    if (rc == kDirOk) {
        rc = transaction.Commit();
    }
    return rc;
}

int32_t Directory::Remove(int64_t object) {
    Forget();
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
    Transaction transaction(*m_store);
    if (rc == kDirOk) {
        rc = transaction.Begin();
    }
    if (rc == kDirOk) {
        rc = m_store->DeleteObject(object);
    }
    if (rc == kDirOk && record.parent != 0) {
        rc = Touch(record.parent);
    }
    if (rc == kDirOk) {
        rc = transaction.Commit();
    }
    if (rc == kDirOk && object == m_identity) {
        m_identity = kPublicSubject;
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
    Forget();
    int32_t rc = CheckLeaf(newLeaf);
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
    Transaction transaction(*m_store);
    rc = transaction.Begin();
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
        rc = transaction.Commit();
    }
    return rc;
}

int32_t Directory::Move(int64_t object, int64_t container) {
    Forget();
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
    rc = RequireFreeLeaf(container, record.leaf);
    if (rc != kDirOk) {
        return rc;
    }
    Transaction transaction(*m_store);
    rc = transaction.Begin();
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
        rc = transaction.Commit();
    }
    return rc;
}

int32_t Directory::SetPassword(int64_t user, const char* oldPassword, const char* newPassword) {
    Forget();
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
    uint32_t rights = 0;
    rc = Rights(m_identity, user, kEntryRights, &rights);
    if (rc != kDirOk) {
        return rc;
    }
    const bool supervisor = (rights & kDirEntrySupervisor) != 0;
    if (oldPassword == nullptr ? !supervisor : (!supervisor && m_identity != user)) {
        return kDirErrNoRight;
    }
    if (oldPassword != nullptr && !VerifyPassword(record.passwordHash, oldPassword, oldLength)) {
        return kDirErrBadPassword;
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
    if (!record.passwordHash.empty() && VerifyPassword(record.passwordHash, newPassword, newLength)) {
        return kDirErrPasswordRepeated;
    }
    std::string hash;
    if (newLength != 0) {
        hash.assign(crypto_pwhash_STRBYTES, '\0');
        if (crypto_pwhash_str(hash.data(), newPassword, newLength, g_opsLimit,
                              static_cast<size_t>(g_memLimit)) != 0) {
            return kDirErrOutOfMemory;
        }
        hash.resize(std::strlen(hash.c_str()));
    }
    Transaction transaction(*m_store);
    rc = transaction.Begin();
    record.passwordHash = hash;
    record.modTime = Now();
    if (rc == kDirOk) {
        rc = m_store->UpdateObject(record);
    }
    if (rc == kDirOk) {
        rc = transaction.Commit();
    }
    return rc;
}

int32_t Directory::Read(int64_t object, bool all, const std::vector<std::string>& names,
                        std::vector<ReplyAttr>* out) {
    Forget();
    out->clear();
    std::vector<StoredValue> stored;
    std::vector<StoredValue> some;
    if (all) {
        const int32_t rc = m_store->ReadValues(object, std::string(), &stored);
        if (rc != kDirOk) {
            return rc;
        }
    } else {
        ObjectRecord record;
        int32_t rc = m_store->GetObject(object, &record);
        if (rc != kDirOk) {
            return rc;
        }
        for (const auto& name : names) {
            const AttributeDef* def = FindAttribute(name);
            if (def == nullptr) {
                return kDirErrNoSuchAttribute;
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
        const int32_t rc = FromStored(value, &client);
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
    std::string baseClass = record.className;
    const bool alias = NamesEqual(record.className, kClassAlias);
    if (alias) {
        info->objectFlags |= kDirObjectAlias;
        if ((flags & kDirFlagAliasBaseClass) != 0) {
            ObjectRecord target;
            const int32_t rc = AliasTarget(record.id, &target);
            if (rc != kDirOk) {
                return rc;
            }
            baseClass = target.className;
        }
    }
    if (IsContainer(record.className)) {
        info->objectFlags |= kDirObjectContainer;
    }
    std::strncpy(info->baseClass, baseClass.c_str(), sizeof info->baseClass - 1);
    return kDirOk;
}

int32_t Directory::ObjectInfo(int64_t id, uint32_t flags, std::string* name, DirObjectInfo* info) {
    Forget();
    ObjectRecord record;
    int32_t rc = m_store->GetObject(id, &record);
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
    Forget();
    out->clear();
    ObjectRecord record;
    int32_t rc = m_store->GetObject(container, &record);
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
    for (const auto& child : children) {
        ReplyObject entry;
        entry.name = container == kRootId ? child.record.leaf : child.record.leaf + "." + containerName;
        entry.attrCount = child.attrCount;
        rc = FillInfo(child.record, child.subordinateCount, flags, &entry.info);
        if (rc != kDirOk) {
            return rc;
        }
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
    Transaction transaction(*m_store);
    int32_t rc = transaction.Begin();
    if (rc == kDirOk) {
        rc = m_store->SetMeta(std::string(kTreeNameKey), name);
    }
    if (rc == kDirOk) {
        rc = transaction.Commit();
    }
    return rc;
}

} // namespace dirclient
