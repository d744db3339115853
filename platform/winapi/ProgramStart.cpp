// WinExec: the platform's command-line words, and a start without a shell that reports exec failures.
#include "platform/winapi/WinApi.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::mutex g_logMutex;
std::vector<ProgramStartRecord>& Log() {
    static std::vector<ProgramStartRecord> log;
    return log;
}

UINT StartProgram(LPCSTR cmdLine);

// Answer of a start that succeeded: anything above 31 means "started" to the caller.
constexpr UINT kStarted = 33;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The platform's answer for a program path that cannot be started, decided from what is on disk.
UINT DiagnosePath(const std::string& path) {
    if (!Exists(path))
        return IsFolder(FolderOf(path)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    return ERROR_BAD_FORMAT;
}

UINT AnswerForErrno(int error, const std::string& path) {
    switch (error) {
    case ENOENT:
        // ENOENT also comes from a missing interpreter of a script: then the file itself is there
        return Exists(path) ? ERROR_BAD_FORMAT : DiagnosePath(path);
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case ENOEXEC:
    case EISDIR:
    case ETXTBSY:
    case ELIBBAD:
        return ERROR_BAD_FORMAT;
    case E2BIG:
    case ENOMEM:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
    default:
        return 0;
    }
}

// A name without '/' is looked up in PATH like the platform looks up a program name.
std::string ResolveProgram(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    const char* pathVar = std::getenv("PATH");
    std::string paths = pathVar != nullptr ? pathVar : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= paths.size()) {
        size_t end = paths.find(':', start);
        if (end == std::string::npos)
            end = paths.size();
        std::string candidate = end > start ? paths.substr(start, end - start) : std::string(".");
        candidate += '/';
        candidate += name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return name;
}

// Splits the part after the program word by the CommandLineToArgvW rules.
void SplitArguments(std::string_view s, std::vector<std::string>& words) {
    size_t i = 0;
    while (true) {
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        if (i >= s.size())
            return;
        std::string word;
        bool quoted = false;
        while (i < s.size() && (quoted || !IsBlank(s[i]))) {
            if (s[i] == '\\') {
                size_t count = 0;
                while (i < s.size() && s[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < s.size() && s[i] == '"') {
                    word.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        word += '"';
                        ++i;
                    }
                } else {
                    word.append(count, '\\');
                }
            } else if (s[i] == '"') {
                if (quoted && i + 1 < s.size() && s[i + 1] == '"') {
                    word += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                word += s[i++];
            }
        }
        words.push_back(std::move(word));
    }
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < commandLine.size() && IsBlank(commandLine[i]))
        ++i;
    if (i >= commandLine.size())
        return words;
    // The program word: quotes group, backslashes are plain characters (they are path separators there).
    std::string program;
    if (commandLine[i] == '"') {
        size_t close = commandLine.find('"', i + 1);
        if (close == std::string_view::npos)
            close = commandLine.size();
        program = std::string(commandLine.substr(i + 1, close - i - 1));
        i = close + 1;
    } else {
        size_t end = i;
        while (end < commandLine.size() && !IsBlank(commandLine[end]))
            ++end;
        program = std::string(commandLine.substr(i, end - i));
        i = end;
    }
    words.push_back(std::move(program));
    if (i < commandLine.size())
        SplitArguments(commandLine.substr(i), words);
    return words;
}

std::string QuoteCommandLineArg(std::string_view word) {
    bool needsQuotes = word.empty();
    for (char c : word)
        if (IsBlank(c) || c == '"' || c == '\n' || c == '\v')
            needsQuotes = true;
    if (!needsQuotes)
        return std::string(word);
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
            out += '"';
        } else {
            out.append(backslashes, '\\');
            out += c;
        }
        backslashes = 0;
    }
    // backslashes before the closing quote are doubled so that they stay backslashes
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::vector<ProgramStartRecord> ProgramStartLog() {
    std::lock_guard lock(g_logMutex);
    return Log();
}

void ClearProgramStartLog() {
    std::lock_guard lock(g_logMutex);
    Log().clear();
}

UINT WinExec(LPCSTR cmdLine, UINT showCmd) {
    // No window exists here, so the show state is only recorded.
    const UINT answer = StartProgram(cmdLine);
    std::lock_guard lock(g_logMutex);
    Log().push_back(
        ProgramStartRecord{cmdLine == nullptr ? std::string() : std::string(cmdLine), showCmd, answer});
    return answer;
}

namespace {

UINT StartProgram(LPCSTR cmdLine) {
    if (cmdLine == nullptr)
        return ERROR_FILE_NOT_FOUND;
    std::string_view line = cmdLine;
    std::vector<std::string> words = SplitCommandLine(line);
    if (words.empty() || words[0].empty())
        return ERROR_FILE_NOT_FOUND;
    std::string program = ResolveProgram(words[0]);

    // An unquoted program path with blanks ("/opt/My Tools/run -x") is tried at each blank;
    // the shortest that names an existing file wins, as the platform reads such a line.
    size_t first = line.find_first_not_of(" \t");
    if (!Exists(program) && line[first] != '"') {
        std::string rest(line.substr(first));
        for (size_t blank = rest.find_first_of(" \t", words[0].size()); blank != std::string::npos;
             blank = rest.find_first_of(" \t", blank + 1)) {
            std::string candidate = rest.substr(0, blank);
            struct stat st {};
            if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
                words.clear();
                words.push_back(candidate);
                SplitArguments(std::string_view(rest).substr(blank), words);
                program = candidate;
                break;
            }
        }
    }
    if (!Exists(program))
        return DiagnosePath(program);
    if (IsFolder(program))
        return ERROR_BAD_FORMAT;

    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    // exec's errno comes back through a close-on-exec pipe: nothing read means the program runs.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return 0;
    // The program is a grandchild, so nobody has to wait for it and no zombie stays behind.
    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return 0;
    }
    if (child == 0) {
        close(report[0]);
        pid_t grandchild = fork();
        if (grandchild < 0) {
            int error = errno;
            (void)!write(report[1], &error, sizeof error);
            _exit(1);
        }
        if (grandchild == 0) {
            setsid();
            execve(program.c_str(), argv.data(), environ);
            int error = errno;
            (void)!write(report[1], &error, sizeof error);
            _exit(127);
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    do {
        got = read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof error))
        return AnswerForErrno(error, program);
    if (got != 0)
        return 0;
    return kStarted;
}

} // namespace
