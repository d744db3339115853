// A browse through the host's browser (HostBrowse) for objects of the classes it names. The host asks the
// request for its class filters and hands it the picked objects' records and the context the person ended
// in.
#pragma once

#include "platform/ui/String.h"
#include "platform/ui/UiTypes.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

class CBrowseRequest {
public:
    // type is HostBrowse's option (4 for creation dialogs, 8 for pages); className the only class the
    // browser offers.
    CBrowseRequest(uint32_t type, const char* className);
    // As above, with every class in classNames offered, in that order.
    CBrowseRequest(uint32_t type, std::initializer_list<const char*> classNames);

    // Runs the browser under parent, starting in startContext (a container's full name). Answers true
    // when at least one object was picked; Results() then holds their full names in the host's order.
    bool Run(HWND parent, const char* startContext);

    [[nodiscard]] const std::vector<CString>& Results() const { return m_results; }
    // The base class of each result, in the same order.
    [[nodiscard]] const std::vector<CString>& ResultClasses() const { return m_resultClasses; }
    // Where the browser ended, for the next browse to start there.
    [[nodiscard]] const CString& Context() const { return m_context; }

private:
    static LONG __stdcall Collect(void* request, uint32_t message, ULONG_PTR param1, ULONG_PTR param2);

    uint32_t m_type;
    std::vector<CString> m_classNames;
    CString m_context;
    std::vector<CString> m_results;
    std::vector<CString> m_resultClasses;
};
