#include "module/core/SnapinTool.h"

CSnapinTool::CSnapinTool(const char* menuName, UINT menuTextId, UINT statusTextId) : m_menuName(menuName) {
    m_menuText.LoadString(menuTextId);
    m_statusText.LoadString(statusTextId);
}
