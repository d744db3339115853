// The store on an LDAP server (OpenLDAP's slapd). A request reads the entries it needs from the server and
// keeps them for its duration; its changes are made to that copy and sent at commit as one server
// transaction (RFC 5805), so that all of a request or none of it reaches the server. Every write request
// also replaces the base entry's kelSerial value it read at its start: when another client committed in
// between, that value is gone, the server refuses the whole transaction and the request runs again on what
// is there now. So every check a write depends on holds when it commits, as with the file store's lock.
#include <ldap.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "platform/dirclient/DirErrors.h"
#include "platform/dirclient/DirNames.h"
#include "platform/dirclient/DirSchema.h"
#include "platform/dirclient/DirStore.h"
#include "platform/dirclient/Directory.h"
#include "platform/dirclient/LdapSchema.h"

namespace dirclient {

namespace {

using ldapmap::ObjectDn;

// The passwordHash of a user whose password the server keeps: the client never sees the hash.
constexpr std::string_view kServerPassword = "{server}";

std::string FilterBytes(std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += '\\';
        out += kHex[c >> 4];
        out += kHex[c & 0xf];
    }
    return out;
}

int32_t Code(int ldapCode) {
    switch (ldapCode) {
    case LDAP_SUCCESS:
        return kDirOk;
    case LDAP_INSUFFICIENT_ACCESS:
    case LDAP_STRONG_AUTH_REQUIRED:
    case LDAP_UNWILLING_TO_PERFORM:
        return kDirErrNoRight;
    case LDAP_INVALID_CREDENTIALS:
        return kDirErrBadPassword;
    case LDAP_NO_SUCH_OBJECT:
        return kDirErrNoSuchObject;
    case LDAP_NO_MEMORY:
        return kDirErrOutOfMemory;
    default:
        return kDirErrStoreFailed;
    }
}

// A connection to the server speaking LDAPv3; nullptr when the address cannot be used.
LDAP* Connect(const std::string& serverUri) {
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, serverUri.c_str()) != LDAP_SUCCESS) {
        return nullptr;
    }
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    return ld;
}

// The values of one attribute in their order, with their keys for the duplicate checks of large lists.
struct AttrList {
    std::vector<StoredValue> list;
    std::unordered_set<std::string> keys;

    bool empty() const { return list.empty(); }
    void Add(StoredValue value) {
        keys.insert(value.key);
        list.push_back(std::move(value));
    }
};

struct Entry {
    ObjectRecord record;
    ObjectRecord original;  // as the server holds it
    bool partial = false;   // read for a listing: the record without the values
    uint32_t attrCount = 0; // of a partial entry, as the server counted them
    std::map<std::string, std::vector<std::string>> image; // folded LDAP attribute -> values on the server
    std::map<std::string, AttrList> values;                // schema spelling -> values in their order
    bool onServer = false;
    bool deleted = false;
    bool recordDirty = false;
    bool passwordDirty = false;
    std::set<std::string> dirtyAttrs;
};

class LdapStore final : public DirStore {
public:
    // ld reads, as nobody: the access rules let nobody read at once, without working out any grant, and
    // every read right is the client's check anyway. writer is bound as the identity signed in, whose
    // rights the server checks on every write.
    LdapStore(LDAP* ld, LDAP* writer, std::string serverUri, std::string base)
        : m_ld(ld), m_writer(writer), m_serverUri(std::move(serverUri)), m_base(std::move(base)) {}
    ~LdapStore() override {
        ldap_unbind_ext_s(m_writer, nullptr, nullptr);
        ldap_unbind_ext_s(m_ld, nullptr, nullptr);
    }

    int32_t LoadSchemaNames() {
        // The attribute names are read back from the server, so that the client and the server agree on them
        // even when the server's schema was loaded by hand.
        LDAPMessage* result = nullptr;
        char attrs[] = "attributeTypes";
        char* list[] = {attrs, nullptr};
        int rc = ldap_search_ext_s(m_ld, "cn=Subschema", LDAP_SCOPE_BASE, "(objectClass=subschema)", list, 0,
                                   nullptr, nullptr, nullptr, 0, &result);
        if (rc != LDAP_SUCCESS) {
            ldap_msgfree(result);
            return kDirErrStoreFailed;
        }
        std::map<std::string, std::string> byDescription;
        for (LDAPMessage* e = ldap_first_entry(m_ld, result); e != nullptr; e = ldap_next_entry(m_ld, e)) {
            berval** values = ldap_get_values_len(m_ld, e, "attributeTypes");
            for (int i = 0; values != nullptr && values[i] != nullptr; ++i) {
                const std::string text(values[i]->bv_val, values[i]->bv_len);
                const size_t name = text.find("NAME '");
                const size_t desc = text.find("DESC '");
                if (name == std::string::npos || desc == std::string::npos) {
                    continue;
                }
                const std::string ldapName = text.substr(name + 6, text.find('\'', name + 6) - name - 6);
                std::string description = text.substr(desc + 6, text.find('\'', desc + 6) - desc - 6);
                if (ldapName.rfind("kel", 0) == 0) {
                    byDescription[FoldName(description)] = ldapName;
                }
            }
            ldap_value_free_len(values);
        }
        ldap_msgfree(result);
        for (const auto& def : SchemaAttributes()) {
            const auto it = byDescription.find(FoldName(def.name));
            if (it == byDescription.end()) {
                m_problem = "the server's schema has no attribute for \"" + std::string(def.name) +
                            "\": load the directory's schema into it";
                return kDirErrNotAStore;
            }
            m_toLdap[std::string(def.name)] = it->second;
            m_fromLdap[FoldName(it->second)] = std::string(def.name);
        }
        return kDirOk;
    }

    int32_t Bind(const std::string& dn, std::string_view password) {
        berval credentials{static_cast<ber_len_t>(password.size()), const_cast<char*>(password.data())};
        const int rc = ldap_sasl_bind_s(m_writer, dn.empty() ? nullptr : dn.c_str(), LDAP_SASL_SIMPLE,
                                        &credentials, nullptr, nullptr, nullptr);
        if (rc == LDAP_SUCCESS) {
            m_bindDn = dn;
            m_bindPassword.assign(password);
        }
        return Code(rc);
    }

    const std::string& Problem() const { return m_problem; }

    int32_t Begin(bool write) override {
        if (m_open) {
            return kDirErrStoreFailed;
        }
        Clear();
        m_open = true;
        m_write = write;
        int32_t rc = ReadBase();
        if (rc == kDirOk && !m_pending.empty()) {
            // A request stopped half way: finish it before anything writes (its steps replace whole
            // attributes, so they must not land on later changes) or reads what it touched. Finishing it
            // takes the rights it needed: someone who lacks them may still read, but not write.
            rc = RollForward(m_pending);
            if (rc == kDirOk) {
                rc = ReadBase();
            } else if (!write) {
                rc = kDirOk;
            }
        }
        if (rc != kDirOk) {
            m_open = false;
        }
        return rc;
    }
    int32_t Commit() override {
        int32_t rc = kDirOk;
        if (m_write) {
            rc = Flush();
        }
        Clear();
        return rc;
    }
    void Rollback() override { Clear(); }

    int32_t GetObject(int64_t id, ObjectRecord* out) override {
        Entry* entry = nullptr;
        const int32_t rc = Load(id, &entry);
        if (rc == kDirOk) {
            *out = entry->record;
        }
        return rc;
    }
    int32_t FindChild(int64_t parent, const std::string& leafKey, ObjectRecord* out) override {
        for (const auto& [id, entry] : m_cache) {
            if (!entry.deleted && entry.record.parent == parent && entry.record.id != kRootId &&
                FoldName(entry.record.leaf) == leafKey) {
                *out = entry.record;
                return kDirOk;
            }
        }
        // A name this request found free stays free but for what the request itself put there (found above).
        if (m_absent.count({parent, leafKey}) != 0) {
            return kDirErrNoSuchObject;
        }
        std::vector<int64_t> found;
        // By the leaf alone: the server then intersects nothing larger than the objects of that name (the
        // parent's whole list of children would cost as much as the container is large). The parent is
        // compared below.
        const int32_t rc = SearchInto("(kelLeafKey=" + FilterBytes(leafKey) + ")", &found);
        if (rc != kDirOk) {
            return rc;
        }
        for (int64_t id : found) {
            const Entry& entry = m_cache.at(id);
            if (!entry.deleted && entry.record.parent == parent && FoldName(entry.record.leaf) == leafKey) {
                *out = entry.record;
                return kDirOk;
            }
        }
        m_absent.emplace(parent, leafKey);
        return kDirErrNoSuchObject;
    }
    int32_t ListChildren(int64_t parent, std::vector<ChildSummary>* out) override {
        out->clear();
        std::vector<int64_t> ids;
        int32_t rc = Children(parent, &ids);
        if (rc != kDirOk) {
            return rc;
        }
        // Only a container can hold objects: the others need no count from the server.
        std::vector<int64_t> containers;
        for (int64_t id : ids) {
            const ClassDef* classDef = FindClass(m_cache.at(id).record.className);
            if (classDef == nullptr || classDef->container) {
                containers.push_back(id);
            }
        }
        std::map<int64_t, uint32_t> counts;
        rc = CountChildrenOf(containers, &counts);
        if (rc != kDirOk) {
            return rc;
        }
        for (int64_t id : ids) {
            const Entry& entry = m_cache.at(id);
            ChildSummary summary;
            summary.record = entry.record;
            summary.subordinateCount = counts[id];
            if (entry.partial) {
                summary.attrCount = entry.attrCount;
            } else {
                for (const auto& [attr, list] : entry.values) {
                    summary.attrCount += list.empty() ? 0 : 1;
                }
            }
            out->push_back(std::move(summary));
        }
        // Each leaf folded once, not at every comparison of the sort.
        std::vector<std::pair<std::string, size_t>> order;
        order.reserve(out->size());
        for (size_t i = 0; i < out->size(); ++i) {
            order.emplace_back(FoldName((*out)[i].record.leaf), i);
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<ChildSummary> sorted;
        sorted.reserve(out->size());
        for (const auto& [key, index] : order) {
            sorted.push_back(std::move((*out)[index]));
        }
        *out = std::move(sorted);
        return kDirOk;
    }
    int32_t CountChildren(int64_t parent, uint32_t* count) override {
        std::map<int64_t, uint32_t> counts;
        const int32_t rc = CountChildrenOf({parent}, &counts);
        *count = counts[parent];
        return rc;
    }
    int32_t InsertObject(ObjectRecord* record) override {
        if (!m_write) {
            return kDirErrStoreFailed;
        }
        ObjectRecord existing;
        const int32_t rc = FindChild(record->parent, FoldName(record->leaf), &existing);
        if (rc == kDirOk) {
            return kDirErrObjectExists;
        }
        if (rc != kDirErrNoSuchObject) {
            return rc;
        }
        record->id = ++m_lastId;
        m_lastIdDirty = true;
        Entry& entry = m_cache[record->id];
        entry.record = *record;
        entry.recordDirty = true;
        entry.passwordDirty = true;
        return kDirOk;
    }
    int32_t UpdateObject(const ObjectRecord& record) override {
        Entry* entry = nullptr;
        int32_t rc = Load(record.id, &entry);
        if (rc != kDirOk) {
            return rc;
        }
        if (record.parent != entry->record.parent || FoldName(record.leaf) != FoldName(entry->record.leaf)) {
            ObjectRecord existing;
            rc = FindChild(record.parent, FoldName(record.leaf), &existing);
            if (rc == kDirOk && existing.id != record.id) {
                return kDirErrObjectExists;
            }
            if (rc != kDirOk && rc != kDirErrNoSuchObject) {
                return rc;
            }
        }
        if (record.passwordHash != entry->record.passwordHash) {
            entry->passwordDirty = true;
        }
        entry->record = record;
        entry->recordDirty = true;
        return kDirOk;
    }
    int32_t SetModTime(int64_t id, uint32_t modTime) override {
        Entry* entry = nullptr;
        const int32_t rc = Load(id, &entry);
        if (rc == kDirOk) {
            entry->record.modTime = modTime;
            entry->recordDirty = true;
        }
        return rc;
    }
    int32_t DeleteObject(int64_t id) override {
        Entry* entry = nullptr;
        int32_t rc = Load(id, &entry);
        if (rc != kDirOk) {
            return rc;
        }
        entry->deleted = true;
        // Values elsewhere that name the object go with it, in the same transaction.
        std::vector<int64_t> referrers;
        rc = SearchInto("(kelRefs=" + ObjectDn(id, m_base) + ")", &referrers);
        if (rc != kDirOk) {
            return rc;
        }
        for (auto& [other, cached] : m_cache) {
            for (auto& attrValues : cached.values) {
                AttrList& values = attrValues.second;
                const size_t before = values.list.size();
                std::erase_if(values.list, [&values, id](const StoredValue& value) {
                    if (value.ref != id) {
                        return false;
                    }
                    values.keys.erase(value.key);
                    return true;
                });
                if (values.list.size() != before) {
                    cached.dirtyAttrs.insert(attrValues.first);
                }
            }
        }
        return kDirOk;
    }

    int32_t ReadValues(int64_t object, const std::string& attr, std::vector<StoredValue>* out) override {
        out->clear();
        Entry* entry = nullptr;
        const int32_t rc = Load(object, &entry);
        if (rc != kDirOk) {
            return rc == kDirErrNoSuchObject ? kDirOk : rc;
        }
        for (const auto& [name, values] : entry->values) {
            if (attr.empty() || name == attr) {
                out->insert(out->end(), values.list.begin(), values.list.end());
            }
        }
        return kDirOk;
    }
    int32_t HasValue(int64_t object, const std::string& attr, const std::string& key, bool* found) override {
        *found = false;
        AttrList* values = nullptr;
        const int32_t rc = Values(object, attr, &values);
        if (rc == kDirOk && values != nullptr) {
            *found = values->keys.count(key) != 0;
        }
        return rc == kDirErrNoSuchObject ? kDirOk : rc;
    }
    int32_t CountValues(int64_t object, const std::string& attr, uint32_t* count) override {
        AttrList* values = nullptr;
        const int32_t rc = Values(object, attr, &values);
        *count = values == nullptr ? 0 : static_cast<uint32_t>(values->list.size());
        return rc == kDirErrNoSuchObject ? kDirOk : rc;
    }
    int32_t InsertValue(int64_t object, const StoredValue& value) override {
        Entry* entry = nullptr;
        const int32_t rc = Load(object, &entry);
        if (rc != kDirOk) {
            return rc;
        }
        auto& values = entry->values[value.attr];
        if (values.keys.count(value.key) != 0) {
            return kDirErrValueExists;
        }
        values.Add(value);
        entry->dirtyAttrs.insert(value.attr);
        return kDirOk;
    }
    int32_t DeleteValue(int64_t object, const std::string& attr, const std::string& key) override {
        Entry* entry = nullptr;
        const int32_t rc = Load(object, &entry);
        if (rc != kDirOk) {
            return rc == kDirErrNoSuchObject ? kDirErrNoSuchValue : rc;
        }
        auto it = entry->values.find(attr);
        if (it == entry->values.end()) {
            return kDirErrNoSuchValue;
        }
        if (it->second.keys.erase(key) == 0) {
            return kDirErrNoSuchValue;
        }
        auto& list = it->second.list;
        list.erase(
            std::find_if(list.begin(), list.end(), [&](const StoredValue& v) { return v.key == key; }));
        entry->dirtyAttrs.insert(attr);
        return kDirOk;
    }
    int32_t DeleteAllValues(int64_t object, const std::string& attr) override {
        Entry* entry = nullptr;
        const int32_t rc = Load(object, &entry);
        if (rc != kDirOk) {
            return rc == kDirErrNoSuchObject ? kDirOk : rc;
        }
        auto it = entry->values.find(attr);
        if (it != entry->values.end()) {
            entry->values.erase(it);
            entry->dirtyAttrs.insert(attr);
        }
        return kDirOk;
    }

    int32_t GetMeta(const std::string& key, std::string* value) override {
        const auto it = m_meta.find(key);
        if (it == m_meta.end()) {
            return kDirErrNoSuchAttribute;
        }
        *value = it->second;
        return kDirOk;
    }
    int32_t SetMeta(const std::string& key, const std::string& value) override {
        if (!m_write || key.find('=') != std::string::npos) {
            return kDirErrStoreFailed;
        }
        m_meta[key] = value;
        m_metaDirty = true;
        return kDirOk;
    }

    int32_t ListAllObjects(std::vector<ObjectRecord>* out) override {
        out->clear();
        std::vector<int64_t> ids;
        const int32_t rc = SearchInto("(objectClass=kelObject)", &ids);
        if (rc != kDirOk) {
            return rc;
        }
        for (const auto& [id, entry] : m_cache) {
            if (!entry.deleted) {
                out->push_back(entry.record);
            }
        }
        return kDirOk;
    }
    int32_t CheckFile(std::string* problem) override {
        problem->clear(); // the server keeps its own database whole
        return kDirOk;
    }

    bool ServerChecksPasswords() const override { return true; }
    int32_t VerifyPassword(const ObjectRecord& user, const char* password, size_t length,
                           bool* right) override {
        // A second connection, so that the check does not change who the requests run as.
        *right = false;
        LDAP* probe = Connect(m_serverUri);
        if (probe == nullptr) {
            return kDirErrStoreFailed;
        }
        const std::string_view clear = ClearPassword(user, password, length);
        berval credentials{static_cast<ber_len_t>(clear.size()), const_cast<char*>(clear.data())};
        const std::string dn = ObjectDn(user.id, m_base);
        const int rc =
            ldap_sasl_bind_s(probe, dn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr);
        ldap_unbind_ext_s(probe, nullptr, nullptr);
        if (rc == LDAP_SUCCESS) {
            *right = true;
            return kDirOk;
        }
        return rc == LDAP_INVALID_CREDENTIALS ? kDirOk : Code(rc);
    }
    int32_t SignIn(const ObjectRecord& user, const char* password, size_t length) override {
        if (user.id == 0) {
            return Bind("", "");
        }
        return Bind(ObjectDn(user.id, m_base), ClearPassword(user, password, length));
    }
    bool KeepsSignInState() const override { return false; }

private:
    // What the server is given at bind: a user without a password of its own binds with the stand-in.
    static std::string_view ClearPassword(const ObjectRecord& user, const char* password, size_t length) {
        return user.passwordHash.empty() || length == 0 ? ldapmap::kNoPassword
                                                        : std::string_view(password, length);
    }

    void Clear() {
        m_cache.clear();
        m_absent.clear();
        m_open = false;
        m_write = false;
        m_metaDirty = false;
        m_lastIdDirty = false;
    }

    int32_t ReadBase() {
        LDAPMessage* result = nullptr;
        int rc = ldap_search_ext_s(m_ld, m_base.c_str(), LDAP_SCOPE_BASE, "(objectClass=kelStore)", nullptr,
                                   0, nullptr, nullptr, nullptr, 0, &result);
        if (rc != LDAP_SUCCESS) {
            ldap_msgfree(result);
            return rc == LDAP_NO_SUCH_OBJECT ? kDirErrNotAStore : Code(rc);
        }
        LDAPMessage* e = ldap_first_entry(m_ld, result);
        if (e == nullptr) {
            ldap_msgfree(result);
            return kDirErrNotAStore;
        }
        m_serial = First(e, "kelSerial");
        m_pending = First(e, "kelPending");
        m_lastId = std::atoll(First(e, "kelLastId").c_str());
        m_meta.clear();
        berval** values = ldap_get_values_len(m_ld, e, "kelMeta");
        for (int i = 0; values != nullptr && values[i] != nullptr; ++i) {
            const std::string text(values[i]->bv_val, values[i]->bv_len);
            const size_t equals = text.find('=');
            if (equals != std::string::npos) {
                m_meta[text.substr(0, equals)] = text.substr(equals + 1);
            }
        }
        ldap_value_free_len(values);
        ldap_msgfree(result);
        return m_serial.empty() ? kDirErrNotAStore : kDirOk;
    }

    std::string First(LDAPMessage* e, const char* attr) {
        berval** values = ldap_get_values_len(m_ld, e, attr);
        std::string out;
        if (values != nullptr && values[0] != nullptr) {
            out.assign(values[0]->bv_val, values[0]->bv_len);
        }
        ldap_value_free_len(values);
        return out;
    }

    // Reads the entries the filter finds into the request's copy (an entry the request has already read
    // keeps the request's version) and gives their ids.
    enum Want { kWhole, kRecordOnly };
    int32_t SearchInto(const std::string& filter, std::vector<int64_t>* ids, Want want = kWhole,
                       const std::string& entry = {}) {
        ids->clear();
        LDAPMessage* result = nullptr;
        static const char* const kRecordAttrs[] = {"kelParent",      "kelLeaf",      "kelClass", "kelModTime",
                                                   "kelHasPassword", "kelAttrCount", nullptr};
        const int rc =
            ldap_search_ext_s(m_ld, entry.empty() ? m_base.c_str() : entry.c_str(),
                              entry.empty() ? LDAP_SCOPE_ONELEVEL : LDAP_SCOPE_BASE, filter.c_str(),
                              want == kRecordOnly ? const_cast<char**>(kRecordAttrs) : nullptr, 0, nullptr,
                              nullptr, nullptr, 0, &result);
        if (rc == LDAP_NO_SUCH_OBJECT && !entry.empty()) {
            ldap_msgfree(result);
            return kDirOk; // an object that is not there
        }
        if (rc != LDAP_SUCCESS) {
            ldap_msgfree(result);
            return Code(rc);
        }
        for (LDAPMessage* e = ldap_first_entry(m_ld, result); e != nullptr; e = ldap_next_entry(m_ld, e)) {
            char* dn = ldap_get_dn(m_ld, e);
            const int64_t id = dn == nullptr ? 0 : ldapmap::IdOfDn(dn, m_base);
            ldap_memfree(dn);
            if (id == 0) {
                continue;
            }
            ids->push_back(id);
            const auto cached = m_cache.find(id);
            // A partial entry is never changed (every change reads the whole entry first), so a whole one
            // may take its place.
            if (cached == m_cache.end() || (cached->second.partial && want == kWhole)) {
                Entry entry;
                entry.partial = want == kRecordOnly;
                if (!Parse(e, id, &entry)) {
                    ldap_msgfree(result);
                    return kDirErrStoreDamaged;
                }
                m_cache.insert_or_assign(id, std::move(entry));
            }
        }
        ldap_msgfree(result);
        return kDirOk;
    }

    bool Parse(LDAPMessage* e, int64_t id, Entry* entry) {
        entry->onServer = true;
        entry->record.id = id;
        const std::string parent = First(e, "kelParent");
        entry->record.parent = parent.empty() ? 0 : ldapmap::IdOfDn(parent, m_base);
        entry->record.leaf = First(e, "kelLeaf");
        entry->record.className = First(e, "kelClass");
        entry->record.modTime =
            static_cast<uint32_t>(std::strtoul(First(e, "kelModTime").c_str(), nullptr, 10));
        entry->record.passwordHash = First(e, "kelHasPassword") == "TRUE" ? std::string(kServerPassword) : "";
        entry->original = entry->record;
        entry->attrCount = static_cast<uint32_t>(std::strtoul(First(e, "kelAttrCount").c_str(), nullptr, 10));
        BerElement* ber = nullptr;
        for (char* attr = ldap_first_attribute(m_ld, e, &ber); attr != nullptr;
             attr = ldap_next_attribute(m_ld, e, ber)) {
            if (m_write) {
                // What a refused request puts back.
                berval** raw = ldap_get_values_len(m_ld, e, attr);
                auto& kept = entry->image[FoldName(attr)];
                for (int i = 0; raw != nullptr && raw[i] != nullptr; ++i) {
                    kept.emplace_back(raw[i]->bv_val, raw[i]->bv_len);
                }
                ldap_value_free_len(raw);
            }
            const auto it = m_fromLdap.find(FoldName(attr));
            if (it != m_fromLdap.end()) {
                berval** values = ldap_get_values_len(m_ld, e, attr);
                auto& list = entry->values[it->second];
                for (int i = 0; values != nullptr && values[i] != nullptr; ++i) {
                    StoredValue value;
                    if (!ldapmap::DecodeValue(
                            it->second, std::string_view(values[i]->bv_val, values[i]->bv_len), &value)) {
                        ldap_value_free_len(values);
                        ldap_memfree(attr);
                        ber_free(ber, 0);
                        return false;
                    }
                    list.Add(std::move(value));
                }
                ldap_value_free_len(values);
            }
            ldap_memfree(attr);
        }
        ber_free(ber, 0);
        return true;
    }

    int32_t Load(int64_t id, Entry** out) {
        if (!m_open) {
            return kDirErrStoreFailed;
        }
        auto it = m_cache.find(id);
        if (it == m_cache.end() || it->second.partial) {
            std::vector<int64_t> ids;
            // The entry by its DN: no index is walked.
            const int32_t rc = SearchInto("(objectClass=kelObject)", &ids, kWhole, ObjectDn(id, m_base));
            if (rc != kDirOk) {
                return rc;
            }
            it = m_cache.find(id);
            if (it == m_cache.end()) {
                return kDirErrNoSuchObject;
            }
        }
        if (it->second.deleted) {
            return kDirErrNoSuchObject;
        }
        *out = &it->second;
        return kDirOk;
    }

    int32_t Values(int64_t object, const std::string& attr, AttrList** list) {
        *list = nullptr;
        Entry* entry = nullptr;
        const int32_t rc = Load(object, &entry);
        if (rc != kDirOk) {
            return rc;
        }
        const auto it = entry->values.find(attr);
        if (it != entry->values.end()) {
            *list = &it->second;
        }
        return kDirOk;
    }

    int32_t Children(int64_t parent, std::vector<int64_t>* ids) {
        std::vector<int64_t> found;
        // The records alone: a listing of many children must not carry all their values.
        const int32_t rc = SearchInto("(kelParent=" + ObjectDn(parent, m_base) + ")", &found, kRecordOnly);
        if (rc != kDirOk) {
            return rc;
        }
        ids->clear();
        for (const auto& [id, entry] : m_cache) {
            if (!entry.deleted && entry.record.parent == parent && id != kRootId) {
                ids->push_back(id);
            }
        }
        return kDirOk;
    }

    // How many children each of the objects has, by what the server holds and what this request changed.
    int32_t CountChildrenOf(const std::vector<int64_t>& parents, std::map<int64_t, uint32_t>* counts) {
        const std::set<int64_t> wanted(parents.begin(), parents.end());
        constexpr size_t kChunk = 200;
        for (size_t at = 0; at < parents.size(); at += kChunk) {
            std::string filter = "(|";
            for (size_t i = at; i < std::min(parents.size(), at + kChunk); ++i) {
                filter += "(kelParent=" + ObjectDn(parents[i], m_base) + ")";
            }
            filter += ")";
            LDAPMessage* result = nullptr;
            char parentAttr[] = "kelParent";
            char* attrs[] = {parentAttr, nullptr};
            const int rc = ldap_search_ext_s(m_ld, m_base.c_str(), LDAP_SCOPE_ONELEVEL, filter.c_str(), attrs,
                                             0, nullptr, nullptr, nullptr, 0, &result);
            if (rc != LDAP_SUCCESS) {
                ldap_msgfree(result);
                return Code(rc);
            }
            for (LDAPMessage* e = ldap_first_entry(m_ld, result); e != nullptr;
                 e = ldap_next_entry(m_ld, e)) {
                char* dn = ldap_get_dn(m_ld, e);
                const int64_t id = dn == nullptr ? 0 : ldapmap::IdOfDn(dn, m_base);
                ldap_memfree(dn);
                const auto cached = m_cache.find(id);
                if (cached != m_cache.end()) {
                    continue; // counted below by the request's own version
                }
                const int64_t parent = ldapmap::IdOfDn(First(e, "kelParent"), m_base);
                if (wanted.count(parent) != 0) {
                    ++(*counts)[parent];
                }
            }
            ldap_msgfree(result);
        }
        for (const auto& [id, entry] : m_cache) {
            if (!entry.deleted && id != kRootId && wanted.count(entry.record.parent) != 0) {
                ++(*counts)[entry.record.parent];
            }
        }
        return kDirOk;
    }

    // The modifications of one operation, owning every byte they point at.
    struct Mods {
        std::deque<std::string> strings;
        std::deque<std::string> names;
        std::vector<int> ops;
        std::vector<std::vector<berval>> bvs;
        std::vector<std::vector<berval*>> lists;
        std::vector<LDAPMod> mods;

        void Add(int op, const std::string& attr, const std::vector<std::string>& values) {
            names.push_back(attr);
            ops.push_back(op | LDAP_MOD_BVALUES);
            auto& bv = bvs.emplace_back();
            for (const auto& value : values) {
                strings.push_back(value);
                bv.push_back(berval{static_cast<ber_len_t>(strings.back().size()), strings.back().data()});
            }
        }
        std::vector<LDAPMod*> Finish() {
            lists.assign(bvs.size(), {});
            mods.assign(bvs.size(), LDAPMod{});
            std::vector<LDAPMod*> out;
            for (size_t i = 0; i < bvs.size(); ++i) {
                for (auto& bv : bvs[i]) {
                    lists[i].push_back(&bv);
                }
                lists[i].push_back(nullptr);
                mods[i].mod_op = ops[i];
                mods[i].mod_type = names[i].data();
                mods[i].mod_bvalues = lists[i].data();
                out.push_back(&mods[i]);
            }
            out.push_back(nullptr);
            return out;
        }
    };

    int32_t PasswordValue(const Entry& entry, std::string* value) {
        if (entry.record.passwordHash.empty()) {
            if (m_noPasswordHash.empty()) {
                const int32_t rc =
                    Directory::HashPassword(std::string(ldapmap::kNoPassword).c_str(), &m_noPasswordHash);
                if (rc != kDirOk) {
                    return rc;
                }
            }
            *value = "{ARGON2}" + m_noPasswordHash;
        } else {
            *value = "{ARGON2}" + entry.record.passwordHash;
        }
        return kDirOk;
    }

    std::vector<StoredValue> AllValues(const Entry& entry) const {
        std::vector<StoredValue> all;
        for (const auto& [attr, values] : entry.values) {
            all.insert(all.end(), values.list.begin(), values.list.end());
        }
        return all;
    }

    // One step of a request at the server, and how to take it back.
    struct Step {
        enum Kind : uint8_t { Add = 1, Modify = 2, Delete = 3 } kind = Modify;
        std::string dn;
        std::vector<std::tuple<int, std::string, std::vector<std::string>>>
            mods; // (LDAP_MOD_*, attr, values)
    };

    static void PutString(std::string* out, std::string_view text) {
        const uint32_t size = static_cast<uint32_t>(text.size());
        for (int i = 0; i < 4; ++i) {
            out->push_back(static_cast<char>((size >> (8 * i)) & 0xff));
        }
        out->append(text);
    }
    static bool GetString(std::string_view in, size_t* at, std::string* out) {
        if (in.size() - *at < 4) {
            return false;
        }
        uint32_t size = 0;
        for (int i = 0; i < 4; ++i) {
            size |= static_cast<uint32_t>(static_cast<uint8_t>(in[*at + i])) << (8 * i);
        }
        *at += 4;
        if (in.size() - *at < size) {
            return false;
        }
        out->assign(in.substr(*at, size));
        *at += size;
        return true;
    }
    static std::string Encode(const std::vector<Step>& steps) {
        std::string out;
        PutString(&out, std::to_string(steps.size()));
        for (const auto& step : steps) {
            PutString(&out, std::string(1, static_cast<char>(step.kind)));
            PutString(&out, step.dn);
            PutString(&out, std::to_string(step.mods.size()));
            for (const auto& [op, attr, values] : step.mods) {
                PutString(&out, std::to_string(op));
                PutString(&out, attr);
                PutString(&out, std::to_string(values.size()));
                for (const auto& value : values) {
                    PutString(&out, value);
                }
            }
        }
        return out;
    }
    static bool Decode(std::string_view in, size_t* at, std::vector<Step>* steps) {
        std::string text;
        if (!GetString(in, at, &text)) {
            return false;
        }
        const size_t count = std::strtoul(text.c_str(), nullptr, 10);
        for (size_t i = 0; i < count && i < in.size(); ++i) {
            Step step;
            std::string kind;
            if (!GetString(in, at, &kind) || kind.size() != 1 || !GetString(in, at, &step.dn) ||
                !GetString(in, at, &text)) {
                return false;
            }
            step.kind = static_cast<Step::Kind>(kind[0]);
            const size_t mods = std::strtoul(text.c_str(), nullptr, 10);
            for (size_t m = 0; m < mods && m < in.size(); ++m) {
                std::string op;
                std::string attr;
                if (!GetString(in, at, &op) || !GetString(in, at, &attr) || !GetString(in, at, &text)) {
                    return false;
                }
                std::vector<std::string> values(
                    std::min<size_t>(std::strtoul(text.c_str(), nullptr, 10), in.size()));
                for (auto& value : values) {
                    if (!GetString(in, at, &value)) {
                        return false;
                    }
                }
                step.mods.emplace_back(std::atoi(op.c_str()), std::move(attr), std::move(values));
            }
            steps->push_back(std::move(step));
        }
        return true;
    }

    int Apply(const Step& step) {
        Mods mods;
        for (const auto& [op, attr, values] : step.mods) {
            mods.Add(op, attr, values);
        }
        switch (step.kind) {
        case Step::Add: {
            auto list = mods.Finish();
            return ldap_add_ext_s(m_writer, step.dn.c_str(), list.data(), nullptr, nullptr);
        }
        case Step::Delete:
            return ldap_delete_ext_s(m_writer, step.dn.c_str(), nullptr, nullptr);
        case Step::Modify: {
            auto list = mods.Finish();
            return ldap_modify_ext_s(m_writer, step.dn.c_str(), list.data(), nullptr, nullptr);
        }
        }
        return LDAP_OTHER;
    }

    // Finishes a request that was journaled but not wholly applied (its client or the server stopped in
    // between): every step is applied again, which changes nothing where it was applied already.
    int32_t RollForward(const std::string& journal) {
        std::vector<Step> redo;
        size_t at = 0;
        if (!Decode(journal, &at, &redo)) {
            return kDirErrStoreDamaged;
        }
        for (const auto& step : redo) {
            const int rc = Apply(step);
            // What was applied already answers that it is there (or gone) now.
            const bool done = rc == LDAP_SUCCESS || (step.kind == Step::Add && rc == LDAP_ALREADY_EXISTS) ||
                              (step.kind != Step::Add && rc == LDAP_NO_SUCH_OBJECT) ||
                              (step.kind == Step::Modify &&
                               (rc == LDAP_TYPE_OR_VALUE_EXISTS || rc == LDAP_NO_SUCH_ATTRIBUTE));
            if (!done) {
                return Code(rc);
            }
        }
        return RemoveJournal(journal);
    }

    int32_t RemoveJournal(const std::string& journal) {
        Step clear;
        clear.dn = m_base;
        clear.mods.emplace_back(LDAP_MOD_DELETE, "kelPending", std::vector<std::string>{journal});
        const int rc = Apply(clear);
        return rc == LDAP_SUCCESS || rc == LDAP_NO_SUCH_ATTRIBUTE ? kDirOk : Code(rc);
    }

    // The change of one attribute as the values it loses and the values it gains, when that keeps the
    // order the client holds (the server appends what is added): a large list then costs what changed,
    // not the whole list. false: only a replacement says it.
    static bool AddChanges(const std::string& attr, const std::vector<std::string>& before,
                           const std::vector<std::string>& after, Step* step) {
        if (attr == "userPassword" || IsRecordAttribute(attr)) {
            return false;
        }
        const std::unordered_set<std::string> afterSet(after.begin(), after.end());
        const std::unordered_set<std::string> beforeSet(before.begin(), before.end());
        if (afterSet.size() != after.size() || beforeSet.size() != before.size()) {
            return false;
        }
        std::vector<std::string> removed;
        size_t kept = 0;
        for (const auto& value : before) {
            if (afterSet.count(value) == 0) {
                removed.push_back(value);
            } else if (kept < after.size() && after[kept] == value) {
                ++kept;
            } else if (!IsSetAttribute(attr)) {
                return false; // the order changed
            }
        }
        std::vector<std::string> added;
        for (const auto& value : after) {
            if (beforeSet.count(value) == 0) {
                added.push_back(value);
            }
        }
        if (!IsSetAttribute(attr) && kept + added.size() != after.size()) {
            return false;
        }
        if (!removed.empty()) {
            step->mods.emplace_back(LDAP_MOD_DELETE, attr, std::move(removed));
        }
        if (!added.empty()) {
            step->mods.emplace_back(LDAP_MOD_ADD, attr, std::move(added));
        }
        return true;
    }
    static bool IsSetAttribute(const std::string& attr) { return attr == "kelRefs" || attr == "kelGrant"; }
    static bool IsRecordAttribute(const std::string& attr) {
        return attr == "kelParent" || attr == "kelLeaf" || attr == "kelLeafKey" || attr == "kelModTime" ||
               attr == "kelHasPassword" || attr == "kelClass" || attr == "kelAttrCount";
    }

    // A request is sent as steps, not as a server transaction (slapd 2.5's transactions bring the server down
    // after some hundred of them). All of it or none of it still holds:
    // 1. one modify of the base entry replaces the serial read at the request's start (refused when another
    //    client committed since) and records every step of the request (kelPending);
    // 2. the steps are applied, adds first, deletes last, so that a refusal is met before anything that
    //    cannot be taken back;
    // 3. a step the server refuses takes back the steps before it; otherwise the record is removed.
    // A request whose client or server stopped between 1 and 3 is finished by the next request (RollForward).
    int32_t Flush() {
        std::vector<Step> adds;
        std::vector<Step> modifies;
        std::vector<Step> passwords;
        std::vector<Step> deletes;
        std::vector<Step> addsUndo;
        std::vector<Step> modifiesUndo;
        std::vector<Step> passwordsUndo;
        for (auto& [id, entry] : m_cache) {
            const bool user = NamesEqual(entry.record.className, kClassUser);
            const std::string dn = ObjectDn(id, m_base);
            if (entry.deleted) {
                if (entry.onServer) {
                    deletes.push_back(Step{Step::Delete, dn, {}});
                }
                continue;
            }
            std::string password;
            if (user && (entry.passwordDirty || !entry.onServer)) {
                const int32_t rc = PasswordValue(entry, &password);
                if (rc != kDirOk) {
                    return rc;
                }
            }
            const auto encoded = ldapmap::EncodeObject(entry.record, AllValues(entry), m_base, password);
            if (!entry.onServer) {
                Step add{Step::Add, dn, {}};
                for (const auto& [attr, list] : encoded) {
                    add.mods.emplace_back(LDAP_MOD_ADD, LdapName(attr), list);
                }
                adds.push_back(std::move(add));
                addsUndo.push_back(Step{Step::Delete, dn, {}});
                continue;
            }
            std::set<std::string> replace;
            if (entry.recordDirty) {
                // Only what changed: each attribute takes its own right at the server.
                if (entry.record.parent != entry.original.parent) {
                    replace.insert("kelParent");
                }
                if (entry.record.leaf != entry.original.leaf) {
                    replace.insert({"kelLeaf", "kelLeafKey"});
                }
                if (entry.record.modTime != entry.original.modTime) {
                    replace.insert("kelModTime");
                }
                if (!password.empty()) {
                    replace.insert({"userPassword", "kelHasPassword"});
                }
            }
            if (!entry.dirtyAttrs.empty()) {
                replace.insert({"kelRefs", "kelAttrCount"});
                for (const auto& attr : entry.dirtyAttrs) {
                    replace.insert(LdapName(attr));
                    if (NamesEqual(attr, kAttrAcl)) {
                        replace.insert("kelGrant");
                    }
                }
            }
            if (replace.empty()) {
                continue;
            }
            Step modify{Step::Modify, dn, {}};
            Step undo{Step::Modify, dn, {}};
            static const std::vector<std::string> kNone;
            for (const auto& attr : replace) {
                const auto it = encoded.find(attr);
                const auto& now = it == encoded.end() ? kNone : it->second;
                const auto was = entry.image.find(FoldName(attr));
                if (!AddChanges(attr, was == entry.image.end() ? kNone : was->second, now, &modify)) {
                    modify.mods.emplace_back(LDAP_MOD_REPLACE, attr, now);
                }
                if (attr != "userPassword") { // never readable, so never put back
                    undo.mods.emplace_back(LDAP_MOD_REPLACE, attr,
                                           was == entry.image.end() ? kNone : was->second);
                }
            }
            if (modify.mods.empty()) {
                continue;
            }
            (password.empty() ? modifies : passwords).push_back(std::move(modify));
            (password.empty() ? modifiesUndo : passwordsUndo).push_back(std::move(undo));
        }
        std::vector<Step> redo;
        std::vector<Step> undo;
        for (auto* group : {&adds, &modifies, &passwords, &deletes}) {
            redo.insert(redo.end(), group->begin(), group->end());
        }
        for (auto* group : {&addsUndo, &modifiesUndo, &passwordsUndo}) {
            undo.insert(undo.end(), group->begin(), group->end());
        }
        if (redo.empty() && !m_metaDirty && !m_lastIdDirty) {
            return kDirOk; // a request that changed nothing leaves the server alone
        }
        const std::string journal = redo.size() > 1 ? Encode(redo) : std::string();
        Step begin{Step::Modify, m_base, {}};
        begin.mods.emplace_back(LDAP_MOD_DELETE, "kelSerial", std::vector<std::string>{m_serial});
        begin.mods.emplace_back(LDAP_MOD_ADD, "kelSerial",
                                std::vector<std::string>{std::to_string(std::atoll(m_serial.c_str()) + 1)});
        begin.mods.emplace_back(LDAP_MOD_REPLACE, "kelLastId",
                                std::vector<std::string>{std::to_string(m_lastId)});
        std::vector<std::string> meta;
        for (const auto& [key, value] : m_meta) {
            meta.push_back(key + "=" + value);
        }
        begin.mods.emplace_back(LDAP_MOD_REPLACE, "kelMeta", meta);
        // One step needs no record: stopped before it, nothing was applied.
        const bool journaled = redo.size() > 1;
        if (journaled) {
            begin.mods.emplace_back(LDAP_MOD_ADD, "kelPending", std::vector<std::string>{journal});
        }
        int rc = Apply(begin);
        if (rc == LDAP_NO_SUCH_ATTRIBUTE) {
            return kDirErrConflict; // another client committed since this request began
        }
        if (rc != LDAP_SUCCESS) {
            return Code(rc);
        }
        for (size_t i = 0; i < redo.size(); ++i) {
            rc = Apply(redo[i]);
            if (rc == LDAP_SUCCESS) {
                continue;
            }
            if (rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR || rc == LDAP_UNAVAILABLE ||
                rc == LDAP_BUSY) {
                // The record stays: the next request finishes this one.
                return kDirErrStoreFailed;
            }
            for (size_t back = std::min(i, undo.size()); back-- > 0;) {
                (void)Apply(undo[back]);
            }
            if (journaled) {
                (void)RemoveJournal(journal);
            }
            return Code(rc);
        }
        return journaled ? RemoveJournal(journal) : kDirOk;
    }

    std::string LdapName(const std::string& attr) const {
        const auto it = m_toLdap.find(attr);
        return it == m_toLdap.end() ? attr : it->second;
    }

    LDAP* m_ld;
    LDAP* m_writer;
    std::string m_bindDn;
    std::string m_bindPassword;
    std::string m_serverUri;
    std::string m_base;
    std::string m_problem;
    std::map<std::string, std::string> m_toLdap;   // schema spelling -> LDAP name
    std::map<std::string, std::string> m_fromLdap; // folded LDAP name -> schema spelling
    std::map<int64_t, Entry> m_cache;
    std::set<std::pair<int64_t, std::string>> m_absent; // (parent, folded leaf) the server holds nothing at
    std::map<std::string, std::string> m_meta;
    std::string m_serial;
    std::string m_pending;
    std::string m_noPasswordHash;
    int64_t m_lastId = 0;
    bool m_open = false;
    bool m_write = false;
    bool m_metaDirty = false;
    bool m_lastIdDirty = false;
};

} // namespace

bool IsLdapUrl(std::string_view text) {
    return text.rfind("ldap://", 0) == 0 || text.rfind("ldapi://", 0) == 0;
}

int32_t OpenLdapStore(const std::string& url, std::unique_ptr<DirStore>* out, std::string* problem) {
    problem->clear();
    // A server that goes away must be an error of the request that meets it, not the end of the program:
    // writing to its closed connection would raise SIGPIPE.
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        signal(SIGPIPE, SIG_IGN);
    }
    LDAPURLDesc* desc = nullptr;
    if (!IsLdapUrl(url) || ldap_url_parse(url.c_str(), &desc) != LDAP_SUCCESS) {
        *problem = "not an LDAP address: ldap://HOST:PORT/BASE or ldapi://SOCKET/BASE";
        return kDirErrBadArgument;
    }
    const std::string base = desc->lud_dn == nullptr ? "" : desc->lud_dn;
    ldap_free_urldesc(desc);
    const size_t hostStart = url.find("://") + 3;
    const size_t slash = url.find('/', hostStart);
    if (base.empty() || slash == std::string::npos) {
        *problem = "the address names no base entry: ldap://HOST:PORT/BASE";
        return kDirErrBadArgument;
    }
    const std::string serverUri = url.substr(0, slash);
    LDAP* reader = Connect(serverUri);
    LDAP* writer = reader == nullptr ? nullptr : Connect(serverUri);
    if (writer == nullptr) {
        if (reader != nullptr) {
            ldap_unbind_ext_s(reader, nullptr, nullptr);
        }
        *problem = "cannot use the address " + serverUri;
        return kDirErrBadArgument;
    }
    auto store = std::make_unique<LdapStore>(reader, writer, serverUri, base);
    int32_t rc = store->Bind("", "");
    if (rc != kDirOk) {
        *problem = "the server at " + serverUri + " does not answer";
        return kDirErrStoreFailed;
    }
    rc = store->LoadSchemaNames();
    if (rc == kDirOk) {
        rc = store->Begin(/*write=*/false);
        if (rc == kDirOk) {
            store->Rollback();
        } else if (rc == kDirErrNotAStore) {
            *problem =
                "the server holds no directory under " + base + ": make one with scripts/ldap-server.sh";
        }
    }
    if (rc != kDirOk) {
        if (problem->empty()) {
            *problem = store->Problem();
        }
        return rc;
    }
    *out = std::move(store);
    return kDirOk;
}

} // namespace dirclient
