#include "module/core/SnapinPage.h"

CSnapinPage::CSnapinPage(UINT titleId, UINT templateId, void* pageParam)
    : m_templateId(static_cast<WORD>(templateId)), m_pageParam(pageParam) {
    m_title.LoadString(titleId);
}

CSnapinPage::CSnapinPage(const char* title, UINT templateId, void* pageParam)
    : m_title(title), m_templateId(static_cast<WORD>(templateId)), m_pageParam(pageParam) {}
