#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace cvadmin {

// Whether the control `id` of what the person looks at now is a password edit; used to keep `type ID
// TEXT` into a password field out of the history.
using PasswordFieldTest = std::function<bool(int id)>;

// True when a line typed at the prompt carries a password and so must never be written to the history:
// `login NAME PASSWORD`, `dir password USER PASSWORD`, and `type ID TEXT` into a password edit (when
// `isPasswordField` says so), also when the command words are mistyped or in another letter case. A line that
// does not split cleanly counts as secret too, since an unclosed quote can hide any of these.
[[nodiscard]] bool IsSecretLine(const std::string& line, const PasswordFieldTest& isPasswordField = {});

// The history of the interactive prompt, kept between runs in a file of the user's own: one line a line,
// as typed. The file is made readable and writable by its owner only, since lines may hold names and
// values a person would not show; it is appended to line by line, so that a run that is killed keeps what
// was typed before.
class PromptHistory {
public:
    // The keeping limit: older lines are dropped when the file is read.
    static constexpr std::size_t kKeptLines = 1000;

    // `$XDG_STATE_HOME/cvadmin/history`, or `~/.local/state/cvadmin/history` when the variable is unset
    // (or not an absolute path); empty when neither it nor HOME says where.
    static std::string DefaultPath();

    // Reads the file at `path` (making its folder, owner-only, when missing) and opens it for appending.
    // An empty answer means the history is kept; otherwise it says why not, and the prompt works without.
    [[nodiscard]] std::string Open(const std::string& path);

    // The lines read, oldest first.
    [[nodiscard]] const std::vector<std::string>& Lines() const { return m_lines; }

    // Adds a line typed at the prompt; empty lines and a repeat of the previous line are not kept. Lines
    // the caller found secret must not come here. Answers false when the file could not take it.
    bool Add(const std::string& line);

    PromptHistory() = default;
    PromptHistory(const PromptHistory&) = delete;
    PromptHistory& operator=(const PromptHistory&) = delete;
    ~PromptHistory();

private:
    std::string m_path;
    int m_fd = -1;
    std::vector<std::string> m_lines;
};

} // namespace cvadmin
