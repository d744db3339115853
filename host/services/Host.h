// The host services a snap-in module calls, under the platform's names. Their state lives in the
// HostServices object (HostServices.h), which the host program configures and acts through.
#pragma once

#include "host/services/HostTypes.h"

// Records the class and sends it SNAP_INIT_CLASS before answering. 0 done; -1 refused (missing name or
// procedure, or a class of that name already registered).
LONG HostRegisterClass(const char* nameSpace, const char* className, const char* banner, HINSTANCE resource,
                       SnapCallBack callBack, uint32_t version);
// Records a Tools menu command and writes its command id to *commandId. 0 done; -1 refused.
LONG HostRegisterTool(const char* menuName, uint32_t reserved1, uint32_t reserved2, uint32_t reserved3,
                      uint16_t* commandId, const char* menuText, const char* statusText,
                      ToolMenuAction action, ToolMenuValid valid, uint32_t version);
// Records a tool button; -1 when the record's size is not sizeof(ToolButtonRecord).
LONG HostAddToolButton(const ToolButtonRecord* record);
HWND HostGetMainWindow();
// Writes the current context's name into buffer (kQueryContextBufferSize bytes); 0 when a context is open.
LONG HostQueryContext(uint32_t reserved, char* buffer);
// Writes the host's mode (1 normally); answers 0.
LONG HostQueryMode(uint32_t* mode);
// Writes the tree name into the record and the selected object's full name into buffer
// (kSelectionBufferSize bytes); answers 0.
LONG HostGetSelection(HostSelectionRecord* record, char* buffer);
// 0 when the class is registered; it then shows the display name and the bitmaps.
LONG HostSetClassBitmaps(const char* className, const char* displayName, HBITMAP normal, HBITMAP alias,
                         HBITMAP readOnly);
// 0 when the class had bitmaps; the host forgets them (the class still owns and deletes them).
LONG HostReleaseClassBitmaps(const char* className, HBITMAP* normal, HBITMAP* alias, HBITMAP* readOnly);
// Runs the browser (see BrowseCollector). 0 when the person picked at least one object, -1 when the
// browse was cancelled or refused.
LONG HostBrowse(HWND parent, void* request, char* context, uint32_t reserved1, uint32_t reserved2,
                uint32_t reserved3, uint32_t option, BrowseCollector collector);
// Writes the path that `fileName` has in the language folders' parent folder into path
// (kResourcePathSize bytes). 0 done; -1 when the name is empty or the path does not fit (path then "").
LONG HostFindResourceLibrary(const char* fileName, char* path);
