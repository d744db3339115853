// The Reg* calls over a RegistryTree, kept in memory or in a .reg file that is rewritten after every change.
#include "platform/winapi/RegistryTree.h"
#include "platform/winapi/WinApi.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct OpenKey {
    RegistryRoot root;
    std::vector<std::string> path;
    REGSAM access;
};

struct Registry {
    std::mutex mutex;
    RegistryTree tree;
    // Values for this run only (the host's --lang): read before the tree's, never written to the file.
    RegistryTree session;
    std::string filePath; // empty: in memory
    RegFileFormat fileFormat; // the file is written back in the form it was read in
    std::map<uintptr_t, OpenKey> handles;
    uintptr_t nextHandle = 0x1000;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

bool RootOf(HKEY key, RegistryRoot& root) {
    if (key == HKEY_CURRENT_USER) {
        root = RegistryRoot::CurrentUser;
        return true;
    }
    if (key == HKEY_LOCAL_MACHINE) {
        root = RegistryRoot::LocalMachine;
        return true;
    }
    return false;
}

// The open key behind a handle: a root has every right.
LONG Resolve(Registry& reg, HKEY key, OpenKey& out) {
    RegistryRoot root;
    if (RootOf(key, root)) {
        out = OpenKey{root, {}, KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    auto it = reg.handles.find(reinterpret_cast<uintptr_t>(key));
    if (it == reg.handles.end())
        return ERROR_INVALID_HANDLE;
    out = it->second;
    return ERROR_SUCCESS;
}

// The open key behind a handle, when the handle was opened with the right the call needs.
LONG ResolveFor(Registry& reg, HKEY key, REGSAM right, OpenKey& out) {
    if (LONG code = Resolve(reg, key, out); code != ERROR_SUCCESS)
        return code;
    return (out.access & right) == 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

HKEY NewHandle(Registry& reg, OpenKey key) {
    uintptr_t id = reg.nextHandle;
    reg.nextHandle += 4;
    reg.handles.emplace(id, std::move(key));
    return reinterpret_cast<HKEY>(id);
}

bool MakeDirectories(const std::string& dir) {
    if (dir.empty())
        return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash)))
        return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

// Temp file in the same folder, then rename, so a reader never sees half a file.
bool WriteFileAtomically(const std::string& path, const std::string& content) {
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
    if (!MakeDirectories(dir))
        return false;
    std::string temp = path + ".tmp." + std::to_string(getpid());
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            close(fd);
            unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0 || close(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

// Runs a change; with a file backend the file is rewritten, and when that fails the change is undone so
// that memory and file never disagree.
template <typename Change> LONG Mutate(Registry& reg, Change change) {
    if (reg.filePath.empty())
        return change();
    RegistryTree before = reg.tree;
    LONG code = change();
    if (code != ERROR_SUCCESS)
        return code;
    // A name or string that the file's encoding cannot carry is refused like a full disk: memory keeps
    // only what the file holds.
    const std::optional<std::string> content = WriteRegFile(reg.tree, reg.fileFormat);
    if (!content || !WriteFileAtomically(reg.filePath, *content)) {
        reg.tree = std::move(before);
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

// Changes the key that an open handle names, which another handle may have deleted in the meantime.
template <typename Change> LONG MutateKey(Registry& reg, const OpenKey& open, Change change) {
    return Mutate(reg, [&] {
        RegistryKey* key = reg.tree.Find(open.root, open.path);
        return key == nullptr ? ERROR_KEY_DELETED : change(*key);
    });
}

std::string_view NameOf(LPCSTR name) {
    return name == nullptr ? std::string_view() : std::string_view(name);
}

} // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR subKey, DWORD /*options*/, REGSAM samDesired, PHKEY result) {
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    OpenKey base;
    if (LONG code = Resolve(reg, hKey, base); code != ERROR_SUCCESS)
        return code;
    for (std::string& level : SplitRegistryPath(NameOf(subKey)))
        base.path.push_back(std::move(level));
    if (reg.tree.Find(base.root, base.path) == nullptr && reg.session.Find(base.root, base.path) == nullptr)
        return ERROR_FILE_NOT_FOUND;
    base.access = samDesired;
    *result = NewHandle(reg, std::move(base));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*className*/, DWORD /*options*/,
                     REGSAM samDesired, void* /*securityAttributes*/, PHKEY result, LPDWORD disposition) {
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    OpenKey base;
    if (LONG code = Resolve(reg, hKey, base); code != ERROR_SUCCESS)
        return code;
    if (reg.tree.Find(base.root, base.path) == nullptr)
        return ERROR_KEY_DELETED;
    std::vector<std::string> levels = SplitRegistryPath(NameOf(subKey));
    if (base.path.size() + levels.size() > kMaxRegistryDepth)
        return ERROR_INVALID_PARAMETER;
    for (const std::string& level : levels)
        base.path.push_back(level);
    bool existed = reg.tree.Find(base.root, base.path) != nullptr;
    if (!existed) {
        if ((base.access & KEY_CREATE_SUB_KEY) == 0)
            return ERROR_ACCESS_DENIED;
        LONG code = Mutate(reg, [&] {
            RegistryKey* key = &reg.tree.Root(base.root);
            for (const std::string& level : base.path)
                key = &key->SubkeyOrNew(level);
            return ERROR_SUCCESS;
        });
        if (code != ERROR_SUCCESS)
            return code;
    }
    if (disposition != nullptr)
        *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    base.access = samDesired;
    *result = NewHandle(reg, std::move(base));
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr))
        return ERROR_INVALID_PARAMETER;
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    OpenKey open;
    if (LONG code = ResolveFor(reg, hKey, KEY_QUERY_VALUE, open); code != ERROR_SUCCESS)
        return code;
    RegistryKey* key = reg.tree.Find(open.root, open.path);
    RegistryKey* sessionKey = reg.session.Find(open.root, open.path);
    if (key == nullptr && sessionKey == nullptr)
        return ERROR_KEY_DELETED;
    const RegistryValue* value = sessionKey != nullptr ? sessionKey->FindValue(NameOf(name)) : nullptr;
    if (value == nullptr && key != nullptr)
        value = key->FindValue(NameOf(name));
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    const bool isString = value->type == REG_SZ || value->type == REG_EXPAND_SZ;
    const DWORD needed = static_cast<DWORD>(value->data.size() + (isString ? 1 : 0));
    if (type != nullptr)
        *type = value->type;
    if (data == nullptr) {
        if (dataSize != nullptr)
            *dataSize = needed;
        return ERROR_SUCCESS;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    if (!value->data.empty())
        std::memcpy(data, value->data.data(), value->data.size());
    if (isString)
        data[value->data.size()] = 0;
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY hKey, LPCSTR name, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    if (data == nullptr && dataSize != 0)
        return ERROR_INVALID_PARAMETER;
    RegistryValue value;
    value.name = std::string(NameOf(name));
    value.type = type;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // the string ends at its first NUL, so a caller's size that counts the NUL or not gives one value
        DWORD length = 0;
        while (length < dataSize && data[length] != 0)
            ++length;
        value.data.assign(data, data + length);
    } else if (type == REG_DWORD) {
        if (dataSize != 4)
            return ERROR_INVALID_PARAMETER;
        value.data.assign(data, data + 4);
    } else if (dataSize != 0) {
        value.data.assign(data, data + dataSize);
    }
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    OpenKey open;
    if (LONG code = ResolveFor(reg, hKey, KEY_SET_VALUE, open); code != ERROR_SUCCESS)
        return code;
    return MutateKey(reg, open, [&](RegistryKey& key) {
        key.SetValue(std::move(value));
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR name) {
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    OpenKey open;
    if (LONG code = ResolveFor(reg, hKey, KEY_SET_VALUE, open); code != ERROR_SUCCESS)
        return code;
    return MutateKey(reg, open, [&](RegistryKey& key) {
        return key.RemoveValue(NameOf(name)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR subKey) {
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    OpenKey open;
    if (LONG code = Resolve(reg, hKey, open); code != ERROR_SUCCESS)
        return code;
    std::vector<std::string> levels = SplitRegistryPath(NameOf(subKey));
    if (levels.empty())
        return ERROR_INVALID_PARAMETER;
    std::vector<std::string> parentPath = open.path;
    parentPath.insert(parentPath.end(), levels.begin(), levels.end() - 1);
    return Mutate(reg, [&] {
        RegistryKey* parent = reg.tree.Find(open.root, parentPath);
        RegistryKey* key = parent == nullptr ? nullptr : parent->FindSubkey(levels.back());
        if (key == nullptr)
            return ERROR_FILE_NOT_FOUND;
        if (!key->subkeys.empty())
            return ERROR_ACCESS_DENIED;
        parent->RemoveSubkey(levels.back());
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY hKey) {
    RegistryRoot root;
    if (RootOf(hKey, root))
        return ERROR_SUCCESS;
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    return reg.handles.erase(reinterpret_cast<uintptr_t>(hKey)) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void RegistryUseMemory() {
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    reg.tree = RegistryTree();
    reg.session = RegistryTree();
    reg.filePath.clear();
    reg.fileFormat = RegFileFormat();
    reg.handles.clear();
}

LONG RegistrySetSessionString(HKEY root, LPCSTR subKey, LPCSTR name, LPCSTR value) {
    RegistryRoot which;
    if (!RootOf(root, which) || value == nullptr)
        return ERROR_INVALID_PARAMETER;
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    const std::vector<std::string> levels = SplitRegistryPath(NameOf(subKey));
    if (levels.size() > kMaxRegistryDepth)
        return ERROR_INVALID_PARAMETER;
    RegistryKey* key = &reg.session.Root(which);
    for (const std::string& level : levels)
        key = &key->SubkeyOrNew(level);
    RegistryValue entry;
    entry.name = std::string(NameOf(name));
    entry.type = REG_SZ;
    entry.data.assign(value, value + std::strlen(value));
    key->SetValue(std::move(entry));
    return ERROR_SUCCESS;
}

RegistryResult RegistryUseFile(const std::string& path) {
    RegistryTree tree;
    RegFileFormat format;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        std::string content;
        char buffer[8192];
        while (true) {
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                int error = errno;
                close(fd);
                return {ERROR_CANTREAD, path + ": cannot be read: " + std::strerror(error)};
            }
            if (n == 0)
                break;
            content.append(buffer, static_cast<size_t>(n));
        }
        close(fd);
        RegFileParseResult parsed = ParseRegFile(content, tree);
        if (!parsed.ok)
            return {ERROR_BADDB, path + ":" + std::to_string(parsed.line) + ": " + parsed.message};
        format = parsed.format;
    } else if (errno != ENOENT) {
        return {ERROR_CANTREAD, path + ": cannot be read: " + std::strerror(errno)};
    }
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    reg.tree = std::move(tree);
    reg.filePath = path;
    reg.fileFormat = format;
    reg.session = RegistryTree();
    reg.handles.clear();
    return {};
}

std::string RegistryDefaultFilePath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != 0)
        base = std::string(home) + "/.config";
    else
        base = ".config";
    return base + "/cvadmin/registry.reg";
}

std::string RegistryExportText() {
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    std::optional<std::string> content = WriteRegFile(reg.tree, reg.fileFormat);
    // Every change that reached the tree was written in this format, so it always has a form here.
    return content ? std::move(*content) : WriteRegFile(reg.tree);
}
