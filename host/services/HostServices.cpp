#include "host/services/HostServices.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <dlfcn.h>

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The folder this library was loaded from: in a build that is lib/, beside the language folders.
std::string LibraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) == 0 || info.dli_fname == nullptr) {
        return ".";
    }
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

} // namespace

std::string MenuTextForDisplay(const std::string& menuText) {
    std::string out;
    for (size_t i = 0; i < menuText.size(); ++i) {
        if (menuText[i] == '&') {
            if (i + 1 < menuText.size() && menuText[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += menuText[i];
    }
    return out;
}

std::string FormatClassLine(const ClassListing& line) {
    return line.className + " | " + line.displayName + " | " + std::to_string(line.flags);
}

std::string FormatToolLine(const ToolListing& line) {
    return line.text + " | " + (line.menuEnabled ? "enabled" : "grayed") + " | " +
           (line.buttonOn ? "on" : "off");
}

HostServices& HostServices::Instance() {
    static HostServices host;
    return host;
}

void HostServices::Reset() {
    HostServices fresh;
    *this = std::move(fresh);
}

void HostServices::ForgetRegistrations() {
    m_classes.clear();
    m_tools.clear();
    m_buttons.clear();
}

std::string HostServices::ResourceRoot() const {
    return m_resourceRoot.empty() ? LibraryFolder() : m_resourceRoot;
}

RegisteredClass* HostServices::FindClass(const std::string& className) {
    for (auto& entry : m_classes) {
        if (entry.className == className) {
            return &entry;
        }
    }
    return nullptr;
}

const RegisteredTool* HostServices::FindTool(const std::string& name) const {
    for (const auto& tool : m_tools) {
        std::string text = MenuTextForDisplay(tool.menuText);
        std::string bare = text;
        if (bare.size() >= 3 && bare.compare(bare.size() - 3, 3, "...") == 0) {
            bare.resize(bare.size() - 3);
        }
        if (EqualNoCase(name, text) || EqualNoCase(name, bare)) {
            return &tool;
        }
    }
    return nullptr;
}

std::optional<long> HostServices::SendToClass(const std::string& className, const std::string& objectName,
                                              unsigned short message, unsigned long param1,
                                              unsigned long param2) {
    RegisteredClass* entry = FindClass(className);
    if (entry == nullptr || entry->callBack == nullptr) {
        return std::nullopt;
    }
    std::vector<char> name(std::max<size_t>(objectName.size() + 1, kBrowseFullNameSize), '\0');
    std::memcpy(name.data(), objectName.data(), objectName.size());
    return entry->callBack(name.data(), message, param1, param2);
}

void HostServices::CloseAllClasses() {
    for (size_t i = 0; i < m_classes.size(); ++i) {
        std::string className = m_classes[i].className;
        (void)SendToClass(className, "", SNAP_CLOSE_CLASS);
    }
}

std::vector<ClassListing> HostServices::ListClasses() {
    std::vector<ClassListing> out;
    for (size_t i = 0; i < m_classes.size(); ++i) {
        ClassListing line;
        line.className = m_classes[i].className;
        line.displayName = m_classes[i].displayName.empty() ? line.className : m_classes[i].displayName;
        line.flags = SendToClass(line.className, "", SNAP_GET_CLASS_FLAGS).value_or(0);
        out.push_back(std::move(line));
    }
    return out;
}

std::vector<ToolListing> HostServices::ListTools() const {
    std::vector<ToolListing> out;
    for (const auto& tool : m_tools) {
        ToolListing line;
        line.text = MenuTextForDisplay(tool.menuText);
        unsigned int state = kMenuGrayedDisabled;
        if (tool.valid != nullptr) {
            tool.valid(&state);
        }
        line.menuEnabled = state == kMenuEnabled;
        for (const auto& button : m_buttons) {
            if (button.record.commandId == tool.commandId && button.record.stateProc != nullptr) {
                unsigned int on = 0;
                (void)button.record.stateProc(0, &on);
                line.hasButton = true;
                line.buttonOn = on != 0;
            }
        }
        out.push_back(std::move(line));
    }
    return out;
}

bool HostServices::RunTool(const std::string& name) const {
    const RegisteredTool* tool = FindTool(name);
    if (tool == nullptr || tool->action == nullptr) {
        return false;
    }
    unsigned int state = kMenuGrayedDisabled;
    if (tool->valid != nullptr) {
        tool->valid(&state);
    }
    if (state != kMenuEnabled) {
        return false;
    }
    // The action may register or remove tools; it runs on a copy of what it needs.
    ToolMenuAction action = tool->action;
    action();
    return true;
}

LONG HostServices::AddClass(RegisteredClass entry) {
    if (entry.className.empty() || entry.callBack == nullptr || FindClass(entry.className) != nullptr) {
        return -1;
    }
    std::string className = entry.className;
    m_classes.push_back(std::move(entry));
    // The class learns it is registered before the registration call returns; a module relies on this to
    // tell which of its classes a callback serves.
    (void)SendToClass(className, "", SNAP_INIT_CLASS);
    return 0;
}

LONG HostServices::AddTool(RegisteredTool entry, uint16_t* commandId) {
    if (commandId == nullptr || entry.action == nullptr) {
        return -1;
    }
    entry.commandId = m_nextCommandId++;
    *commandId = entry.commandId;
    m_tools.push_back(std::move(entry));
    return 0;
}

LONG HostServices::AddToolButton(const ToolButtonRecord& record) {
    if (record.size != sizeof(ToolButtonRecord)) {
        return -1;
    }
    RegisteredToolButton button;
    button.record = record;
    button.banner = record.banner ? record.banner : "";
    m_buttons.push_back(std::move(button));
    m_buttons.back().record.banner = m_buttons.back().banner.c_str();
    return 0;
}
