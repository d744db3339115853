#include "platform/winapi/RegistryTree.h"
#include "platform/winapi/AsciiText.h"

#include <cstdio>

namespace {

using winapitext::Trim;

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kHeaderVersion5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// ---- UTF-16 -------------------------------------------------------------------------------------------

struct Utf16Fault {
    size_t unit; // index of the 16-bit unit at fault
    std::string message;
};

uint32_t Utf16Unit(std::string_view bytes, size_t unit) {
    return static_cast<uint8_t>(bytes[2 * unit]) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * unit + 1])) << 8);
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16LE bytes to UTF-8 in out; a fault when they are not UTF-16.
std::optional<Utf16Fault> DecodeUtf16Le(std::string_view bytes, std::string& out) {
    const size_t units = bytes.size() / 2;
    out.clear();
    out.reserve(bytes.size());
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = Utf16Unit(bytes, i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && Utf16Unit(bytes, i + 1) >= 0xDC00 &&
            Utf16Unit(bytes, i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (Utf16Unit(bytes, i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(c));
            return Utf16Fault{i, std::string("unpaired UTF-16 surrogate ") + hex};
        }
        AppendUtf8(out, c);
    }
    if (bytes.size() % 2 != 0)
        return Utf16Fault{units, "odd number of bytes, which UTF-16 cannot have"};
    return std::nullopt;
}

// UTF-8 to UTF-16LE bytes; nullopt when text is not UTF-8 (overlong forms and surrogates included).
std::optional<std::string> EncodeUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&out](uint32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    };
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t length;
        uint32_t c;
        uint32_t least;
        if (lead < 0x80) {
            length = 1, c = lead, least = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, c = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, c = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, c = lead & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + length > text.size())
            return std::nullopt;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
        i += length;
    }
    return out;
}

bool IsUtf8(const std::vector<BYTE>& bytes) {
    return EncodeUtf16Le(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))
        .has_value();
}

// In a Version 5.00 file these types hold UTF-16LE text; in a REGEDIT4 file, bytes of the code page.
bool HoldsUtf16Text(RegFileHeader header, DWORD type) {
    return header == RegFileHeader::Version5 &&
           (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ);
}

// ---- Writing ------------------------------------------------------------------------------------------

std::string EscapeQuoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// A string that a quoted .reg string cannot carry (a line break would end the line) goes out as hex(1).
bool FitsQuoted(const std::vector<BYTE>& data) {
    for (BYTE b : data)
        if (b == '\n' || b == '\r' || b == 0)
            return false;
    return true;
}

struct Writer {
    RegFileHeader header;
    RegFileEncoding encoding;
    std::string_view newline;
    std::string out;
    bool ok = true; // false once a string had no UTF-16 form

    void HexBytes(size_t prefixLength, const std::vector<BYTE>& bytes) {
        size_t column = prefixLength;
        char buf[4];
        for (size_t i = 0; i < bytes.size(); ++i) {
            std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
            out += buf;
            column += 2;
            if (i + 1 < bytes.size()) {
                out += ',';
                ++column;
                // regedit wraps long hex values at about 80 columns with a trailing backslash
                if (column > 76) {
                    out += '\\';
                    out += newline;
                    out += "  ";
                    column = 2;
                }
            }
        }
    }

    void Value(const RegistryValue& value) {
        std::string line = value.name.empty() ? "@" : EscapeQuoted(value.name);
        line += '=';
        const bool isString = value.type == REG_SZ;
        const bool utf8 = IsUtf8(value.data);
        if (isString && header == RegFileHeader::Version5 && !utf8) {
            ok = false; // a Unicode file has no form for it, quoted or as hex(1)
            return;
        }
        // A REGEDIT4 string in a UTF-16 file may hold bytes of a code page that are not UTF-8; as hex(1)
        // they reach the file unchanged.
        if (isString && FitsQuoted(value.data) && (utf8 || encoding == RegFileEncoding::Utf8)) {
            line += EscapeQuoted(
                std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
            out += line;
        } else if (value.type == REG_DWORD && value.data.size() == 4) {
            uint32_t v = static_cast<uint32_t>(value.data[0]) | (static_cast<uint32_t>(value.data[1]) << 8) |
                         (static_cast<uint32_t>(value.data[2]) << 16) |
                         (static_cast<uint32_t>(value.data[3]) << 24);
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", v);
            out += line + buf;
        } else {
            std::vector<BYTE> bytes = value.data;
            if (value.type == REG_SZ || value.type == REG_EXPAND_SZ)
                bytes.push_back(0); // the hex form of a string carries its NUL, as regedit writes it
            if (HoldsUtf16Text(header, value.type)) {
                const auto wide = EncodeUtf16Le(
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
                if (!wide) {
                    ok = false;
                    return;
                }
                bytes.assign(wide->begin(), wide->end());
            }
            if (value.type == REG_BINARY) {
                line += "hex:";
            } else {
                char buf[16];
                std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(value.type));
                line += buf;
            }
            out += line;
            HexBytes(line.size(), bytes);
        }
        out += newline;
    }

    // Depth first, each key before its subkeys, in a loop so that the depth of the tree does not decide
    // how much stack the writer needs.
    void Tree(const RegistryKey& root) {
        struct Pending {
            const RegistryKey* key;
            std::string path;
        };
        std::vector<Pending> pending;
        pending.push_back({&root, root.name});
        while (!pending.empty()) {
            Pending next = std::move(pending.back());
            pending.pop_back();
            const RegistryKey& key = *next.key;
            if (&key != &root || !key.values.empty()) {
                out += '[' + next.path + ']';
                out += newline;
                for (const RegistryValue& value : key.values)
                    Value(value);
                out += newline;
            }
            for (auto it = key.subkeys.rbegin(); it != key.subkeys.rend(); ++it)
                pending.push_back({it->get(), next.path + '\\' + (*it)->name});
        }
    }
};

const char kExpectedHeader[] = "expected the header REGEDIT4 or Windows Registry Editor Version 5.00";

struct Parser {
    std::string_view text;
    RegistryTree& tree;
    RegFileParseResult result;
    RegFileHeader header = RegFileHeader::Regedit4;
    size_t lineNumber = 0;
    size_t pos = 0;

    bool Fail(size_t line, std::string message) {
        result.ok = false;
        result.line = line;
        result.message = std::move(message);
        return false;
    }

    bool NextLine(std::string_view& line) {
        if (pos >= text.size())
            return false;
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = end + 1;
        ++lineNumber;
        return true;
    }

    // A quoted string at the start of s; s is advanced past it.
    bool ReadQuoted(std::string_view& s, std::string& out, size_t line) {
        if (s.empty() || s.front() != '"')
            return Fail(line, "expected a quoted string");
        s.remove_prefix(1);
        out.clear();
        while (true) {
            if (s.empty())
                return Fail(line, "string without its closing quote");
            char c = s.front();
            s.remove_prefix(1);
            if (c == '"')
                return true;
            if (c == '\\') {
                if (s.empty() || (s.front() != '\\' && s.front() != '"'))
                    return Fail(line, "unknown escape in a string (only \\\\ and \\\" are allowed)");
                c = s.front();
                s.remove_prefix(1);
            }
            out += c;
        }
    }

    bool ReadHex(std::string_view data, size_t line, std::vector<BYTE>& bytes) {
        // continuation lines end with a backslash
        std::string all(Trim(data));
        while (!all.empty() && all.back() == '\\') {
            all.pop_back();
            std::string_view next;
            if (!NextLine(next))
                return Fail(line, "hex value continues past the end of the file");
            all += Trim(next);
        }
        std::string_view s = all;
        bytes.clear();
        while (!s.empty()) {
            s = Trim(s);
            if (s.size() < 2 || HexDigit(s[0]) < 0 || HexDigit(s[1]) < 0)
                return Fail(line, "malformed hex byte list");
            bytes.push_back(static_cast<BYTE>(HexDigit(s[0]) * 16 + HexDigit(s[1])));
            s.remove_prefix(2);
            s = Trim(s);
            if (s.empty())
                break;
            if (s.front() != ',')
                return Fail(line, "malformed hex byte list");
            s.remove_prefix(1);
            if (Trim(s).empty())
                return Fail(line, "malformed hex byte list");
        }
        return true;
    }

    bool ParseValue(std::string_view line, size_t number, RegistryKey* key) {
        if (key == nullptr)
            return Fail(number, "value before the first [key] section");
        std::string_view s = line;
        RegistryValue value;
        if (s.front() == '@') {
            s.remove_prefix(1);
        } else if (!ReadQuoted(s, value.name, number)) {
            return false;
        }
        s = Trim(s);
        if (s.empty() || s.front() != '=')
            return Fail(number, "expected '=' after the value name");
        s = Trim(s.substr(1));
        if (s == "-") {
            key->RemoveValue(value.name);
            return true;
        }
        if (!s.empty() && s.front() == '"') {
            std::string text;
            if (!ReadQuoted(s, text, number))
                return false;
            if (!Trim(s).empty())
                return Fail(number, "unexpected text after the closing quote");
            value.type = REG_SZ;
            value.data.assign(text.begin(), text.end());
            // Its strings are Unicode; one that is not would have no form when the file is written back.
            if (header == RegFileHeader::Version5 && !IsUtf8(value.data))
                return Fail(number,
                            "a string of a Version 5.00 file is Unicode text, and this one is not UTF-8");
        } else if (s.substr(0, 6) == "dword:") {
            std::string_view digits = s.substr(6);
            if (digits.empty() || digits.size() > 8)
                return Fail(number, "dword value needs 1 to 8 hex digits");
            uint32_t v = 0;
            for (char c : digits) {
                if (HexDigit(c) < 0)
                    return Fail(number, "dword value needs 1 to 8 hex digits");
                v = v * 16 + static_cast<uint32_t>(HexDigit(c));
            }
            value.type = REG_DWORD;
            value.data = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                          static_cast<BYTE>(v >> 24)};
        } else if (s.substr(0, 3) == "hex") {
            std::string_view rest = s.substr(3);
            value.type = REG_BINARY;
            if (!rest.empty() && rest.front() == '(') {
                size_t close = rest.find(')');
                if (close == std::string_view::npos || close == 1 || close > 9)
                    return Fail(number, "malformed hex(type)");
                uint32_t type = 0;
                for (char c : rest.substr(1, close - 1)) {
                    if (HexDigit(c) < 0)
                        return Fail(number, "malformed hex(type)");
                    type = type * 16 + static_cast<uint32_t>(HexDigit(c));
                }
                value.type = type;
                rest.remove_prefix(close + 1);
            }
            if (rest.empty() || rest.front() != ':')
                return Fail(number, "expected ':' after hex");
            if (!ReadHex(rest.substr(1), number, value.data))
                return false;
            if (HoldsUtf16Text(header, value.type)) {
                std::string text;
                if (auto fault = DecodeUtf16Le(
                        std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()),
                        text))
                    return Fail(number,
                                "a hex(" + std::to_string(value.type) +
                                    ") value of a Version 5.00 file holds UTF-16 text: " + fault->message);
                value.data.assign(text.begin(), text.end());
            }
            if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
                // strings are kept without their NUL; anything after the first NUL is not part of it
                size_t nul = 0;
                while (nul < value.data.size() && value.data[nul] != 0)
                    ++nul;
                value.data.resize(nul);
            } else if (value.type == REG_DWORD && value.data.size() != 4) {
                return Fail(number, "a hex(4) value needs 4 bytes");
            }
        } else {
            return Fail(number, "unknown value form (expected \"text\", dword:, hex: or -)");
        }
        key->SetValue(std::move(value));
        return true;
    }

    bool ParseSection(std::string_view line, size_t number, RegistryKey*& current) {
        if (line.back() != ']')
            return Fail(number, "key section without its closing ']'");
        std::string_view inner = line.substr(1, line.size() - 2);
        bool remove = false;
        if (!inner.empty() && inner.front() == '-') {
            remove = true;
            inner.remove_prefix(1);
        }
        size_t slash = inner.find('\\');
        std::string_view rootName = inner.substr(0, slash);
        RegistryRoot root;
        if (RegistryNameEquals(rootName, "HKEY_CURRENT_USER"))
            root = RegistryRoot::CurrentUser;
        else if (RegistryNameEquals(rootName, "HKEY_LOCAL_MACHINE"))
            root = RegistryRoot::LocalMachine;
        else
            return Fail(number, "unknown root key '" + std::string(rootName) +
                                    "' (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE)");
        std::string_view rest =
            slash == std::string_view::npos ? std::string_view() : inner.substr(slash + 1);
        if (slash != std::string_view::npos) {
            // an empty level ("A\\\\B" or a trailing backslash) is a typing error, not a key name
            size_t start = 0;
            while (true) {
                size_t next = rest.find('\\', start);
                std::string_view level =
                    rest.substr(start, next == std::string_view::npos ? rest.npos : next - start);
                if (level.empty())
                    return Fail(number, "empty key name in the key path");
                if (next == std::string_view::npos)
                    break;
                start = next + 1;
            }
        }
        std::vector<std::string> path = SplitRegistryPath(rest);
        if (path.size() > kMaxRegistryDepth)
            return Fail(number, "key nested " + std::to_string(path.size()) + " levels deep (at most " +
                                    std::to_string(kMaxRegistryDepth) + " are allowed)");
        RegistryKey* key = &tree.Root(root);
        if (remove) {
            if (path.empty())
                return Fail(number, "a root key cannot be deleted");
            std::vector<std::string> parentPath(path.begin(), path.end() - 1);
            if (RegistryKey* parent = tree.Find(root, parentPath))
                parent->RemoveSubkey(path.back());
            current = nullptr;
            return true;
        }
        for (const std::string& level : path)
            key = &key->SubkeyOrNew(level);
        current = key;
        return true;
    }

    bool Run() {
        std::string_view line;
        if (text.substr(0, 3) == "\xEF\xBB\xBF")
            pos = 3;
        bool sawHeader = false;
        RegistryKey* current = nullptr;
        bool removedSection = false;
        while (NextLine(line)) {
            size_t number = lineNumber;
            if (line.find('\0') != std::string_view::npos)
                return Fail(number, "NUL byte in the text (a .reg file is text)");
            std::string_view t = Trim(line);
            if (t.empty() || t.front() == ';')
                continue;
            if (!sawHeader) {
                if (t == kHeader)
                    header = RegFileHeader::Regedit4;
                else if (t == kHeaderVersion5)
                    header = RegFileHeader::Version5;
                else
                    return Fail(number, kExpectedHeader);
                sawHeader = true;
                continue;
            }
            if (t.front() == '[') {
                if (!ParseSection(t, number, current))
                    return false;
                removedSection = current == nullptr;
                continue;
            }
            if (removedSection)
                return Fail(number, "value in a deleted key section");
            if (!ParseValue(t, number, current))
                return false;
        }
        if (!sawHeader)
            return Fail(lineNumber == 0 ? 1 : lineNumber, kExpectedHeader);
        result.ok = true;
        result.format.header = header;
        return true;
    }
};

} // namespace

RegistryKey::RegistryKey(const RegistryKey& other) : name(other.name), values(other.values) {
    std::vector<std::pair<const RegistryKey*, RegistryKey*>> pending{{&other, this}};
    while (!pending.empty()) {
        auto [from, to] = pending.back();
        pending.pop_back();
        for (const auto& sub : from->subkeys) {
            auto copy = std::make_unique<RegistryKey>(sub->name);
            copy->values = sub->values;
            pending.emplace_back(sub.get(), copy.get());
            to->subkeys.push_back(std::move(copy));
        }
    }
}

RegistryKey::~RegistryKey() {
    // Each key is emptied of its subkeys before it goes, so that no destructor call nests in another.
    std::vector<std::unique_ptr<RegistryKey>> pending = std::move(subkeys);
    while (!pending.empty()) {
        std::unique_ptr<RegistryKey> key = std::move(pending.back());
        pending.pop_back();
        for (auto& sub : key->subkeys)
            pending.push_back(std::move(sub));
        key->subkeys.clear();
    }
}

RegistryKey& RegistryKey::operator=(const RegistryKey& other) {
    if (this != &other) {
        RegistryKey copy(other);
        name = std::move(copy.name);
        values = std::move(copy.values);
        subkeys = std::move(copy.subkeys);
        subkeyIndex.clear();
    }
    return *this;
}

namespace {

// Below this many subkeys a plain walk is as quick as the lookup and costs no memory.
constexpr size_t kIndexedSubkeys = 16;

// Folded as RegistryNameEquals compares, so that the lookup finds exactly what a walk would.
std::string FoldedName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        c = winapitext::LowerAscii(c);
    return folded;
}

} // namespace

RegistryKey* RegistryKey::FindSubkey(std::string_view keyName) const {
    if (subkeys.size() < kIndexedSubkeys) {
        for (const auto& sub : subkeys)
            if (RegistryNameEquals(sub->name, keyName))
                return sub.get();
        return nullptr;
    }
    if (subkeyIndex.size() != subkeys.size()) {
        subkeyIndex.clear();
        subkeyIndex.reserve(subkeys.size());
        for (const auto& sub : subkeys)
            subkeyIndex.emplace(FoldedName(sub->name), sub.get());
    }
    auto found = subkeyIndex.find(FoldedName(keyName));
    return found == subkeyIndex.end() ? nullptr : found->second;
}

RegistryKey& RegistryKey::SubkeyOrNew(std::string_view keyName) {
    if (RegistryKey* found = FindSubkey(keyName))
        return *found;
    subkeys.push_back(std::make_unique<RegistryKey>(std::string(keyName)));
    if (!subkeyIndex.empty())
        subkeyIndex.emplace(FoldedName(keyName), subkeys.back().get());
    return *subkeys.back();
}

bool RegistryKey::RemoveSubkey(std::string_view keyName) {
    for (auto it = subkeys.begin(); it != subkeys.end(); ++it) {
        if (RegistryNameEquals((*it)->name, keyName)) {
            subkeyIndex.erase(FoldedName((*it)->name));
            subkeys.erase(it);
            return true;
        }
    }
    return false;
}

const RegistryValue* RegistryKey::FindValue(std::string_view valueName) const {
    for (const RegistryValue& value : values)
        if (RegistryNameEquals(value.name, valueName))
            return &value;
    return nullptr;
}

void RegistryKey::SetValue(RegistryValue value) {
    for (RegistryValue& existing : values) {
        if (RegistryNameEquals(existing.name, value.name)) {
            // the name keeps the spelling it was made with, as on the original platform
            existing.type = value.type;
            existing.data = std::move(value.data);
            return;
        }
    }
    values.push_back(std::move(value));
}

bool RegistryKey::RemoveValue(std::string_view valueName) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (RegistryNameEquals(it->name, valueName)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

RegistryKey* RegistryTree::Find(RegistryRoot root, const std::vector<std::string>& path) {
    RegistryKey* key = &Root(root);
    for (const std::string& level : path) {
        key = key->FindSubkey(level);
        if (key == nullptr)
            return nullptr;
    }
    return key;
}

bool RegistryNameEquals(std::string_view a, std::string_view b) {
    return winapitext::EqualsNoCase(a, b);
}

std::vector<std::string> SplitRegistryPath(std::string_view path) {
    std::vector<std::string> levels;
    size_t start = 0;
    while (start <= path.size()) {
        size_t next = path.find('\\', start);
        if (next == std::string_view::npos)
            next = path.size();
        if (next > start)
            levels.emplace_back(path.substr(start, next - start));
        start = next + 1;
    }
    return levels;
}

RegFileParseResult ParseRegFile(std::string_view bytes, RegistryTree& tree) {
    if (bytes.substr(0, 2) == kUtf16BeBom) {
        RegFileParseResult refused;
        refused.line = 1;
        refused.message = "UTF-16 big-endian text; save the file as UTF-16 little-endian (Unicode) or UTF-8";
        return refused;
    }
    if (bytes.substr(0, 2) != kUtf16LeBom) {
        Parser parser{bytes, tree, {}};
        parser.Run();
        return parser.result;
    }
    const std::string_view wide = bytes.substr(2);
    std::string text;
    if (auto fault = DecodeUtf16Le(wide, text)) {
        RegFileParseResult refused;
        refused.line = 1;
        for (size_t unit = 0; unit < fault->unit; ++unit)
            refused.line += Utf16Unit(wide, unit) == '\n' ? 1 : 0;
        refused.message = fault->message;
        return refused;
    }
    Parser parser{text, tree, {}};
    parser.Run();
    parser.result.format.encoding = RegFileEncoding::Utf16Le;
    return parser.result;
}

std::string WriteRegFile(const RegistryTree& tree) {
    return *WriteRegFile(tree, RegFileFormat{});
}

std::optional<std::string> WriteRegFile(const RegistryTree& tree, RegFileFormat format) {
    // regedit exports UTF-16 with CRLF lines; a UTF-8 file keeps the line ends of this system.
    Writer writer{
        format.header, format.encoding, format.encoding == RegFileEncoding::Utf16Le ? "\r\n" : "\n", {}};
    writer.out = format.header == RegFileHeader::Version5 ? kHeaderVersion5 : kHeader;
    writer.out += writer.newline;
    writer.out += writer.newline;
    writer.Tree(tree.currentUser);
    writer.Tree(tree.localMachine);
    if (!writer.ok)
        return std::nullopt;
    if (format.encoding == RegFileEncoding::Utf8)
        return std::move(writer.out);
    auto wide = EncodeUtf16Le(writer.out);
    if (!wide)
        return std::nullopt;
    return std::string(kUtf16LeBom) + *wide;
}
