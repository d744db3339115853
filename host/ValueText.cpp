#include "host/ValueText.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/dirclient/DirClient.h"

namespace cvadmin {

void FreeDeleter::operator()(void* p) const {
    std::free(p);
}

namespace {

const char kHex[] = "0123456789abcdef";

std::string Hex(const uint8_t* data, uint32_t length) {
    std::string out = "0x";
    for (uint32_t i = 0; i < length; ++i) {
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 0xF];
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

template <typename T> bool ParseNumber(const std::string& text, T& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && !text.empty();
}

ClientValue Allocate(std::size_t bytes) {
    ClientValue value(std::calloc(1, bytes == 0 ? 1 : bytes));
    return value;
}

ClientValue CopyString(const std::string& text) {
    ClientValue value = Allocate(text.size() + 1);
    std::memcpy(value.get(), text.c_str(), text.size() + 1);
    return value;
}

ParsedValue Refuse(std::string why) {
    return ParsedValue{nullptr, std::move(why)};
}

} // namespace

std::string FormatValue(uint32_t syntax, const void* value) {
    switch (syntax) {
    case kDirSyntaxDistinguishedName:
    case kDirSyntaxCaseIgnoreString:
    case kDirSyntaxClassName:
        return static_cast<const char*>(value);
    case kDirSyntaxBoolean:
        return *static_cast<const uint32_t*>(value) != 0 ? "true" : "false";
    case kDirSyntaxInteger:
        return std::to_string(*static_cast<const int32_t*>(value));
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        return std::to_string(*static_cast<const uint32_t*>(value));
    case kDirSyntaxOctetString: {
        const auto* octets = static_cast<const DirOctetString*>(value);
        return Hex(octets->data, octets->length);
    }
    case kDirSyntaxNetAddress: {
        const auto* address = static_cast<const DirNetAddress*>(value);
        return std::to_string(address->type) + ":" +
               std::string(reinterpret_cast<const char*>(address->address), address->length);
    }
    case kDirSyntaxObjectACL: {
        const auto* acl = static_cast<const DirObjectACL*>(value);
        return std::string(acl->protectedAttrName) + "|" + acl->subjectName + "|" +
               std::to_string(acl->privileges);
    }
    default:
        return "?";
    }
}

ParsedValue ParseValue(uint32_t syntax, const std::string& text) {
    switch (syntax) {
    case kDirSyntaxDistinguishedName:
    case kDirSyntaxCaseIgnoreString:
    case kDirSyntaxClassName:
        return ParsedValue{CopyString(text), {}};
    case kDirSyntaxBoolean: {
        if (text != "true" && text != "false")
            return Refuse("a Boolean is true or false, not \"" + text + "\"");
        ClientValue value = Allocate(sizeof(uint32_t));
        *static_cast<uint32_t*>(value.get()) = text == "true" ? 1 : 0;
        return ParsedValue{std::move(value), {}};
    }
    case kDirSyntaxInteger: {
        int32_t number = 0;
        if (!ParseNumber(text, number))
            return Refuse("an Integer is a decimal number from -2147483648 to 2147483647, not \"" + text +
                          "\"");
        ClientValue value = Allocate(sizeof(int32_t));
        *static_cast<int32_t*>(value.get()) = number;
        return ParsedValue{std::move(value), {}};
    }
    case kDirSyntaxTime:
    case kDirSyntaxInterval: {
        uint32_t seconds = 0;
        if (!ParseNumber(text, seconds))
            return Refuse("a time or interval is a number of seconds from 0 to 4294967295, not \"" + text +
                          "\"");
        ClientValue value = Allocate(sizeof(uint32_t));
        *static_cast<uint32_t*>(value.get()) = seconds;
        return ParsedValue{std::move(value), {}};
    }
    case kDirSyntaxOctetString: {
        if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') || text.size() % 2 != 0)
            return Refuse("an octet string is written 0x and pairs of hex digits, not \"" + text + "\"");
        std::size_t length = (text.size() - 2) / 2;
        ClientValue value = Allocate(sizeof(DirOctetString) + length);
        auto* octets = static_cast<DirOctetString*>(value.get());
        octets->length = static_cast<uint32_t>(length);
        octets->data = reinterpret_cast<uint8_t*>(octets + 1);
        for (std::size_t i = 0; i < length; ++i) {
            int high = HexDigit(text[2 + 2 * i]);
            int low = HexDigit(text[3 + 2 * i]);
            if (high < 0 || low < 0)
                return Refuse("an octet string is written 0x and pairs of hex digits, not \"" + text + "\"");
            octets->data[i] = static_cast<uint8_t>(high << 4 | low);
        }
        return ParsedValue{std::move(value), {}};
    }
    case kDirSyntaxNetAddress: {
        std::size_t colon = text.find(':');
        uint32_t type = 0;
        if (colon == std::string::npos || !ParseNumber(text.substr(0, colon), type))
            return Refuse("a net address is written TYPE:TEXT with a decimal type, not \"" + text + "\"");
        std::string address = text.substr(colon + 1);
        ClientValue value = Allocate(sizeof(DirNetAddress) + address.size());
        auto* net = static_cast<DirNetAddress*>(value.get());
        net->type = type;
        net->length = static_cast<uint32_t>(address.size());
        net->address = reinterpret_cast<uint8_t*>(net + 1);
        std::memcpy(net->address, address.data(), address.size());
        return ParsedValue{std::move(value), {}};
    }
    case kDirSyntaxObjectACL: {
        // The subject is a full name and may not hold "|"; the attribute name may not either, so the
        // first and last bars split the three fields.
        std::size_t first = text.find('|');
        std::size_t last = text.rfind('|');
        uint32_t rights = 0;
        if (first == std::string::npos || first == last || !ParseNumber(text.substr(last + 1), rights))
            return Refuse("an ACL value is written ATTR|SUBJECT|RIGHTS, not \"" + text + "\"");
        std::string attr = text.substr(0, first);
        std::string subject = text.substr(first + 1, last - first - 1);
        ClientValue value = Allocate(sizeof(DirObjectACL) + attr.size() + subject.size() + 2);
        auto* acl = static_cast<DirObjectACL*>(value.get());
        char* strings = reinterpret_cast<char*>(acl + 1);
        std::memcpy(strings, attr.c_str(), attr.size() + 1);
        std::memcpy(strings + attr.size() + 1, subject.c_str(), subject.size() + 1);
        acl->protectedAttrName = strings;
        acl->subjectName = strings + attr.size() + 1;
        acl->privileges = rights;
        return ParsedValue{std::move(value), {}};
    }
    default:
        return Refuse("attributes of syntax " + std::to_string(syntax) + " cannot be written here");
    }
}

} // namespace cvadmin
