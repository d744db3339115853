// The directory over a store: name resolution, schema checks, references, rights and passwords. Every write
// is one store transaction, checked completely before it is committed, so a refused request changes nothing.
#pragma once

#include <cstdint>
#include <memory>
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
    explicit Directory(std::unique_ptr<DirStore> store) : m_store(std::move(store)) {}

    // Fills a new store: "[Root]", the user "Admin" with the Supervisor entry right on "[Root]".
    [[nodiscard]] int32_t Initialize();

    int64_t Identity() const { return m_identity; }
    [[nodiscard]] int32_t Login(std::string_view name, const char* password);

    [[nodiscard]] int32_t Resolve(std::string_view name, int64_t* id);
    // As Resolve, then to the aliased object when flags hold kDirFlagDerefAliases.
    [[nodiscard]] int32_t ResolveForRead(std::string_view name, uint32_t flags, int64_t* id);
    [[nodiscard]] int32_t FullName(int64_t id, std::string* out);
    // Names are cached only within one call: another process may rename objects of a shared store file.
    void Forget() { m_names.clear(); }
    // subject kPublicSubject is "[Public]"; attr an attribute, "[All Attributes Rights]" or "[Entry Rights]".
    [[nodiscard]] int32_t Rights(int64_t subject, int64_t object, std::string_view attr, uint32_t* rights);

    [[nodiscard]] int32_t Modify(int64_t object, const std::vector<RequestItem>& items);
    [[nodiscard]] int32_t Add(std::string_view name, const std::vector<RequestItem>& items);
    [[nodiscard]] int32_t Remove(int64_t object);
    [[nodiscard]] int32_t Rename(int64_t object, std::string_view newLeaf, bool removeOld);
    [[nodiscard]] int32_t Move(int64_t object, int64_t container);
    // oldPassword nullptr sets the password without the old one.
    [[nodiscard]] int32_t SetPassword(int64_t user, const char* oldPassword, const char* newPassword);

    [[nodiscard]] int32_t Read(int64_t object, bool all, const std::vector<std::string>& names,
                               std::vector<ReplyAttr>* out);
    [[nodiscard]] int32_t Compare(int64_t object, const std::vector<RequestItem>& items, bool* matched);
    [[nodiscard]] int32_t ObjectInfo(int64_t id, uint32_t flags, std::string* name, DirObjectInfo* info);
    [[nodiscard]] int32_t List(int64_t container, uint32_t flags, std::vector<ReplyObject>* out);

    [[nodiscard]] int32_t TreeName(std::string* out);
    [[nodiscard]] int32_t SetTreeName(const std::string& name);

private:
    struct Change {
        int32_t change = 0;
        const AttributeDef* def = nullptr;
        std::vector<const Value*> values;
    };

    [[nodiscard]] int32_t ToStored(const Value& value, const AttributeDef& def, StoredValue* out);
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
    [[nodiscard]] int32_t Touch(int64_t object);
    // kDirErrNoRight unless the signed-in identity holds the entry right on the object.
    [[nodiscard]] int32_t RequireEntryRight(int64_t object, uint32_t right);

    std::unique_ptr<DirStore> m_store;
    int64_t m_identity = kPublicSubject;
    std::unordered_map<int64_t, std::string> m_names; // full names, valid within one call
};

// Argon2id cost of passwords set from now on.
void SetHashCost(uint64_t opsLimit, uint64_t memLimit);

} // namespace dirclient
