// Running the project's programs (and ldap-utils) as a person's shell would, for the tests that look at a
// program from outside: its exit status, what it printed on each stream.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace testrun {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// One word for sh, whatever it holds.
inline std::string Quote(const std::string& word) {
    std::string out = "'";
    for (char c : word) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

inline std::string Program(const std::string& name) {
    return std::string(KELNT_BINARY_DIR) + "/bin/" + name;
}

// Runs the shell command line in dir, with the host's own files (XDG folders, temporary files such as an
// upload's request file) kept there too; standard input holds input, or is the test's own (a command line
// that pipes into the program gives it its input itself).
inline RunResult RunIn(const std::filesystem::path& dir, const std::string& commandLine,
                       const std::optional<std::string>& input = std::nullopt) {
    const std::string folder = Quote(dir.string());
    std::string redirect;
    if (input) {
        const std::string in = (dir / "stdin").string();
        std::ofstream(in, std::ios::binary) << *input;
        redirect = " <" + Quote(in);
    }
    const std::string command = "cd " + folder + " && TMPDIR=" + folder + " XDG_CONFIG_HOME=" + folder +
                                " XDG_DATA_HOME=" + folder + " " + commandLine + " 2>" +
                                Quote((dir / "stderr").string()) + redirect;
    RunResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> chunk{};
    size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        result.out.append(chunk.data(), n);
    }
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.err = ReadFile(dir / "stderr");
    return result;
}

// Runs a program with its arguments, each one word; standard input holds input, or nothing.
inline RunResult RunProgram(const std::filesystem::path& dir, const std::string& program,
                            const std::vector<std::string>& args,
                            const std::optional<std::string>& input = std::nullopt) {
    std::string command = Quote(program);
    for (const auto& a : args) {
        command += " " + Quote(a);
    }
    return RunIn(dir, command, input ? input : std::optional<std::string>(std::string()));
}

// A folder of the test's own, empty at the start and gone at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() /
                 (prefix + "-" + std::to_string(::getpid()) + "-" + (info != nullptr ? info->name() : "x"));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace testrun
