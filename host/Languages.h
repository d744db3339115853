#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cvadmin {

// The languages installed beside the host's libraries: the folders that hold both a resource library and a
// help file, sorted by name.
[[nodiscard]] std::vector<std::string> InstalledLanguages();

// The installed language that `name` names, matched without regard to letter case (`german` is German).
// Empty when none is installed by that name, with `error` saying so and listing those that are.
[[nodiscard]] std::optional<std::string> ResolveLanguage(const std::string& name, std::string& error);

} // namespace cvadmin
