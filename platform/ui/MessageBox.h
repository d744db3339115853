// Message boxes whose texts come from the current resource library. Each box reaches the prompter with the
// string id of its text, so that what a person was shown can be named by id.
#pragma once

#include "platform/ui/UiTypes.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

// One value for a resource format: text for %s, a number for %d %i %u %x %X %ld %lu.
using FormatArg = std::variant<std::string_view, int64_t>;

// Fills a format that comes from a resource library. Only the conversions above and %% are read (with
// optional flags, width and length letters); a conversion without a value, or with a value of the other
// kind, is filled with what that value reads as, never with memory it does not own, so a translated format
// with a mistake cannot make the program crash.
std::string FormatResourceText(std::string_view format, std::initializer_list<FormatArg> args);

// Text from string `id`, caption the application's name.
int AfxMessageBox(UINT id, UINT type = MB_OK, UINT helpId = 0);
// A text that is not from the string table.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
// Text string `textId`, caption string `captionId`.
int ResourceMessageBox(HWND owner, UINT textId, UINT captionId, UINT type);
// Text: resource format `formatId` filled with args; caption the application's name.
int FormatMessageBox(UINT formatId, UINT type, std::initializer_list<FormatArg> args);

// Null: no window has the keyboard focus (the window table arrives with the dialog classes).
HWND GetFocus();
