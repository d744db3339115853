// The help a person reads: `cvadmin help CONTEXT` and the section shown below a help call at the interactive
// prompt. Scripts never see the section text: there a help call stays the one line `help CONTEXT`.
#pragma once

#include "host/Interpreter.h"
#include "host/Options.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace cvadmin {

// The help file of a language in the host's language folders (beside the resource libraries).
std::string LanguageHelpFile(const std::string& language);

// A context number as typed: decimal digits only, within 32 bits.
std::optional<uint32_t> ParseHelpContext(const std::string& text);

// `cvadmin help CONTEXT`: prints the section of the language that --lang names, or else the one the
// registry chooses by the module's language rules. Answers the exit status; errors go to `err`.
int RunHelpCommand(const Options& options, std::ostream& out, std::ostream& err);

// At the interactive prompt: every help call prints its `help CONTEXT` line and then its section, indented,
// from the help file the call names.
void ShowHelpSections(Interpreter& interpreter);

} // namespace cvadmin
