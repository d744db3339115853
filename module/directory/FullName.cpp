#include "module/directory/FullName.h"

#include "module/directory/Schema.h"
#include "platform/winapi/WinApi.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Calls onEscapedDot(index of the backslash) for each escaped dot and stops at the first unescaped dot,
// answering its index (npos when there is none).
template <typename OnEscapedDot> size_t ScanName(std::string_view name, OnEscapedDot onEscapedDot) {
    size_t i = 0;
    while (i < name.size()) {
        const auto byte = static_cast<BYTE>(name[i]);
        if (IsDBCSLeadByte(byte) && i + 1 < name.size()) {
            i += 2; // the pair is one character, whatever its trail byte looks like
            continue;
        }
        if (byte == '\\' && i + 1 < name.size() && name[i + 1] == '.') {
            onEscapedDot(i);
            i += 2;
            continue;
        }
        if (byte == '.') {
            return i;
        }
        ++i;
    }
    return std::string_view::npos;
}

bool IsDoubleByteCodePage() {
    for (BYTE byte = 0x80; byte != 0; ++byte) {
        if (IsDBCSLeadByte(byte)) {
            return true;
        }
    }
    return false;
}

bool IsRootName(std::string_view name) {
    constexpr std::string_view kRoot = kNameRoot;
    if (name.size() != kRoot.size()) {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        char r = kRoot[i];
        if (r >= 'A' && r <= 'Z') {
            r = static_cast<char>(r - 'A' + 'a');
        }
        if (c != r) {
            return false;
        }
    }
    return true;
}

} // namespace

size_t FindLeafEnd(std::string_view fullName) {
    return ScanName(fullName, [](size_t) {});
}

bool IsOneLeaf(const char* leaf) {
    const std::string_view name = leaf != nullptr ? leaf : "";
    if (name.empty()) {
        return false;
    }
    // The "." a container's name follows must be the first unescaped one.
    const std::string probe = std::string(name) + '.';
    return FindLeafEnd(probe) == name.size();
}

void SplitFullName(const char* fullName, CString* leaf, CString* container) {
    const std::string_view name = fullName != nullptr ? fullName : "";
    const size_t end = FindLeafEnd(name);
    std::string_view leafPart = name.substr(0, end);
    std::string_view containerPart;
    if (end != std::string_view::npos) {
        containerPart = name.substr(end + 1);
    } else if (!name.empty() && !IsRootName(name)) {
        containerPart = kNameRoot;
    }
    if (leaf != nullptr) {
        *leaf = CString(leafPart);
    }
    if (container != nullptr) {
        *container = CString(containerPart);
    }
}

CString GetLeafName(const char* fullName) {
    CString leaf;
    SplitFullName(fullName, &leaf, nullptr);
    return leaf;
}

CString GetContainerName(const char* fullName) {
    CString container;
    SplitFullName(fullName, nullptr, &container);
    return container;
}

CString MakeFullName(const char* leaf, const char* container) {
    CString fullName(leaf != nullptr ? leaf : "");
    if (container != nullptr && container[0] != '\0' && !IsRootName(container)) {
        fullName += '.';
        fullName += container;
    }
    return fullName;
}

int NtNameLength(const char* leaf) {
    if (leaf == nullptr) {
        return 0;
    }
    const std::string_view name = leaf;
    // A leaf holds no unescaped dot; should one be passed anyway, only the leaf part counts.
    const size_t end = std::min(FindLeafEnd(name), name.size());
    const bool doubleByte = IsDoubleByteCodePage();
    int characters = 0;
    size_t i = 0;
    while (i < end) {
        const auto byte = static_cast<BYTE>(name[i]);
        if (IsDBCSLeadByte(byte) && i + 1 < end) {
            i += 2;
        } else if (byte == '\\' && i + 1 < end && name[i + 1] == '.') {
            i += 2; // the dot is the character; its backslash is only the directory's escape
        } else {
            ++i;
            // Outside a double-byte page names are UTF-8: the continuation bytes belong to the character
            // that began before them.
            while (!doubleByte && i < end && (static_cast<BYTE>(name[i]) & 0xC0) == 0x80) {
                ++i;
            }
        }
        ++characters;
    }
    return characters;
}

int EscapedDotCount(const char* leaf) {
    if (leaf == nullptr) {
        return 0;
    }
    int escapes = 0;
    static_cast<void>(ScanName(leaf, [&escapes](size_t) { ++escapes; }));
    return escapes;
}
