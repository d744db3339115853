// Modal runs and the driver that acts for the person. A modal dialog, property sheet or wizard runs a
// nested loop: it delivers posted messages, then asks the driver for the person's next action, until the
// window is ended. The test driver (ScriptedUser) and the host's script driver implement the same interface.
#pragma once

#include "platform/ui/window/Messages.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

enum class ModalKind { Dialog, PropertySheet, Wizard };

struct ModalContext {
    HWND window = nullptr;
    UINT templateId = 0; // the dialog's template; a sheet's first page template
    ModalKind kind = ModalKind::Dialog;
    int depth = 0; // 1 for the outermost modal window

    // The window whose controls a person acts on: the dialog, or the sheet's current page.
    [[nodiscard]] HWND ActivePage() const;
    // The template of what the person sees now: the dialog's, or the current page's.
    [[nodiscard]] UINT ActiveTemplateId() const;
};

class UiDriver {
public:
    virtual ~UiDriver() = default;
    // Performs the person's next action on the modal window (see UserActions.h). Answers false when there
    // is none: the modal run then ends with -1 and its window is destroyed, never cancelled silently.
    virtual bool NextAction(ModalContext& context) = 0;
};

// The driver modal runs ask; null when none is set (a modal run then fails at once).
UiDriver* GetUiDriver();
// Answers the driver that was set before.
UiDriver* SetUiDriver(UiDriver* driver);

// Runs the loop for `window` until it is ended (EndDialog) and answers the result; the caller destroys the
// window. -1 when the driver had no action.
INT_PTR RunModalLoop(HWND window, ModalKind kind, UINT templateId);
// The modal windows running now, outermost first.
std::vector<ModalContext> ActiveModals();
// The innermost modal window; a context with a null window when none runs.
ModalContext CurrentModal();

// The test driver: steps queued per template id (a sheet's by its current page), each run once, in order. A
// modal window without a step left is recorded as a failure (the test's fixture checks Failures() is empty).
class ScriptedUser : public UiDriver {
public:
    using Step = std::function<void(ModalContext& context)>;

    // Installs itself as the driver until destroyed (the earlier driver comes back).
    ScriptedUser();
    ~ScriptedUser() override;
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;

    void Expect(UINT templateId, Step step);
    bool NextAction(ModalContext& context) override;
    [[nodiscard]] const std::vector<std::string>& Failures() const { return m_failures; }
    // Steps queued and not run.
    [[nodiscard]] size_t PendingSteps() const;

private:
    UiDriver* m_previous = nullptr;
    std::map<UINT, std::vector<Step>> m_steps;
    std::vector<std::string> m_failures;
};
