#include "host/Languages.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>

#include "host/services/HostServices.h"
#include "module/core/Language.h"

namespace cvadmin {

std::vector<std::string> InstalledLanguages() {
    namespace fs = std::filesystem;
    std::vector<std::string> languages;
    std::error_code error;
    for (fs::directory_iterator it(HostServices::Instance().ResourceRoot(), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        const fs::path folder = it->path();
        if (fs::is_regular_file(folder / kResourceLibraryName, ignored) &&
            fs::is_regular_file(folder / kHelpFileName, ignored))
            languages.push_back(folder.filename().string());
    }
    std::sort(languages.begin(), languages.end());
    return languages;
}

std::optional<std::string> ResolveLanguage(const std::string& name, std::string& error) {
    const std::vector<std::string> installed = InstalledLanguages();
    // An exact spelling wins, so that two folders differing only in case stay reachable.
    if (std::find(installed.begin(), installed.end(), name) != installed.end())
        return name;
    for (const std::string& language : installed)
        if (strcasecmp(language.c_str(), name.c_str()) == 0)
            return language;
    std::string list;
    for (const std::string& language : installed)
        list += (list.empty() ? "" : ", ") + language;
    error = "no language " + name + " is installed" +
            (list.empty() ? std::string(" (none is: the language folders are missing beside the libraries)")
                          : "; installed: " + list);
    return std::nullopt;
}

} // namespace cvadmin
