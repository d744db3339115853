#pragma once

#include <string>
#include <vector>

namespace cvadmin {

// The number of single-letter slips (a letter left out, one too many, one replaced, two neighbours swapped)
// that turn `typed` into `word`, without regard to letter case (ASCII).
[[nodiscard]] std::size_t SlipsBetween(const std::string& typed, const std::string& word);

// Whether a person who typed `typed` could have meant `word`: the same word in another letter case, or one
// with a slip or two (one for words of three letters or fewer, two up to six, three beyond).
[[nodiscard]] bool CouldMean(const std::string& typed, const std::string& word);

// The words of `candidates` that `typed` was probably meant as, the nearest first (ties in the given order):
// one slip, or one for every four letters of a longer word.
[[nodiscard]] std::vector<std::string> NearestWords(const std::string& typed,
                                                    const std::vector<std::string>& candidates);

} // namespace cvadmin
