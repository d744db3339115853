// Full names of directory objects: dotted, leaf first ("Alice.Sales.Corp"). A "." preceded by a backslash
// belongs to the leaf ("A\.B.Corp" has the leaf "A\.B"), unless that backslash is the second byte of a
// double-byte character of the active code page. Every part of the module splits and rebuilds names
// through these helpers so that the escaped-dot rule lives in one place.
#pragma once

#include "platform/ui/String.h"

#include <cstddef>
#include <string_view>

// NT account names are limited to 20 characters.
inline constexpr int kMaxNtNameLength = 20;

// Byte index of the first "." that is not escaped, or std::string_view::npos when there is none.
// The name is read from its start one character at a time, so a backslash that is the trail byte of a
// double-byte character never escapes the dot after it.
size_t FindLeafEnd(std::string_view fullName);

// True when leaf comes back whole as one leaf below any container: not empty, no unescaped "." (which would
// name a container) and no trailing backslash or lead byte (which would take the "." before the container).
// Every dialog that names an object checks its name with this before the directory sees it.
bool IsOneLeaf(const char* leaf);

// Splits at the first unescaped ".": the leaf keeps its escaping backslashes. An object directly below the
// root ("Corp") has the container "[Root]"; "[Root]" itself has the leaf "[Root]" and an empty container.
// A null name gives two empty strings.
void SplitFullName(const char* fullName, CString* leaf, CString* container);
CString GetLeafName(const char* fullName);
CString GetContainerName(const char* fullName);

// Rebuilds leaf "." container. Below the root (container "" or "[Root]") the full name is the leaf alone,
// as the directory names such objects.
CString MakeFullName(const char* leaf, const char* container);

// The length an NT system sees for a leaf, in characters: a UTF-8 sequence (or, while a double-byte code
// page is active, a lead and trail byte pair) is one character, and a backslash that escapes a dot is none.
// Every check of the NT name limit measures with this, so that the limit means the same everywhere.
int NtNameLength(const char* leaf);
// How many backslashes of the leaf escape a dot: what a leaf holds beyond its NT length.
int EscapedDotCount(const char* leaf);
