#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cvadmin {

// The word a person is completing: the text before the cursor, split as the script language splits it.
struct WordAtCursor {
    bool completable = false;        // false inside a comment
    std::vector<std::string> before; // the command's earlier words, unquoted
    std::string partial;             // the word under the cursor so far, unquoted
    std::size_t start = 0;           // where the word begins in the typed text (its opening quote included)
};

[[nodiscard]] WordAtCursor FindWordAtCursor(std::string_view textBeforeCursor);

// Lists the full names of a container's children, as `ls` does; false when the directory refuses.
using ChildLister = std::function<bool(const std::string& container, std::vector<std::string>& names)>;

struct CompletionResult {
    std::vector<std::string> candidates; // what the word may become; shown to the person when several
    std::string replacement;             // the word as far as every candidate agrees (or as typed)
    bool finished = false;               // one candidate that takes nothing more: a blank may follow
};

// Completes `word`: a command word from `commandNames`, a fixed word (the verbs of `dir`, the answers of
// `answer`, the keys of `key`, verbose's on and off), or an object name where the command takes one. An
// object name is matched against the full names of the tree, read breadth-first from the root up to
// kObjectsWalked objects (names compare without regard to ASCII case, as the directory compares them); a
// word that names a container exactly lists that container's children.
[[nodiscard]] CompletionResult CompleteWord(const WordAtCursor& word,
                                            const std::vector<std::string>& commandNames,
                                            const ChildLister& listChildren);

// How many objects an object name's completion reads at most, so that Tab stays quick on a large tree;
// names past them are not offered until the word names their container.
inline constexpr std::size_t kObjectsWalked = 5000;

// The word as the script language reads it back: quoted when it holds a blank, a quote, a backslash, a
// `;` or a leading `#`. With `closed` false an opening quote is left open, so that the person can go on
// typing the word.
[[nodiscard]] std::string QuoteWord(const std::string& word, bool closed);

} // namespace cvadmin
