// The message level of the window layer: window handles in one process-wide table, window procedures,
// sending and posting, dialogs built from resource templates, focus, mouse capture and cursor confinement.
// Every call takes handles that may be stale; a handle that names no window is answered as the platform
// answers it (0, FALSE or null) and never dereferenced.
#pragma once

#include "platform/ui/window/Messages.h"
#include "resources/RcFormat.h"

#include <string>
#include <vector>

// ---- Sending ---------------------------------------------------------------------------------------------
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues the message; DrainPostedMessages delivers it. FALSE for a window that does not exist.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Delivers every posted message in order, also those posted while delivering, to windows that still exist.
// Answers the number delivered.
int DrainPostedMessages();
[[nodiscard]] size_t PendingPostedMessages();
LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The default procedure of every dialog: it calls the dialog procedure and does the default work for what
// that procedure leaves (answer 0): colour requests get the system brushes; a page-changed message (1312)
// goes on to the parent with wParam the dialog's handle, so that a sheet hears it in every form it is sent.
LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#define SendMessage SendMessageA
#define PostMessage PostMessageA
#define CallWindowProc CallWindowProcA
#define DefWindowProc DefWindowProcA

// ---- Creation and destruction --------------------------------------------------------------------------
// A dialog from template `name` (MAKEINTRESOURCEA(id) or a name) of `instance`, as the host creates pages:
// the dialog procedure receives WM_INITDIALOG with `param` in lParam. Null when the template is missing.
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC dialogProc, LPARAM param);
HWND CreateDialogIndirectParamA(const RcDialog* dialogTemplate, HWND parent, DLGPROC dialogProc,
                                LPARAM param);
// A plain window for a program's own frame (the host's details sheet): `proc` receives its messages.
HWND CreateFrameWindow(HWND parent, const char* caption, const RECT& rect, WNDPROC proc);
// A control as a template would lay it out, under `parent`.
HWND CreateControl(HWND parent, const RcControl& control);
// Destroys children first; every window receives WM_DESTROY and then WM_NCDESTROY.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// Windows without a parent, in creation order (tests check that none is left over).
std::vector<HWND> GetTopLevelWindows();

// ---- Dialog calls --------------------------------------------------------------------------------------
// Ends a modal loop running for `dialog` with `result`; on a modeless dialog it only records the result.
BOOL EndDialog(HWND dialog, INT_PTR result);
// The result EndDialog recorded; -1 when none was.
INT_PTR GetDialogResult(HWND dialog);
[[nodiscard]] bool IsDialogEnded(HWND dialog);
void ClearDialogEnded(HWND dialog);
// The template number the dialog was built from (0 for a named or a programmatic one).
UINT GetDialogTemplateId(HWND dialog);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and clears every other radio button from `first` to `last`.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);

// ---- Window state --------------------------------------------------------------------------------------
HWND GetParent(HWND window);
std::vector<HWND> GetChildWindows(HWND window);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
BOOL EnableWindow(HWND window, BOOL enable); // answers TRUE when it was disabled before
BOOL IsWindowEnabled(HWND window);
BOOL ShowWindow(HWND window, int command); // answers TRUE when it was visible before
BOOL IsWindowVisible(HWND window);         // the window itself, not its ancestors
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int size);
int GetWindowTextLengthA(HWND window);
std::string GetWindowTextString(HWND window);
BOOL GetClientRect(HWND window, LPRECT rect);
// In screen coordinates (a top-level window's rectangle is its place on the screen).
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags);
BOOL ClientToScreen(HWND window, LPPOINT point);
BOOL ScreenToClient(HWND window, LPPOINT point);
BOOL InvalidateRect(HWND window, LPCRECT rect, BOOL erase);
BOOL UpdateWindow(HWND window);
// The template kind of a control (kRcCustom for frames; dialogs answer kRcCustom too).
RcControlKind GetControlKind(HWND window);
uint32_t GetControlStyles(HWND window);
[[nodiscard]] bool IsDialogWindow(HWND window);

// ---- Focus, capture, cursor ----------------------------------------------------------------------------
HWND SetFocus(HWND window);
// The window with the keyboard focus, null when none.
HWND GetFocusWindow();
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
// Confines the cursor to a screen rectangle; null frees it.
BOOL ClipCursor(LPCRECT rect);
// The confinement rectangle; FALSE when the cursor is free.
BOOL GetClipCursor(LPRECT rect);
BOOL SetCursorPos(int x, int y);
BOOL GetCursorPos(LPPOINT point);

// ---- System values -------------------------------------------------------------------------------------
int GetSystemMetrics(int index);
COLORREF GetSysColor(int index);
