// The in-memory form of a resource library's contents and the C entry points that every language's
// rckelnt.so exports. The window framework binds to a library only through these entry points
// (found by name), so a library built for another language is interchangeable with this one.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum RcControlKind {
    kRcStatic = 0,
    kRcEdit,
    kRcButton,
    kRcCheckBox,
    kRcRadio,
    kRcGroup,
    kRcListBox,
    kRcComboBox,
    kRcListView,
    kRcProgress,
    kRcCustom,
};

// Initial control states as laid out in a template; the module relies on some of them ("laid out disabled").
enum RcControlStyle : uint32_t {
    kRcStyleDisabled = 0x0001,
    kRcStyleHidden = 0x0002,
    kRcStyleReadOnly = 0x0004,
    kRcStyleGroup = 0x0008,
    kRcStyleMultiple = 0x0010,
    kRcStyleOwnerDraw = 0x0020,
    kRcStyleSorted = 0x0040,
    kRcStylePassword = 0x0080,
    kRcStyleDefault = 0x0100,
    kRcStyleNumber = 0x0200,
    kRcStyleDropDownList = 0x0400,
    kRcStyleChecked = 0x0800,
};

struct RcControl {
    uint32_t id;
    enum RcControlKind kind;
    const char* text;
    int32_t x, y, width, height;
    uint32_t styles;
};

// A template is named by a number (name null) or by a name (number 0).
struct RcDialog {
    uint32_t id;
    const char* name;
    const char* caption;
    int32_t x, y, width, height;
    uint32_t controlCount;
    const struct RcControl* controls;
};

// Pixels are 0x00RRGGBB, row after row from the top.
struct RcBitmap {
    uint32_t id;
    const char* name;
    int32_t width, height;
    const uint32_t* pixels;
};

// Copies string `id` into buffer (at most size-1 bytes and a terminating zero) and answers the number of
// bytes copied; 0 when there is no such string or no room.
typedef int (*RcLoadStringProc)(uint32_t id, char* buffer, int size);
// Lookups answer a pointer into the library, valid while it stays loaded, or null. Names are matched
// without regard to ASCII letter case.
typedef const struct RcDialog* (*RcFindDialogProc)(uint32_t id);
typedef const struct RcDialog* (*RcFindDialogByNameProc)(const char* name);
typedef const struct RcBitmap* (*RcFindBitmapProc)(uint32_t id);
typedef const struct RcBitmap* (*RcFindBitmapByNameProc)(const char* name);
// The language the library is written in, and a description of what went wrong when its embedded source
// could not be read (null when all is well).
typedef const char* (*RcLanguageProc)(void);
typedef const char* (*RcLoadErrorProc)(void);

#define RC_LOAD_STRING "RcLoadString"
#define RC_FIND_DIALOG "RcFindDialog"
#define RC_FIND_DIALOG_BY_NAME "RcFindDialogByName"
#define RC_FIND_BITMAP "RcFindBitmap"
#define RC_FIND_BITMAP_BY_NAME "RcFindBitmapByName"
#define RC_FIND_ICON "RcFindIcon"
#define RC_FIND_ICON_BY_NAME "RcFindIconByName"
#define RC_LANGUAGE "RcLanguage"
#define RC_LOAD_ERROR "RcLoadError"

#ifdef __cplusplus
}
#endif
