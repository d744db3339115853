#include "host/PasswordEntry.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "host/ScriptReader.h"

namespace cvadmin {

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
// A password line is read into room of this size first, so that it is not copied around (and left
// behind) while the string grows.
constexpr std::size_t kPasswordRoom = 1024;

struct termios g_savedTerminal;
volatile sig_atomic_t g_echoIsOff = 0;
volatile sig_atomic_t g_interrupted = 0;

// Only async-signal-safe calls: put the terminal back, then end the program as the signal would have.
void RestoreEchoAndEnd(int signalNumber) {
    if (g_echoIsOff != 0)
        (void)tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
    (void)signal(signalNumber, SIG_DFL);
    (void)raise(signalNumber);
}

// Only notes the interrupt; the read it breaks (no SA_RESTART) sees it.
void NoteInterrupt(int) {
    g_interrupted = 1;
}

// How Ctrl-C acts while the password is typed: before the session has begun it ends the program; at the
// interactive prompt it cancels only the question.
enum class Interrupt { Ends, Cancels };

// Echo off for as long as it lives; the signal handlers it installs put echo back before the program ends.
class EchoOff {
public:
    explicit EchoOff(Interrupt interrupt = Interrupt::Ends) {
        if (tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0)
            return;
        g_interrupted = 0;
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            struct sigaction action {};
            const bool cancels = interrupt == Interrupt::Cancels && kEndingSignals[i] == SIGINT;
            action.sa_handler = cancels ? NoteInterrupt : RestoreEchoAndEnd;
            sigemptyset(&action.sa_mask);
            (void)sigaction(kEndingSignals[i], &action, &m_previous[i]);
        }
        struct termios quiet = g_savedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        g_echoIsOff = 1;
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0)
            g_echoIsOff = 0;
        m_active = true;
    }
    ~EchoOff() {
        if (!m_active)
            return;
        if (g_echoIsOff != 0)
            (void)tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
        g_echoIsOff = 0;
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
            (void)sigaction(kEndingSignals[i], &m_previous[i], nullptr);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    bool m_active = false;
    struct sigaction m_previous[std::size(kEndingSignals)]{};
};

} // namespace

bool ReadPasswordLine(std::istream& in, std::string& out) {
    out.clear();
    out.reserve(kPasswordRoom);
    if (!std::getline(in, out))
        return false;
    if (!out.empty() && out.back() == '\r')
        out.pop_back();
    return true;
}

bool AskPasswordOnTerminal(const std::string& login, std::string& out) {
    const std::string prompt = "Password for " + login + ": ";
    int terminal = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    const int where = terminal >= 0 ? terminal : STDERR_FILENO;
    (void)!write(where, prompt.data(), prompt.size());
    bool read = false;
    {
        EchoOff quiet;
        read = ReadPasswordLine(std::cin, out);
    }
    if (!read)
        (void)!write(where, "\n", 1);
    if (terminal >= 0)
        (void)close(terminal);
    return read;
}

PasswordAnswer AskPasswordAtPrompt(const std::string& login, std::string& out) {
    out.clear();
    out.reserve(kPasswordRoom);
    const std::string prompt = "Password for " + login + ": ";
    std::cout.flush();
    (void)!write(STDOUT_FILENO, prompt.data(), prompt.size());
    EchoOff quiet(Interrupt::Cancels);
    // One byte at a time, straight from the terminal: nothing past the line is taken from the line editor
    // that reads the next command, and a Ctrl-C breaks the read.
    for (;;) {
        char byte = 0;
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got == 1 && byte != '\n') {
            out += byte;
            continue;
        }
        if (got == 1) {
            if (!out.empty() && out.back() == '\r')
                out.pop_back();
            return PasswordAnswer::Typed;
        }
        const bool interrupted = got < 0 && errno == EINTR;
        if (interrupted && g_interrupted == 0)
            continue;
        WipeSecret(out);
        (void)!write(STDOUT_FILENO, "\n", 1);
        return interrupted ? PasswordAnswer::Cancelled : PasswordAnswer::Ended;
    }
}

std::string PasswordTextProblem(const std::string& password) {
    if (password.find('\0') != std::string::npos)
        return "the password holds a NUL byte";
    if (FirstInvalidUtf8(password) != std::string::npos)
        return "the password is not valid UTF-8";
    return {};
}

void WipeSecret(std::string& secret) {
    volatile char* bytes = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i)
        bytes[i] = 0;
    secret.clear();
}

} // namespace cvadmin
