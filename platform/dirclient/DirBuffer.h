// Request and reply buffers. A buffer has a byte capacity; every item is costed deterministically
// (EncodedCost) so that what fits is the same on every run and every store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirValue.h"

namespace dirclient {

enum class RequestItemKind { AttrName, Change, Value };

struct RequestItem {
    RequestItemKind kind = RequestItemKind::AttrName;
    int32_t change = 0;
    std::string attr;
    uint32_t syntax = 0; // of the attribute named (names and changes)
    Value value;
};

struct ReplyAttr {
    std::string name;
    uint32_t syntax = 0;
    std::vector<Value> values;
};

struct ReplyObject {
    std::string name;
    uint32_t attrCount = 0;
    DirObjectInfo info{};
};

inline uint32_t NameCost(const std::string& name) {
    return static_cast<uint32_t>(name.size() + 1 + kItemHeaderBytes);
}
inline constexpr uint32_t kObjectEntryCost = sizeof(DirObjectInfo) + 4 + kItemHeaderBytes;

} // namespace dirclient

struct DirBuffer {
    uint32_t capacity = 0;
    uint32_t used = 0;
    int32_t operation = 0; // 0 until DirInitBuffer
    std::vector<dirclient::RequestItem> items;
    size_t lastOwner = SIZE_MAX; // index of the last attribute name or change, which later values belong to
    // Reply side.
    std::vector<dirclient::ReplyAttr> attrs;
    std::vector<dirclient::ReplyObject> objects;
    size_t nextAttr = 0;  // index of the attribute DirGetAttrName gives next
    size_t nextValue = 0; // index of the next value of the current attribute (nextAttr - 1)
    size_t nextObject = 0;

    void Clear(int32_t newOperation) {
        operation = newOperation;
        used = 0;
        items.clear();
        lastOwner = SIZE_MAX;
        attrs.clear();
        objects.clear();
        nextAttr = nextValue = nextObject = 0;
    }
    [[nodiscard]] bool Fits(uint32_t cost) const { return cost <= capacity - used; }
};
