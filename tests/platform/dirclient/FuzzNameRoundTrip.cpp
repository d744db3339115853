// libFuzzer target for the promise that every name an add, a rename or a move accepts resolves back to
// that same object. The input is a small program of adds, renames and moves with leaves of raw bytes
// (backslashes, dots, lead bytes under a double-byte code page); each object carries a mark of its own, and
// after every accepted request the object's new full name must find that mark and be given back as stored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirNames.h"
#include "platform/winapi/WinApi.h"

namespace {

struct Known {
    std::string leaf;
    int parent = -1; // index of its container among the objects made, -1 for "[Root]"
    std::string mark; // its "Description", unique
};

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_at >= m_size; }
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::string Leaf() {
        const size_t length = 1 + Byte() % 12;
        std::string leaf;
        for (size_t i = 0; i < length && !Empty(); ++i) {
            leaf.push_back(static_cast<char>(Byte()));
        }
        return leaf.substr(0, leaf.find('\0'));
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

std::string NameOf(const std::vector<Known>& objects, int index) {
    if (index < 0) {
        return "[Root]";
    }
    const Known& known = objects[static_cast<size_t>(index)];
    return known.parent < 0 ? known.leaf : known.leaf + "." + NameOf(objects, known.parent);
}

// One leaf as the old rule saw it: the split of the leaf alone gives it back. Whether it also stands below
// a container is what the directory must decide, and what the target checks.
bool OneLeaf(const std::string& leaf) {
    std::vector<std::string> leaves;
    return dirclient::SplitName(leaf, &leaves) == kDirOk && leaves.size() == 1 && leaves[0] == leaf;
}

bool Below(const std::vector<Known>& objects, int index, int container) {
    for (int at = container; at >= 0; at = objects[static_cast<size_t>(at)].parent) {
        if (at == index) {
            return true;
        }
    }
    return false;
}

// The name must give back the object with the mark, under the same name.
void MustResolve(int32_t ctx, const std::string& name, const std::string& mark) {
    char stored[512] = {};
    DirObjectInfo info{};
    if (DirReadObjectInfo(ctx, name.c_str(), stored, &info) != kDirOk || name != stored) {
        std::abort();
    }
    DirBuffer* names = nullptr;
    DirBuffer* reply = nullptr;
    int32_t iteration = -1;
    bool found = false;
    if (DirAllocBuffer(4096, &names) == kDirOk && DirAllocBuffer(4096, &reply) == kDirOk &&
        DirInitBuffer(ctx, kDirOpRead, names) == kDirOk && DirPutAttrName(ctx, names, "Description") == kDirOk &&
        DirRead(ctx, name.c_str(), 1, 0, names, &iteration, reply) == kDirOk) {
        uint32_t count = 0;
        char attr[132];
        uint32_t values = 0;
        uint32_t syntax = 0;
        uint32_t size = 0;
        if (DirGetAttrCount(ctx, reply, &count) == kDirOk && count == 1 &&
            DirGetAttrName(ctx, reply, attr, &values, &syntax) == kDirOk &&
            DirComputeValueSize(ctx, reply, syntax, &size) == kDirOk) {
            std::vector<char> value(size);
            found = DirGetAttrValue(ctx, reply, syntax, value.data()) == kDirOk && mark == value.data();
        }
    }
    (void)DirCloseIteration(ctx, iteration, kDirOpRead);
    (void)DirFreeBuffer(names);
    (void)DirFreeBuffer(reply);
    if (!found) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || DirOpenMemoryStore() != kDirOk || DirLogin("Admin", nullptr) != kDirOk) {
        return 0;
    }
    Input input(data, size);
    (void)SetActiveCodePage(input.Byte() % 2 == 0 ? 1252 : 932);
    const int32_t ctx = DirCreateContext();
    std::vector<Known> objects;
    for (int step = 0; step < 16 && !input.Empty(); ++step) {
        const uint8_t op = input.Byte() % 3;
        const std::string leaf = input.Leaf();
        const int container = objects.empty() || input.Byte() % 4 == 0
                                  ? -1
                                  : static_cast<int>(input.Byte() % objects.size());
        if (op == 0 || objects.empty()) {
            Known made{leaf, container, "mark " + std::to_string(objects.size())};
            const std::string name = container < 0 ? leaf : leaf + "." + NameOf(objects, container);
            // Only an add whose name, as written, means this leaf in that container: a name whose dot a
            // lead byte takes names something else, and that is the name's meaning, not a broken promise.
            std::vector<std::string> leaves;
            size_t depth = 1;
            for (int at = container; at >= 0; at = objects[static_cast<size_t>(at)].parent) {
                ++depth;
            }
            if (!OneLeaf(leaf) || dirclient::SplitName(name, &leaves) != kDirOk || leaves.size() != depth ||
                leaves[0] != leaf) {
                continue;
            }
            DirBuffer* buf = nullptr;
            if (DirAllocBuffer(4096, &buf) == kDirOk && DirInitBuffer(ctx, kDirOpAdd, buf) == kDirOk &&
                DirPutAttrName(ctx, buf, "Object Class") == kDirOk &&
                DirPutAttrValue(ctx, buf, kDirSyntaxClassName, "Organizational Unit") == kDirOk &&
                DirPutAttrName(ctx, buf, "Description") == kDirOk &&
                DirPutAttrValue(ctx, buf, kDirSyntaxCaseIgnoreString, made.mark.c_str()) == kDirOk &&
                DirAddObject(ctx, name.c_str(), 0, 0, buf) == kDirOk) {
                objects.push_back(made);
            }
            (void)DirFreeBuffer(buf);
        } else {
            const int pick = static_cast<int>(input.Byte() % objects.size());
            const std::string old = NameOf(objects, pick);
            if (op == 1) {
                if (OneLeaf(leaf) && DirRenameObject(ctx, old.c_str(), leaf.c_str(), 0) == kDirOk) {
                    objects[static_cast<size_t>(pick)].leaf = leaf;
                }
            } else if (!Below(objects, pick, container) &&
                       DirMoveObject(ctx, old.c_str(), NameOf(objects, container).c_str()) == kDirOk) {
                objects[static_cast<size_t>(pick)].parent = container;
            }
        }
        for (size_t i = 0; i < objects.size(); ++i) {
            MustResolve(ctx, NameOf(objects, static_cast<int>(i)), objects[i].mark);
        }
    }
    (void)DirFreeContext(ctx);
    (void)DirCloseStore();
    return 0;
}
