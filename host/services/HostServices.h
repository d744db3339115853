// The host's side of the host services: what modules registered, how the host program configures the
// answers, and the actions through which it drives the registered classes and tools.
#pragma once

#include "host/services/HostTypes.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct RegisteredClass {
    std::string nameSpace;
    std::string className;
    std::string banner;
    HINSTANCE resource = nullptr;
    SnapCallBack callBack = nullptr;
    uint32_t version = 0;
    // From HostSetClassBitmaps; empty until the class sets its bitmaps.
    std::string displayName;
    HBITMAP normal = nullptr;
    HBITMAP alias = nullptr;
    HBITMAP readOnly = nullptr;
};

struct RegisteredTool {
    std::string menuName;
    uint16_t commandId = 0;
    std::string menuText;
    std::string statusText;
    ToolMenuAction action = nullptr;
    ToolMenuValid valid = nullptr;
    uint32_t version = 0;
};

struct RegisteredToolButton {
    ToolButtonRecord record{};
    std::string banner; // record.banner points here
};

// What the browser is asked: the parent, the start context, the option and the collector's class filter.
struct BrowseQuery {
    HWND parent = nullptr;
    std::string startContext;
    uint32_t option = 0;
    std::vector<std::string> classFilter;
};
struct BrowsePick {
    std::string baseClass;
    std::string fullName;
};
// Empty: cancelled.
struct BrowseAnswer {
    std::vector<BrowsePick> picks;
    std::string endContext; // the context the browser ended in; the start context when empty
};
using Browser = std::function<BrowseAnswer(const BrowseQuery& query)>;

// One line of the `classes` listing.
struct ClassListing {
    std::string className;
    std::string displayName; // the class name when the class set none
    long flags = 0;          // the class's answer to SNAP_GET_CLASS_FLAGS
};
// One line of the `tools` listing.
struct ToolListing {
    std::string text; // menu text without its '&' markers
    bool menuEnabled = false;
    bool buttonOn = false;
    bool hasButton = false;
};

class HostServices {
public:
    // The one host of the process, shared by the host program and the module.
    static HostServices& Instance();

    // Forgets every registration and goes back to the default configuration.
    void Reset();
    // Forgets the classes, tools and tool buttons (their procedures belong to a module being unloaded).
    void ForgetRegistrations();

    // ---- configuration ----
    // The language folders' parent folder; by default the folder this library was loaded from.
    void SetResourceRoot(std::string folder) { m_resourceRoot = std::move(folder); }
    [[nodiscard]] std::string ResourceRoot() const;
    void SetTreeName(std::string name) { m_treeName = std::move(name); }
    [[nodiscard]] const std::string& TreeName() const { return m_treeName; }
    void SetSelectedObject(std::string fullName) { m_selectedObject = std::move(fullName); }
    void SetContextName(std::string name) { m_contextName = std::move(name); }
    void SetMainWindow(HWND window) { m_mainWindow = window; }
    [[nodiscard]] HWND MainWindow() const { return m_mainWindow; }
    // What HostQueryContext answers (0 normally) and what HostQueryMode writes (1 normally).
    void SetQueryContextAnswer(LONG answer) { m_queryContextAnswer = answer; }
    [[nodiscard]] LONG QueryContextAnswer() const { return m_queryContextAnswer; }
    void SetQueryMode(uint32_t mode) { m_queryMode = mode; }
    [[nodiscard]] uint32_t QueryMode() const { return m_queryMode; }
    [[nodiscard]] const std::string& ContextName() const { return m_contextName; }
    [[nodiscard]] const std::string& SelectedObject() const { return m_selectedObject; }
    // Without a browser every browse is cancelled.
    void SetBrowser(Browser browser) { m_browser = std::move(browser); }
    [[nodiscard]] const Browser& GetBrowser() const { return m_browser; }

    // ---- what was registered ----
    [[nodiscard]] const std::deque<RegisteredClass>& Classes() const { return m_classes; }
    [[nodiscard]] const std::vector<RegisteredTool>& Tools() const { return m_tools; }
    [[nodiscard]] const std::deque<RegisteredToolButton>& ToolButtons() const { return m_buttons; }
    [[nodiscard]] RegisteredClass* FindClass(const std::string& className);
    [[nodiscard]] const RegisteredTool* FindTool(const std::string& name) const;

    // ---- acting as the host ----
    // Sends a message to a registered class with a writable copy of objectName (at least 514 bytes).
    // Empty when no such class is registered.
    std::optional<long> SendToClass(const std::string& className, const std::string& objectName,
                                    unsigned short message, unsigned long param1 = 0,
                                    unsigned long param2 = 0);
    // SNAP_CLOSE_CLASS to every class, in registration order.
    void CloseAllClasses();
    // Each class with its display name and the flags it answers to SNAP_GET_CLASS_FLAGS.
    std::vector<ClassListing> ListClasses();
    // Each Tools command with its MenuValid state and its button's state.
    std::vector<ToolListing> ListTools() const;
    // Runs the command whose menu text (without '&', with or without a trailing "...") matches name
    // without regard to case. FALSE when there is none or it is not enabled.
    bool RunTool(const std::string& name) const;

    // Called by the host services themselves.
    LONG AddClass(RegisteredClass entry);
    LONG AddTool(RegisteredTool entry, uint16_t* commandId);
    LONG AddToolButton(const ToolButtonRecord& record);

private:
    HostServices() = default;

    std::string m_resourceRoot;
    std::string m_treeName = "KELNT_TREE";
    std::string m_selectedObject;
    std::string m_contextName = "[Root]";
    HWND m_mainWindow = nullptr;
    LONG m_queryContextAnswer = 0;
    uint32_t m_queryMode = 1;
    Browser m_browser;
    std::deque<RegisteredClass> m_classes;
    std::vector<RegisteredTool> m_tools;
    std::deque<RegisteredToolButton> m_buttons; // deque: each banner pointer stays valid
    uint16_t m_nextCommandId = kFirstToolCommandId;

    static constexpr uint16_t kFirstToolCommandId = 0xE200;
};

// The host's output lines: "CLASS | DISPLAY NAME | FLAGS" and "TEXT | MENU | BUTTON" (MENU enabled or
// grayed, BUTTON on or off).
std::string FormatClassLine(const ClassListing& line);
std::string FormatToolLine(const ToolListing& line);

// The menu text as a person reads it: "&&" becomes "&", a single '&' (the access key marker) is dropped.
std::string MenuTextForDisplay(const std::string& menuText);
