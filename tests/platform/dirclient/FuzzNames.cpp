// libFuzzer target for full names, the directory's parser of outside input: the split must be consistent
// (leaves joined again give the name back) and the client must answer any name with a code, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirNames.h"
#include "platform/winapi/WinApi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool opened = DirOpenMemoryStore() == kDirOk && DirLogin("Admin", nullptr) == kDirOk;
    if (!opened || size == 0) {
        return 0;
    }
    // The first byte chooses the code page, so that trail-byte backslashes get exercised.
    (void)SetActiveCodePage(data[0] % 2 == 0 ? 1252 : 932);
    const std::string name(reinterpret_cast<const char*>(data + 1), size - 1);

    std::vector<std::string> leaves;
    if (dirclient::SplitName(name, &leaves) == kDirOk && !leaves.empty()) {
        std::string joined;
        // A leaf that splits out of a name need not be one an object may take (a trailing backslash or lead
        // byte is refused when a leaf is given): fuzz_dirroundtrip holds the promise for what is made.
        for (const auto& leaf : leaves) {
            joined += (joined.empty() ? "" : ".") + leaf;
        }
        const bool same = joined == name;
        const bool rootSuffix = name.size() == joined.size() + 7 &&
                                name.compare(0, joined.size(), joined) == 0 &&
                                dirclient::NamesEqual(name.substr(joined.size()), ".[Root]");
        if (!same && !rootSuffix) {
            std::abort();
        }
    }

    const std::string text = name.substr(0, name.find('\0'));
    const int32_t ctx = DirCreateContext();
    char out[512];
    DirObjectInfo info{};
    (void)DirReadObjectInfo(ctx, text.c_str(), out, &info);
    DirBuffer* buf = nullptr;
    if (DirAllocBuffer(4096, &buf) == kDirOk && DirInitBuffer(ctx, kDirOpAdd, buf) == kDirOk &&
        DirPutAttrName(ctx, buf, "Object Class") == kDirOk &&
        DirPutAttrValue(ctx, buf, kDirSyntaxClassName, "Organization") == kDirOk &&
        DirAddObject(ctx, text.c_str(), 0, 0, buf) == kDirOk) {
        if (DirReadObjectInfo(ctx, text.c_str(), out, &info) != kDirOk ||
            DirRemoveObject(ctx, text.c_str()) != kDirOk) {
            std::abort(); // what was added must be found by the same name and removable
        }
    }
    (void)DirFreeBuffer(buf);
    (void)DirFreeContext(ctx);
    return 0;
}
