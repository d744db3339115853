// The base of a Tools menu command: what the module hands the host when it registers the command.
#pragma once

#include "host/services/HostTypes.h"
#include "platform/ui/String.h"

class CSnapinTool {
public:
    // Loads the menu and status texts from the current resource library.
    CSnapinTool(const char* menuName, UINT menuTextId, UINT statusTextId);
    virtual ~CSnapinTool() = default;
    CSnapinTool(const CSnapinTool&) = delete;
    CSnapinTool& operator=(const CSnapinTool&) = delete;

    // Makes this the module's command object and fills the two procedure fields.
    virtual void Attach() = 0;
    // Hands a request naming objectName ("" for the whole tree) to the tool's program; 1 when a start was
    // attempted, 0 when the tool is not set up.
    virtual LONG RunRequest(const char* objectName) = 0;
    // The menu state: 0 enabled, 1 grayed.
    virtual unsigned int IsUnavailable() = 0;

    [[nodiscard]] ToolMenuValid GetMenuValid() const { return m_menuValid; }
    [[nodiscard]] ToolMenuAction GetMenuAction() const { return m_menuAction; }
    [[nodiscard]] const char* GetMenuName() const { return m_menuName; }
    [[nodiscard]] const char* GetMenuText() const { return m_menuText; }
    [[nodiscard]] const char* GetStatusText() const { return m_statusText; }
    // The host writes the command id here when the command is registered.
    uint16_t* CommandIdSlot() { return &m_commandId; }
    [[nodiscard]] uint16_t GetCommandId() const { return m_commandId; }

protected:
    ToolMenuValid m_menuValid = nullptr;
    ToolMenuAction m_menuAction = nullptr;
    CString m_menuName;
    CString m_menuText;
    CString m_statusText;
    uint16_t m_commandId = 0;
};
