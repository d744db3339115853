#include "platform/ui/window/UiDriver.h"

#include "platform/ui/window/PropertySheet.h"
#include "platform/ui/window/Window.h"
#include "platform/ui/window/WindowRecord.h"

namespace {

UiDriver*& Driver() {
    static UiDriver* driver = nullptr;
    return driver;
}

std::vector<ModalContext>& Modals() {
    static std::vector<ModalContext> modals;
    return modals;
}

} // namespace

HWND ModalContext::ActivePage() const {
    if (kind == ModalKind::Dialog) {
        return window;
    }
    auto page = reinterpret_cast<HWND>(SendMessageA(window, PSM_GETCURRENTPAGEHWND, 0, 0));
    return page != nullptr ? page : window;
}

UINT ModalContext::ActiveTemplateId() const {
    return kind == ModalKind::Dialog ? templateId : GetDialogTemplateId(ActivePage());
}

UiDriver* GetUiDriver() {
    return Driver();
}

UiDriver* SetUiDriver(UiDriver* driver) {
    UiDriver* previous = Driver();
    Driver() = driver;
    return previous;
}

INT_PTR RunModalLoop(HWND window, ModalKind kind, UINT templateId) {
    ModalContext context;
    context.window = window;
    context.kind = kind;
    context.templateId = templateId;
    context.depth = static_cast<int>(Modals().size()) + 1;
    Modals().push_back(context);
    uiwin::MarkPopup(window);
    INT_PTR result = -1;
    while (IsWindow(window)) {
        DrainPostedMessages();
        if (IsDialogEnded(window)) {
            result = GetDialogResult(window);
            break;
        }
        UiDriver* driver = GetUiDriver();
        if (driver == nullptr || !driver->NextAction(context)) {
            result = -1;
            break;
        }
        if (IsDialogEnded(window)) {
            result = GetDialogResult(window);
            break;
        }
    }
    Modals().pop_back();
    return result;
}

std::vector<ModalContext> ActiveModals() {
    return Modals();
}

ModalContext CurrentModal() {
    return Modals().empty() ? ModalContext{} : Modals().back();
}

ScriptedUser::ScriptedUser() : m_previous(SetUiDriver(this)) {}

ScriptedUser::~ScriptedUser() {
    if (GetUiDriver() == this) {
        SetUiDriver(m_previous);
    }
}

void ScriptedUser::Expect(UINT templateId, Step step) {
    m_steps[templateId].push_back(std::move(step));
}

bool ScriptedUser::NextAction(ModalContext& context) {
    UINT templateId = context.ActiveTemplateId();
    auto found = m_steps.find(templateId);
    if (found == m_steps.end() || found->second.empty()) {
        m_failures.push_back("no scripted step for modal window of template " + std::to_string(templateId));
        return false;
    }
    Step step = std::move(found->second.front());
    found->second.erase(found->second.begin());
    step(context);
    return true;
}

size_t ScriptedUser::PendingSteps() const {
    size_t count = 0;
    for (const auto& [id, steps] : m_steps) {
        count += steps.size();
    }
    return count;
}
