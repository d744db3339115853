#include "host/NearWords.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace cvadmin {

namespace {

char Fold(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::size_t AllowedSlips(const std::string& word) {
    if (word.size() <= 3)
        return 1;
    return word.size() <= 6 ? 2 : 3;
}

} // namespace

std::size_t SlipsBetween(const std::string& typed, const std::string& word) {
    // Three rows of the usual edit-distance table suffice, the third for a swap of neighbours.
    const std::size_t n = word.size();
    std::vector<std::size_t> before(n + 1), previous(n + 1), current(n + 1);
    for (std::size_t j = 0; j <= n; ++j)
        previous[j] = j;
    for (std::size_t i = 1; i <= typed.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= n; ++j) {
            const bool same = Fold(typed[i - 1]) == Fold(word[j - 1]);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && Fold(typed[i - 1]) == Fold(word[j - 2]) &&
                Fold(typed[i - 2]) == Fold(word[j - 1]))
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[n];
}

bool CouldMean(const std::string& typed, const std::string& word) {
    if (typed.empty())
        return false;
    return SlipsBetween(typed, word) <= AllowedSlips(word);
}

std::vector<std::string> NearestWords(const std::string& typed, const std::vector<std::string>& candidates) {
    std::vector<std::pair<std::size_t, std::string>> near;
    for (const std::string& candidate : candidates) {
        // A suggestion is held to fewer slips than CouldMean allows: a wrong guess misleads, while keeping a
        // line out of the history costs nothing.
        const std::size_t slips = SlipsBetween(typed, candidate);
        if (slips <= std::max<std::size_t>(1, candidate.size() / 4))
            near.emplace_back(slips, candidate);
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> words;
    for (auto& entry : near)
        words.push_back(std::move(entry.second));
    return words;
}

} // namespace cvadmin
