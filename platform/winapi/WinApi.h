// The Win32 calls the module makes, on Linux. Names, argument lists and answers follow the original
// platform; what cannot exist here (a screen, a real registry) is replaced by something a person can
// still use: message boxes go to the prompter, the registry lives in memory or in a .reg file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifndef __stdcall
#define __stdcall
#endif
#ifndef WINAPI
#define WINAPI
#endif
#ifndef CALLBACK
#define CALLBACK
#endif
#ifndef APIENTRY
#define APIENTRY
#endif

// ---- Basic types ---------------------------------------------------------------------------------------
typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef size_t SIZE_T;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD LCID;
typedef DWORD REGSAM;
typedef void* HANDLE;
typedef HANDLE HGLOBAL;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
// void(*)() rather than the platform's INT_PTR(*)(): it is the type GCC accepts in a cast to any other
// function type without -Wcast-function-type, and every caller casts a FARPROC before calling it.
typedef void(WINAPI* FARPROC)();

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr DWORD MAX_PATH = 260;

// ---- Status codes (GetLastError and registry answers) --------------------------------------------------
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_BAD_FORMAT = 11;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_FILE_EXISTS = 80;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_BUFFER_OVERFLOW = 111;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_MOD_NOT_FOUND = 126;
constexpr LONG ERROR_PROC_NOT_FOUND = 127;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_BADKEY = 1010;
constexpr LONG ERROR_CANTOPEN = 1011;
constexpr LONG ERROR_CANTREAD = 1012;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_KEY_DELETED = 1018;
constexpr LONG ERROR_CLIPBOARD_NOT_OPEN = 1418;

DWORD GetLastError();
void SetLastError(DWORD code);

// ---- Registry ------------------------------------------------------------------------------------------
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u)))

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = KEY_READ;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens an existing key below hKey (a root or an open key). subKey NULL or "" opens hKey itself anew.
// KEY_READ handles refuse writes with ERROR_ACCESS_DENIED. The caller closes *result with RegCloseKey.
LONG RegOpenKeyExA(HKEY hKey, LPCSTR subKey, DWORD options, REGSAM samDesired, PHKEY result);
// Opens or creates (with every missing level) a key; *disposition tells which happened. A key more than
// kMaxRegistryDepth (512) levels below its root, which Windows cannot hold, is refused with
// ERROR_INVALID_PARAMETER.
LONG RegCreateKeyExA(HKEY hKey, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                     REGSAM samDesired, void* securityAttributes, PHKEY result, LPDWORD disposition);
// name NULL or "" is the key's default value. With data NULL only *dataSize (needed size) is reported;
// a value longer than *dataSize fails with ERROR_MORE_DATA and *dataSize holds the size needed. A string
// value's size counts its terminating NUL, which is always written.
LONG RegQueryValueExA(HKEY hKey, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
// REG_SZ data is taken up to its first NUL (or dataSize bytes); REG_DWORD needs 4 bytes.
LONG RegSetValueExA(HKEY hKey, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueA(HKEY hKey, LPCSTR name);
// Deletes a key that has no subkeys.
LONG RegDeleteKeyA(HKEY hKey, LPCSTR subKey);
LONG RegCloseKey(HKEY hKey);

// Backend choice. The registry starts empty in memory.
struct RegistryResult {
    LONG code = ERROR_SUCCESS; // ERROR_SUCCESS, or ERROR_BADDB (malformed file), ERROR_CANTREAD ...
    std::string message;       // for a person: "registry.reg:12: ..." ; empty on success
    [[nodiscard]] bool Ok() const { return code == ERROR_SUCCESS; }
};
// Drops all keys and uses an empty in-memory registry (open handles become invalid).
void RegistryUseMemory();
// Reads the .reg file (a missing file is an empty registry, created on the first change) and writes it
// back after every change, atomically, in the header and encoding it was read in (REGEDIT4, or Windows
// Registry Editor Version 5.00 in UTF-8 or in UTF-16LE with a BOM). A malformed file is refused, left
// untouched, and the registry keeps its earlier backend and content. With a UTF-16 file, a change whose
// names or strings are not UTF-8 cannot be written and fails with ERROR_CANTWRITE, changing nothing.
[[nodiscard]] RegistryResult RegistryUseFile(const std::string& path);
// A string value for this run only: reads see it (and its key) before the stored one; it is never written
// to the file and a backend change forgets it. The host's choice of language for one run uses it.
LONG RegistrySetSessionString(HKEY root, LPCSTR subKey, LPCSTR name, LPCSTR value);
// $XDG_CONFIG_HOME/cvadmin/registry.reg, or ~/.config/cvadmin/registry.reg.
std::string RegistryDefaultFilePath();
// The whole registry in .reg form, exactly as the file backend writes it (in the header and encoding of
// the file in use; REGEDIT4 text in memory).
std::string RegistryExportText();

// ---- Message boxes, help, beep (see Prompter.h for the answerer and the log) ---------------------------
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_TASKMODAL = 0x2000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr UINT HELP_CONTEXT = 0x0001;
constexpr UINT HELP_QUIT = 0x0002;
constexpr UINT HELP_INDEX = 0x0003;
constexpr UINT HELP_CONTENTS = 0x0003;
constexpr UINT HELP_HELPONHELP = 0x0004;
constexpr UINT HELP_SETINDEX = 0x0005;
constexpr UINT HELP_CONTEXTPOPUP = 0x0008;
constexpr UINT HELP_FINDER = 0x000B;
constexpr UINT HELP_KEY = 0x0101;

// Answers IDOK ... IDNO, or 0 when the box could not be answered (the prompter records why).
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL WinHelpA(HWND owner, LPCSTR helpFile, UINT command, ULONG_PTR data);
// Counted, never sounded (Prompter::BeepCount).
BOOL MessageBeep(UINT type);

// ---- Temp files and profile strings -------------------------------------------------------------------
// TMPDIR (or /tmp) with a trailing '/'. Answers the length written without the NUL, or, when the buffer is
// too small, the size needed including the NUL.
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);
// unique 0: creates a new empty file path/PPPXXXX.tmp (first three characters of prefix, upper-case hex)
// and answers its number; unique != 0: only builds the name. tempFileName must hold MAX_PATH bytes.
// Answers 0 on failure (GetLastError tells why), and then creates nothing.
UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefix, UINT unique, LPSTR tempFileName);
// INI writes go to a per-file cache that keeps sections and keys in write order; an existing file is read
// into the cache first. key NULL deletes the section, value NULL deletes the key. (NULL, NULL, NULL, file)
// writes the cache to disk. Answers FALSE on failure.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
// Reads through the cache. section NULL lists section names, key NULL lists keys (each NUL-terminated, a
// second NUL at the end). Answers the number of characters copied without the final NUL.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR returned, DWORD size,
                               LPCSTR fileName);
// Writes every cached profile file that has unwritten changes (also done at process exit).
void FlushAllProfileCaches();

// ---- Program start -------------------------------------------------------------------------------------
constexpr UINT SW_HIDE = 0;
constexpr UINT SW_SHOWNORMAL = 1;
constexpr UINT SW_NORMAL = 1;
constexpr UINT SW_SHOWMINIMIZED = 2;
constexpr UINT SW_SHOWMAXIMIZED = 3;
constexpr UINT SW_SHOW = 5;
constexpr UINT SW_MINIMIZE = 6;
constexpr UINT SW_SHOWMINNOACTIVE = 7;
constexpr UINT SW_SHOWNA = 8;
constexpr UINT SW_SHOWDEFAULT = 10;

// Starts the program without a shell and without waiting. Answers 33 or more when it started; 0 out of
// resources, ERROR_FILE_NOT_FOUND (2), ERROR_PATH_NOT_FOUND (3) a folder of the program path is missing,
// ERROR_BAD_FORMAT (11) the file exists but is not a program this system can run.
UINT WinExec(LPCSTR cmdLine, UINT showCmd);
// Every WinExec call of this process, for tests and for the host to print.
struct ProgramStartRecord {
    std::string commandLine;
    UINT showCmd = 0;
    UINT answer = 0;
};
std::vector<ProgramStartRecord> ProgramStartLog();
void ClearProgramStartLog();
// The platform's command-line splitting: the first word is the program (quotes group, no escapes), then
// the CommandLineToArgvW rules (2n backslashes + quote: n backslashes and a quote toggle; 2n+1: n and a
// literal quote; "" inside quotes: a literal quote).
std::vector<std::string> SplitCommandLine(std::string_view commandLine);
// Quotes one word so that SplitCommandLine gives it back unchanged (also for the program word, as long
// as it holds no double quote).
std::string QuoteCommandLineArg(std::string_view word);

// ---- Time, time zone and dates -------------------------------------------------------------------------
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
typedef SYSTEMTIME* LPSYSTEMTIME;

struct TIME_ZONE_INFORMATION {
    LONG Bias; // minutes, UTC = local time + Bias
    WCHAR StandardName[32];
    SYSTEMTIME StandardDate;
    LONG StandardBias;
    WCHAR DaylightName[32];
    SYSTEMTIME DaylightDate;
    LONG DaylightBias;
};
typedef TIME_ZONE_INFORMATION* LPTIME_ZONE_INFORMATION;

constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;
constexpr DWORD TIME_ZONE_ID_STANDARD = 1;
constexpr DWORD TIME_ZONE_ID_DAYLIGHT = 2;
constexpr DWORD TIME_ZONE_ID_INVALID = 0xFFFFFFFF;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

// Bias is the standard offset of the C library's zone for TZ (no daylight adjustment in Bias);
// DaylightBias the extra shift in summer. TIME_ZONE_ID_INVALID on failure.
DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION info);
// Test hooks: a fixed standard bias, or a failing query; TimeZoneClearInjection goes back to TZ.
void TimeZoneInjectBias(LONG biasMinutes);
void TimeZoneInjectFailure();
void TimeZoneClearInjection();

void GetLocalTime(LPSYSTEMTIME out);
void GetSystemTime(LPSYSTEMTIME out);
// tz NULL: the C library's zone with daylight saving decided for that date; otherwise tz's Bias and
// StandardBias. Answer FALSE for a date that cannot be converted.
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* tz, const SYSTEMTIME* universal,
                                     LPSYSTEMTIME local);
BOOL TzSpecificLocalTimeToSystemTime(const TIME_ZONE_INFORMATION* tz, const SYSTEMTIME* local,
                                     LPSYSTEMTIME universal);
// Seconds since 1970-01-01 UTC of a local wall-clock time, daylight saving decided automatically
// (mktime with tm_isdst = -1). Empty when the time cannot be represented.
std::optional<int64_t> LocalTimeToUnixTime(const SYSTEMTIME& local);
// The local wall-clock time of a moment; empty when out of range.
std::optional<SYSTEMTIME> UnixTimeToLocalTime(int64_t seconds);

// The user's LC_TIME locale ("" = from the environment: LC_ALL, LC_TIME, LANG). Tests choose one by name;
// answers FALSE (and keeps the current one) when the locale does not exist.
BOOL SetUserDateLocale(LPCSTR localeName);
// strftime of format ("%x", "%Y" ...) in the user's LC_TIME locale for a calendar date (time fields used
// as given). Empty on failure.
std::string FormatDate(const SYSTEMTIME& date, const char* format);
// "%x" of the user's locale with its year written in four digits: a two-digit year field is replaced by the
// full year wherever the locale puts it ("12/31/99" -> "12/31/1999"); a locale that writes four digits
// already ("31.12.1999", "1999年12月31日") keeps its text. ParseDate reads every form this writes.
std::string FormatDateFourDigitYear(const SYSTEMTIME& date);
// GetDateFormatA-like: format is a strftime format (NULL = "%x"); answers characters written including the
// NUL, the size needed when cchDate is 0, or 0 when it does not fit (ERROR_INSUFFICIENT_BUFFER).
int GetDateFormatA(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCSTR format, LPSTR out, int cchDate);

struct DateParts {
    int year = 0;
    int month = 0;
    int day = 0;
};
// Reads a date written in the user's "%x" order (day, month and year as the locale orders them), with the
// year in four digits or as the locale writes it. Reports the numbers as written (a month of 13 is
// reported, not refused: range checks are the caller's). Empty when the text is not such a date.
std::optional<DateParts> ParseDate(std::string_view text, LCID locale = LOCALE_USER_DEFAULT, DWORD flags = 0);

// ---- Code page and lead bytes -------------------------------------------------------------------------
// 1252 by default (single-byte). Double-byte pages 932, 936, 949, 950 are selectable; single-byte ones
// 437, 850, 1250, 1251, 1252, 28591 and 65001. Answers FALSE for a page it does not know.
BOOL SetActiveCodePage(UINT codePage);
UINT GetACP();
BOOL IsDBCSLeadByte(BYTE testChar);

// ---- Global memory and the clipboard ------------------------------------------------------------------
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_DDESHARE = 0x2000;
constexpr UINT GMEM_SHARE = 0x2000;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// NULL on failure. Unknown handles are refused, never dereferenced.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);  // TRUE while still locked
HGLOBAL GlobalFree(HGLOBAL block); // NULL on success, the handle on failure
SIZE_T GlobalSize(HGLOBAL block);

constexpr UINT CF_TEXT = 1;

BOOL OpenClipboard(HWND owner);
BOOL EmptyClipboard();
// The clipboard owns the block from now on (the caller must not free it); NULL on failure.
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
BOOL CloseClipboard();
// Plain text on the clipboard (up to its NUL), for the host to print or save; empty when there is none.
std::optional<std::string> ClipboardGetText();

// ---- Dynamic libraries --------------------------------------------------------------------------------
// dlopen: a path, or a plain name looked up on the library search path. NULL on failure.
HMODULE LoadLibraryA(LPCSTR fileName);
BOOL FreeLibrary(HMODULE module);
// By name only; an ordinal (a value below 0x10000) answers NULL.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
// The text of the last LoadLibraryA failure, for messages.
std::string LoadLibraryLastErrorText();

// ---- Failure injection for tests ----------------------------------------------------------------------
enum class WinApiFailure {
    ClipboardOpen, // the next OpenClipboard fails
    GlobalAlloc,   // the next GlobalAlloc fails
    TempFile,      // the next GetTempFileNameA fails
};
void WinApiInjectFailure(WinApiFailure point);
void WinApiClearInjectedFailures();
