// Global memory blocks and the clipboard that takes them over.
#include "platform/winapi/FailureInjection.h"
#include "platform/winapi/WinApi.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace {

struct GlobalBlock {
    std::unique_ptr<BYTE[]> data;
    SIZE_T size = 0;
    int locks = 0;
    bool ownedByClipboard = false;
};

struct GlobalHeap {
    std::mutex mutex;
    std::set<GlobalBlock*> blocks;

    GlobalBlock* Find(HGLOBAL handle) {
        auto it = blocks.find(static_cast<GlobalBlock*>(handle));
        return it == blocks.end() ? nullptr : *it;
    }
    // As Find; an unknown handle is the caller's last error.
    GlobalBlock* FindOrFail(HGLOBAL handle) {
        GlobalBlock* block = Find(handle);
        if (block == nullptr)
            SetLastError(ERROR_INVALID_HANDLE);
        return block;
    }
    void Delete(GlobalBlock* block) {
        blocks.erase(block);
        delete block;
    }
    // Deletes the block behind a handle the clipboard holds, when the heap knows it.
    void DeleteIfKnown(HGLOBAL handle) {
        if (GlobalBlock* block = Find(handle))
            Delete(block);
    }
};

GlobalHeap& Heap() {
    static GlobalHeap heap;
    return heap;
}

struct ClipboardState {
    bool open = false;
    std::map<UINT, HGLOBAL> formats;
};

// Guarded by the heap's mutex, since the clipboard's content is heap blocks.
ClipboardState& Clip() {
    static ClipboardState state;
    return state;
}

// Every call but OpenClipboard needs the clipboard opened first; when it is not, that is the last error.
bool IsOpenOrFail(const ClipboardState& clip) {
    if (!clip.open)
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return clip.open;
}

void ReleaseClipboardContent(GlobalHeap& heap, ClipboardState& clip) {
    for (auto& [format, handle] : clip.formats)
        heap.DeleteIfKnown(handle);
    clip.formats.clear();
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (TakeInjectedFailure(WinApiFailure::GlobalAlloc)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto block = std::make_unique<GlobalBlock>();
    block->data.reset(new (std::nothrow) BYTE[bytes == 0 ? 1 : bytes]);
    if (!block->data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if ((flags & GMEM_ZEROINIT) != 0)
        std::memset(block->data.get(), 0, bytes == 0 ? 1 : bytes);
    block->size = bytes;
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    GlobalBlock* raw = block.release();
    heap.blocks.insert(raw);
    return raw;
}

LPVOID GlobalLock(HGLOBAL handle) {
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    GlobalBlock* block = heap.FindOrFail(handle);
    if (block == nullptr)
        return nullptr;
    ++block->locks;
    return block->data.get();
}

BOOL GlobalUnlock(HGLOBAL handle) {
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    GlobalBlock* block = heap.FindOrFail(handle);
    if (block == nullptr)
        return FALSE;
    if (block->locks > 0)
        --block->locks;
    SetLastError(ERROR_SUCCESS);
    return block->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    if (handle == nullptr)
        return nullptr;
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    GlobalBlock* block = heap.Find(handle);
    // a block handed to the clipboard is the clipboard's; freeing it here would leave the clipboard dangling
    if (block == nullptr || block->ownedByClipboard) {
        SetLastError(ERROR_INVALID_HANDLE);
        return handle;
    }
    heap.Delete(block);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL handle) {
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    GlobalBlock* block = heap.Find(handle);
    return block == nullptr ? 0 : block->size;
}

BOOL OpenClipboard(HWND /*owner*/) {
    if (TakeInjectedFailure(WinApiFailure::ClipboardOpen)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    ClipboardState& clip = Clip();
    if (clip.open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    clip.open = true;
    return TRUE;
}

BOOL EmptyClipboard() {
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    ClipboardState& clip = Clip();
    if (!IsOpenOrFail(clip))
        return FALSE;
    ReleaseClipboardContent(heap, clip);
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    ClipboardState& clip = Clip();
    if (!IsOpenOrFail(clip))
        return nullptr;
    GlobalBlock* block = heap.Find(data);
    if (block == nullptr || block->ownedByClipboard) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (auto old = clip.formats.find(format); old != clip.formats.end())
        heap.DeleteIfKnown(old->second);
    block->ownedByClipboard = true;
    clip.formats[format] = data;
    return data;
}

HANDLE GetClipboardData(UINT format) {
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    ClipboardState& clip = Clip();
    if (!IsOpenOrFail(clip))
        return nullptr;
    auto it = clip.formats.find(format);
    return it == clip.formats.end() ? nullptr : it->second;
}

BOOL CloseClipboard() {
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    ClipboardState& clip = Clip();
    if (!IsOpenOrFail(clip))
        return FALSE;
    clip.open = false;
    return TRUE;
}

std::optional<std::string> ClipboardGetText() {
    GlobalHeap& heap = Heap();
    std::lock_guard lock(heap.mutex);
    ClipboardState& clip = Clip();
    auto it = clip.formats.find(CF_TEXT);
    if (it == clip.formats.end())
        return std::nullopt;
    GlobalBlock* block = heap.Find(it->second);
    if (block == nullptr)
        return std::nullopt;
    const char* text = reinterpret_cast<const char*>(block->data.get());
    // a block without a NUL is read to its end, never past it
    return std::string(text, strnlen(text, block->size));
}
