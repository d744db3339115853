// The in-memory store: maps ordered like the SQLite store's indexes, so both answer in the same order.
// A transaction records how to undo each change it makes, so that a request costs what it changes and
// Rollback puts back exactly what was there.
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/dirclient/DirErrors.h"
#include "platform/dirclient/DirNames.h"
#include "platform/dirclient/DirStore.h"

namespace dirclient {

namespace {

// The values of one attribute in the order they were added, and by key. A value keeps no attribute name of
// its own (the list's is its name): a list of thousands would hold as many copies. The key index holds
// views of the values' own keys, which stay where they are as long as their value does (a map's nodes never
// move, not even when the map itself is moved), so a key is kept once. A copy would view the original's
// keys: there is none.
struct AttrValues {
    using Values = std::map<uint64_t, StoredValue>;
    Values bySeq;
    std::unordered_map<std::string_view, uint64_t> byKey;

    AttrValues() = default;
    AttrValues(AttrValues&&) = default;
    AttrValues& operator=(AttrValues&&) = default;
    AttrValues(const AttrValues&) = delete;
    AttrValues& operator=(const AttrValues&) = delete;

    // False, adding nothing, when a value holds the key already.
    bool Put(uint64_t seq, StoredValue value) {
        value.attr = std::string();
        // A value added now has the highest number so far: the end is its place, but for one put back.
        const auto node = bySeq.emplace_hint(bySeq.end(), seq, std::move(value));
        if (!byKey.try_emplace(node->second.key, seq).second) {
            bySeq.erase(node);
            return false;
        }
        return true;
    }
    Values::iterator Erase(Values::iterator value) {
        byKey.erase(value->second.key); // before the value, whose key it views
        return bySeq.erase(value);
    }
};

using ChildKey = std::pair<int64_t, std::string>; // (parent, folded leaf)

class MemoryStore final : public DirStore {
public:
    int32_t Begin(bool) override {
        if (m_inTransaction) {
            return kDirErrStoreFailed;
        }
        m_inTransaction = true;
        m_undo.clear();
        return kDirOk;
    }
    int32_t Commit() override {
        m_inTransaction = false;
        m_undo.clear();
        return kDirOk;
    }
    void Rollback() override {
        for (auto it = m_undo.rbegin(); it != m_undo.rend(); ++it) {
            (*it)();
        }
        m_undo.clear();
        m_inTransaction = false;
    }

    int32_t GetObject(int64_t id, ObjectRecord* out) override {
        const auto it = m_objects.find(id);
        if (it == m_objects.end()) {
            return kDirErrNoSuchObject;
        }
        *out = it->second;
        return kDirOk;
    }
    int32_t FindChild(int64_t parent, const std::string& leafKey, ObjectRecord* out) override {
        const auto it = m_children.find({parent, leafKey});
        if (it == m_children.end()) {
            return kDirErrNoSuchObject;
        }
        return GetObject(it->second, out);
    }
    int32_t ListChildren(int64_t parent, std::vector<ChildSummary>* out) override {
        out->clear();
        for (auto it = m_children.lower_bound({parent, std::string()});
             it != m_children.end() && it->first.first == parent; ++it) {
            ChildSummary summary;
            summary.record = m_objects.at(it->second);
            (void)CountChildren(it->second, &summary.subordinateCount);
            const auto values = m_values.find(it->second);
            if (values != m_values.end()) {
                for (const auto& [attr, list] : values->second) {
                    summary.attrCount += list.bySeq.empty() ? 0 : 1;
                }
            }
            out->push_back(std::move(summary));
        }
        return kDirOk;
    }
    int32_t CountChildren(int64_t parent, uint32_t* count) override {
        *count = 0;
        for (auto it = m_children.lower_bound({parent, std::string()});
             it != m_children.end() && it->first.first == parent; ++it) {
            ++*count;
        }
        return kDirOk;
    }
    int32_t InsertObject(ObjectRecord* record) override {
        const ChildKey key{record->parent, FoldName(record->leaf)};
        if (m_children.count(key) != 0) {
            return kDirErrObjectExists;
        }
        record->id = m_nextId++;
        m_objects[record->id] = *record;
        m_children[key] = record->id;
        Undo([this, key, id = record->id] {
            m_children.erase(key);
            m_objects.erase(id);
        });
        return kDirOk;
    }
    int32_t UpdateObject(const ObjectRecord& record) override {
        auto it = m_objects.find(record.id);
        if (it == m_objects.end()) {
            return kDirErrNoSuchObject;
        }
        const ChildKey oldKey{it->second.parent, FoldName(it->second.leaf)};
        const ChildKey newKey{record.parent, FoldName(record.leaf)};
        if (oldKey != newKey && m_children.count(newKey) != 0) {
            return kDirErrObjectExists;
        }
        Undo([this, old = it->second, oldKey, newKey] {
            m_children.erase(newKey);
            m_children[oldKey] = old.id;
            m_objects[old.id] = old;
        });
        m_children.erase(oldKey);
        m_children[newKey] = record.id;
        it->second = record;
        return kDirOk;
    }
    int32_t SetModTime(int64_t id, uint32_t modTime) override {
        auto it = m_objects.find(id);
        if (it == m_objects.end()) {
            return kDirErrNoSuchObject;
        }
        Undo([this, id, old = it->second.modTime] { m_objects[id].modTime = old; });
        it->second.modTime = modTime;
        return kDirOk;
    }
    int32_t DeleteObject(int64_t id) override {
        auto it = m_objects.find(id);
        if (it == m_objects.end()) {
            return kDirErrNoSuchObject;
        }
        const ChildKey key{it->second.parent, FoldName(it->second.leaf)};
        Undo([this, key, old = it->second] {
            m_objects[old.id] = old;
            m_children[key] = old.id;
        });
        m_children.erase(key);
        m_objects.erase(it);
        if (auto values = m_values.find(id); values != m_values.end()) {
            Undo([this, id,
                  old = std::make_shared<std::map<std::string, AttrValues>>(std::move(values->second))] {
                m_values[id] = std::move(*old);
            });
            m_values.erase(values);
        }
        // Values elsewhere that name the object go with it.
        for (auto& [object, attrs] : m_values) {
            for (auto& [attr, list] : attrs) {
                for (auto value = list.bySeq.begin(); value != list.bySeq.end();) {
                    if (value->second.ref != id) {
                        ++value;
                        continue;
                    }
                    Undo([this, object = object, attr = attr, seq = value->first, old = value->second] {
                        (void)m_values[object][attr].Put(seq, old);
                    });
                    value = list.Erase(value);
                }
            }
        }
        return kDirOk;
    }

    int32_t ReadValues(int64_t object, const std::string& attr, std::vector<StoredValue>* out) override {
        out->clear();
        const auto values = m_values.find(object);
        if (values == m_values.end()) {
            return kDirOk;
        }
        for (const auto& [name, list] : values->second) {
            if (!attr.empty() && name != attr) {
                continue;
            }
            for (const auto& [seq, value] : list.bySeq) {
                out->push_back(value);
                out->back().attr = name;
            }
        }
        return kDirOk;
    }
    int32_t HasValue(int64_t object, const std::string& attr, const std::string& key, bool* found) override {
        const AttrValues* list = Find(object, attr);
        *found = list != nullptr && list->byKey.count(key) != 0;
        return kDirOk;
    }
    int32_t CountValues(int64_t object, const std::string& attr, uint32_t* count) override {
        const AttrValues* list = Find(object, attr);
        *count = list == nullptr ? 0 : static_cast<uint32_t>(list->bySeq.size());
        return kDirOk;
    }
    int32_t InsertValue(int64_t object, const StoredValue& value) override {
        AttrValues& list = m_values[object][value.attr];
        if (!list.Put(m_nextSeq, value)) {
            return kDirErrValueExists;
        }
        Undo([this, object, attr = value.attr, seq = m_nextSeq++] {
            AttrValues& restored = m_values[object][attr];
            (void)restored.Erase(restored.bySeq.find(seq));
        });
        return kDirOk;
    }
    // A list write finds its list once and leaves one step of undo.
    int32_t TakeValues(int64_t object, const std::string& attr, std::vector<StoredValue>&& values) override {
        if (values.empty()) {
            return kDirOk;
        }
        AttrValues& list = m_values[object][attr];
        const uint64_t firstSeq = m_nextSeq;
        int32_t rc = kDirOk;
        for (auto& value : values) {
            if (!list.Put(m_nextSeq, std::move(value))) {
                rc = kDirErrValueExists;
                break;
            }
            ++m_nextSeq;
        }
        if (m_nextSeq != firstSeq) {
            Undo([this, object, attr, firstSeq, endSeq = m_nextSeq] {
                AttrValues& restored = m_values[object][attr];
                for (auto it = restored.bySeq.lower_bound(firstSeq);
                     it != restored.bySeq.end() && it->first < endSeq;) {
                    it = restored.Erase(it);
                }
            });
        }
        return rc;
    }
    int32_t DeleteValue(int64_t object, const std::string& attr, const std::string& key) override {
        AttrValues* list = Find(object, attr);
        if (list == nullptr) {
            return kDirErrNoSuchValue;
        }
        const auto it = list->byKey.find(key);
        if (it == list->byKey.end()) {
            return kDirErrNoSuchValue;
        }
        const auto value = list->bySeq.find(it->second);
        Undo([this, object, attr, seq = value->first, old = value->second] {
            (void)m_values[object][attr].Put(seq, old);
        });
        (void)list->Erase(value);
        return kDirOk;
    }
    int32_t DeleteAllValues(int64_t object, const std::string& attr) override {
        auto values = m_values.find(object);
        if (values == m_values.end()) {
            return kDirOk;
        }
        auto list = values->second.find(attr);
        if (list == values->second.end()) {
            return kDirOk;
        }
        Undo([this, object, attr, old = std::make_shared<AttrValues>(std::move(list->second))] {
            m_values[object][attr] = std::move(*old);
        });
        values->second.erase(list);
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
        const auto it = m_meta.find(key);
        if (it == m_meta.end()) {
            Undo([this, key] { m_meta.erase(key); });
        } else {
            Undo([this, key, old = it->second] { m_meta[key] = old; });
        }
        m_meta[key] = value;
        return kDirOk;
    }

    int32_t ListAllObjects(std::vector<ObjectRecord>* out) override {
        out->clear();
        for (const auto& [id, record] : m_objects) {
            out->push_back(record);
        }
        return kDirOk;
    }
    int32_t CheckFile(std::string* problem) override {
        problem->clear(); // nothing lies between this store and its maps
        return kDirOk;
    }

private:
    void Undo(std::function<void()> step) {
        if (m_inTransaction) {
            m_undo.push_back(std::move(step));
        }
    }
    AttrValues* Find(int64_t object, const std::string& attr) {
        auto values = m_values.find(object);
        if (values == m_values.end()) {
            return nullptr;
        }
        auto list = values->second.find(attr);
        return list == values->second.end() ? nullptr : &list->second;
    }

    int64_t m_nextId = 1;
    uint64_t m_nextSeq = 1;
    std::map<int64_t, ObjectRecord> m_objects;
    std::map<ChildKey, int64_t> m_children;
    std::map<int64_t, std::map<std::string, AttrValues>> m_values;
    std::map<std::string, std::string> m_meta;
    std::vector<std::function<void()>> m_undo;
    bool m_inTransaction = false;
};

} // namespace

std::unique_ptr<DirStore> MakeMemoryStore() {
    return std::make_unique<MemoryStore>();
}

} // namespace dirclient
