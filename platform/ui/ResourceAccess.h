// Lookups in a resource library (a handle that LoadLibraryA gave for a language's rckelnt.so). A handle
// that is not a resource library answers as one that holds nothing.
#pragma once

#include "platform/ui/UiTypes.h"
#include "resources/RcFormat.h"

// As the platform's call: copies string `id` (at most size-1 bytes and a NUL) and answers the bytes copied,
// 0 when the string is missing (the buffer then holds "").
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);

// `name` is a name or MAKEINTRESOURCEA(number); names are matched without regard to letter case. The answer
// points into the library and stays valid while it is loaded; null when missing.
const RcDialog* FindDialogResource(HINSTANCE instance, LPCSTR name);
const RcBitmap* FindBitmapResource(HINSTANCE instance, LPCSTR name);
const RcBitmap* FindIconResource(HINSTANCE instance, LPCSTR name);
