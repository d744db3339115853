// The in-memory store: maps ordered like the SQLite store's indexes, so both answer in the same order.
// A transaction keeps a copy of the state taken at its first write, which Rollback puts back.
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/dirclient/DirErrors.h"
#include "platform/dirclient/DirNames.h"
#include "platform/dirclient/DirStore.h"

namespace dirclient {

namespace {

struct AttrValues {
    std::map<uint64_t, StoredValue> bySeq;
    std::unordered_map<std::string, uint64_t> byKey;
};

struct State {
    int64_t nextId = 1;
    uint64_t nextSeq = 1;
    std::map<int64_t, ObjectRecord> objects;
    std::map<std::pair<int64_t, std::string>, int64_t> children; // (parent, folded leaf)
    std::map<int64_t, std::map<std::string, AttrValues>> values;
    std::map<std::string, std::string> meta;
};

class MemoryStore final : public DirStore {
public:
    int32_t Begin() override {
        if (m_inTransaction) {
            return kDirErrStoreFailed;
        }
        m_inTransaction = true;
        m_saved.reset();
        return kDirOk;
    }
    int32_t Commit() override {
        m_inTransaction = false;
        m_saved.reset();
        return kDirOk;
    }
    void Rollback() override {
        if (m_saved) {
            m_state = std::move(*m_saved);
        }
        m_saved.reset();
        m_inTransaction = false;
    }

    int32_t GetObject(int64_t id, ObjectRecord* out) override {
        const auto it = m_state.objects.find(id);
        if (it == m_state.objects.end()) {
            return kDirErrNoSuchObject;
        }
        *out = it->second;
        return kDirOk;
    }
    int32_t FindChild(int64_t parent, const std::string& leafKey, ObjectRecord* out) override {
        const auto it = m_state.children.find({parent, leafKey});
        if (it == m_state.children.end()) {
            return kDirErrNoSuchObject;
        }
        return GetObject(it->second, out);
    }
    int32_t ListChildren(int64_t parent, std::vector<ChildSummary>* out) override {
        out->clear();
        for (auto it = m_state.children.lower_bound({parent, std::string()});
             it != m_state.children.end() && it->first.first == parent; ++it) {
            ChildSummary summary;
            summary.record = m_state.objects.at(it->second);
            (void)CountChildren(it->second, &summary.subordinateCount);
            const auto values = m_state.values.find(it->second);
            if (values != m_state.values.end()) {
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
        for (auto it = m_state.children.lower_bound({parent, std::string()});
             it != m_state.children.end() && it->first.first == parent; ++it) {
            ++*count;
        }
        return kDirOk;
    }
    int32_t InsertObject(ObjectRecord* record) override {
        Save();
        const std::string key = FoldName(record->leaf);
        if (m_state.children.count({record->parent, key}) != 0) {
            return kDirErrObjectExists;
        }
        record->id = m_state.nextId++;
        m_state.objects[record->id] = *record;
        m_state.children[{record->parent, key}] = record->id;
        return kDirOk;
    }
    int32_t UpdateObject(const ObjectRecord& record) override {
        Save();
        auto it = m_state.objects.find(record.id);
        if (it == m_state.objects.end()) {
            return kDirErrNoSuchObject;
        }
        const std::pair<int64_t, std::string> oldKey{it->second.parent, FoldName(it->second.leaf)};
        const std::pair<int64_t, std::string> newKey{record.parent, FoldName(record.leaf)};
        if (oldKey != newKey) {
            if (m_state.children.count(newKey) != 0) {
                return kDirErrObjectExists;
            }
            m_state.children.erase(oldKey);
            m_state.children[newKey] = record.id;
        }
        it->second = record;
        return kDirOk;
    }
    int32_t SetModTime(int64_t id, uint32_t modTime) override {
        Save();
        auto it = m_state.objects.find(id);
        if (it == m_state.objects.end()) {
            return kDirErrNoSuchObject;
        }
        it->second.modTime = modTime;
        return kDirOk;
    }
    int32_t DeleteObject(int64_t id) override {
        Save();
        auto it = m_state.objects.find(id);
        if (it == m_state.objects.end()) {
            return kDirErrNoSuchObject;
        }
        m_state.children.erase({it->second.parent, FoldName(it->second.leaf)});
        m_state.objects.erase(it);
        m_state.values.erase(id);
        for (auto& [object, attrs] : m_state.values) {
            for (auto& [attr, list] : attrs) {
                for (auto value = list.bySeq.begin(); value != list.bySeq.end();) {
                    if (value->second.ref == id) {
                        list.byKey.erase(value->second.key);
                        value = list.bySeq.erase(value);
                    } else {
                        ++value;
                    }
                }
            }
        }
        return kDirOk;
    }

    int32_t ReadValues(int64_t object, const std::string& attr, std::vector<StoredValue>* out) override {
        out->clear();
        const auto values = m_state.values.find(object);
        if (values == m_state.values.end()) {
            return kDirOk;
        }
        for (const auto& [name, list] : values->second) {
            if (!attr.empty() && name != attr) {
                continue;
            }
            for (const auto& [seq, value] : list.bySeq) {
                out->push_back(value);
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
        Save();
        AttrValues& list = m_state.values[object][value.attr];
        if (list.byKey.count(value.key) != 0) {
            return kDirErrValueExists;
        }
        const uint64_t seq = m_state.nextSeq++;
        list.bySeq[seq] = value;
        list.byKey[value.key] = seq;
        return kDirOk;
    }
    int32_t DeleteValue(int64_t object, const std::string& attr, const std::string& key) override {
        Save();
        AttrValues* list = Find(object, attr);
        const auto it = list == nullptr ? decltype(list->byKey.end()){} : list->byKey.find(key);
        if (list == nullptr || it == list->byKey.end()) {
            return kDirErrNoSuchValue;
        }
        list->bySeq.erase(it->second);
        list->byKey.erase(it);
        return kDirOk;
    }
    int32_t DeleteAllValues(int64_t object, const std::string& attr) override {
        Save();
        auto values = m_state.values.find(object);
        if (values != m_state.values.end()) {
            values->second.erase(attr);
        }
        return kDirOk;
    }

    int32_t GetMeta(const std::string& key, std::string* value) override {
        const auto it = m_state.meta.find(key);
        if (it == m_state.meta.end()) {
            return kDirErrNoSuchAttribute;
        }
        *value = it->second;
        return kDirOk;
    }
    int32_t SetMeta(const std::string& key, const std::string& value) override {
        Save();
        m_state.meta[key] = value;
        return kDirOk;
    }

private:
    void Save() {
        if (m_inTransaction && !m_saved) {
            m_saved = m_state;
        }
    }
    AttrValues* Find(int64_t object, const std::string& attr) {
        auto values = m_state.values.find(object);
        if (values == m_state.values.end()) {
            return nullptr;
        }
        auto list = values->second.find(attr);
        return list == values->second.end() ? nullptr : &list->second;
    }

    State m_state;
    std::optional<State> m_saved;
    bool m_inTransaction = false;
};

} // namespace

std::unique_ptr<DirStore> MakeMemoryStore() {
    return std::make_unique<MemoryStore>();
}

} // namespace dirclient
