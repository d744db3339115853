#include "platform/dirclient/DirNames.h"

#include <cstring>

#include "platform/dirclient/DirClient.h"
#include "platform/winapi/WinApi.h"

namespace dirclient {

// Every double-byte code page leads with bytes of 0x81 and above, so ASCII never needs the question.
bool IsLeadByte(uint8_t byte) {
    return byte >= 0x80 && IsDBCSLeadByte(byte) != FALSE;
}

int32_t SplitName(std::string_view name, std::vector<std::string>* leaves) {
    leaves->clear();
    if (name.size() > kDirMaxNameBytes) {
        return kDirErrNameTooLong;
    }
    if (name.empty()) {
        return kDirErrBadName;
    }
    if (NamesEqual(name, kRootName)) {
        return kDirOk;
    }
    std::string current;
    size_t i = 0;
    while (i < name.size()) {
        const auto byte = static_cast<uint8_t>(name[i]);
        if (IsLeadByte(byte) && i + 1 < name.size()) {
            // The pair is one character: a backslash as its trail byte escapes nothing.
            current.append(name.substr(i, 2));
            i += 2;
            continue;
        }
        if (byte == '\\' && i + 1 < name.size() && name[i + 1] == '.') {
            current.append("\\.");
            i += 2;
            continue;
        }
        if (byte == '.') {
            if (current.empty()) {
                return kDirErrBadName;
            }
            leaves->push_back(std::move(current));
            current.clear();
            ++i;
            continue;
        }
        current.push_back(static_cast<char>(byte));
        ++i;
    }
    if (current.empty()) {
        return kDirErrBadName; // trailing dot
    }
    leaves->push_back(std::move(current));
    if (leaves->size() > 1 && NamesEqual(leaves->back(), kRootName)) {
        leaves->pop_back();
    }
    for (const auto& leaf : *leaves) {
        if (NamesEqual(leaf, kRootName)) {
            return kDirErrBadName;
        }
    }
    return kDirOk;
}

int32_t CheckLeaf(std::string_view leaf) {
    std::vector<std::string> leaves;
    if (leaf.empty()) {
        return kDirErrBadName;
    }
    const int32_t rc = SplitName(leaf, &leaves);
    if (rc != kDirOk) {
        return rc;
    }
    if (leaves.size() != 1 || leaves[0].size() != leaf.size() || NamesEqual(leaf, kPublicName)) {
        return kDirErrBadName;
    }
    // The leaf must also come back whole when a container's name follows it: a trailing backslash would
    // escape the dot before the container, and a trailing lead byte would take that dot as its trail byte.
    // Such an object could be named by nobody afterwards.
    // The walk pairs bytes exactly as SplitName does.
    size_t i = 0;
    bool danglingEscape = false;
    while (i < leaf.size()) {
        const auto byte = static_cast<uint8_t>(leaf[i]);
        danglingEscape = false;
        if (IsLeadByte(byte)) {
            danglingEscape = i + 1 == leaf.size();
            i += 2;
        } else if (byte == '\\' && i + 1 < leaf.size() && leaf[i + 1] == '.') {
            i += 2;
        } else {
            danglingEscape = byte == '\\' && i + 1 == leaf.size();
            ++i;
        }
    }
    return danglingEscape ? kDirErrBadName : kDirOk;
}

int32_t CheckNewLeaf(std::string_view leaf) {
    const int32_t rc = CheckLeaf(leaf);
    if (rc != kDirOk) {
        return rc;
    }
    // No trail byte of a double-byte code page lies below 0x40 or is 0x7F, so each such byte is a control
    // character of its own. Leaves stored before keep working: only new names are refused.
    for (const char c : leaf) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return kDirErrControlInName;
        }
    }
    return kDirOk;
}

// Every value of a text attribute and every leaf passes here, so ASCII (the usual case) never asks the
// code page: only a byte of 0x80 and above can lead a double-byte character. Eight ASCII bytes fold at once
// (a byte from 'A' to 'Z' gains 0x20), which is most of what a list write of thousands of values spends
// here; a block that holds a byte of 0x80 or above goes a byte at a time.
std::string FoldName(std::string_view name) {
    constexpr uint64_t kEach = 0x0101010101010101;
    constexpr uint64_t kHigh = 0x80 * kEach;
    std::string key(name);
    char* bytes = key.data();
    const size_t size = key.size();
    size_t i = 0;
    while (i < size) {
        uint64_t block = 0;
        if (size - i >= sizeof block) {
            std::memcpy(&block, bytes + i, sizeof block);
        }
        if (size - i >= sizeof block && (block & kHigh) == 0) {
            // Below 0x80 a byte plus 0x3F (or 0x25) carries into nothing and sets its top bit exactly when
            // the byte is at least 'A' (or past 'Z').
            const uint64_t fromA = block + (0x80 - 'A') * kEach;
            const uint64_t pastZ = block + (0x80 - 'Z' - 1) * kEach;
            block |= (fromA & ~pastZ & kHigh) >> 2;
            std::memcpy(bytes + i, &block, sizeof block);
            i += sizeof block;
            continue;
        }
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (byte < 0x80) {
            bytes[i] = static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte);
            ++i;
        } else {
            // The trail byte of a double-byte character stays as it is.
            i += i + 1 < size && IsLeadByte(byte) ? 2 : 1;
        }
    }
    return key;
}

// FoldName(a) == FoldName(b), without making either key.
bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    bool trailA = false;
    bool trailB = false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<uint8_t>(a[i]);
        auto y = static_cast<uint8_t>(b[i]);
        if (!trailA && x >= 'A' && x <= 'Z') {
            x = static_cast<uint8_t>(x - 'A' + 'a');
        }
        if (!trailB && y >= 'A' && y <= 'Z') {
            y = static_cast<uint8_t>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
        const bool last = i + 1 == a.size();
        trailA = !trailA && x >= 0x80 && !last && IsLeadByte(x);
        trailB = !trailB && y >= 0x80 && !last && IsLeadByte(y);
    }
    return true;
}

} // namespace dirclient
