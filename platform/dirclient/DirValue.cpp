#include "platform/dirclient/DirValue.h"

#include <cstring>

#include "platform/dirclient/DirClient.h"

namespace dirclient {

namespace {

// strnlen that tells whether a terminator was found within limit.
bool BoundedLength(const char* text, size_t limit, size_t* length) {
    const void* end = std::memchr(text, '\0', limit);
    if (end == nullptr) {
        return false;
    }
    *length = static_cast<size_t>(static_cast<const char*>(end) - text);
    return true;
}

int32_t CopyString(const char* text, size_t limit, std::string* out) {
    if (text == nullptr) {
        return kDirErrBadArgument;
    }
    size_t length = 0;
    if (!BoundedLength(text, limit + 1, &length)) {
        return kDirErrBufferFull;
    }
    out->assign(text, length);
    return kDirOk;
}

// A caller's byte block: never longer than any value may be, never missing when it has a length, and within
// what the request has left.
int32_t CheckClientBytes(const void* data, size_t length, size_t limit) {
    if (length > kMaxValueBytes) {
        return kDirErrValueTooLarge;
    }
    if (length > 0 && data == nullptr) {
        return kDirErrBadArgument;
    }
    return length > limit ? kDirErrBufferFull : kDirOk;
}

} // namespace

int32_t ValueFromClient(uint32_t syntax, const void* client, size_t limit, Value* out) {
    if (client == nullptr) {
        return kDirErrBadArgument;
    }
    if (limit > kMaxValueBytes) {
        limit = kMaxValueBytes;
    }
    *out = Value{};
    out->syntax = syntax;
    switch (syntax) {
    case kDirSyntaxDistinguishedName:
    case kDirSyntaxCaseIgnoreString:
    case kDirSyntaxClassName:
        return CopyString(static_cast<const char*>(client), limit, &out->text);
    case kDirSyntaxBoolean: {
        uint32_t flag = 0;
        std::memcpy(&flag, client, sizeof flag);
        if (flag > 1) {
            return kDirErrWrongSyntax;
        }
        out->number = flag;
        return kDirOk;
    }
    case kDirSyntaxInteger:
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        std::memcpy(&out->number, client, sizeof out->number);
        return kDirOk;
    case kDirSyntaxOctetString: {
        const auto* octets = static_cast<const DirOctetString*>(client);
        if (const int32_t rc = CheckClientBytes(octets->data, octets->length, limit); rc != kDirOk) {
            return rc;
        }
        out->bytes.assign(reinterpret_cast<const char*>(octets->data), octets->length);
        return kDirOk;
    }
    case kDirSyntaxNetAddress: {
        const auto* address = static_cast<const DirNetAddress*>(client);
        if (const int32_t rc = CheckClientBytes(address->address, address->length, limit); rc != kDirOk) {
            return rc;
        }
        out->number = address->type;
        out->bytes.assign(reinterpret_cast<const char*>(address->address), address->length);
        return kDirOk;
    }
    case kDirSyntaxObjectACL: {
        const auto* acl = static_cast<const DirObjectACL*>(client);
        int32_t rc = CopyString(acl->protectedAttrName, limit, &out->text);
        if (rc == kDirOk) {
            rc = CopyString(acl->subjectName, limit, &out->subject);
        }
        out->number = acl->privileges;
        return rc;
    }
    default:
        return kDirErrWrongSyntax;
    }
}

uint32_t EncodedCost(const Value& value) {
    size_t body = 0;
    switch (value.syntax) {
    case kDirSyntaxOctetString:
        body = value.bytes.size() + 4;
        break;
    case kDirSyntaxNetAddress:
        body = value.bytes.size() + 8;
        break;
    case kDirSyntaxObjectACL:
        body = value.text.size() + value.subject.size() + 2 + 4;
        break;
    case kDirSyntaxBoolean:
    case kDirSyntaxInteger:
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        body = 4;
        break;
    default:
        body = value.text.size() + 1;
        break;
    }
    return static_cast<uint32_t>(body + kItemHeaderBytes);
}

uint32_t ClientSize(const Value& value) {
    switch (value.syntax) {
    case kDirSyntaxOctetString:
        return static_cast<uint32_t>(sizeof(DirOctetString) + value.bytes.size());
    case kDirSyntaxNetAddress:
        return static_cast<uint32_t>(sizeof(DirNetAddress) + value.bytes.size());
    case kDirSyntaxObjectACL:
        return static_cast<uint32_t>(sizeof(DirObjectACL) + value.text.size() + 1 + value.subject.size() + 1);
    case kDirSyntaxBoolean:
    case kDirSyntaxInteger:
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        return 4;
    default:
        return static_cast<uint32_t>(value.text.size() + 1);
    }
}

void WriteClient(const Value& value, void* out) {
    auto* base = static_cast<uint8_t*>(out);
    switch (value.syntax) {
    case kDirSyntaxOctetString: {
        DirOctetString octets{static_cast<uint32_t>(value.bytes.size()), base + sizeof(DirOctetString)};
        std::memcpy(base, &octets, sizeof octets);
        std::memcpy(octets.data, value.bytes.data(), value.bytes.size());
        return;
    }
    case kDirSyntaxNetAddress: {
        DirNetAddress address{value.number, static_cast<uint32_t>(value.bytes.size()),
                              base + sizeof(DirNetAddress)};
        std::memcpy(base, &address, sizeof address);
        std::memcpy(address.address, value.bytes.data(), value.bytes.size());
        return;
    }
    case kDirSyntaxObjectACL: {
        char* protectedName = reinterpret_cast<char*>(base + sizeof(DirObjectACL));
        char* subject = protectedName + value.text.size() + 1;
        std::memcpy(protectedName, value.text.c_str(), value.text.size() + 1);
        std::memcpy(subject, value.subject.c_str(), value.subject.size() + 1);
        DirObjectACL acl{protectedName, subject, value.number};
        std::memcpy(base, &acl, sizeof acl);
        return;
    }
    case kDirSyntaxBoolean:
    case kDirSyntaxInteger:
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        std::memcpy(base, &value.number, sizeof value.number);
        return;
    default:
        std::memcpy(base, value.text.c_str(), value.text.size() + 1);
        return;
    }
}

} // namespace dirclient
