// Any file either is refused with a line number or reads into a tree whose .reg form (in the file's own
// header and encoding) reads back to the same form.
#include "platform/winapi/RegistryTree.h"

#include <cstdlib>
#include <optional>
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
    // What was read can always be written back in the file's own header and encoding.
    const std::optional<std::string> written = WriteRegFile(tree, result.format);
    if (!written)
        std::abort();
    RegistryTree again;
    const RegFileParseResult reread = ParseRegFile(*written, again);
    if (!reread.ok || reread.format.header != result.format.header ||
        reread.format.encoding != result.format.encoding || WriteRegFile(again, reread.format) != written)
        std::abort();
    return 0;
}
