// The registry's content: keys with values under the two roots, and its .reg text form.
#pragma once

#include "platform/winapi/WinApi.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

enum class RegistryRoot { CurrentUser, LocalMachine };

// Windows refuses keys nested deeper than this many levels below a root, so no file it imports holds
// one; a tree here never does either.
inline constexpr size_t kMaxRegistryDepth = 512;

struct RegistryValue {
    std::string name; // "" is the key's default value
    DWORD type = REG_SZ;
    std::vector<BYTE> data; // strings without their NUL
};

// A key keeps its subkeys and values in the order they were made, so that a file read and written back
// keeps the administrator's order. Names compare without regard to ASCII letter case.
struct RegistryKey {
    std::string name;
    std::vector<RegistryValue> values;
    std::vector<std::unique_ptr<RegistryKey>> subkeys;
    // A lookup of the subkeys by their case-folded name, made once a key holds many (an export from Windows
    // can hold 100,000 siblings, and reading it would otherwise compare each new key with every earlier
    // one). It is a cache: the functions below keep it, and it is made anew when its count differs from
    // the subkeys'.
    mutable std::unordered_map<std::string, RegistryKey*> subkeyIndex;

    RegistryKey() = default;
    explicit RegistryKey(std::string keyName) : name(std::move(keyName)) {}
    // Copying and destroying walk the tree in a loop, not in nested calls, so that no tree's depth
    // decides how much stack they need.
    RegistryKey(const RegistryKey& other);
    RegistryKey& operator=(const RegistryKey& other);
    RegistryKey(RegistryKey&& other) noexcept = default;
    RegistryKey& operator=(RegistryKey&& other) noexcept = default;
    ~RegistryKey();

    [[nodiscard]] RegistryKey* FindSubkey(std::string_view keyName) const;
    RegistryKey& SubkeyOrNew(std::string_view keyName);
    bool RemoveSubkey(std::string_view keyName);
    [[nodiscard]] const RegistryValue* FindValue(std::string_view valueName) const;
    void SetValue(RegistryValue value);
    bool RemoveValue(std::string_view valueName);
};

struct RegistryTree {
    RegistryKey currentUser{"HKEY_CURRENT_USER"};
    RegistryKey localMachine{"HKEY_LOCAL_MACHINE"};

    RegistryKey& Root(RegistryRoot root) {
        return root == RegistryRoot::CurrentUser ? currentUser : localMachine;
    }
    // The key at path (levels split at '\\', empty levels skipped); nullptr when a level is missing.
    RegistryKey* Find(RegistryRoot root, const std::vector<std::string>& path);
};

bool RegistryNameEquals(std::string_view a, std::string_view b);
// "Software\\A\\\\B" -> {"Software", "A", "B"}
std::vector<std::string> SplitRegistryPath(std::string_view path);

// How a .reg file was written: regedit's old header (text in the local code page) or the Version 5.00
// one, whose hex(1), hex(2) and hex(7) strings are UTF-16LE; in UTF-8, or in UTF-16LE with a BOM and
// CRLF lines as regedit exports it. A file is written back the way it was read, so that Windows can
// still import it.
enum class RegFileHeader { Regedit4, Version5 };
enum class RegFileEncoding { Utf8, Utf16Le };
struct RegFileFormat {
    RegFileHeader header = RegFileHeader::Regedit4;
    RegFileEncoding encoding = RegFileEncoding::Utf8;
};

struct RegFileParseResult {
    bool ok = false;
    size_t line = 0;     // of the first fault, counting from 1
    std::string message; // what is wrong there
    RegFileFormat format; // the file's, when ok
};
// Reads the bytes of a .reg file into tree, which starts empty. Names and strings of a UTF-16 file, and
// the UTF-16 strings of a Version 5.00 file, are kept in UTF-8. On a fault the tree is left unspecified.
[[nodiscard]] RegFileParseResult ParseRegFile(std::string_view bytes, RegistryTree& tree);
// Writes the tree as REGEDIT4 text: header, then one section per key (empty keys too), depth first.
std::string WriteRegFile(const RegistryTree& tree);
// The same in the given format, as the bytes of the file; nullopt when a name or string that the format
// carries as UTF-16 is not UTF-8, and so has no form there.
[[nodiscard]] std::optional<std::string> WriteRegFile(const RegistryTree& tree, RegFileFormat format);
