// The base of every class handler: one virtual operation a host message, a default answer for each, the
// ordered page list the details sheet shows, and the class's display name and bitmaps.
#pragma once

#include "host/services/HostTypes.h"
#include "module/core/SnapinPage.h"

#include <memory>
#include <string>

class CSnapinClass {
public:
    // Copies the strings; a bitmap of 0 leaves that handle unset. The resource instance is the module's.
    CSnapinClass(const char* nameSpace, const char* className, const char* displayName, HBITMAP normal,
                 HBITMAP alias, HBITMAP readOnly);
    // Frees the page entries, not the pages: those belong to the derived handler.
    virtual ~CSnapinClass();
    CSnapinClass(const CSnapinClass&) = delete;
    CSnapinClass& operator=(const CSnapinClass&) = delete;

    virtual LONG OnInitClass() = 0;
    virtual LONG OnCloseClass() = 0;
    // Copies page `index` (0 to count-1) into *record and answers 0; -1 and nothing written otherwise.
    virtual LONG GetPage(const char* name, unsigned long index, SnapPageRecord* record);
    virtual LONG GetPageCount() { return m_pageCount; }
    virtual LONG OnCreateObject(const char* /*name*/, unsigned long /*param1*/) { return 0; }
    virtual LONG GetClassFlags(const char* /*name*/) { return 1; }
    virtual LONG OnApplyPages(const char* /*name*/) { return 0; }
    virtual LONG OnRenameObject(const char* /*name*/, unsigned long /*param1*/) { return 0; }
    virtual LONG OnQueryDelete(const char* /*name*/) { return 1; }
    virtual LONG OnQueryCopy(const char* /*name*/) { return 0; }
    virtual LONG OnQueryMove(const char* /*name*/) { return 0; }
    virtual LONG OnEndPages(unsigned long /*param1*/) { return 0; }
    virtual LONG OnIgnored274(const char* /*name*/) { return 0; }
    virtual LONG OnNotifyMove(const char* /*name*/, unsigned long /*from*/, unsigned long /*to*/) {
        return 0;
    }
    virtual LONG OnNotifyRename(const char* /*name*/, unsigned long /*param1*/) { return 0; }
    virtual LONG OnIgnored277(const char* /*name*/) { return 0; }
    virtual LONG OnApplyTemplate(const char* /*name*/, unsigned long /*param1*/) { return 0; }
    // The handler's own exported CallBack, which the module registers with the host.
    virtual SnapCallBack GetCallBack() = 0;

    // Appends an entry for the page at the end of the list.
    void AddPage(CSnapinPage* page);
    // Registers the display name (the class name when none was given) and the three bitmaps with the host;
    // 1 when the host took them, 0 when a handle is missing or the host refused.
    LONG RegisterBitmaps(HBITMAP normal, HBITMAP alias, HBITMAP readOnly);
    // 1 when the host released the three bitmaps, 0 otherwise.
    LONG ReleaseBitmaps();

    [[nodiscard]] const char* GetNameSpace() const { return m_nameSpace.c_str(); }
    [[nodiscard]] const char* GetClassName() const { return m_className.c_str(); }
    [[nodiscard]] const char* GetDisplayName() const { return m_displayName.c_str(); }
    [[nodiscard]] const char* GetBanner() const { return m_banner; }
    [[nodiscard]] HINSTANCE GetResourceInstance() const { return m_resourceInstance; }

    // The flags of a class whose creation the registry switches: HKEY_CURRENT_USER
    // "Software\Corvane\Parameters\KelNTSnapIn", 32-bit value `valueName`; 141 when it reads as 1, else 137
    // (also when the key or the value is missing or not a 32-bit value).
    static LONG SwitchedClassFlags(const char* valueName);

protected:
    // Forgets every page entry (the pages themselves belong to the derived handler), so that a handler
    // whose pages were deleted hands none of them out and a later SNAP_INIT_CLASS starts afresh.
    void RemoveAllPages();

    struct PageEntry {
        SnapPageRecord record{};
        std::unique_ptr<PageEntry> next;
    };

    HINSTANCE m_resourceInstance = nullptr;
    const char* m_banner = nullptr; // the module's, shared
    std::string m_nameSpace;
    std::string m_className;
    std::string m_displayName;
    LONG m_pageCount = 0;
    std::unique_ptr<PageEntry> m_pages;
    HBITMAP m_normalBitmap = nullptr;
    HBITMAP m_aliasBitmap = nullptr;
    HBITMAP m_readOnlyBitmap = nullptr;
};

// Class flags of the switchable classes.
constexpr LONG kClassFlagsCreatable = 141;
constexpr LONG kClassFlagsNotCreatable = 137;
