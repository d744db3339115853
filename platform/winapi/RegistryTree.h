// The registry's content: keys with values under the two roots, and its .reg text form.
#pragma once

#include "platform/winapi/WinApi.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class RegistryRoot { CurrentUser, LocalMachine };

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

    RegistryKey() = default;
    explicit RegistryKey(std::string keyName) : name(std::move(keyName)) {}
    RegistryKey(const RegistryKey& other);
    RegistryKey& operator=(const RegistryKey& other);

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

struct RegFileParseResult {
    bool ok = false;
    size_t line = 0;     // of the first fault, counting from 1
    std::string message; // what is wrong there
};
// Reads .reg text (REGEDIT4) into tree, which starts empty. On a fault the tree is left unspecified.
[[nodiscard]] RegFileParseResult ParseRegFile(std::string_view text, RegistryTree& tree);
// Writes the tree as .reg text: header, then one section per key (empty keys too), depth first.
std::string WriteRegFile(const RegistryTree& tree);
