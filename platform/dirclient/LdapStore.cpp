// The store on an LDAP server (OpenLDAP's slapd). A request reads the entries it needs from the server and
// keeps them; its changes are made to that copy and sent at commit (Flush says how all of a request or none
// of it reaches the server). A write request replaces the base entry's kelSerial value it read at its start:
// when another client committed in between, that value is gone, the server refuses it and the request runs
// again on what is there now. So every check a write depends on holds when it commits, as with the file
// store's lock. What a request read whole is kept for the next, which first asks the server, in the same
// search that reads the serial, whether each kept entry still has its entryCSN.
#include <ldap.h>
#include <signal.h>
#include <strings.h>

#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <unordered_map>
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

// libldap reads a message's tag, length and body with a system call each; a listing of thousands of children
// is that many small reads. A read-ahead layer on the connection takes what has arrived in one.
void ReadAhead(LDAP* ld) {
    Sockbuf* sb = nullptr;
    if (ldap_connect(ld) == LDAP_SUCCESS && ldap_get_option(ld, LDAP_OPT_SOCKBUF, &sb) == LDAP_OPT_SUCCESS &&
        sb != nullptr) {
        (void)ber_sockbuf_add_io(sb, &ber_sockbuf_io_readahead, LBER_SBIOD_LEVEL_PROVIDER, nullptr);
    }
}

// How many values a list keeps in its object's entry, and how many one block below it holds. The server
// rewrites a whole entry for one more value, so a list grown past kInlineMost value by value moves to
// blocks: one more value then rewrites one block, however long the list. A list written whole stays in the
// entry (one write); it moves again when it grows by single values.
constexpr size_t kInlineMost = 200;
constexpr size_t kBlockMost = 200;
size_t g_inlineMost = kInlineMost;
size_t g_blockMost = kBlockMost;

// The block of a value this request appended to a list kept in blocks; which block takes it is settled when
// the request is sent.
constexpr uint32_t kAppended = UINT32_MAX;

// One block of a list on the server: an entry below the object's, named ATTRIBUTE.NUMBER, in number order.
struct Block {
    uint32_t seq = 0;
    uint32_t size = 0;           // values it holds
    std::string csn;             // its entryCSN
    bool made = false;           // by this request: not on the server yet
    std::map<int64_t, int> refs; // objects its values name, and by how many values each
};

// A value this request took out of a list, at its place in the list and in its block at that moment.
struct Removal {
    size_t at = 0;
    StoredValue value;
    uint32_t seq = 0; // the block it was in; 0: the object's entry
    size_t inBlock = 0;
    bool copy = false; // a second copy the list did not show (AttrList::copies)
};

// The values of one attribute in their order, with their keys for the duplicate checks of large lists, and
// what the current request changed in them: the server is told the values that came and went, so that one
// more value costs one value, however long the list (only a list changed otherwise is sent whole).
// The values are kept without their attribute's name (the list is of one attribute): ReadValues gives it.
struct AttrList {
    std::vector<StoredValue> list;
    std::unordered_map<std::string, uint32_t> keys; // key -> the block that holds it (0: the entry itself)
    bool replaced = false;
    std::vector<StoredValue> before; // of a replaced list: what the object's entry holds on the server
    std::vector<StoredValue> added;  // appended, in their order
    std::vector<Removal> removed;    // taken out, in their order
    std::vector<Block> blocks;       // where the list lives on the server, besides the entry
    bool toBlocks = false;           // moves from the entry to blocks in this request
    std::vector<std::pair<uint32_t, StoredValue>> inBlocksBefore; // of a replaced list: what blocks held
    // Values a block holds that an earlier block holds too: two requests that each checked the list and
    // appended the same value, each to the block it saw last, or another program. The list shows a value
    // once; taking it out takes every copy.
    std::vector<std::pair<uint32_t, StoredValue>> copies;

    bool empty() const { return list.empty(); }
    bool Changed() const { return replaced || !added.empty() || !removed.empty(); }
    void Add(StoredValue value, uint32_t seq = 0) {
        keys.emplace(value.key, seq);
        list.push_back(std::move(value));
    }
    // Whether any block holds values (blocks emptied by a rewrite stay, empty, until the object goes).
    bool InBlocks() const {
        return std::any_of(blocks.begin(), blocks.end(), [](const Block& block) { return block.size != 0; });
    }
    Block* FindBlock(uint32_t seq) {
        for (auto& block : blocks) {
            if (block.seq == seq) {
                return &block;
            }
        }
        return nullptr;
    }
    // The list as the server holds it: this request's appends taken off, its removals put back in reverse.
    std::vector<StoredValue> OnServer() const {
        if (replaced) {
            return before;
        }
        std::vector<StoredValue> out(list.begin(), list.end() - static_cast<ptrdiff_t>(added.size()));
        for (auto it = removed.rbegin(); it != removed.rend(); ++it) {
            if (!it->copy) {
                out.insert(out.begin() + static_cast<ptrdiff_t>(std::min(it->at, out.size())), it->value);
            }
        }
        return out;
    }
    // Each value the server holds of a list not replaced, with its block (0: the entry): those still listed,
    // then those this request took out.
    template <typename Each> void EachOnServer(Each&& each) const {
        for (size_t i = 0; i + added.size() < list.size(); ++i) {
            each(keys.at(list[i].key), list[i]);
        }
        for (const auto& removal : removed) {
            each(removal.seq, removal.value);
        }
    }
    // What the object's entry itself holds of the list on the server (of a list in blocks, normally nothing).
    std::vector<StoredValue> InEntryOnServer() const {
        if (replaced || toBlocks || !InBlocks()) {
            return OnServer();
        }
        std::vector<StoredValue> out;
        EachOnServer([&](uint32_t seq, const StoredValue& value) {
            if (seq == 0) {
                out.push_back(value);
            }
        });
        return out;
    }
    // All values go; the server is then sent the list whole, in the entry.
    void Clear() {
        if (!replaced) {
            // Unchanged in this request, the list is what the server holds: kept for taking it back.
            const bool inBlocks = InBlocks();
            if (inBlocks) {
                EachOnServer([&](uint32_t seq, const StoredValue& value) {
                    if (seq != 0) {
                        inBlocksBefore.emplace_back(seq, value);
                    }
                });
            }
            inBlocksBefore.insert(inBlocksBefore.end(), copies.begin(), copies.end());
            copies.clear();
            before = !inBlocks && added.empty() && removed.empty() ? std::move(list) : InEntryOnServer();
            replaced = true;
            added.clear();
            removed.clear();
        }
        list.clear();
        keys.clear();
    }
    void Settle() {
        replaced = false;
        toBlocks = false;
        before.clear();
        inBlocksBefore.clear();
        added.clear();
        removed.clear();
    }
};

// What a request does to one block, for settling the object when the server took it.
struct BlockOp {
    std::string dn;
    std::string attr;
    uint32_t seq = 0;
};

struct Entry {
    ObjectRecord record;
    ObjectRecord original; // as the server holds it
    std::string csn;       // the entryCSN the server last gave: unchanged there means unchanged
    std::map<std::string, AttrList> values; // schema spelling -> values in their order
    // What the server holds besides the values, so that a change sends what differs.
    std::map<int64_t, int> refCount; // object -> how many values name it
    std::set<int64_t> refsOnServer;
    std::vector<std::string> grantsOnServer;
    uint32_t attrCountOnServer = 0;
    std::set<int64_t> refsTouched;
    std::map<std::string, std::string> children; // DN -> entryCSN of each entry below the object's: blocks
    std::vector<BlockOp> blockOps;               // of the request being sent
    bool onServer = false;
    bool deleted = false;
    bool recordDirty = false;
    bool passwordDirty = false;
    std::set<std::string> dirtyAttrs;
    uint64_t usedIn = 0; // the request that last read it

    bool Dirty() const { return deleted || !onServer || recordDirty || passwordDirty || !dirtyAttrs.empty(); }
    void CountRef(int64_t ref, int delta) {
        if (ref != 0) {
            refCount[ref] += delta;
            refsTouched.insert(ref);
        }
    }
};

bool NameIs(const berval& name, const char* wanted) {
    const size_t size = std::strlen(wanted);
    return name.bv_len == size && strncasecmp(name.bv_val, wanted, size) == 0;
}

// The entryCSN in a post-read control's entry (a SearchResultEntry).
std::string CsnOf(const berval& value) {
    berval copy = value;
    BerElement* ber = ber_init(&copy);
    if (ber == nullptr) {
        return {};
    }
    std::string csn;
    berval dn{};
    if (ber_scanf(ber, "{m{", &dn) != LBER_ERROR) {
        berval type{};
        BerVarray values = nullptr;
        while (ber_scanf(ber, "{m[W]}", &type, &values) != LBER_ERROR) {
            if (NameIs(type, "entryCSN") && values != nullptr && values[0].bv_val != nullptr) {
                csn.assign(values[0].bv_val, values[0].bv_len);
            }
            ber_bvarray_free(values);
            values = nullptr;
        }
    }
    ber_free(ber, 1);
    return csn;
}

class LdapStore final : public DirStore {
public:
    // ld reads, as nobody: the access rules let nobody read at once, without working out any grant, and
    // every read right is the client's check anyway. writer is bound as the identity signed in, whose
    // rights the server checks on every write.
    LdapStore(LDAP* ld, LDAP* writer, std::string serverUri, std::string base)
        : m_ld(ld), m_writer(writer), m_serverUri(std::move(serverUri)), m_base(std::move(base)) {
        m_baseSuffix = "," + m_base;
    }
    ~LdapStore() override {
        ldap_unbind_ext_s(m_writer, nullptr, nullptr);
        ldap_unbind_ext_s(m_ld, nullptr, nullptr);
        sodium_memzero(m_bindPassword.data(), m_bindPassword.size());
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
        bool blocks = false;
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
                blocks = blocks || ldapName == "kelBlockAttr";
                std::string description = text.substr(desc + 6, text.find('\'', desc + 6) - desc - 6);
                if (ldapName.rfind("kel", 0) == 0) {
                    byDescription[FoldName(description)] = ldapName;
                }
            }
            ldap_value_free_len(values);
        }
        ldap_msgfree(result);
        if (!blocks) {
            m_problem =
                "the server's schema has no blocks for long lists (kelBlockAttr): load the directory's "
                "schema and access rules into it again";
            return kDirErrNotAStore;
        }
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
        const int rc = BindAs(m_writer, dn, password);
        if (rc == LDAP_SUCCESS) {
            // Kept for this session, so that a connection the server dropped (a restart) comes back as the
            // same identity instead of as nobody.
            sodium_memzero(m_bindPassword.data(), m_bindPassword.size());
            m_bindDn = dn;
            m_bindPassword.assign(password);
        }
        NoteLost(rc);
        return Code(rc);
    }

    const std::string& Problem() const { return m_problem; }

    int32_t Begin(bool write) override { return BeginRequest(write, /*retryable=*/false); }
    int32_t BeginRetryable(bool write) override { return BeginRequest(write, /*retryable=*/true); }
    bool Unchecked() const override { return m_unchecked; }
    void DependsOnOthers() override { m_dependsOnOthers = true; }

    // A write request that follows one sent as a single guarded step, shortly after the last check, begins
    // on what the store holds without asking the server (the check costs the server more than the write):
    // its commit then takes that single guarded step or nothing, and a request that needs more, or that met
    // a refusal, runs again after the check.
    int32_t BeginRequest(bool write, bool retryable) {
        if (m_open) {
            return kDirErrStoreFailed;
        }
        Clear();
        ++m_request;
        m_open = true;
        m_write = write;
        const auto now = std::chrono::steady_clock::now();
        m_unchecked = retryable && write && m_lastFast && !m_checkNext && !m_lost && !m_cache.empty() &&
                      m_pending.empty() && now - m_checkedAt < kUncheckedFor;
        m_checkNext = false;
        m_serverReads = 0;
        if (m_unchecked) {
            return kDirOk;
        }
        int32_t rc = kDirOk;
        for (;;) {
            rc = m_lost ? Reconnect() : kDirOk;
            if (rc == kDirOk) {
                m_checkedAt = std::chrono::steady_clock::now();
                rc = Snapshot();
            }
            if (rc != kDirOk && m_lost) {
                // The server went away and may be back: once more on new connections.
                rc = Reconnect();
                if (rc == kDirOk) {
                    rc = Snapshot();
                }
            }
            if (rc != kDirOk || m_pending.empty()) {
                break;
            }
            // Another request is between its first and last step: wait for it, so that nothing reads or
            // writes what it is changing. A record that stays the same for long was left by a client or a
            // server that stopped: finish it (its steps replace whole attributes, so they must not land on
            // later changes). Finishing takes the rights it needed: someone who lacks them may still read.
            const auto now = std::chrono::steady_clock::now();
            if (m_pending != m_seenPending) {
                m_seenPending = m_pending;
                m_seenSince = now;
            }
            if (now - m_seenSince < kUnfinishedAfter) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            rc = RollForward(m_pending);
            if (rc != kDirOk) {
                if (!write) {
                    rc = kDirOk;
                }
                break;
            }
        }
        m_serverReads = 0;
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
        if (rc != kDirOk) {
            m_checkNext = true;
            DropChanged();
        }
        Clear();
        return rc;
    }
    void Rollback() override {
        m_checkNext = m_checkNext || m_unchecked;
        DropChanged();
        Clear();
    }

    int32_t GetObject(int64_t id, ObjectRecord* out) override {
        Entry* entry = nullptr;
        const int32_t rc = Load(id, &entry);
        if (rc == kDirOk) {
            *out = entry->record;
        }
        return rc;
    }
    int32_t FindChild(int64_t parent, const std::string& leafKey, ObjectRecord* out) override {
        // What the request holds is what the server holds (checked when it began) or what the request made.
        for (auto& [id, entry] : m_cache) {
            if (!entry.deleted && entry.record.parent == parent && entry.record.id != kRootId &&
                FoldName(entry.record.leaf) == leafKey) {
                entry.usedIn = m_request;
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
        // The records alone, straight into the summaries: a listing of many children must not carry all their
        // values, nor keep them; nor whether a user has a password, which no listing uses (the server's
        // time goes by the attribute). An object the request holds is listed as the request has it.
        std::vector<ChildSummary> children;
        static const char* const kAttrs[] = {"kelLeaf", "kelClass", "kelModTime", "kelAttrCount", nullptr};
        int32_t rc = Search({}, "(kelParent=" + ObjectDn(parent, m_base) + ")", kAttrs,
                            [&](LDAPMessage* e, BerElement* ber, int64_t id) {
                                if (m_cache.count(id) == 0) {
                                    ChildSummary& child = children.emplace_back();
                                    child.record.id = id;
                                    child.record.parent = parent;
                                    ParseRecord(e, ber, &child.record, &child.attrCount);
                                }
                                return kDirOk;
                            });
        if (rc != kDirOk) {
            return rc;
        }
        for (const auto& [id, entry] : m_cache) {
            if (!entry.deleted && entry.record.parent == parent && id != kRootId) {
                ChildSummary& child = children.emplace_back();
                child.record = entry.record;
                child.attrCount = AttrCount(entry);
            }
        }
        // Only a container can hold objects: the others need no count from the server.
        std::vector<int64_t> containers;
        for (const auto& child : children) {
            const ClassDef* classDef = FindClass(child.record.className);
            if (classDef == nullptr || classDef->container) {
                containers.push_back(child.record.id);
            }
        }
        std::map<int64_t, uint32_t> counts;
        rc = CountChildrenOf(containers, &counts);
        if (rc != kDirOk) {
            return rc;
        }
        // Each leaf folded once, not at every comparison of the sort.
        std::vector<std::pair<std::string, size_t>> order;
        order.reserve(children.size());
        for (size_t i = 0; i < children.size(); ++i) {
            order.emplace_back(FoldName(children[i].record.leaf), i);
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        out->reserve(order.size());
        for (const auto& [key, index] : order) {
            ChildSummary& child = out->emplace_back(std::move(children[index]));
            const auto count = counts.find(child.record.id);
            child.subordinateCount = count == counts.end() ? 0 : count->second;
        }
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
        entry.usedIn = m_request;
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
        // Values elsewhere that name the object go with it, in the same request.
        std::vector<int64_t> referrers;
        rc = SearchInto("(kelRefs=" + ObjectDn(id, m_base) + ")", &referrers);
        if (rc != kDirOk) {
            return rc;
        }
        std::vector<int64_t> owners;
        rc = BlockOwners("(&(objectClass=kelBlock)(kelRefs=" + ObjectDn(id, m_base) + "))", &owners);
        for (int64_t owner : owners) {
            Entry* holder = nullptr;
            rc = rc == kDirOk ? Load(owner, &holder) : rc;
            rc = rc == kDirErrNoSuchObject ? kDirOk : rc; // one deleted in this request is gone
        }
        if (rc != kDirOk) {
            return rc;
        }
        for (auto& [other, cached] : m_cache) {
            const auto named = cached.refCount.find(id);
            const bool inEntry = named != cached.refCount.end() && named->second > 0;
            for (auto& [attr, values] : cached.values) {
                if (!inEntry && values.blocks.empty()) {
                    continue;
                }
                for (size_t i = values.list.size(); i-- > 0;) {
                    if (values.list[i].ref == id) {
                        RemoveAt(&cached, attr, &values, i);
                    }
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
                const size_t from = out->size();
                out->insert(out->end(), values.list.begin(), values.list.end());
                for (size_t i = from; i < out->size(); ++i) {
                    (*out)[i].attr = name;
                }
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
        StoredValue copy = value;
        copy.attr.clear();
        return TakeValues(object, value.attr, std::vector<StoredValue>{std::move(copy)});
    }
    int32_t TakeValues(int64_t object, const std::string& attr, std::vector<StoredValue>&& taken) override {
        Entry* entry = nullptr;
        const int32_t rc = Load(object, &entry);
        if (rc != kDirOk) {
            return rc;
        }
        auto& values = entry->values[attr];
        entry->dirtyAttrs.insert(attr);
        if (taken.size() > 1) {
            values.list.reserve(values.list.size() + taken.size());
        }
        // Values that go to blocks are named by the blocks, not by the object's entry.
        const bool toBlocks = !values.blocks.empty() && !values.replaced;
        for (auto& value : taken) {
            if (!values.keys.emplace(value.key, toBlocks ? kAppended : 0).second) {
                return kDirErrValueExists;
            }
            value.attr.clear();
            if (!toBlocks) {
                entry->CountRef(value.ref, +1);
            }
            if (entry->onServer && !values.replaced) { // a new object is sent whole
                values.added.push_back(value);
            }
            values.list.push_back(std::move(value));
        }
        return kDirOk;
    }
    int32_t DeleteValue(int64_t object, const std::string& attr, const std::string& key) override {
        Entry* entry = nullptr;
        const int32_t rc = Load(object, &entry);
        if (rc != kDirOk) {
            return rc == kDirErrNoSuchObject ? kDirErrNoSuchValue : rc;
        }
        auto it = entry->values.find(attr);
        if (it == entry->values.end() || it->second.keys.count(key) == 0) {
            return kDirErrNoSuchValue;
        }
        auto& list = it->second.list;
        const size_t at = static_cast<size_t>(
            std::find_if(list.begin(), list.end(), [&](const StoredValue& v) { return v.key == key; }) -
            list.begin());
        RemoveAt(entry, attr, &it->second, at);
        return kDirOk;
    }
    int32_t DeleteAllValues(int64_t object, const std::string& attr) override {
        Entry* entry = nullptr;
        const int32_t rc = Load(object, &entry);
        if (rc != kDirOk) {
            return rc == kDirErrNoSuchObject ? kDirOk : rc;
        }
        auto it = entry->values.find(attr);
        if (it != entry->values.end() && !it->second.empty()) {
            AttrList& values = it->second;
            for (const auto& value : values.list) {
                if (value.ref != 0 && values.keys.at(value.key) == 0) {
                    entry->CountRef(value.ref, -1);
                }
            }
            values.Clear();
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
    // How long another client's unfinished request is waited for before it is taken as left behind.
    static constexpr std::chrono::seconds kUnfinishedAfter{2};
    // How many whole objects are kept from one request to the next.
    static constexpr size_t kKeep = 32;
    // How long after the last check a request may begin without one (BeginRequest).
    static constexpr std::chrono::milliseconds kUncheckedFor{1000};
    // How much earlier than the latest change seen the check at the start of a request looks for changed
    // blocks (ChangedSince).
    static constexpr std::chrono::microseconds kClockSlack{250000};

    // What a user without a password of its own binds with.
    static std::string_view ClearPassword(const ObjectRecord& user, const char* password, size_t length) {
        return user.passwordHash.empty() || length == 0 ? ldapmap::kNoPassword
                                                        : std::string_view(password, length);
    }

    static int BindAs(LDAP* ld, const std::string& dn, std::string_view password) {
        berval credentials{static_cast<ber_len_t>(password.size()), const_cast<char*>(password.data())};
        return ldap_sasl_bind_s(ld, dn.empty() ? nullptr : dn.c_str(), LDAP_SASL_SIMPLE, &credentials,
                                nullptr, nullptr, nullptr);
    }
    void NoteLost(int ldapCode) {
        if (ldapCode == LDAP_SERVER_DOWN || ldapCode == LDAP_CONNECT_ERROR) {
            m_lost = true;
        }
    }
    // New connections in place of those the server dropped, the writer bound as the identity signed in.
    int32_t Reconnect() {
        LDAP* reader = Connect(m_serverUri);
        LDAP* writer = reader == nullptr ? nullptr : Connect(m_serverUri);
        const int rc = writer == nullptr ? LDAP_CONNECT_ERROR : BindAs(writer, m_bindDn, m_bindPassword);
        if (rc != LDAP_SUCCESS) {
            for (LDAP* ld : {reader, writer}) {
                if (ld != nullptr) {
                    ldap_unbind_ext_s(ld, nullptr, nullptr);
                }
            }
            return rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR ? kDirErrStoreFailed : Code(rc);
        }
        ReadAhead(reader);
        ldap_unbind_ext_s(m_ld, nullptr, nullptr);
        ldap_unbind_ext_s(m_writer, nullptr, nullptr);
        m_ld = reader;
        m_writer = writer;
        m_lost = false;
        m_cache.clear();
        return kDirOk;
    }

    // Ends a request. The objects it read whole stay for the next, which checks them against the server
    // before it uses them (each kept object costs that check); what a listing read, what the request had
    // changed and what it did not use go.
    void Clear() {
        std::erase_if(m_cache, [this](const auto& item) {
            return item.second.Dirty() || item.second.usedIn != m_request;
        });
        while (m_cache.size() > kKeep) {
            m_cache.erase(std::prev(m_cache.end())); // the oldest objects (the root, users) are used most
        }
        m_absent.clear();
        m_open = false;
        m_write = false;
        m_unchecked = false;
        m_metaDirty = false;
        m_lastIdDirty = false;
        m_dependsOnOthers = false;
    }
    void DropChanged() {
        std::erase_if(m_cache, [](const auto& item) { return item.second.Dirty(); });
    }

    int64_t IdOf(std::string_view dn) const {
        constexpr std::string_view kPrefix = "kelId=";
        if (dn.size() <= kPrefix.size() + m_baseSuffix.size() ||
            strncasecmp(dn.data(), kPrefix.data(), kPrefix.size()) != 0 ||
            strncasecmp(dn.data() + dn.size() - m_baseSuffix.size(), m_baseSuffix.data(),
                        m_baseSuffix.size()) != 0) {
            return 0;
        }
        int64_t id = 0;
        for (char c : dn.substr(kPrefix.size(), dn.size() - kPrefix.size() - m_baseSuffix.size())) {
            if (c < '0' || c > '9' || id > (INT64_MAX - 9) / 10) {
                return 0;
            }
            id = id * 10 + (c - '0');
        }
        return id;
    }

    // One search gives the base entry and the entryCSN of every object kept from earlier requests: the server
    // answers a search from one state of its database, so what is kept and still has its entryCSN is what
    // the server holds together with the serial read here. Objects changed or gone since are dropped and
    // read again when used.
    int32_t Snapshot() {
        std::string filter = "(objectClass=kelStore)";
        bool kept = false;
        for (const auto& [id, entry] : m_cache) {
            if (!kept) {
                filter = "(|" + filter;
                kept = true;
            }
            // The object's entry and any block made below it; of an object that has blocks, only those
            // changed since it was read: the server then reads no block that did not change (a block goes
            // only with its object).
            const std::string number = std::to_string(id);
            if (entry.children.empty()) {
                filter += "(kelId=" + number + ")";
            } else {
                filter += "(&(kelId=" + number + ")(objectClass=kelObject))(&(kelId=" + number +
                          ")(objectClass=kelBlock)" + ChangedSince(entry) + ")";
            }
        }
        if (kept) {
            filter += ")";
        }
        static const char* const kAttrs[] = {"kelSerial", "kelPending", "kelLastId",
                                             "kelMeta",   "entryCSN",   nullptr};
        LDAPMessage* result = nullptr;
        int rc = ldap_search_ext_s(m_ld, m_base.c_str(), kept ? LDAP_SCOPE_SUBTREE : LDAP_SCOPE_BASE,
                                   filter.c_str(), const_cast<char**>(kAttrs), 0, nullptr, nullptr, nullptr,
                                   0, &result);
        if (rc != LDAP_SUCCESS) {
            ldap_msgfree(result);
            m_cache.clear();
            NoteLost(rc);
            return rc == LDAP_NO_SUCH_OBJECT ? kDirErrNotAStore : Code(rc);
        }
        std::map<int64_t, std::string> current;
        std::map<int64_t, std::map<std::string, std::string>> children; // of kept objects: their blocks
        bool base = false;
        m_serial.clear();
        m_pending.clear();
        m_meta.clear();
        for (LDAPMessage* e = ldap_first_entry(m_ld, result); e != nullptr; e = ldap_next_entry(m_ld, e)) {
            BerElement* ber = nullptr;
            berval dn{};
            if (ldap_get_dn_ber(m_ld, e, &ber, &dn) != LDAP_SUCCESS) {
                continue;
            }
            const std::string_view dnText(dn.bv_val, dn.bv_len);
            const int64_t id = IdOf(dnText);
            const int64_t owner = id == 0 ? BlockOf(dnText) : 0;
            base = base || (id == 0 && owner == 0);
            berval name{};
            berval* values = nullptr;
            while (ldap_get_attribute_ber(m_ld, e, ber, &name, &values) == LDAP_SUCCESS &&
                   name.bv_val != nullptr) {
                for (int i = 0; values != nullptr && values[i].bv_val != nullptr; ++i) {
                    const std::string text(values[i].bv_val, values[i].bv_len);
                    if (id != 0 || owner != 0) {
                        if (NameIs(name, "entryCSN")) {
                            (id != 0 ? current[id] : children[owner][std::string(dnText)]) = text;
                        }
                    } else if (NameIs(name, "kelSerial")) {
                        m_serial = text;
                    } else if (NameIs(name, "kelPending")) {
                        m_pending = text;
                    } else if (NameIs(name, "kelLastId")) {
                        m_lastId = std::atoll(text.c_str());
                    } else if (NameIs(name, "kelMeta")) {
                        const size_t equals = text.find('=');
                        if (equals != std::string::npos) {
                            m_meta[text.substr(0, equals)] = text.substr(equals + 1);
                        }
                    }
                }
                ber_memfree(values);
                values = nullptr;
            }
            ber_free(ber, 0);
        }
        ldap_msgfree(result);
        std::erase_if(m_cache, [&](const auto& item) {
            const auto it = current.find(item.first);
            if (it == current.end() || it->second != item.second.csn) {
                return true;
            }
            const auto blocks = children.find(item.first);
            if (blocks == children.end()) {
                return false;
            }
            for (const auto& [dn, csn] : blocks->second) {
                const auto known = item.second.children.find(dn);
                if (known == item.second.children.end() || known->second != csn) {
                    return true;
                }
            }
            return false;
        });
        return !base || m_serial.empty() ? kDirErrNotAStore : kDirOk;
    }

    // A filter for entries changed after everything the request saw of the object: an entryCSN is given
    // in time order (YYYYmmddHHMMSS.ffffffZ#...), and every later change has a later one, but for writes
    // the server had under way when it was read and for servers of a replicated pair whose clocks differ a
    // little: kClockSlack earlier than the latest seen covers those.
    static std::string ChangedSince(const Entry& entry) {
        std::string latest = entry.csn;
        for (const auto& [dn, csn] : entry.children) {
            latest = std::max(latest, csn);
        }
        tm when{};
        if (latest.size() < 21 || latest[14] != '.' ||
            strptime(latest.substr(0, 14).c_str(), "%Y%m%d%H%M%S", &when) == nullptr) {
            return {}; // not a time: every block is checked
        }
        const int64_t micros = static_cast<int64_t>(timegm(&when)) * 1000000 +
                               std::atoll(latest.substr(15, 6).c_str()) - kClockSlack.count();
        const time_t seconds = static_cast<time_t>(micros / 1000000);
        tm back{};
        char text[48];
        if (gmtime_r(&seconds, &back) == nullptr || std::strftime(text, 16, "%Y%m%d%H%M%S", &back) == 0) {
            return {};
        }
        std::snprintf(text + 14, sizeof text - 14, ".%06dZ#000000#000#000000",
                      static_cast<int>(micros % 1000000));
        return "(entryCSN>=" + std::string(text) + ")";
    }

    // Runs a search below the base (or of one entry) and hands each object found to each, as it arrives,
    // while the server is still sending the next ones. An entry that is not there is no entry found.
    template <typename Each>
    int32_t Search(const std::string& entry, const std::string& filter, const char* const* attrs,
                   Each&& each) {
        return SearchAt(entry.empty() ? m_base : entry, entry.empty() ? LDAP_SCOPE_ONELEVEL : LDAP_SCOPE_BASE,
                        filter, attrs, [&](LDAPMessage* e, BerElement* ber, std::string_view dn) {
                            const int64_t id = IdOf(dn);
                            return id == 0 ? kDirOk : each(e, ber, id);
                        });
    }
    // The same from any entry and scope, handing each entry found with its DN.
    template <typename Each>
    int32_t SearchAt(const std::string& from, int scope, const std::string& filter, const char* const* attrs,
                     Each&& each) {
        ++m_serverReads;
        int msgid = 0;
        int rc = ldap_search_ext(m_ld, from.c_str(), scope, filter.c_str(), const_cast<char**>(attrs), 0,
                                 nullptr, nullptr, nullptr, 0, &msgid);
        if (rc != LDAP_SUCCESS) {
            NoteLost(rc);
            return Code(rc);
        }
        int32_t outcome = kDirOk;
        for (;;) {
            LDAPMessage* message = nullptr;
            if (ldap_result(m_ld, msgid, LDAP_MSG_ONE, nullptr, &message) <= 0) {
                ldap_msgfree(message);
                m_lost = true;
                return kDirErrStoreFailed;
            }
            if (ldap_msgtype(message) == LDAP_RES_SEARCH_RESULT) {
                int code = LDAP_OTHER;
                rc =
                    ldap_parse_result(m_ld, message, &code, nullptr, nullptr, nullptr, nullptr, /*freeit=*/1);
                if (outcome != kDirOk) {
                    return outcome;
                }
                if (rc != LDAP_SUCCESS) {
                    return Code(rc);
                }
                return code == LDAP_NO_SUCH_OBJECT && from != m_base ? kDirOk : Code(code);
            }
            BerElement* ber = nullptr;
            berval dn{};
            if (ldap_msgtype(message) == LDAP_RES_SEARCH_ENTRY && outcome == kDirOk &&
                ldap_get_dn_ber(m_ld, message, &ber, &dn) == LDAP_SUCCESS) {
                outcome = each(message, ber, std::string_view(dn.bv_val, dn.bv_len));
                ber_free(ber, 0);
            }
            ldap_msgfree(message);
        }
    }

    // Reads the objects the filter finds whole into the request's copy (an object the request holds already
    // keeps the request's version) and gives their ids.
    int32_t SearchInto(const std::string& filter, std::vector<int64_t>* ids, const std::string& entry = {}) {
        ids->clear();
        static const char* const kWholeAttrs[] = {"*", "entryCSN", "hasSubordinates", nullptr};
        std::vector<int64_t> withBlocks;
        int32_t rc = Search(entry, filter, kWholeAttrs, [&](LDAPMessage* e, BerElement* ber, int64_t id) {
            auto cached = m_cache.find(id);
            if (cached == m_cache.end()) {
                Entry read;
                bool hasChildren = false;
                if (!Parse(e, ber, id, &read, &hasChildren)) {
                    return kDirErrStoreDamaged;
                }
                if (hasChildren) {
                    withBlocks.push_back(id);
                }
                cached = m_cache.emplace(id, std::move(read)).first;
            }
            cached->second.usedIn = m_request;
            ids->push_back(id);
            return kDirOk;
        });
        for (int64_t id : withBlocks) {
            if (rc == kDirOk) {
                rc = ReadBlocks(id, &m_cache.at(id));
            }
            if (rc != kDirOk) {
                m_cache.erase(id); // never kept without its blocks
            }
        }
        return rc;
    }

    // The object a block's DN (kelBlock=ATTRIBUTE.NUMBER,kelId=ID,BASE) places it below, and its attribute's
    // name and number; 0 when the DN is not a block's.
    int64_t BlockOf(std::string_view dn, std::string_view* ldapName = nullptr,
                    uint32_t* seq = nullptr) const {
        constexpr std::string_view kPrefix = "kelBlock=";
        const size_t comma = dn.find(',');
        if (comma == std::string_view::npos || dn.size() <= kPrefix.size() ||
            strncasecmp(dn.data(), kPrefix.data(), kPrefix.size()) != 0) {
            return 0;
        }
        const std::string_view name = dn.substr(kPrefix.size(), comma - kPrefix.size());
        const size_t dot = name.rfind('.');
        if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) {
            return 0;
        }
        uint64_t number = 0;
        for (char c : name.substr(dot + 1)) {
            if (c < '0' || c > '9' || number >= kAppended / 10) {
                return 0;
            }
            number = number * 10 + static_cast<uint64_t>(c - '0');
        }
        if (ldapName != nullptr) {
            *ldapName = name.substr(0, dot);
        }
        if (seq != nullptr) {
            *seq = static_cast<uint32_t>(number);
        }
        return number == 0 ? 0 : IdOf(dn.substr(comma + 1));
    }
    std::string BlockDn(int64_t id, const std::string& attr, uint32_t seq) const {
        return "kelBlock=" + LdapName(attr) + "." + std::to_string(seq) + "," + ObjectDn(id, m_base);
    }

    // The objects whose blocks the filter finds.
    int32_t BlockOwners(const std::string& filter, std::vector<int64_t>* owners) {
        static const char* const kNoAttrs[] = {"1.1", nullptr};
        return SearchAt(m_base, LDAP_SCOPE_SUBTREE, filter, kNoAttrs,
                        [&](LDAPMessage*, BerElement*, std::string_view dn) {
                            const int64_t owner = BlockOf(dn);
                            if (owner != 0) {
                                owners->push_back(owner);
                            }
                            return kDirOk;
                        });
    }

    // The blocks below an object's entry, into its lists. A block is taken only when what it says it is (its
    // object, its attribute) agrees with its name; every entry below the object is remembered, so that the
    // check at the start of a request sees one that came, changed or went.
    int32_t ReadBlocks(int64_t id, Entry* entry) {
        static const char* const kAttrs[] = {"*", "entryCSN", nullptr};
        struct Found {
            std::string csn;
            std::vector<StoredValue> values;
        };
        std::map<std::pair<std::string, uint32_t>, Found> found; // (attribute, number)
        bool ok = true;
        const int32_t rc = SearchAt(
            ObjectDn(id, m_base), LDAP_SCOPE_ONELEVEL, "(objectClass=*)", kAttrs,
            [&](LDAPMessage* e, BerElement* ber, std::string_view dn) {
                std::string_view ldapName;
                uint32_t seq = 0;
                const bool named = BlockOf(dn, &ldapName, &seq) == id;
                const auto attr = m_fromLdap.find(FoldName(ldapName));
                Found block;
                bool sameObject = false;
                bool sameAttr = false;
                berval name{};
                berval* values = nullptr;
                while (ldap_get_attribute_ber(m_ld, e, ber, &name, &values) == LDAP_SUCCESS &&
                       name.bv_val != nullptr) {
                    const std::string_view first = values != nullptr && values[0].bv_val != nullptr
                                                       ? std::string_view(values[0].bv_val, values[0].bv_len)
                                                       : std::string_view();
                    if (NameIs(name, "entryCSN")) {
                        block.csn = first;
                    } else if (NameIs(name, "kelId")) {
                        sameObject = first == std::to_string(id);
                    } else if (NameIs(name, "kelBlockAttr")) {
                        sameAttr = first == ldapName;
                    } else if (named && attr != m_fromLdap.end() &&
                               std::string_view(name.bv_val, name.bv_len).size() == ldapName.size() &&
                               strncasecmp(name.bv_val, ldapName.data(), ldapName.size()) == 0) {
                        for (int i = 0; ok && values != nullptr && values[i].bv_val != nullptr; ++i) {
                            StoredValue value;
                            ok = ldapmap::DecodeValue(
                                {}, std::string_view(values[i].bv_val, values[i].bv_len), &value);
                            block.values.push_back(std::move(value));
                        }
                    }
                    ber_memfree(values);
                    values = nullptr;
                }
                entry->children[std::string(dn)] = block.csn;
                if (named && sameObject && sameAttr && attr != m_fromLdap.end() && attr->second != kAttrAcl) {
                    found[{attr->second, seq}] = std::move(block);
                }
                return ok ? kDirOk : kDirErrStoreDamaged;
            });
        if (rc != kDirOk) {
            return rc;
        }
        for (auto& [where, block] : found) {
            AttrList& list = entry->values[where.first];
            Block& kept = list.blocks.emplace_back();
            kept.seq = where.second;
            kept.csn = std::move(block.csn);
            for (auto& value : block.values) {
                ++kept.size;
                if (value.ref != 0) {
                    ++kept.refs[value.ref];
                }
                if (list.keys.count(value.key) != 0) {
                    list.copies.emplace_back(kept.seq, std::move(value));
                    continue;
                }
                list.Add(std::move(value), kept.seq);
            }
        }
        return kDirOk;
    }

    // A listed child's record (ber stands after its DN).
    void ParseRecord(LDAPMessage* e, BerElement* ber, ObjectRecord* record, uint32_t* attrCount) {
        berval name{};
        berval* values = nullptr;
        while (ldap_get_attribute_ber(m_ld, e, ber, &name, &values) == LDAP_SUCCESS &&
               name.bv_val != nullptr) {
            if (values != nullptr && values[0].bv_val != nullptr) {
                const std::string_view first(values[0].bv_val, values[0].bv_len);
                if (NameIs(name, "kelLeaf")) {
                    record->leaf = first;
                } else if (NameIs(name, "kelClass")) {
                    record->className = first;
                } else if (NameIs(name, "kelModTime")) {
                    record->modTime = static_cast<uint32_t>(Number(first));
                } else if (NameIs(name, "kelAttrCount")) {
                    *attrCount = static_cast<uint32_t>(Number(first));
                }
            }
            ber_memfree(values);
            values = nullptr;
        }
    }
    static uint64_t Number(std::string_view digits) {
        uint64_t n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9' || n > UINT32_MAX) {
                break;
            }
            n = n * 10 + static_cast<uint64_t>(c - '0');
        }
        return n;
    }

    // One pass over the entry's attributes (ber stands after its DN).
    // hasChildren: whether entries (blocks) stand below the object's.
    bool Parse(LDAPMessage* e, BerElement* ber, int64_t id, Entry* entry, bool* hasChildren) {
        entry->onServer = true;
        entry->record.id = id;
        berval name{};
        berval* values = nullptr;
        bool ok = true;
        while (ok && ldap_get_attribute_ber(m_ld, e, ber, &name, &values) == LDAP_SUCCESS &&
               name.bv_val != nullptr) {
            const std::string_view first = values != nullptr && values[0].bv_val != nullptr
                                               ? std::string_view(values[0].bv_val, values[0].bv_len)
                                               : std::string_view();
            if (NameIs(name, "kelParent")) {
                entry->record.parent = IdOf(first);
            } else if (NameIs(name, "kelLeaf")) {
                entry->record.leaf = first;
            } else if (NameIs(name, "kelClass")) {
                entry->record.className = first;
            } else if (NameIs(name, "kelModTime")) {
                entry->record.modTime = static_cast<uint32_t>(Number(first));
            } else if (NameIs(name, "kelHasPassword")) {
                entry->record.passwordHash = first == "TRUE" ? std::string(kServerPassword) : "";
            } else if (NameIs(name, "kelAttrCount")) {
                entry->attrCountOnServer = static_cast<uint32_t>(Number(first));
            } else if (NameIs(name, "entryCSN")) {
                entry->csn = first;
            } else if (NameIs(name, "hasSubordinates")) {
                *hasChildren = first == "TRUE";
            } else if (NameIs(name, "kelGrant")) {
                for (int i = 0; values != nullptr && values[i].bv_val != nullptr; ++i) {
                    entry->grantsOnServer.emplace_back(values[i].bv_val, values[i].bv_len);
                }
            } else {
                const auto it = m_fromLdap.find(FoldName(std::string_view(name.bv_val, name.bv_len)));
                if (it != m_fromLdap.end()) {
                    auto& list = entry->values[it->second];
                    for (int i = 0; ok && values != nullptr && values[i].bv_val != nullptr; ++i) {
                        StoredValue value;
                        ok = ldapmap::DecodeValue({}, std::string_view(values[i].bv_val, values[i].bv_len),
                                                  &value);
                        if (ok) {
                            if (value.ref != 0) {
                                ++entry->refCount[value.ref];
                                entry->refsOnServer.insert(value.ref);
                            }
                            list.Add(std::move(value));
                        }
                    }
                }
            }
            ber_memfree(values);
            values = nullptr;
        }
        entry->original = entry->record;
        return ok;
    }

    int32_t Load(int64_t id, Entry** out) {
        if (!m_open) {
            return kDirErrStoreFailed;
        }
        auto it = m_cache.find(id);
        if (it == m_cache.end()) {
            std::vector<int64_t> ids;
            // The entry by its DN: no index is walked.
            const int32_t rc = SearchInto("(objectClass=kelObject)", &ids, ObjectDn(id, m_base));
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
        it->second.usedIn = m_request;
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

    void RemoveAt(Entry* entry, const std::string& attr, AttrList* values, size_t at) {
        Removal removal;
        removal.at = at;
        removal.value = std::move(values->list[at]);
        values->list.erase(values->list.begin() + static_cast<ptrdiff_t>(at));
        const auto key = values->keys.find(removal.value.key);
        removal.seq = key->second;
        values->keys.erase(key);
        if (removal.seq == 0) {
            entry->CountRef(removal.value.ref, -1);
        }
        entry->dirtyAttrs.insert(attr);
        if (values->replaced || !entry->onServer) {
            return;
        }
        // A value this request appended is simply not sent.
        const size_t appendedFrom = values->list.size() + 1 - values->added.size();
        if (at >= appendedFrom) {
            values->added.erase(values->added.begin() + static_cast<ptrdiff_t>(at - appendedFrom));
            return;
        }
        if (removal.seq != 0) {
            for (size_t i = 0; i < at; ++i) {
                removal.inBlock += values->keys.at(values->list[i].key) == removal.seq ? 1 : 0;
            }
        }
        const std::string gone = removal.value.key;
        values->removed.push_back(std::move(removal));
        // Every copy goes with it (put back last in its block, should the request be taken back).
        std::erase_if(values->copies, [&](auto& copy) {
            if (copy.second.key != gone) {
                return false;
            }
            Removal taken;
            taken.at = SIZE_MAX;
            taken.seq = copy.first;
            taken.inBlock = SIZE_MAX;
            taken.copy = true;
            taken.value = std::move(copy.second);
            values->removed.push_back(std::move(taken));
            return true;
        });
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
            ++m_serverReads;
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
                const int64_t id = dn == nullptr ? 0 : IdOf(dn);
                ldap_memfree(dn);
                if (m_cache.count(id) != 0) {
                    continue; // counted below by the request's own version
                }
                berval** values = ldap_get_values_len(m_ld, e, "kelParent");
                const int64_t parent = values != nullptr && values[0] != nullptr
                                           ? IdOf(std::string_view(values[0]->bv_val, values[0]->bv_len))
                                           : 0;
                ldap_value_free_len(values);
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

    // The modifications of one operation, pointing into the step's values (which outlive it).
    struct Mods {
        std::vector<int> ops;
        std::vector<const std::string*> names;
        std::vector<std::vector<berval>> bvs;
        std::vector<std::vector<berval*>> lists;
        std::vector<LDAPMod> mods;

        void Add(int op, const std::string& attr, const std::vector<std::string>& values) {
            names.push_back(&attr);
            ops.push_back(op | LDAP_MOD_BVALUES);
            auto& bv = bvs.emplace_back();
            bv.reserve(values.size());
            for (const auto& value : values) {
                bv.push_back(berval{static_cast<ber_len_t>(value.size()), const_cast<char*>(value.data())});
            }
        }
        std::vector<LDAPMod*> Finish() {
            lists.assign(bvs.size(), {});
            mods.assign(bvs.size(), LDAPMod{});
            std::vector<LDAPMod*> out;
            for (size_t i = 0; i < bvs.size(); ++i) {
                lists[i].reserve(bvs[i].size() + 1);
                for (auto& bv : bvs[i]) {
                    lists[i].push_back(&bv);
                }
                lists[i].push_back(nullptr);
                mods[i].mod_op = ops[i];
                mods[i].mod_type = const_cast<char*>(names[i]->c_str());
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
            for (const auto& value : values.list) {
                all.push_back(value);
                all.back().attr = attr;
            }
        }
        return all;
    }

    // One step of a request at the server, and how to take it back.
    struct Step {
        enum Kind : uint8_t { Add = 1, Modify = 2, Delete = 3 } kind = Modify;
        std::string dn;
        std::vector<std::tuple<int, std::string, std::vector<std::string>>>
            mods;              // (LDAP_MOD_*, attr, values)
        std::string unchanged; // the entryCSN the entry must still have (not journaled)
        int64_t id = 0;        // the object whose entry (or block) it changes (not journaled)
        std::string attr;      // of a block: the list's attribute (not journaled)
        uint32_t seq = 0;      // of a block: its number (not journaled)
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

    struct Outcome {
        int rc = LDAP_OTHER;
        std::string csn; // the entry's entryCSN after the step, when it was asked for and given
    };

    // Sends one step. With step.unchanged the server applies it only if the entry still has that entryCSN;
    // with readBack it answers the entry's new entryCSN.
    Outcome Send(const Step& step, bool readBack) {
        Mods mods;
        for (const auto& [op, attr, values] : step.mods) {
            mods.Add(op, attr, values);
        }
        std::vector<LDAPControl*> controls;
        LDAPControl assertion{};
        berval assertionValue{};
        if (!step.unchanged.empty()) {
            std::string filter = "(entryCSN=" + step.unchanged + ")";
            if (ldap_create_assertion_control_value(m_writer, filter.data(), &assertionValue) !=
                LDAP_SUCCESS) {
                return {};
            }
            assertion.ldctl_oid = const_cast<char*>(LDAP_CONTROL_ASSERT);
            assertion.ldctl_value = assertionValue;
            assertion.ldctl_iscritical = 1;
            controls.push_back(&assertion);
        }
        // AttributeSelection ::= SEQUENCE OF LDAPString: just "entryCSN".
        static char kReadBack[] = "\x30\x0a\x04\x08"
                                  "entryCSN";
        LDAPControl postRead{const_cast<char*>(LDAP_CONTROL_POST_READ), {sizeof kReadBack - 1, kReadBack}, 0};
        if (readBack && step.kind != Step::Delete) {
            controls.push_back(&postRead);
        }
        controls.push_back(nullptr);
        int msgid = 0;
        int rc = LDAP_OTHER;
        switch (step.kind) {
        case Step::Add: {
            auto list = mods.Finish();
            rc = ldap_add_ext(m_writer, step.dn.c_str(), list.data(), controls.data(), nullptr, &msgid);
            break;
        }
        case Step::Delete:
            rc = ldap_delete_ext(m_writer, step.dn.c_str(), controls.data(), nullptr, &msgid);
            break;
        case Step::Modify: {
            auto list = mods.Finish();
            rc = ldap_modify_ext(m_writer, step.dn.c_str(), list.data(), controls.data(), nullptr, &msgid);
            break;
        }
        }
        ber_memfree(assertionValue.bv_val);
        if (rc != LDAP_SUCCESS) {
            NoteLost(rc);
            return {rc, {}};
        }
        LDAPMessage* answer = nullptr;
        if (ldap_result(m_writer, msgid, LDAP_MSG_ALL, nullptr, &answer) <= 0) {
            ldap_msgfree(answer);
            ldap_get_option(m_writer, LDAP_OPT_RESULT_CODE, &rc);
            m_lost = true;
            return {rc == LDAP_SUCCESS ? LDAP_SERVER_DOWN : rc, {}};
        }
        int code = LDAP_OTHER;
        LDAPControl** returned = nullptr;
        rc = ldap_parse_result(m_writer, answer, &code, nullptr, nullptr, nullptr, &returned, /*freeit=*/1);
        Outcome out{rc == LDAP_SUCCESS ? code : rc, {}};
        if (LDAPControl* read = ldap_control_find(LDAP_CONTROL_POST_READ, returned, nullptr);
            read != nullptr) {
            out.csn = CsnOf(read->ldctl_value);
        }
        ldap_controls_free(returned);
        return out;
    }
    int Apply(const Step& step) { return Send(step, /*readBack=*/false).rc; }

    // Finishes a request that was journaled but not wholly applied (its client or the server stopped in
    // between): every step is applied again, which changes nothing where it was applied already.
    int32_t RollForward(const std::string& journal) {
        std::vector<Step> redo;
        size_t at = 0;
        if (!Decode(journal, &at, &redo)) {
            return kDirErrStoreDamaged;
        }
        m_cache.clear(); // it changes objects behind what was kept
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

    std::vector<std::string> Encoded(const std::vector<StoredValue>& values) const {
        std::vector<std::string> out;
        out.reserve(values.size());
        for (const auto& value : values) {
            out.push_back(ldapmap::EncodeValue(value));
        }
        return out;
    }
    static uint32_t AttrCount(const Entry& entry) {
        uint32_t count = 0;
        for (const auto& [attr, list] : entry.values) {
            count += list.empty() ? 0 : 1;
        }
        return count;
    }
    std::vector<std::string> Grants(const Entry& entry) const {
        const auto it = entry.values.find(std::string(kAttrAcl));
        if (it == entry.values.end()) {
            return {};
        }
        std::vector<StoredValue> acl = it->second.list;
        for (auto& value : acl) {
            value.attr = it->first;
        }
        return ldapmap::GrantsOf(acl, m_base);
    }
    // The values in `from` that `to` lacks.
    static std::vector<std::string> Missing(const std::vector<std::string>& from,
                                            const std::vector<std::string>& to) {
        const std::set<std::string> have(to.begin(), to.end());
        std::vector<std::string> out;
        for (const auto& value : from) {
            if (have.count(value) == 0) {
                out.push_back(value);
            }
        }
        return out;
    }

    // What changed in an object the server holds, as one modify (and, in undo, what puts the entry back as
    // the server held it when the request read it).
    void Changes(const Entry& entry, const std::string& password, Step* modify, Step* undo) const {
        const auto now = ldapmap::EncodeObject(entry.record, {}, m_base, password);
        const auto was = ldapmap::EncodeObject(entry.original, {}, m_base, password.empty() ? "" : "-");
        auto record = [&](const char* attr) {
            const auto n = now.find(attr);
            const auto w = was.find(attr);
            static const std::vector<std::string> kNone;
            modify->mods.emplace_back(LDAP_MOD_REPLACE, attr, n == now.end() ? kNone : n->second);
            if (undo != nullptr &&
                std::string_view(attr) != "userPassword") { // never readable: never put back
                undo->mods.emplace_back(LDAP_MOD_REPLACE, attr, w == was.end() ? kNone : w->second);
            }
        };
        if (entry.recordDirty) {
            // Only what changed: each attribute takes its own right at the server.
            if (entry.record.parent != entry.original.parent) {
                record("kelParent");
            }
            if (entry.record.leaf != entry.original.leaf) {
                record("kelLeaf");
                record("kelLeafKey");
            }
            if (entry.record.modTime != entry.original.modTime) {
                record("kelModTime");
            }
        }
        if (!password.empty()) {
            record("userPassword");
            record("kelHasPassword");
        }
        for (const auto& attr : entry.dirtyAttrs) {
            const auto it = entry.values.find(attr);
            if (it == entry.values.end() || !it->second.Changed()) {
                continue;
            }
            const AttrList& list = it->second;
            const std::string name = LdapName(attr);
            const size_t before = modify->mods.size();
            if (list.replaced) {
                modify->mods.emplace_back(LDAP_MOD_REPLACE, name, Encoded(list.list));
            } else if (list.toBlocks) {
                modify->mods.emplace_back(LDAP_MOD_REPLACE, name, std::vector<std::string>());
            } else {
                // Of a list in blocks, only what the entry itself held goes from here; the blocks take
                // the rest (BlockSteps).
                std::vector<std::string> gone;
                for (const auto& removal : list.removed) {
                    if (removal.seq == 0) {
                        gone.push_back(ldapmap::EncodeValue(removal.value));
                    }
                }
                if (!gone.empty()) {
                    modify->mods.emplace_back(LDAP_MOD_DELETE, name, std::move(gone));
                }
                if (!list.added.empty() && list.blocks.empty()) {
                    modify->mods.emplace_back(LDAP_MOD_ADD, name, Encoded(list.added));
                }
            }
            if (undo != nullptr && modify->mods.size() != before) {
                undo->mods.emplace_back(LDAP_MOD_REPLACE, name, Encoded(list.InEntryOnServer()));
            }
        }
        std::vector<std::string> refsGained;
        std::vector<std::string> refsLost;
        for (int64_t ref : entry.refsTouched) {
            const auto count = entry.refCount.find(ref);
            const bool named = count != entry.refCount.end() && count->second > 0;
            if (named != (entry.refsOnServer.count(ref) != 0)) {
                (named ? refsGained : refsLost).push_back(ObjectDn(ref, m_base));
            }
        }
        if (!refsLost.empty()) {
            modify->mods.emplace_back(LDAP_MOD_DELETE, "kelRefs", refsLost);
        }
        if (!refsGained.empty()) {
            modify->mods.emplace_back(LDAP_MOD_ADD, "kelRefs", refsGained);
        }
        if (undo != nullptr) {
            if (!refsGained.empty()) {
                undo->mods.emplace_back(LDAP_MOD_DELETE, "kelRefs", refsGained);
            }
            if (!refsLost.empty()) {
                undo->mods.emplace_back(LDAP_MOD_ADD, "kelRefs", refsLost);
            }
        }
        if (entry.dirtyAttrs.count(std::string(kAttrAcl)) != 0) {
            const auto grants = Grants(entry);
            const auto lost = Missing(entry.grantsOnServer, grants);
            const auto gained = Missing(grants, entry.grantsOnServer);
            if (!lost.empty()) {
                modify->mods.emplace_back(LDAP_MOD_DELETE, "kelGrant", lost);
            }
            if (!gained.empty()) {
                modify->mods.emplace_back(LDAP_MOD_ADD, "kelGrant", gained);
            }
            if (undo != nullptr && (!lost.empty() || !gained.empty())) {
                undo->mods.emplace_back(LDAP_MOD_REPLACE, "kelGrant", entry.grantsOnServer);
            }
        }
        const uint32_t count = AttrCount(entry);
        if (count != entry.attrCountOnServer) {
            modify->mods.emplace_back(LDAP_MOD_REPLACE, "kelAttrCount",
                                      std::vector<std::string>{std::to_string(count)});
            if (undo != nullptr) {
                undo->mods.emplace_back(LDAP_MOD_REPLACE, "kelAttrCount",
                                        std::vector<std::string>{std::to_string(entry.attrCountOnServer)});
            }
        }
    }

    // After the server took the request: what it holds now is what the request holds.
    void Settle(Entry* entry, const std::string& csn) {
        entry->original = entry->record;
        entry->onServer = true;
        entry->recordDirty = false;
        entry->passwordDirty = false;
        for (const auto& attr : entry->dirtyAttrs) {
            const auto it = entry->values.find(attr);
            if (it != entry->values.end()) {
                it->second.Settle();
                if (it->second.empty()) {
                    entry->values.erase(it);
                }
            }
        }
        if (entry->dirtyAttrs.count(std::string(kAttrAcl)) != 0) {
            entry->grantsOnServer = Grants(*entry);
        }
        for (int64_t ref : entry->refsTouched) {
            const auto count = entry->refCount.find(ref);
            if (count != entry->refCount.end() && count->second > 0) {
                entry->refsOnServer.insert(ref);
            } else {
                entry->refsOnServer.erase(ref);
                if (count != entry->refCount.end()) {
                    entry->refCount.erase(count);
                }
            }
        }
        entry->refsTouched.clear();
        entry->dirtyAttrs.clear();
        entry->attrCountOnServer = AttrCount(*entry);
        entry->csn = csn;
    }

    // A request is sent as steps, not as a server transaction (slapd 2.5's transactions bring the server down
    // after some hundred of them). All of it or none of it still holds:
    // 1. one modify of the base entry replaces the serial read at the request's start (refused when another
    //    client committed since) and records every step of the request (kelPending) when there are several;
    // 2. the steps are applied, adds first, deletes last, so that a refusal is met before anything that
    //    cannot be taken back; a changed entry must still have the entryCSN the request read (another
    //    client's change in between refuses the step);
    // 3. a step the server refuses takes back the steps before it; otherwise the record is removed.
    // A request whose client or server stopped between 1 and 3 is finished by a later request (RollForward).
    // A request that changes one object's own values, and read nothing but what its start checked, needs no
    // serial: the entryCSN it read is the whole of what it depends on beside the rights, which the server
    // checks, so it is sent as its one step alone.
    int32_t Flush() {
        std::vector<Step> adds;
        std::vector<Step> modifies;
        std::vector<Step> passwords;
        std::vector<Step> deletes;
        for (auto& [id, entry] : m_cache) {
            const std::string dn = ObjectDn(id, m_base);
            entry.blockOps.clear();
            if (entry.deleted) {
                if (entry.onServer) {
                    // The entries below it first: the server deletes no entry that has any.
                    for (const auto& [child, csn] : entry.children) {
                        deletes.push_back(Step{Step::Delete, child, {}, {}, id, {}, 0});
                    }
                    deletes.push_back(Step{Step::Delete, dn, {}, {}, id, {}, 0});
                }
                continue;
            }
            const bool user = NamesEqual(entry.record.className, kClassUser);
            std::string password;
            if (user && (entry.passwordDirty || !entry.onServer)) {
                const int32_t rc = PasswordValue(entry, &password);
                if (rc != kDirOk) {
                    return rc;
                }
            }
            if (!entry.onServer) {
                Step add{Step::Add, dn, {}, {}, id, {}, 0};
                for (const auto& [attr, list] :
                     ldapmap::EncodeObject(entry.record, AllValues(entry), m_base, password)) {
                    add.mods.emplace_back(LDAP_MOD_ADD, LdapName(attr), list);
                }
                adds.push_back(std::move(add));
                continue;
            }
            if (!entry.Dirty()) {
                continue;
            }
            BlockSteps(id, &entry, &adds, &modifies);
            Step modify{Step::Modify, dn, {}, entry.csn, id, {}, 0};
            Changes(entry, password, &modify, nullptr);
            if (!modify.mods.empty()) {
                (password.empty() ? modifies : passwords).push_back(std::move(modify));
            }
        }
        std::vector<Step> redo;
        for (auto* group : {&adds, &modifies, &passwords, &deletes}) {
            redo.insert(redo.end(), std::make_move_iterator(group->begin()),
                        std::make_move_iterator(group->end()));
        }
        if (redo.empty() && !m_metaDirty && !m_lastIdDirty) {
            SettleAll({});
            return kDirOk; // a request that changed nothing leaves the server alone
        }
        if (redo.size() == 1 && !m_metaDirty && !m_lastIdDirty && m_serverReads == 0 && !m_dependsOnOthers &&
            OwnValuesOnly(redo[0])) {
            const Outcome outcome = Send(redo[0], /*readBack=*/true);
            if (outcome.rc != LDAP_SUCCESS) {
                // Refused on what the client held unchecked: the refusal may be a stale one.
                return outcome.rc == LDAP_ASSERTION_FAILED || m_unchecked ? kDirErrConflict
                                                                          : Code(outcome.rc);
            }
            SettleAll({{redo[0].dn, outcome.csn}});
            m_lastFast = true;
            return kDirOk;
        }
        if (m_unchecked) {
            return kDirErrConflict; // more than one guarded step: again, after the check
        }
        m_lastFast = false;
        const bool journaled = redo.size() > 1;
        const std::string journal = journaled ? Encode(redo) : std::string();
        Step begin{Step::Modify, m_base, {}, {}, 0, {}, 0};
        begin.mods.emplace_back(LDAP_MOD_DELETE, "kelSerial", std::vector<std::string>{m_serial});
        begin.mods.emplace_back(LDAP_MOD_ADD, "kelSerial",
                                std::vector<std::string>{std::to_string(std::atoll(m_serial.c_str()) + 1)});
        if (m_lastIdDirty) {
            begin.mods.emplace_back(LDAP_MOD_REPLACE, "kelLastId",
                                    std::vector<std::string>{std::to_string(m_lastId)});
        }
        if (m_metaDirty) {
            std::vector<std::string> meta;
            for (const auto& [key, value] : m_meta) {
                meta.push_back(key + "=" + value);
            }
            begin.mods.emplace_back(LDAP_MOD_REPLACE, "kelMeta", meta);
        }
        // One step needs no record: stopped before it, nothing was applied.
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
        std::map<std::string, std::string> csns;
        for (size_t i = 0; i < redo.size(); ++i) {
            const Outcome outcome = Send(redo[i], /*readBack=*/true);
            if (outcome.rc == LDAP_SUCCESS) {
                csns[redo[i].dn] = outcome.csn;
                continue;
            }
            if (outcome.rc == LDAP_SERVER_DOWN || outcome.rc == LDAP_CONNECT_ERROR ||
                outcome.rc == LDAP_UNAVAILABLE || outcome.rc == LDAP_BUSY) {
                // The record stays: a later request finishes this one.
                return kDirErrStoreFailed;
            }
            for (size_t back = i; back-- > 0;) {
                if (redo[back].kind != Step::Delete) { // deletes come last: none is before a refused step
                    (void)Apply(Undo(redo[back]));
                }
            }
            if (journaled) {
                (void)RemoveJournal(journal);
            }
            return outcome.rc == LDAP_ASSERTION_FAILED ? kDirErrConflict : Code(outcome.rc);
        }
        if (journaled) {
            rc = RemoveJournal(journal);
            if (rc != kDirOk) {
                return rc;
            }
        }
        SettleAll(csns);
        return kDirOk;
    }

    // Whether a step changes nothing but one object's own values, password and modification time: not its
    // place, its name, the objects its values name, nor any right.
    bool OwnValuesOnly(const Step& step) const {
        if (step.kind != Step::Modify || step.unchanged.empty()) {
            return false;
        }
        const std::string acl = LdapName(std::string(kAttrAcl));
        for (const auto& [op, attr, values] : step.mods) {
            if (attr == "kelParent" || attr == "kelLeaf" || attr == "kelLeafKey" || attr == "kelRefs" ||
                attr == "kelGrant" || attr == acl) {
                return false;
            }
        }
        return true;
    }

    Step Undo(const Step& step) const {
        Step undo{Step::Modify, step.dn, {}, {}, step.id, {}, 0};
        if (step.kind == Step::Add) {
            undo.kind = Step::Delete;
            return undo;
        }
        const auto it = m_cache.find(step.id);
        if (it == m_cache.end()) {
            return undo;
        }
        if (step.seq != 0) {
            BlockUndo(it->second, step, &undo);
            return undo;
        }
        Step again{Step::Modify, step.dn, {}, {}, step.id, {}, 0};
        // Any password stands for the new one here: only kelHasPassword is put back, never the password.
        Changes(it->second, it->second.passwordDirty ? "{ARGON2}" : "", &again, &undo);
        return undo;
    }

    // Every entry the request changed now stands as the server holds it; one whose new entryCSN the server
    // did not give is read again when next used.
    // An object the request changed only in its blocks keeps its own entryCSN.
    void SettleAll(const std::map<std::string, std::string>& csns) {
        for (auto it = m_cache.begin(); it != m_cache.end();) {
            Entry& entry = it->second;
            if (!entry.Dirty()) {
                ++it;
                continue;
            }
            const auto own = csns.find(ObjectDn(it->first, m_base));
            const std::string csn = own == csns.end() ? entry.csn : own->second;
            bool known = !entry.deleted && !csn.empty();
            for (const auto& op : entry.blockOps) {
                const auto block = csns.find(op.dn);
                Block* kept = entry.values[op.attr].FindBlock(op.seq);
                if (block == csns.end() || block->second.empty() || kept == nullptr) {
                    known = false;
                    continue;
                }
                entry.children[op.dn] = block->second;
                kept->csn = block->second;
                kept->made = false;
            }
            if (!known) {
                it = m_cache.erase(it);
                continue;
            }
            Settle(&entry, csn);
            ++it;
        }
    }

    // Turns the request's changes of lists kept in blocks, or moving there, into steps on the blocks, and
    // notes in each list which block holds each of its values. Of a list written whole, the blocks are
    // emptied.
    void BlockSteps(int64_t id, Entry* entry, std::vector<Step>* adds, std::vector<Step>* modifies) {
        for (const auto& attr : entry->dirtyAttrs) {
            auto it = entry->values.find(attr);
            if (attr == kAttrAcl || it == entry->values.end() || !it->second.Changed()) {
                continue;
            }
            AttrList& list = it->second;
            if (list.replaced) {
                // The blocks stay (empty) until the object goes: a block that is deleted is one the check at
                // the start of a request would have to look for.
                const std::string name = LdapName(attr);
                for (auto& block : list.blocks) {
                    if (block.size == 0) {
                        continue;
                    }
                    const std::string dn = BlockDn(id, attr, block.seq);
                    Step empty{Step::Modify, dn, {}, block.csn, id, attr, block.seq};
                    empty.mods.emplace_back(LDAP_MOD_REPLACE, name, std::vector<std::string>());
                    empty.mods.emplace_back(LDAP_MOD_REPLACE, "kelRefs", std::vector<std::string>());
                    modifies->push_back(std::move(empty));
                    entry->blockOps.push_back({dn, attr, block.seq});
                    block.size = 0;
                    block.refs.clear();
                }
                continue;
            }
            size_t from = list.list.size() - list.added.size(); // the values to place: appended ones
            if (list.blocks.empty()) {
                if (list.list.size() <= g_inlineMost) {
                    continue;
                }
                // Grown past what the entry keeps: the whole list moves to blocks.
                list.toBlocks = true;
                for (const auto& value : list.list) {
                    entry->CountRef(value.ref, -1);
                }
                from = 0;
            }
            std::map<uint32_t, std::vector<std::string>> gone;
            std::map<uint32_t, std::map<int64_t, int>> refsDelta;
            for (const auto& removal : list.removed) {
                if (removal.seq != 0 && !list.toBlocks) {
                    gone[removal.seq].push_back(ldapmap::EncodeValue(removal.value));
                    if (removal.value.ref != 0) {
                        --refsDelta[removal.seq][removal.value.ref];
                    }
                    if (Block* block = list.FindBlock(removal.seq); block != nullptr && block->size > 0) {
                        --block->size;
                    }
                }
            }
            // Appended values fill the last block, then new ones, numbered after every block of the list
            // below the object (those another program made too).
            const std::string name = LdapName(attr);
            uint32_t next = 0;
            auto nextNumber = [&] {
                if (next == 0) {
                    next = 1;
                    for (const auto& [child, csn] : entry->children) {
                        std::string_view ldapName;
                        uint32_t seq = 0;
                        if (BlockOf(child, &ldapName, &seq) == id && ldapName == name) {
                            next = std::max(next, seq + 1);
                        }
                    }
                }
                return next++;
            };
            std::map<uint32_t, std::vector<std::string>> came;
            // From the last block that holds values on (empty ones after it are used before new ones).
            size_t target = list.blocks.size();
            while (target > 0 && list.blocks[target - 1].size == 0) {
                --target;
            }
            target = target == 0 ? 0 : target - 1;
            for (size_t i = from; i < list.list.size(); ++i) {
                while (target < list.blocks.size() && list.blocks[target].size >= g_blockMost) {
                    ++target;
                }
                if (target == list.blocks.size()) {
                    Block& fresh = list.blocks.emplace_back();
                    fresh.seq = nextNumber();
                    fresh.made = true;
                }
                Block* last = &list.blocks[target];
                const StoredValue& value = list.list[i];
                list.keys[value.key] = last->seq;
                ++last->size;
                came[last->seq].push_back(ldapmap::EncodeValue(value));
                if (value.ref != 0) {
                    ++refsDelta[last->seq][value.ref];
                }
            }
            for (auto& block : list.blocks) {
                const bool isNew = block.made;
                if (!isNew && gone.count(block.seq) == 0 && came.count(block.seq) == 0) {
                    continue;
                }
                std::vector<std::string> refsGained;
                std::vector<std::string> refsLost;
                for (const auto& [ref, delta] : refsDelta[block.seq]) {
                    int& count = block.refs[ref];
                    const int was = count;
                    count += delta;
                    if (was <= 0 && count > 0) {
                        refsGained.push_back(ObjectDn(ref, m_base));
                    } else if (was > 0 && count <= 0) {
                        refsLost.push_back(ObjectDn(ref, m_base));
                    }
                    if (count <= 0) {
                        block.refs.erase(ref);
                    }
                }
                const std::string dn = BlockDn(id, attr, block.seq);
                entry->blockOps.push_back({dn, attr, block.seq});
                if (isNew) {
                    Step add{Step::Add, dn, {}, {}, id, attr, block.seq};
                    add.mods.emplace_back(LDAP_MOD_ADD, "objectClass", std::vector<std::string>{"kelBlock"});
                    add.mods.emplace_back(LDAP_MOD_ADD, "kelBlock",
                                          std::vector<std::string>{name + "." + std::to_string(block.seq)});
                    add.mods.emplace_back(LDAP_MOD_ADD, "kelId",
                                          std::vector<std::string>{std::to_string(id)});
                    add.mods.emplace_back(LDAP_MOD_ADD, "kelBlockAttr", std::vector<std::string>{name});
                    add.mods.emplace_back(LDAP_MOD_ADD, name, std::move(came[block.seq]));
                    if (!refsGained.empty()) {
                        add.mods.emplace_back(LDAP_MOD_ADD, "kelRefs", std::move(refsGained));
                    }
                    adds->push_back(std::move(add));
                    continue;
                }
                Step modify{Step::Modify, dn, {}, block.csn, id, attr, block.seq};
                if (gone.count(block.seq) != 0) {
                    modify.mods.emplace_back(LDAP_MOD_DELETE, name, std::move(gone[block.seq]));
                }
                if (came.count(block.seq) != 0) {
                    modify.mods.emplace_back(LDAP_MOD_ADD, name, std::move(came[block.seq]));
                }
                if (!refsLost.empty()) {
                    modify.mods.emplace_back(LDAP_MOD_DELETE, "kelRefs", std::move(refsLost));
                }
                if (!refsGained.empty()) {
                    modify.mods.emplace_back(LDAP_MOD_ADD, "kelRefs", std::move(refsGained));
                }
                modifies->push_back(std::move(modify));
            }
        }
    }

    // What puts a block back as the server held it when the request read it.
    void BlockUndo(const Entry& entry, const Step& step, Step* undo) const {
        const auto it = entry.values.find(step.attr);
        if (it == entry.values.end()) {
            return;
        }
        const AttrList& list = it->second;
        std::vector<StoredValue> held;
        for (const auto& [seq, value] : list.inBlocksBefore) {
            if (seq == step.seq) {
                held.push_back(value);
            }
        }
        for (size_t i = 0; !list.replaced && i + list.added.size() < list.list.size(); ++i) {
            if (list.keys.at(list.list[i].key) == step.seq) {
                held.push_back(list.list[i]);
            }
        }
        for (auto removal = list.removed.rbegin(); !list.replaced && removal != list.removed.rend();
             ++removal) {
            if (removal->seq == step.seq) {
                held.insert(held.begin() + static_cast<ptrdiff_t>(std::min(removal->inBlock, held.size())),
                            removal->value);
            }
        }
        std::set<std::string> refs;
        for (const auto& value : held) {
            if (value.ref != 0) {
                refs.insert(ObjectDn(value.ref, m_base));
            }
        }
        undo->mods.emplace_back(LDAP_MOD_REPLACE, LdapName(step.attr), Encoded(held));
        undo->mods.emplace_back(LDAP_MOD_REPLACE, "kelRefs",
                                std::vector<std::string>(refs.begin(), refs.end()));
    }

    std::string LdapName(const std::string& attr) const {
        const auto it = m_toLdap.find(attr);
        return it == m_toLdap.end() ? attr : it->second;
    }

    LDAP* m_ld;
    LDAP* m_writer;
    std::string m_serverUri;
    std::string m_base;
    std::string m_baseSuffix; // ",BASE"
    std::string m_bindDn;     // the identity signed in, for a new connection
    std::string m_bindPassword;
    bool m_lost = false; // a connection was found dropped
    std::string m_problem;
    std::map<std::string, std::string> m_toLdap;   // schema spelling -> LDAP name
    std::map<std::string, std::string> m_fromLdap; // folded LDAP name -> schema spelling
    std::map<int64_t, Entry> m_cache;
    std::set<std::pair<int64_t, std::string>> m_absent; // (parent, folded leaf) the server holds nothing at
    std::map<std::string, std::string> m_meta;
    std::string m_serial;
    std::string m_pending;
    std::string m_seenPending; // another client's unfinished request, and since when it is seen
    std::chrono::steady_clock::time_point m_seenSince;
    std::chrono::steady_clock::time_point m_checkedAt; // when the last request began with the check
    bool m_unchecked = false;                          // the request began without the check
    bool m_checkNext = false;                          // the next request begins with it, whatever it is
    bool m_lastFast = false;                           // the last write request was sent as one guarded step
    uint64_t m_request = 0;                            // requests begun
    size_t m_serverReads = 0;                          // searches of this request after its start
    bool m_dependsOnOthers = false;                    // its checks read objects it does not change
    std::string m_noPasswordHash;
    int64_t m_lastId = 0;
    bool m_open = false;
    bool m_write = false;
    bool m_metaDirty = false;
    bool m_lastIdDirty = false;
};

} // namespace

void SetLdapListBlocks(size_t inEntry, size_t perBlock) {
    g_inlineMost = inEntry == 0 ? kInlineMost : inEntry;
    g_blockMost = perBlock == 0 ? kBlockMost : perBlock;
}

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
    // ldap://HOST:PORT,HOST:PORT/BASE names replicating providers in the order to try. libldap takes such a
    // list as separate URLs, and connects (again, after the one in use went away) to the first that answers.
    const size_t hostStart = url.find("://") + 3;
    const size_t slash = url.find('/', hostStart);
    const size_t hostEnd = slash == std::string::npos ? url.size() : slash;
    const std::string rest = url.substr(hostEnd);
    std::vector<std::string> servers;
    if (url.rfind("ldap://", 0) == 0) {
        std::string_view hosts = std::string_view(url).substr(hostStart, hostEnd - hostStart);
        for (size_t comma = hosts.find(',');; comma = hosts.find(',')) {
            servers.push_back("ldap://" + std::string(hosts.substr(0, comma)));
            if (comma == std::string_view::npos) {
                break;
            }
            hosts = hosts.substr(comma + 1);
        }
    } else if (IsLdapUrl(url)) {
        servers.push_back(url.substr(0, hostEnd));
    }
    std::string base;
    std::string serverUri;
    for (const std::string& server : servers) {
        LDAPURLDesc* desc = nullptr;
        const bool unnamed = servers.size() > 1 && server.size() == hostStart;
        if (unnamed || ldap_url_parse((server + rest).c_str(), &desc) != LDAP_SUCCESS) {
            servers.clear();
            break;
        }
        base = desc->lud_dn == nullptr ? "" : desc->lud_dn;
        ldap_free_urldesc(desc);
        serverUri += (serverUri.empty() ? "" : " ") + server;
    }
    if (servers.empty()) {
        *problem = "not an LDAP address: ldap://HOST:PORT/BASE or ldapi://SOCKET/BASE";
        return kDirErrBadArgument;
    }
    if (base.empty() || slash == std::string::npos) {
        *problem = "the address names no base entry: ldap://HOST:PORT/BASE";
        return kDirErrBadArgument;
    }
    // The servers as the address names them, for messages.
    const std::string named = url.substr(0, hostEnd);
    LDAP* reader = Connect(serverUri);
    LDAP* writer = reader == nullptr ? nullptr : Connect(serverUri);
    if (writer == nullptr) {
        if (reader != nullptr) {
            ldap_unbind_ext_s(reader, nullptr, nullptr);
        }
        *problem = "cannot use the address " + named;
        return kDirErrBadArgument;
    }
    auto store = std::make_unique<LdapStore>(reader, writer, serverUri, base);
    int32_t rc = store->Bind("", "");
    if (rc != kDirOk) {
        *problem = (servers.size() == 1 ? "the server at " : "none of the servers at ") + named +
                   (servers.size() == 1 ? " does not answer" : " answers");
        return kDirErrStoreFailed;
    }
    ReadAhead(reader);
    rc = store->LoadSchemaNames();
    if (rc == kDirOk) {
        rc = store->Begin(/*write=*/false);
        if (rc == kDirOk) {
            store->Rollback();
        } else if (rc == kDirErrNotAStore) {
            *problem = "the server holds no directory under " + base +
                       ": make one with kelnt-ldap-server (scripts/ldap-server.sh in the source tree)";
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
