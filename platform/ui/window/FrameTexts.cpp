#include "platform/ui/window/FrameTexts.h"

#include <cstddef>
#include <cstring>

namespace {

struct LanguageTexts {
    const char* language;
    const char* texts[7]; // in the order of FrameText
};

// The mnemonic letters follow each language's own convention for these buttons.
constexpr LanguageTexts kTexts[] = {
    {"English", {"OK", "Cancel", "&Apply", "< &Back", "&Next >", "&Finish", "Help"}},
    {"German",
     {"OK", "Abbrechen", "\xC3\x9C&bernehmen",
      "< &Zur\xC3\xBC"
      "ck",
      "&Weiter >", "&Fertig stellen", "Hilfe"}},
};

const LanguageTexts* g_current = &kTexts[0];

} // namespace

void SetFrameLanguage(const std::string& language) {
    g_current = &kTexts[0];
    for (const auto& texts : kTexts) {
        if (strcasecmp(texts.language, language.c_str()) == 0) {
            g_current = &texts;
        }
    }
}

const char* FrameTextOf(FrameText text) {
    return g_current->texts[static_cast<size_t>(text)];
}
