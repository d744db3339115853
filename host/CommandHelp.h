// The script commands as `--help` lists them, for `help` and `help COMMAND` at the prompt and in scripts:
// one source (cvadmin.usage) for both, so that the two never disagree.
#pragma once

#include <string>
#include <vector>

namespace cvadmin {

// The "Script commands" section of --help: its title line, then one line a command form.
[[nodiscard]] std::string ScriptCommandsHelp();

// The lines of that section whose form begins with `words` (the command word matched against each of a
// form's `a|b` alternatives, the next words against the form's own): `dir` gives every dir form, `dir set`
// one. Each line is the form (padded to the longest of them), two blanks and what it does. Empty when no form
// matches.
[[nodiscard]] std::vector<std::string> CommandHelpLines(const std::vector<std::string>& words);

} // namespace cvadmin
