#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace cvadmin {

// A value in the directory client's form, in one heap block that `free` releases.
struct FreeDeleter {
    void operator()(void* p) const;
};
using ClientValue = std::unique_ptr<void, FreeDeleter>;

// Writes a client-form value as `dump` prints it and `dir set` reads it: text as it is, booleans
// `true`/`false`, numbers in decimal, times and intervals as unsigned seconds, octet strings as `0x`
// and lower-case hex, net addresses `TYPE:TEXT`, ACL values `ATTR|SUBJECT|RIGHTS`.
std::string FormatValue(uint32_t syntax, const void* value);

struct ParsedValue {
    ClientValue value;
    std::string error; // empty when the text was read
};

// Reads the text form of a value of `syntax` into a new client-form value.
[[nodiscard]] ParsedValue ParseValue(uint32_t syntax, const std::string& text);

} // namespace cvadmin
