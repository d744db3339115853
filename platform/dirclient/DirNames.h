// Full names: splitting at unescaped dots, the comparison key, and the lead-byte test that the
// escaped-dot rule needs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dirclient {

// The lead-byte test of the active code page (platform/winapi): a backslash that is the trail byte of a
// double-byte character escapes nothing.
bool IsLeadByte(uint8_t byte);

// Splits a full name into its leaves, leaf first. "[Root]" gives no leaves; a trailing ".[Root]" is
// accepted and dropped. Answers kDirErrBadName for "", a leading, doubled or trailing dot, or "[Root]" in
// the middle; kDirErrNameTooLong past 511 bytes.
[[nodiscard]] int32_t SplitName(std::string_view name, std::vector<std::string>* leaves);
// Checks one leaf: not empty, no unescaped dot, not "[Root]" or "[Public]", and whole again when it is
// followed by a container's name (no trailing backslash, no trailing lead byte).
[[nodiscard]] int32_t CheckLeaf(std::string_view leaf);
// CheckLeaf, and for a leaf that an add or rename gives an object: kDirErrControlInName when it holds a
// control character, which no listing shows as typed and no name typed back reaches.
[[nodiscard]] int32_t CheckNewLeaf(std::string_view leaf);
// The comparison key: ASCII letters folded to lower case, other bytes as they are. A trail byte of a
// double-byte character is never folded, since it is not a letter of its own.
std::string FoldName(std::string_view name);
bool NamesEqual(std::string_view a, std::string_view b);

inline constexpr std::string_view kRootName = "[Root]";
inline constexpr std::string_view kPublicName = "[Public]";

} // namespace dirclient
