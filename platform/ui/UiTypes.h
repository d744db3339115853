// Handle and procedure types of the window framework that the Win32 layer below it does not define.
#pragma once

#include "platform/winapi/WinApi.h"

typedef void* HGDIOBJ;
typedef struct HBITMAP__* HBITMAP;
typedef struct HICON__* HICON;
typedef INT_PTR(CALLBACK* DLGPROC)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
typedef LRESULT(CALLBACK* WNDPROC)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A resource named by number travels in a name pointer whose value is below 0x10000, as on the original
// platform, so one lookup call serves both kinds of name.
#define MAKEINTRESOURCEA(id) (reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(id))))
#define IS_INTRESOURCE(name) ((reinterpret_cast<ULONG_PTR>(name) >> 16) == 0)
