// A program that keeps running while the test talks to it: lines go to its standard input one at a time,
// and the test waits for what it prints, as a person at a pipe would. Another program can meanwhile work
// on the same files, which is how two administrators' runs of cvadmin on one store are tried.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace testrun {

class LiveProgram {
public:
    // Starts program with args in dir, with the host's own files (XDG folders, temporary files) kept there,
    // and its standard error in dir/<errName>.
    LiveProgram(const std::filesystem::path& dir, const std::string& program,
                const std::vector<std::string>& args, const std::string& errName = "live-stderr") {
        int in[2] = {-1, -1};
        int out[2] = {-1, -1};
        if (::pipe(in) != 0 || ::pipe(out) != 0) {
            return;
        }
        const std::string errPath = (dir / errName).string();
        m_pid = ::fork();
        if (m_pid == 0) {
            const std::string folder = dir.string();
            if (::chdir(folder.c_str()) != 0) {
                ::_exit(127);
            }
            ::setenv("TMPDIR", folder.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
            ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            if (err >= 0) {
                ::dup2(err, STDERR_FILENO);
            }
            for (int fd : {in[0], in[1], out[0], out[1], err}) {
                if (fd > STDERR_FILENO) {
                    ::close(fd);
                }
            }
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~LiveProgram() {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            static_cast<void>(Finish());
        }
    }
    LiveProgram(const LiveProgram&) = delete;
    LiveProgram& operator=(const LiveProgram&) = delete;

    [[nodiscard]] bool Started() const { return m_pid > 0; }

    // Sends one line (without its line feed).
    bool Send(const std::string& line) {
        const std::string text = line + "\n";
        return m_in >= 0 && ::write(m_in, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // Waits until everything the program printed so far holds text, or the time is up; answers whether it
    // does.
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (m_printed.find(text) == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) {
                return m_printed.find(text) != std::string::npos;
            }
        }
        return true;
    }

    // Closes its standard input, reads what is left and answers its exit status (-1 when it did not exit).
    int Finish() {
        if (m_in >= 0) {
            ::close(m_in);
            m_in = -1;
        }
        while (ReadSome(30000)) {
        }
        if (m_out >= 0) {
            ::close(m_out);
            m_out = -1;
        }
        int status = 0;
        m_ended = true;
        if (m_pid <= 0 || ::waitpid(m_pid, &status, 0) != m_pid) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    [[nodiscard]] const std::string& Printed() const { return m_printed; }

private:
    // Reads what is there within timeoutMs; false at the end of the output or when nothing came.
    bool ReadSome(int timeoutMs) {
        if (m_out < 0) {
            return false;
        }
        pollfd fd{m_out, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n <= 0) {
            return false;
        }
        m_printed.append(chunk, static_cast<size_t>(n));
        return true;
    }

    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    bool m_ended = false;
    std::string m_printed;
};

} // namespace testrun
