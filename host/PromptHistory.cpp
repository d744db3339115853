#include "host/PromptHistory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <strings.h>

#include "host/NearWords.h"
#include "host/ScriptReader.h"

namespace cvadmin {

namespace {

constexpr mode_t kOwnerOnlyFile = 0600;
constexpr mode_t kOwnerOnlyFolder = 0700;

// A line is judged by the command it could have meant: a password typed after a slip of the keys
// (`logni`, `dir passwd`, `DIR PASSWORD`) is still a password.
bool MeansPasswordWord(const std::string& word) {
    if (word.size() >= 2 && strncasecmp(word.c_str(), "password", word.size()) == 0)
        return true; // an abbreviation: pa, pass, passw ...
    return CouldMean(word, "password") || CouldMean(word, "passwd") || CouldMean(word, "pwd");
}

bool CarriesPassword(const std::vector<std::string>& words, const PasswordFieldTest& isPasswordField) {
    if (words.empty())
        return false;
    if (CouldMean(words[0], "login"))
        return words.size() >= 3;
    if (CouldMean(words[0], "dir"))
        return words.size() >= 2 && MeansPasswordWord(words[1]);
    if (CouldMean(words[0], "type") && words.size() >= 2 && isPasswordField) {
        int id = 0;
        const std::string& text = words[1];
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
        return ec == std::errc() && end == text.data() + text.size() && isPasswordField(id);
    }
    return false;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string Why(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

} // namespace

bool IsSecretLine(const std::string& line, const PasswordFieldTest& isPasswordField) {
    SplitResult split = SplitScript(line);
    if (!split.error.empty())
        return true;
    for (const ScriptCommand& command : split.commands) {
        if (CarriesPassword(command.words, isPasswordField))
            return true;
    }
    return false;
}

std::string PromptHistory::DefaultPath() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
        return std::string(state) + "/cvadmin/history";
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        return std::string(home) + "/.local/state/cvadmin/history";
    return {};
}

std::string PromptHistory::Open(const std::string& path) {
    if (path.empty())
        return "neither XDG_STATE_HOME nor HOME says where to keep it";
    const std::filesystem::path file(path);
    const std::filesystem::path folder = file.parent_path();
    std::error_code ignored;
    std::filesystem::create_directories(folder.parent_path(), ignored);
    // Only the folder of our own is made owner-only: the ones above it belong to the user's other programs.
    if (::mkdir(folder.c_str(), kOwnerOnlyFolder) != 0 && errno != EEXIST)
        return Why("cannot make the folder", folder.string());

    // A link planted where the history belongs would send typed lines elsewhere.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, kOwnerOnlyFile);
    if (fd < 0)
        return Why("cannot open", path);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        return path + " is not a file of your own";
    }
    // A file made by hand or by an older program may be readable by others: the lines may hold secrets.
    if ((info.st_mode & 0777) != kOwnerOnlyFile && ::fchmod(fd, kOwnerOnlyFile) != 0) {
        std::string why = Why("cannot make owner-only", path);
        ::close(fd);
        return why;
    }

    std::string text;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            std::string why = Why("cannot read", path);
            ::close(fd);
            return why;
        }
        if (n == 0)
            break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    std::size_t total = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start) {
            m_lines.emplace_back(text, start, end - start);
            ++total;
        }
        start = end + 1;
    }
    if (m_lines.size() > kKeptLines)
        m_lines.erase(m_lines.begin(), m_lines.end() - static_cast<std::ptrdiff_t>(kKeptLines));

    // The file is cut back only once it holds twice the limit, so that most runs only append.
    if (total > 2 * kKeptLines) {
        std::string kept;
        for (const std::string& line : m_lines)
            kept += line + "\n";
        const std::string aside = path + ".new";
        int fresh =
            ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, kOwnerOnlyFile);
        bool written = fresh >= 0 && WriteAll(fresh, kept) && ::fsync(fresh) == 0;
        if (fresh >= 0 && ::close(fresh) != 0)
            written = false;
        if (written && ::rename(aside.c_str(), path.c_str()) == 0) {
            ::close(fd);
            fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0)
                return Why("cannot open", path);
        } else {
            // The long file still serves: only the cut failed.
            ::unlink(aside.c_str());
        }
    }
    m_path = path;
    m_fd = fd;
    return {};
}

bool PromptHistory::Add(const std::string& line) {
    if (line.empty() || line.find_first_not_of(" \t") == std::string::npos)
        return true;
    if (!m_lines.empty() && m_lines.back() == line)
        return true;
    m_lines.push_back(line);
    if (m_lines.size() > kKeptLines)
        m_lines.erase(m_lines.begin());
    return m_fd < 0 || WriteAll(m_fd, line + "\n");
}

PromptHistory::~PromptHistory() {
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace cvadmin
