// What the host and a snap-in module exchange: message numbers, procedure types and records.
#pragma once

#include "platform/ui/UiTypes.h"

#include <cstddef>
#include <cstdint>

// Every registration carries this interface version.
constexpr uint32_t kSnapinInterfaceVersion = 0x01010000;

// Host messages to a class's CallBack.
constexpr unsigned short SNAP_INIT_CLASS = 256;
constexpr unsigned short SNAP_CLOSE_CLASS = 257;
constexpr unsigned short SNAP_CREATE_OBJECT = 258;
constexpr unsigned short SNAP_GET_PAGE_COUNT = 259;
constexpr unsigned short SNAP_GET_PAGE = 260;
constexpr unsigned short SNAP_RENAME_OBJECT = 261;
constexpr unsigned short SNAP_APPLY_PAGES = 262;
constexpr unsigned short SNAP_QUERY_DELETE = 263;
constexpr unsigned short SNAP_QUERY_COPY = 264;
constexpr unsigned short SNAP_QUERY_MOVE = 265;
constexpr unsigned short SNAP_GET_CLASS_FLAGS = 272;
constexpr unsigned short SNAP_END_PAGES = 273;
constexpr unsigned short SNAP_IGNORED_274 = 274;
constexpr unsigned short SNAP_NOTIFY_MOVE = 275;
constexpr unsigned short SNAP_NOTIFY_RENAME = 276;
constexpr unsigned short SNAP_IGNORED_277 = 277;
constexpr unsigned short SNAP_APPLY_TEMPLATE = 279;

// A class's entry point. Parameters that carry a pointer are pointer-sized.
typedef long(__stdcall* SnapCallBack)(char* objectName, unsigned short message, unsigned long param1,
                                      unsigned long param2);
typedef void(__stdcall* ToolMenuAction)();
// Writes the command's menu state: 0 enabled, 1 grayed, 3 grayed and disabled.
typedef void(__stdcall* ToolMenuValid)(unsigned int* state);
// Writes the tool button's state (1 on, 0 off) and answers a registry status.
typedef LONG(__stdcall* ToolButtonStateProc)(uint32_t unused, unsigned int* state);

constexpr unsigned int kMenuEnabled = 0;
constexpr unsigned int kMenuGrayed = 1;
constexpr unsigned int kMenuGrayedDisabled = 3;

// The tool button record: twelve fields as on the original platform, pointers pointer-sized; `size` holds
// the record's real size.
struct ToolButtonRecord {
    uint32_t size;
    const char* banner;
    uint32_t commandId;
    HINSTANCE resource;
    uint32_t iconId;
    uint32_t menuTextId;
    uint32_t statusTextId;
    uint32_t field7;
    uint32_t reserved1;
    uint32_t reserved2;
    ToolButtonStateProc stateProc;
    uint32_t version;
};

// HostGetSelection's record: the directory tree's name.
constexpr size_t kSelectionRecordSize = 48;
struct HostSelectionRecord {
    char treeName[kSelectionRecordSize];
};
static_assert(sizeof(HostSelectionRecord) == kSelectionRecordSize);
constexpr size_t kSelectionBufferSize = 1296;

// HostQueryContext's buffer.
constexpr size_t kQueryContextBufferSize = 0x2F8;

// The page entry a class hands out on SNAP_GET_PAGE: five words in this order.
struct SnapPageRecord {
    DLGPROC dialogProc;
    HINSTANCE resource;
    uintptr_t templateId;
    const char* title;
    void* pageParam;
};

// The browser. The host asks the collector for the class filter (514, then 515 for each name), lets the
// person pick objects, then hands over the context it ended in (512) and one result record a pick (513).
typedef LONG(__stdcall* BrowseCollector)(void* request, uint32_t message, ULONG_PTR param1, ULONG_PTR param2);
constexpr uint32_t kBrowseKeepContext = 512; // param1: the 512-byte context buffer
constexpr uint32_t kBrowseAddResult = 513;   // param2: a 646-byte result record
constexpr uint32_t kBrowseFilterCount = 514; // param1: uint32_t* that receives the number of names
constexpr uint32_t kBrowseFilterName = 515;  // param1: index; param2: buffer of kBrowseClassNameSize
constexpr uint32_t kBrowseForCreation = 4;
constexpr uint32_t kBrowseForPages = 8;
constexpr size_t kBrowseContextSize = 512;
constexpr size_t kBrowseResultSize = 646;
constexpr size_t kBrowseClassNameSize = 132; // base class name at byte 0
constexpr size_t kBrowseFullNameOffset = 132;
constexpr size_t kBrowseFullNameSize = kBrowseResultSize - kBrowseFullNameOffset; // 514

// HostFindResourceLibrary's path buffer.
constexpr size_t kResourcePathSize = 256;
