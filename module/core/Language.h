// The user's language and where its resource library and help file lie.
#pragma once

#include <optional>
#include <string>

constexpr size_t kLanguageNameSize = 256;
constexpr const char* kDefaultLanguage = "English";
constexpr const char* kResourceLibraryName = "rckelnt.so";
constexpr const char* kHelpFileName = "qor.hlp";

// The language from HKEY_LOCAL_MACHINE: "Software\Tandry\SessionSettings" value "CVLANGUAGE" when that key
// exists (even without the value), else the default value of
// "Network\Tandry\System Config\Language\CVLANGUAGE" when it is not empty, else the default value of
// "Software\Tandry\Parameters\CVLanguage";
// "English" when all that gives nothing. The answer is the registry's text, not yet checked.
std::string ReadLanguageName();

// A language name is used as one folder name: refused when it holds a path separator ('/' or '\'), "..",
// or is "." or empty, since a registry value could otherwise load a library from anywhere.
bool IsUsableLanguageName(const std::string& language);

struct ResourcePaths {
    std::string library; // FOLDER/LANGUAGE/rckelnt.so
    std::string help;    // FOLDER/LANGUAGE/qor.hlp
};
// The paths in the language folder beside the host's answer for the library (the part of it up to and
// including its last '/'). Empty when the answer has no folder or a path would not fit the platform's
// 256-byte path buffer.
std::optional<ResourcePaths> LanguagePaths(const std::string& hostAnswer, const std::string& language);
