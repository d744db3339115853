// A value inside the client: copied in from the caller's client form, costed in request and reply buffers,
// and written back out in client form as one self-contained block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dirclient {

struct Value {
    uint32_t syntax = 0;
    std::string text;    // strings, names, class names; the protected attribute of an ACL value
    std::string subject; // the subject of an ACL value
    uint32_t number = 0; // Boolean, Integer, Time, Interval; ACL privileges; net address type
    std::string bytes;   // octet string, net address
};

inline constexpr uint32_t kItemHeaderBytes = 8;
// Values larger than this are refused whatever the buffer: nothing the directory keeps is that large.
inline constexpr size_t kMaxValueBytes = 1u << 20;

// Copies a client-form value. Strings are read up to limit bytes; a longer one answers kDirErrBufferFull
// so that the caller can tell "does not fit" apart from bad input.
[[nodiscard]] int32_t ValueFromClient(uint32_t syntax, const void* client, size_t limit, Value* out);
// Bytes the value costs in a request or reply buffer, header included.
uint32_t EncodedCost(const Value& value);
// Bytes the value needs in client form.
uint32_t ClientSize(const Value& value);
// Writes the value in client form into out (ClientSize bytes); pointers point inside out.
void WriteClient(const Value& value, void* out);

} // namespace dirclient
