// Temporary file names and profile (INI) strings.
#include "platform/winapi/AsciiText.h"
#include "platform/winapi/FailureInjection.h"
#include "platform/winapi/WinApi.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using winapitext::EqualsNoCase;
using winapitext::Trim;

struct ProfileEntry {
    std::string key;
    std::string value;
    bool raw = false; // a line that is not key=value (a comment): value holds it, key is empty
};

struct ProfileSection {
    std::string name;
    std::vector<ProfileEntry> entries; // comments stay where they were, between the keys
};

// A profile file as cached: sections and keys in the order they were first written (or read).
struct ProfileFile {
    std::vector<ProfileSection> sections;
    std::vector<std::string> leadingLines; // before the first section
    bool dirty = false;
    std::string seen; // what the file on disk held when it was last read or written

    ProfileSection* Find(std::string_view name) {
        for (ProfileSection& s : sections)
            if (EqualsNoCase(s.name, name))
                return &s;
        return nullptr;
    }

    void Parse(const std::string& text) {
        ProfileSection* current = nullptr;
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string::npos)
                end = text.size();
            std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
            pos = end + 1;
            if (line.empty())
                continue;
            if (line.front() == '[' && line.back() == ']') {
                std::string name(Trim(line.substr(1, line.size() - 2)));
                current = Find(name);
                if (current == nullptr) {
                    sections.push_back(ProfileSection{name, {}});
                    current = &sections.back();
                }
                continue;
            }
            size_t eq = line.find('=');
            if (current == nullptr) {
                leadingLines.emplace_back(line);
            } else if (eq == std::string_view::npos || line.front() == ';') {
                current->entries.push_back(ProfileEntry{std::string(), std::string(line), true});
            } else {
                std::string key(Trim(line.substr(0, eq)));
                std::string value(Trim(line.substr(eq + 1)));
                bool found = false;
                for (ProfileEntry& e : current->entries) {
                    if (!e.raw && EqualsNoCase(e.key, key)) {
                        e.value = value; // the last of two equal keys wins, as a reader would see it
                        found = true;
                        break;
                    }
                }
                if (!found)
                    current->entries.push_back(ProfileEntry{key, value});
            }
        }
    }

    std::string Text() const {
        std::string out;
        for (const std::string& line : leadingLines)
            out += line + "\n";
        for (const ProfileSection& s : sections) {
            out += "[" + s.name + "]\n";
            for (const ProfileEntry& e : s.entries)
                out += e.raw ? e.value + "\n" : e.key + "=" + e.value + "\n";
        }
        return out;
    }
};

struct ProfileCache {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<ProfileFile>> files;

    ~ProfileCache() {
        // what was written and never flushed still reaches the disk when the process ends
        for (auto& [path, file] : files)
            if (file->dirty)
                Write(path, *file);
    }

    static bool Write(const std::string& path, ProfileFile& file) {
        FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr)
            return false;
        std::string text = file.Text();
        bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
        ok = (std::fclose(out) == 0) && ok;
        if (ok) {
            file.dirty = false;
            file.seen = std::move(text);
        }
        return ok;
    }

    static std::string ReadFile(const std::string& path) {
        std::string text;
        if (FILE* in = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
                text.append(buffer, n);
            std::fclose(in);
        }
        return text;
    }

    // The cached file, read anew when someone else changed or removed it since (unflushed writes are kept:
    // they are newer than anything on disk).
    ProfileFile& Load(const std::string& path) {
        std::string text = ReadFile(path);
        auto it = files.find(path);
        if (it != files.end() && (it->second->dirty || it->second->seen == text))
            return *it->second;
        auto file = std::make_unique<ProfileFile>();
        file->Parse(text);
        file->seen = std::move(text);
        ProfileFile& result = *file;
        files[path] = std::move(file);
        return result;
    }
};

ProfileCache& TheProfileCache() {
    static ProfileCache cache;
    return cache;
}

// Relative profile names resolve to the current folder here (the original platform used its Windows
// folder, which does not exist).
std::string ProfilePath(LPCSTR fileName) {
    return fileName;
}

DWORD CopyOut(const std::string& text, LPSTR out, DWORD size) {
    if (out == nullptr || size == 0)
        return 0;
    DWORD n = static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
    std::memcpy(out, text.data(), n);
    out[n] = 0;
    return n;
}

// A list of names, each NUL-terminated, ending with one more NUL; cut to fit as the platform does
// (answering size - 2 when cut).
DWORD CopyList(const std::vector<std::string>& names, LPSTR out, DWORD size) {
    if (out == nullptr || size == 0)
        return 0;
    if (size == 1) {
        out[0] = 0;
        return 0;
    }
    std::string all;
    for (const std::string& n : names) {
        all += n;
        all += '\0';
    }
    if (all.size() + 1 <= size) {
        std::memcpy(out, all.data(), all.size());
        out[all.size()] = 0;
        return static_cast<DWORD>(all.size() == 0 ? 0 : all.size());
    }
    std::memcpy(out, all.data(), size - 2);
    out[size - 2] = 0;
    out[size - 1] = 0;
    return size - 2;
}

} // namespace

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
    std::string path = "/tmp/";
    if (const char* dir = std::getenv("TMPDIR"); dir != nullptr && dir[0] != 0) {
        path = dir;
        if (path.back() != '/')
            path += '/';
    }
    if (buffer == nullptr || bufferLength < path.size() + 1)
        return static_cast<DWORD>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefix, UINT unique, LPSTR tempFileName) {
    if (pathName == nullptr || tempFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (TakeInjectedFailure(WinApiFailure::TempFile)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    // Made in one step: GCC 12 at -O3 takes an assignment of "." over the copied name for an overlapping
    // copy (a false -Wrestrict).
    std::string base = pathName[0] != '\0' ? std::string(pathName) : std::string(".");
    if (base.back() != '/')
        base += '/';
    std::string head = base + std::string(prefix == nullptr ? "" : prefix).substr(0, 3);
    auto nameFor = [&](UINT number) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", number & 0xFFFF);
        return head + hex + ".tmp";
    };
    auto fits = [&](const std::string& name) {
        if (name.size() + 1 > MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return false;
        }
        return true;
    };
    if (unique != 0) {
        std::string name = nameFor(unique);
        if (!fits(name))
            return 0;
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return unique & 0xFFFF;
    }
    struct stat st {};
    if (stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    // Start from a number that differs between processes and calls, then walk the 65535 names.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    UINT start = static_cast<UINT>((now.tv_nsec / 1000) ^ (getpid() << 4)) & 0xFFFF;
    for (UINT i = 0; i < 0xFFFF; ++i) {
        UINT number = ((start + i) % 0xFFFF) + 1;
        std::string name = nameFor(number);
        if (!fits(name))
            return 0;
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            std::memcpy(tempFileName, name.c_str(), name.size() + 1);
            return number;
        }
        if (errno != EEXIST) {
            SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (fileName == nullptr || fileName[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ProfileCache& cache = TheProfileCache();
    std::lock_guard lock(cache.mutex);
    std::string path = ProfilePath(fileName);
    if (section == nullptr && key == nullptr && value == nullptr) {
        auto it = cache.files.find(path);
        if (it == cache.files.end() || !it->second->dirty)
            return TRUE;
        if (!ProfileCache::Write(path, *it->second)) {
            SetLastError(ERROR_WRITE_FAULT);
            return FALSE;
        }
        return TRUE;
    }
    if (section == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ProfileFile& file = cache.Load(path);
    ProfileSection* s = file.Find(section);
    if (key == nullptr) {
        if (s != nullptr) {
            file.sections.erase(file.sections.begin() + (s - file.sections.data()));
            file.dirty = true;
        }
        return TRUE;
    }
    if (s == nullptr) {
        if (value == nullptr)
            return TRUE;
        file.sections.push_back(ProfileSection{section, {}});
        s = &file.sections.back();
    }
    for (auto it = s->entries.begin(); it != s->entries.end(); ++it) {
        if (!it->raw && EqualsNoCase(it->key, key)) {
            if (value == nullptr)
                s->entries.erase(it);
            else
                it->value = value;
            file.dirty = true;
            return TRUE;
        }
    }
    if (value != nullptr) {
        s->entries.push_back(ProfileEntry{key, value});
        file.dirty = true;
    }
    return TRUE;
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR returned, DWORD size,
                               LPCSTR fileName) {
    if (fileName == nullptr || fileName[0] == 0)
        return CopyOut(defaultValue == nullptr ? "" : defaultValue, returned, size);
    ProfileCache& cache = TheProfileCache();
    std::lock_guard lock(cache.mutex);
    ProfileFile& file = cache.Load(ProfilePath(fileName));
    if (section == nullptr) {
        std::vector<std::string> names;
        for (const ProfileSection& s : file.sections)
            names.push_back(s.name);
        return CopyList(names, returned, size);
    }
    ProfileSection* s = file.Find(section);
    if (key == nullptr) {
        std::vector<std::string> names;
        if (s != nullptr)
            for (const ProfileEntry& e : s->entries)
                if (!e.raw)
                    names.push_back(e.key);
        return CopyList(names, returned, size);
    }
    if (s != nullptr)
        for (const ProfileEntry& e : s->entries)
            if (!e.raw && EqualsNoCase(e.key, key))
                return CopyOut(e.value, returned, size);
    return CopyOut(defaultValue == nullptr ? "" : std::string(Trim(defaultValue)), returned, size);
}

void FlushAllProfileCaches() {
    ProfileCache& cache = TheProfileCache();
    std::lock_guard lock(cache.mutex);
    for (auto& [path, file] : cache.files)
        if (file->dirty)
            ProfileCache::Write(path, *file);
}
