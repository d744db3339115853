#include "host/LineCompletion.h"

#include <algorithm>
#include <deque>
#include <map>
#include <set>

namespace cvadmin {

namespace {

// Which words of a command are object names (counting the command word as 0); -1 stands for every word.
struct ObjectWords {
    const char* command;
    const char* verb; // the second word that must match, or null
    std::vector<int> positions;
};

const std::vector<ObjectWords>& ObjectWordTable() {
    static const std::vector<ObjectWords> table = {
        {"ls", nullptr, {1}},      {"dump", nullptr, {1}},   {"details", nullptr, {1}},
        {"create", nullptr, {2}},  {"rename", nullptr, {1}}, {"move", nullptr, {1, 2}},
        {"delete", nullptr, {1}},  {"copy", nullptr, {1}},   {"template", nullptr, {1, 2}},
        {"browse", nullptr, {-1}}, {"login", nullptr, {1}},  {"dir", "add", {2}},
        {"dir", "alias", {2, 3}},  {"dir", "set", {2}},      {"dir", "del", {2}},
        {"dir", "grant", {2, 3}},  {"dir", "password", {2}},
    };
    return table;
}

// The fixed words that follow a command word.
const std::map<std::string, std::vector<std::string>>& FixedWords() {
    static const std::map<std::string, std::vector<std::string>> words = {
        {"dir", {"add", "alias", "del", "grant", "password", "set"}},
        {"answer", {"cancel", "no", "ok", "yes"}},
        {"key", {"enter", "escape", "f1"}},
        {"verbose", {"off", "on"}},
    };
    return words;
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithFolded(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (FoldAscii(text[i]) != FoldAscii(prefix[i]))
            return false;
    }
    return true;
}

bool EqualFolded(const std::string& a, const std::string& b) {
    return a.size() == b.size() && StartsWithFolded(a, b);
}

bool TakesObject(const std::vector<std::string>& before) {
    const int position = static_cast<int>(before.size());
    for (const ObjectWords& entry : ObjectWordTable()) {
        if (before[0] != entry.command)
            continue;
        if (entry.verb != nullptr && (before.size() < 2 || before[1] != entry.verb))
            continue;
        for (int p : entry.positions) {
            if (p == position || (p == -1 && position >= 1))
                return true;
        }
    }
    return false;
}

// The longest beginning that every candidate shares, in the first candidate's spelling.
std::string CommonBeginning(const std::vector<std::string>& candidates) {
    std::string common = candidates.front();
    for (const std::string& c : candidates) {
        std::size_t n = 0;
        while (n < common.size() && n < c.size() && FoldAscii(common[n]) == FoldAscii(c[n]))
            ++n;
        common.resize(n);
    }
    return common;
}

CompletionResult FromCandidates(std::vector<std::string> candidates, const std::string& partial,
                                bool singleFinishes) {
    CompletionResult result;
    result.replacement = partial;
    if (candidates.empty())
        return result;
    result.candidates = std::move(candidates);
    // Every candidate begins with the word, so their common beginning replaces it in the directory's
    // spelling.
    result.replacement = CommonBeginning(result.candidates);
    result.finished = result.candidates.size() == 1 && singleFinishes;
    return result;
}

CompletionResult CompleteObject(const std::string& partial, const ChildLister& listChildren) {
    // Breadth first, so that the names nearest the root are offered first on a tree too large to read.
    std::map<std::string, std::vector<std::string>> childrenOf;
    std::vector<std::string> matches;
    std::deque<std::string> containers{"[Root]"};
    std::size_t walked = 0;
    while (!containers.empty() && walked < kObjectsWalked) {
        std::string container = std::move(containers.front());
        containers.pop_front();
        std::vector<std::string> names;
        if (!listChildren(container, names))
            continue;
        for (const std::string& name : names) {
            if (StartsWithFolded(name, partial))
                matches.push_back(name);
            containers.push_back(name);
        }
        walked += names.size();
        childrenOf[container] = std::move(names);
    }
    std::sort(matches.begin(), matches.end());

    auto children = [&](const std::string& name) {
        if (auto it = childrenOf.find(name); it != childrenOf.end())
            return it->second;
        std::vector<std::string> names;
        if (!listChildren(name, names))
            names.clear();
        return names;
    };
    // A word that already names a container, and nothing else, shows what is below it, as `ls` would.
    if (matches.size() == 1 && EqualFolded(matches[0], partial)) {
        std::vector<std::string> below = children(matches[0]);
        if (!below.empty()) {
            CompletionResult result;
            result.candidates = std::move(below);
            std::sort(result.candidates.begin(), result.candidates.end());
            result.replacement = matches[0];
            return result;
        }
    }
    CompletionResult result = FromCandidates(std::move(matches), partial, /*singleFinishes=*/true);
    // A container is left open, so that the next Tab can show what it holds.
    if (result.finished && !children(result.replacement).empty())
        result.finished = false;
    return result;
}

} // namespace

WordAtCursor FindWordAtCursor(std::string_view text) {
    WordAtCursor word;
    word.completable = true;
    bool inWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ';' || c == '\n') {
            word.before.clear();
            word.partial.clear();
            inWord = false;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord)
                word.before.push_back(std::move(word.partial));
            word.partial.clear();
            inWord = false;
            continue;
        }
        if (c == '#' && !inWord) {
            word.completable = false;
            return word;
        }
        if (!inWord) {
            inWord = true;
            word.start = i;
        }
        if (c == '\\') {
            if (++i < text.size())
                word.partial += text[i];
        } else if (c == '\'') {
            std::size_t close = text.find('\'', i + 1);
            std::size_t end = close == std::string_view::npos ? text.size() : close;
            word.partial.append(text.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? text.size() : close;
        } else if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size() &&
                    std::string_view("\"\\$`").find(text[i + 1]) != std::string_view::npos)
                    ++i;
                word.partial += text[i];
            }
        } else {
            word.partial += c;
        }
    }
    if (!inWord)
        word.start = text.size();
    return word;
}

CompletionResult CompleteWord(const WordAtCursor& word, const std::vector<std::string>& commandNames,
                              const ChildLister& listChildren) {
    CompletionResult none;
    none.replacement = word.partial;
    if (!word.completable)
        return none;
    if (word.before.empty()) {
        std::vector<std::string> names;
        for (const std::string& name : commandNames) {
            if (name.rfind(word.partial, 0) == 0)
                names.push_back(name);
        }
        return FromCandidates(std::move(names), word.partial, /*singleFinishes=*/true);
    }
    if (word.before.size() == 1) {
        if (auto fixed = FixedWords().find(word.before[0]); fixed != FixedWords().end()) {
            std::vector<std::string> names;
            for (const std::string& name : fixed->second) {
                if (name.rfind(word.partial, 0) == 0)
                    names.push_back(name);
            }
            return FromCandidates(std::move(names), word.partial, /*singleFinishes=*/true);
        }
    }
    if (TakesObject(word.before))
        return CompleteObject(word.partial, listChildren);
    return none;
}

std::string QuoteWord(const std::string& word, bool closed) {
    bool plain = !word.empty() && word[0] != '#' && word.find_first_of(" \t\r\n'\"\\;") == std::string::npos;
    if (plain || (word.empty() && !closed))
        return word;
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    if (closed)
        out += '\'';
    return out;
}

} // namespace cvadmin
