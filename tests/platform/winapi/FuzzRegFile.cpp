// Any text either is refused with a line number or reads into a tree whose .reg form reads back to the
// same form.
#include "platform/winapi/RegistryTree.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    RegistryTree tree;
    RegFileParseResult result = ParseRegFile(text, tree);
    if (!result.ok) {
        if (result.line == 0 || result.message.empty())
            std::abort();
        return 0;
    }
    const std::string written = WriteRegFile(tree);
    RegistryTree again;
    if (!ParseRegFile(written, again).ok || WriteRegFile(again) != written)
        std::abort();
    return 0;
}
