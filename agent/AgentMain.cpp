// kelnt-agent: the NT side's half of the password format, for operators and tests.

#include "KelntAgentUsage.h"
#include "agent/Inspector.h"
#include "agent/KeyGenerator.h"
#include "agent/Unsealer.h"
#include "module/password/SealPassword.h"

#if KELNT_HAVE_LOCALE
#include "platform/locale/Locale.h"
#endif

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr uint32_t kConvertBufferSize = 512;

const char* const kUsage = usage_text::kUsage;

int Fail(const std::string& message, int status = kExitFailed) {
    std::cerr << "kelnt-agent: " << message << "\n";
    return status;
}

// Options of one command: "--name value" pairs, and flags that take no value.
struct Options {
    std::map<std::string, std::string> values;
    std::map<std::string, bool> flags;
    std::vector<std::string> positional;
    std::string error;
};

Options ParseOptions(int argc, char** argv, int first, const std::vector<std::string>& withValue,
                     const std::vector<std::string>& flags) {
    Options options;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            options.positional.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(2);
        bool known = false;
        for (const auto& v : withValue) {
            if (v == name) {
                if (i + 1 >= argc) {
                    options.error = arg + " needs a value";
                    return options;
                }
                if (options.values.count(name) != 0) {
                    options.error = arg + " given twice";
                    return options;
                }
                options.values[name] = argv[++i];
                known = true;
            }
        }
        for (const auto& f : flags) {
            if (f == name) {
                options.flags[name] = true;
                known = true;
            }
        }
        if (!known) {
            options.error = "unknown option " + arg;
            return options;
        }
    }
    return options;
}

std::optional<std::vector<uint8_t>> DecodeHex(const std::string& text) {
    std::vector<uint8_t> out;
    int high = -1;
    for (const char c : text) {
        int v;
        if (c >= '0' && c <= '9') {
            v = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            v = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            v = c - 'A' + 10;
        } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            continue;
        } else {
            return std::nullopt;
        }
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) {
        return std::nullopt;
    }
    return out;
}

std::string EncodeHex(const uint8_t* data, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2 + 1);
    for (size_t i = 0; i < length; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

// An error text for a file that could not be opened or read: a folder gets a plain sentence, since
// "Is a directory" alone does not tell an operator which of the paths was wrong.
std::string FileError(const std::string& what, const std::string& path, int error) {
    if (error == EISDIR) {
        return path + " is a folder, not a file";
    }
    return "cannot " + what + " " + path + ": " + std::strerror(error);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    [[nodiscard]] int Get() const { return m_fd; }
    // Closes now, so that a failing close (a full disk on some file systems) is seen.
    [[nodiscard]] bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

private:
    int m_fd;
};

std::optional<std::vector<uint8_t>> ReadInput(const std::string& path, std::string& error) {
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        error = FileError("read", path, errno);
        return std::nullopt;
    }
    // A folder opens for reading on Linux; only the first read would fail.
    struct stat status {};
    if (fstat(file.Get(), &status) != 0) {
        error = FileError("read", path, errno);
        return std::nullopt;
    }
    if (S_ISDIR(status.st_mode)) {
        error = FileError("read", path, EISDIR);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    while (true) {
        const ssize_t got = read(file.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = FileError("read", path, errno);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (bytes.empty()) {
        error = path + " is empty";
        return std::nullopt;
    }
    // A blob begins with 0B B1 and a sealed value is random, so hex text is told apart by its characters.
    const std::string text(bytes.begin(), bytes.end());
    if (auto decoded = DecodeHex(text); decoded && !decoded->empty()) {
        return decoded;
    }
    return bytes;
}

bool WriteAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string FileContent(const uint8_t* data, size_t length, bool hex) {
    if (hex) {
        return EncodeHex(data, length) + "\n";
    }
    return std::string(reinterpret_cast<const char*>(data), length);
}

constexpr mode_t kPublicFileMode = 0644;
constexpr mode_t kOwnerOnlyMode = 0600;

// A file written beside its target and renamed over it once everything is written, so that the target is
// replaced whole or not at all, with a fixed mode whatever the umask or the mode an earlier file had. Only a
// regular file is ever replaced: a device node, a folder or a socket named by mistake (as root, /dev/full
// would otherwise be swapped for a key) is refused before anything is written. The content is wiped from
// memory, since a private key passes through here.
class StagedFile {
public:
    StagedFile(std::string path, mode_t mode) : m_path(std::move(path)), m_mode(mode) {}
    ~StagedFile() {
        if (!m_temp.empty()) {
            unlink(m_temp.c_str());
        }
    }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    [[nodiscard]] bool Write(std::string content, std::string& error) {
        struct stat status {};
        if (stat(m_path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            error = S_ISDIR(status.st_mode) ? FileError("write", m_path, EISDIR)
                                            : m_path + " is not a regular file: name a file to write";
            std::fill(content.begin(), content.end(), '\0');
            return false;
        }
        std::string temp = m_path + ".XXXXXX";
        FileDescriptor file(mkostemp(temp.data(), O_CLOEXEC));
        if (file.Get() < 0) {
            error = FileError("write", m_path, errno);
            std::fill(content.begin(), content.end(), '\0');
            return false;
        }
        m_temp = temp;
        const bool written =
            fchmod(file.Get(), m_mode) == 0 && WriteAll(file.Get(), content) && fsync(file.Get()) == 0;
        const int writeError = errno;
        std::fill(content.begin(), content.end(), '\0');
        if (!written || !file.Close()) {
            error = FileError("write", m_path, written ? errno : writeError);
            return false;
        }
        return true;
    }

    // Puts the written file in the target's place; the caller commits only after every file of one
    // command was written, so that a failure leaves none of them changed.
    [[nodiscard]] bool Commit(std::string& error) {
        if (rename(m_temp.c_str(), m_path.c_str()) != 0) {
            error = FileError("write", m_path, errno);
            return false;
        }
        m_temp.clear();
        return true;
    }

private:
    std::string m_path;
    mode_t m_mode;
    std::string m_temp;
};

bool WriteOutput(const std::string& path, mode_t mode, const uint8_t* data, size_t length, bool hex,
                 std::string& error) {
    StagedFile file(path, mode);
    return file.Write(FileContent(data, length, hex), error) && file.Commit(error);
}

std::optional<long long> ParseNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

int Keygen(const Options& options) {
    for (const char* required : {"bits", "public", "private"}) {
        if (options.values.count(required) == 0) {
            return Fail(std::string("keygen needs --") + required, kExitUsage);
        }
    }
    const auto bits = ParseNumber(options.values.at("bits"));
    if (!bits || *bits < agent::kMinKeyBits || *bits > 848) {
        return Fail("--bits must be a number from 80 to 848 (848 and 424 are the sizes that seal)",
                    kExitUsage);
    }
    uint32_t exponent = agent::kDefaultExponent;
    if (options.values.count("exponent") != 0) {
        const auto e = ParseNumber(options.values.at("exponent"));
        if (!e || *e < 3 || *e > 0xFFFFFFFFLL || *e % 2 == 0) {
            return Fail("--exponent must be an odd number from 3 to 4294967295", kExitUsage);
        }
        exponent = static_cast<uint32_t>(*e);
    }
    const agent::KeyPair pair = agent::GenerateKeyPair(static_cast<int>(*bits), exponent);
    if (pair.code != agent::kKeygenOk) {
        return Fail("key generation failed with code " + std::to_string(pair.code));
    }
    const bool hex = options.flags.count("hex") != 0;
    // Both keys are written before either replaces anything: a private key that cannot be written leaves
    // no new public key behind that nothing could open.
    StagedFile publicFile(options.values.at("public"), kPublicFileMode);
    StagedFile privateFile(options.values.at("private"), kOwnerOnlyMode);
    std::string error;
    if (!publicFile.Write(FileContent(pair.publicBlob.data(), pair.publicBlob.size(), hex), error) ||
        !privateFile.Write(FileContent(pair.privateBlob.data(), pair.privateBlob.size(), hex), error) ||
        !privateFile.Commit(error) || !publicFile.Commit(error)) {
        return Fail(error);
    }
    return kExitOk;
}

// Applies the locale library's conversion, as the module's callers do before they seal.
bool ConvertPassword(const std::string& text, std::string& converted, std::string& error) {
#if KELNT_HAVE_LOCALE
    uintptr_t handle = 0;
    if (const int32_t code = LocGetConversionHandle(&handle); code != 0) {
        error = "the locale library gave no conversion handle (code " + std::to_string(code) + ")";
        return false;
    }
    std::vector<char> buffer(kConvertBufferSize, 0);
    uint32_t length = 0;
    if (const int32_t code =
            LocConvertString(handle, buffer.data(), kConvertBufferSize, text.c_str(), 0, &length);
        code != 0) {
        error = "the locale library could not convert the password (code " + std::to_string(code) + ")";
        return false;
    }
    converted.assign(buffer.data(), strnlen(buffer.data(), kConvertBufferSize));
    return true;
#else
    (void)text;
    (void)converted;
    error = "--convert needs the locale library, which this build does not have";
    return false;
#endif
}

// The terminal's settings while echo is off, for the signal handler that puts them back.
int g_echoTerminal = -1;
struct termios g_echoSettings {};
const int kEchoSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

extern "C" void RestoreEchoAndRaise(int signalNumber) {
    tcsetattr(g_echoTerminal, TCSAFLUSH, &g_echoSettings);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// Turns echo off for its lifetime; echo comes back when it ends, and also when a signal ends the program
// while the person is typing (Ctrl-C would otherwise leave the shell without echo).
class EchoOff {
public:
    explicit EchoOff(int terminal) : m_terminal(terminal) {
        if (tcgetattr(terminal, &m_saved) != 0) {
            return;
        }
        g_echoTerminal = terminal;
        g_echoSettings = m_saved;
        struct sigaction action {};
        action.sa_handler = RestoreEchoAndRaise;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kEchoSignals); ++i) {
            sigaction(kEchoSignals[i], &action, &m_previous[i]);
        }
        struct termios quiet = m_saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHOE | ECHOK | ECHONL));
        m_active = tcsetattr(terminal, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (m_active) {
            tcsetattr(m_terminal, TCSAFLUSH, &m_saved);
        }
        if (g_echoTerminal == m_terminal) {
            for (size_t i = 0; i < std::size(kEchoSignals); ++i) {
                sigaction(kEchoSignals[i], &m_previous[i], nullptr);
            }
            g_echoTerminal = -1;
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int m_terminal;
    struct termios m_saved {};
    struct sigaction m_previous[std::size(kEchoSignals)]{};
    bool m_active = false;
};

// One line from fd, without its line end ("\n" or "\r\n"); nullopt when the input ends before any byte
// or cannot be read.
std::optional<std::string> ReadLine(int fd) {
    std::string line;
    bool any = false;
    while (true) {
        char c;
        const ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            std::fill(line.begin(), line.end(), '\0');
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        any = true;
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            break;
        }
        line += c;
    }
    if (!any) {
        return std::nullopt;
    }
    return line;
}

// The password from --password, --password-stdin, or else the person at the terminal on standard input
// (the caller has refused to go on without one: sealing an empty password by accident would lock the
// account holder out).
std::optional<std::string> TakePassword(const Options& options, std::string& error) {
    if (options.values.count("password") != 0) {
        return options.values.at("password");
    }
    if (options.flags.count("password-stdin") != 0) {
        auto line = ReadLine(STDIN_FILENO);
        if (!line) {
            error = "--password-stdin found no password on standard input";
        }
        return line;
    }
    static const char kPrompt[] = "Password: ";
    std::optional<std::string> line;
    {
        EchoOff quiet(STDIN_FILENO);
        // The prompt goes to the terminal that reads the answer, not to a redirected standard error.
        if (write(STDIN_FILENO, kPrompt, sizeof kPrompt - 1) < 0) {
            (void)!write(STDERR_FILENO, kPrompt, sizeof kPrompt - 1);
        }
        line = ReadLine(STDIN_FILENO);
        // The person's Enter was not echoed either.
        (void)!write(STDIN_FILENO, "\n", 1);
    }
    if (!line) {
        error = "no password was typed";
    }
    return line;
}

int Seal(const Options& options) {
    if (options.values.count("key") == 0) {
        return Fail("seal needs --key and --password", kExitUsage);
    }
    if (options.values.count("password") != 0 && options.flags.count("password-stdin") != 0) {
        return Fail("give only one of --password and --password-stdin", kExitUsage);
    }
    if (options.values.count("password") == 0 && options.flags.count("password-stdin") == 0 &&
        !isatty(STDIN_FILENO)) {
        return Fail("seal needs --key and --password, or --password-stdin (standard input is not a terminal "
                    "to ask at)",
                    kExitUsage);
    }
    std::string error;
    const auto blob = ReadInput(options.values.at("key"), error);
    if (!blob) {
        return Fail(error);
    }
    auto typed = TakePassword(options, error);
    if (!typed) {
        return Fail(error);
    }
    std::string password = std::move(*typed);
    if (options.flags.count("convert") != 0) {
        std::string converted;
        if (!ConvertPassword(password, converted, error)) {
            return Fail(error);
        }
        password = converted;
    }
    if (password.size() > kMaxPasswordLength) {
        return Fail("the password has " + std::to_string(password.size()) +
                    " bytes; at most 142 can be sealed");
    }
    std::vector<uint8_t> sealed(kSealedValueSize, 0);
    int32_t code;
    if (options.values.count("known-answer") != 0) {
        const auto time = ParseNumber(options.values.at("known-answer"));
        if (!time) {
            return Fail("--known-answer needs a calendar time in seconds", kExitUsage);
        }
        CPasswordSealer sealer(*time);
        code = sealer.Seal(blob->data(), static_cast<uint32_t>(blob->size()), sealed.data(), kSealedValueSize,
                           password.c_str());
    } else {
        code = SealPassword(blob->data(), static_cast<uint32_t>(blob->size()), sealed.data(),
                            kSealedValueSize, password.c_str());
    }
    std::fill(password.begin(), password.end(), '\0');
    if (code != 0) {
        return Fail("sealing failed with code " + std::to_string(code) +
                    " (inspect the key: it must be a public RSA key of 841..848 or 417..424 bits)");
    }
    if (options.values.count("out") == 0) {
        std::cout << EncodeHex(sealed.data(), sealed.size()) << "\n";
        return kExitOk;
    }
    if (!WriteOutput(options.values.at("out"), kOwnerOnlyMode, sealed.data(), sealed.size(),
                     options.flags.count("hex") != 0, error)) {
        return Fail(error);
    }
    return kExitOk;
}

int Unseal(const Options& options) {
    if (options.values.count("key") == 0) {
        return Fail("unseal needs --key", kExitUsage);
    }
    const bool fromFile = options.values.count("in") != 0;
    const bool fromHex = options.values.count("hex") != 0;
    if (fromFile == fromHex) {
        return Fail("unseal needs exactly one of --in FILE and --hex HEX", kExitUsage);
    }
    std::string error;
    const auto blob = ReadInput(options.values.at("key"), error);
    if (!blob) {
        return Fail(error);
    }
    std::optional<std::vector<uint8_t>> value;
    if (fromFile) {
        value = ReadInput(options.values.at("in"), error);
        if (!value) {
            return Fail(error);
        }
    } else {
        value = DecodeHex(options.values.at("hex"));
        if (!value) {
            return Fail("--hex holds something other than hex digits, or an odd number of them", kExitUsage);
        }
    }
    const agent::UnsealResult result =
        agent::UnsealPassword(blob->data(), blob->size(), value->data(), value->size());
    if (!result.ok) {
        return Fail("cannot unseal: " + result.error);
    }
    std::cout.write(reinterpret_cast<const char*>(result.password.data()),
                    static_cast<std::streamsize>(result.password.size()));
    std::cout << "\n";
    return kExitOk;
}

int InspectCommand(const Options& options) {
    if (options.positional.size() != 1) {
        return Fail("inspect needs one FILE", kExitUsage);
    }
    std::string error;
    const auto data = ReadInput(options.positional[0], error);
    if (!data) {
        return Fail(error);
    }
    std::cout << agent::Inspect(data->data(), data->size());
    return kExitOk;
}

int Run(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    const std::string command = argv[1];
    Options options;
    if (command == "keygen") {
        options = ParseOptions(argc, argv, 2, {"bits", "public", "private", "exponent"}, {"hex"});
    } else if (command == "seal") {
        options = ParseOptions(argc, argv, 2, {"key", "password", "out", "known-answer"},
                               {"convert", "hex", "password-stdin"});
    } else if (command == "unseal") {
        options = ParseOptions(argc, argv, 2, {"key", "in", "hex"}, {});
    } else if (command == "inspect") {
        options = ParseOptions(argc, argv, 2, {}, {});
    } else if (command == "--help" || command == "help") {
        std::cout << usage_text::kHelp;
        return kExitOk;
    } else if (command == "--version") {
        std::cout << usage_text::kVersion;
        return kExitOk;
    } else {
        std::cerr << "kelnt-agent: unknown command " << command << "\n" << kUsage;
        return kExitUsage;
    }
    if (!options.error.empty()) {
        return Fail(options.error, kExitUsage);
    }
    if (command != "inspect" && !options.positional.empty()) {
        return Fail("unexpected argument " + options.positional[0], kExitUsage);
    }
    if (command == "keygen") {
        return Keygen(options);
    }
    if (command == "seal") {
        return Seal(options);
    }
    if (command == "unseal") {
        return Unseal(options);
    }
    return InspectCommand(options);
}

} // namespace

int main(int argc, char** argv) {
    // Every failure the tool knows of is reported where it happens; this is for the ones it cannot foresee
    // (memory running out), which must still end with a message and a failing status, not an abort.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        return Fail(std::string("internal error: ") + e.what());
    } catch (...) {
        return Fail("internal error");
    }
}
