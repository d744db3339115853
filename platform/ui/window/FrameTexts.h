// The texts the platform itself puts on the frames it draws around pages (the buttons of a property sheet or
// wizard), in the language the host chose for the run. A language the platform has no texts for shows the
// English ones.
#pragma once

#include <string>

enum class FrameText { Ok, Cancel, Apply, Back, Next, Finish, Help };

// Chosen once by the host (from the registry or --lang), before the first sheet opens.
void SetFrameLanguage(const std::string& language);
const char* FrameTextOf(FrameText text);
