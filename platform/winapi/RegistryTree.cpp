#include "platform/winapi/RegistryTree.h"
#include "platform/winapi/AsciiText.h"

#include <cstdio>

namespace {

using winapitext::Trim;

constexpr std::string_view kHeader = "REGEDIT4";

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

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

void WriteHexBytes(std::string& out, size_t prefixLength, const std::vector<BYTE>& bytes) {
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
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

void WriteValue(std::string& out, const RegistryValue& value) {
    std::string line = value.name.empty() ? "@" : EscapeQuoted(value.name);
    line += '=';
    const bool isString = value.type == REG_SZ;
    if (isString && FitsQuoted(value.data)) {
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
        if (value.type == REG_BINARY) {
            line += "hex:";
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(value.type));
            line += buf;
        }
        out += line;
        WriteHexBytes(out, line.size(), bytes);
    }
    out += '\n';
}

void WriteKey(std::string& out, const RegistryKey& key, const std::string& path, bool isRoot) {
    if (!isRoot || !key.values.empty()) {
        out += '[' + path + "]\n";
        for (const RegistryValue& value : key.values)
            WriteValue(out, value);
        out += '\n';
    }
    for (const auto& sub : key.subkeys)
        WriteKey(out, *sub, path + '\\' + sub->name, false);
}

struct Parser {
    std::string_view text;
    RegistryTree& tree;
    RegFileParseResult result;
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
                if (t != kHeader)
                    return Fail(number, "expected the header REGEDIT4");
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
            return Fail(lineNumber == 0 ? 1 : lineNumber, "expected the header REGEDIT4");
        result.ok = true;
        return true;
    }
};

} // namespace

RegistryKey::RegistryKey(const RegistryKey& other) : name(other.name), values(other.values) {
    for (const auto& sub : other.subkeys)
        subkeys.push_back(std::make_unique<RegistryKey>(*sub));
}

RegistryKey& RegistryKey::operator=(const RegistryKey& other) {
    if (this != &other) {
        RegistryKey copy(other);
        name = std::move(copy.name);
        values = std::move(copy.values);
        subkeys = std::move(copy.subkeys);
    }
    return *this;
}

RegistryKey* RegistryKey::FindSubkey(std::string_view keyName) const {
    for (const auto& sub : subkeys)
        if (RegistryNameEquals(sub->name, keyName))
            return sub.get();
    return nullptr;
}

RegistryKey& RegistryKey::SubkeyOrNew(std::string_view keyName) {
    if (RegistryKey* found = FindSubkey(keyName))
        return *found;
    subkeys.push_back(std::make_unique<RegistryKey>(std::string(keyName)));
    return *subkeys.back();
}

bool RegistryKey::RemoveSubkey(std::string_view keyName) {
    for (auto it = subkeys.begin(); it != subkeys.end(); ++it) {
        if (RegistryNameEquals((*it)->name, keyName)) {
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

RegFileParseResult ParseRegFile(std::string_view text, RegistryTree& tree) {
    Parser parser{text, tree, {}};
    parser.Run();
    return parser.result;
}

std::string WriteRegFile(const RegistryTree& tree) {
    std::string out(kHeader);
    out += "\n\n";
    WriteKey(out, tree.currentUser, tree.currentUser.name, true);
    WriteKey(out, tree.localMachine, tree.localMachine.name, true);
    return out;
}
