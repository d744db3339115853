#include "host/UiCommands.h"

#include <charconv>
#include <memory>

#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/PropertySheet.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/ui/window/UserActions.h"

namespace cvadmin {

namespace {

using Args = Interpreter::Args;

// The hours grid's layout: 7 days by 24 hours.
constexpr int kGridRows = 7;
constexpr int kGridColumns = 24;

class ScriptDriver : public UiDriver {
public:
    explicit ScriptDriver(Interpreter& interpreter) : m_interpreter(interpreter) {}

    bool NextAction(ModalContext& context) override {
        if (!m_interpreter.RunNextCommand()) {
            // The script has nothing more for this window: a person walking away closes it with Cancel. The
            // script never acted on it, which the command that opened it may have to say.
            m_interpreter.NoteLeftOpen();
            EndDialog(context.window, IDCANCEL);
        } else if (m_interpreter.Stopped()) {
            EndDialog(context.window, IDCANCEL);
        } else {
            m_interpreter.NoteShown();
        }
        return true;
    }

private:
    Interpreter& m_interpreter;
};

CommandResult Usage(const char* form) {
    return CommandResult::Error(std::string("usage: ") + form);
}

bool ParseInt(const std::string& text, int& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

CommandResult FromAction(UiActionError error, const std::string& what) {
    if (error == UiActionError::None)
        return CommandResult::Ok();
    return CommandResult::Error(what + ": " + UiActionErrorText(error));
}

} // namespace

void DeliverPostedMessages() {
    while (DrainPostedMessages() > 0) {
    }
}

void InstallScriptDriver(Interpreter& interpreter) {
    static std::unique_ptr<ScriptDriver> driver;
    driver = std::make_unique<ScriptDriver>(interpreter);
    SetUiDriver(driver.get());
    interpreter.SetIdleHook(DeliverPostedMessages);
}

void RegisterUiCommands(Interpreter& interpreter, CurrentPageProvider currentPage,
                        std::function<CommandResult()> sheetOk, std::function<CommandResult()> sheetCancel,
                        SheetKeyHandler sheetKey) {
    // What the person is looking at: the innermost modal window, else the details sheet's current page.
    auto target = [currentPage]() -> HWND {
        ModalContext modal = CurrentModal();
        if (modal.window != nullptr)
            return modal.window;
        return currentPage ? currentPage() : nullptr;
    };
    auto withTarget = [target](const std::function<CommandResult(HWND)>& act) {
        HWND window = target();
        if (window == nullptr)
            return CommandResult::Error("no dialog or details sheet is open");
        return act(window);
    };
    auto idCommand = [&interpreter, withTarget](const char* name, const char* form, std::size_t minArgs,
                                                std::size_t maxArgs,
                                                std::function<UiActionError(HWND, int, const Args&)> act) {
        interpreter.Register(name, [=](const Args& args) {
            int id = 0;
            if (args.size() < minArgs || args.size() > maxArgs || !ParseInt(args[0], id))
                return Usage(form);
            return withTarget([&](HWND window) {
                return FromAction(act(window, id, args), std::string(name) + " " + args[0]);
            });
        });
    };

    idCommand("type", "type ID TEXT", 2, 2,
              [](HWND w, int id, const Args& a) { return TypeText(w, id, a[1]); });
    idCommand("clear", "clear ID", 1, 1, [](HWND w, int id, const Args&) { return ClearText(w, id); });
    idCommand("click", "click ID", 1, 1, [](HWND w, int id, const Args&) { return Click(w, id); });
    idCommand("dblclick", "dblclick ID ITEM", 2, 2,
              [](HWND w, int id, const Args& a) { return DoubleClickItem(w, id, a[1]); });
    idCommand("select", "select ID ITEM...", 1, SIZE_MAX,
              [](HWND w, int id, const Args& a) { return SelectItems(w, id, Args(a.begin() + 1, a.end())); });
    idCommand("choose", "choose ID ITEM", 2, 2,
              [](HWND w, int id, const Args& a) { return ChooseItem(w, id, a[1]); });
    idCommand("focus", "focus ID", 1, 1, [](HWND w, int id, const Args&) { return FocusControl(w, id); });

    interpreter.Register("key", [withTarget, sheetKey](const Args& args) {
        if (args.size() != 1)
            return Usage("key enter|escape|f1");
        UiKey key;
        if (args[0] == "enter")
            key = UiKey::Enter;
        else if (args[0] == "escape")
            key = UiKey::Escape;
        else if (args[0] == "f1")
            key = UiKey::F1;
        else
            return Usage("key enter|escape|f1");
        if (CurrentModal().window == nullptr && sheetKey) {
            if (std::optional<CommandResult> done = sheetKey(key))
                return *done;
        }
        return withTarget([&](HWND window) { return FromAction(PressKey(window, key), "key " + args[0]); });
    });

    interpreter.Register("grid", [withTarget](const Args& args) {
        int id = 0;
        if (args.size() < 2 || !ParseInt(args[0], id))
            return Usage(
                "grid ID down|move|up X Y | grid ID cell ROW COL | grid ID drag ROW1 COL1 ROW2 COL2");
        std::vector<int> numbers;
        for (std::size_t i = 2; i < args.size(); ++i) {
            int n = 0;
            if (!ParseInt(args[i], n))
                return CommandResult::Error("grid: " + args[i] + " is not a number");
            numbers.push_back(n);
        }
        const std::string& verb = args[1];
        return withTarget([&](HWND window) -> CommandResult {
            auto mouse = [&](UiMouse action, int x, int y) {
                return FromAction(MouseAction(window, id, action, x, y), "grid " + args[0]);
            };
            if ((verb == "down" || verb == "move" || verb == "up") && numbers.size() == 2)
                return mouse(verb == "down"   ? UiMouse::Down
                             : verb == "move" ? UiMouse::Move
                                              : UiMouse::Up,
                             numbers[0], numbers[1]);
            if ((verb == "cell" && numbers.size() == 2) || (verb == "drag" && numbers.size() == 4)) {
                HWND grid = FindUiControl(window, id);
                if (grid == nullptr)
                    return CommandResult::Error("grid " + args[0] + ": no such control");
                RECT client{};
                GetClientRect(grid, &client);
                // The hours grid: a row a day, a column an hour, each cell its client size divided evenly
                // (the grid shrinks itself to whole cells). A person clicks a cell in its middle.
                const int cellWidth = (client.right - client.left) / kGridColumns;
                const int cellHeight = (client.bottom - client.top) / kGridRows;
                if (cellWidth <= 0 || cellHeight <= 0)
                    return CommandResult::Error("grid " + args[0] + ": the control is too small for cells");
                for (std::size_t i = 0; i < numbers.size(); i += 2)
                    if (numbers[i] < 0 || numbers[i] >= kGridRows || numbers[i + 1] < 0 ||
                        numbers[i + 1] >= kGridColumns)
                        return CommandResult::Error(
                            "grid " + args[0] + ": no cell " + std::to_string(numbers[i]) + " " +
                            std::to_string(numbers[i + 1]) + " (rows 0 to 6, columns 0 to 23)");
                auto middle = [&](int row, int col, int& x, int& y) {
                    x = col * cellWidth + cellWidth / 2;
                    y = row * cellHeight + cellHeight / 2;
                };
                int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
                middle(numbers[0], numbers[1], x1, y1);
                if (verb == "cell")
                    x2 = x1, y2 = y1;
                else
                    middle(numbers[2], numbers[3], x2, y2);
                for (auto [action, x, y] :
                     {std::tuple{UiMouse::Down, x1, y1}, std::tuple{UiMouse::Move, x2, y2},
                      std::tuple{UiMouse::Up, x2, y2}})
                    if (CommandResult r = mouse(action, x, y); !r.ok)
                        return r;
                return CommandResult::Ok();
            }
            return Usage(
                "grid ID down|move|up X Y | grid ID cell ROW COL | grid ID drag ROW1 COL1 ROW2 COL2");
        });
    });

    interpreter.Register("show", [&interpreter, withTarget](const Args& args) {
        if (!args.empty())
            return Usage("show");
        return withTarget([&](HWND window) {
            // A modal sheet or wizard is described whole: its current page's controls, then its own buttons.
            ModalContext modal = CurrentModal();
            HWND shown = modal.window != nullptr ? modal.window : window;
            for (const std::string& line : DescribeControls(shown))
                interpreter.Out() << OutputField(line) << "\n";
            return CommandResult::Ok();
        });
    });

    interpreter.Register("render", [withTarget](const Args& args) {
        if (args.size() != 1)
            return Usage("render FILE.png");
        return withTarget([&](HWND window) {
            ModalContext modal = CurrentModal();
            HWND shown = modal.window != nullptr ? modal.window
                         : GetParent(window)     ? GetParent(window)
                                                 : window;
            // A sheet, wizard or dialog is drawn whole, with its caption frame, as it stands on a screen.
            std::string error = RenderCaptionedWindowToPng(shown, args[0]);
            return error.empty() ? CommandResult::Ok() : CommandResult::Error("render: " + error);
        });
    });

    auto button = [](int id, const char* name, std::function<CommandResult()> outside) {
        return [id, name, outside](const Args& args) {
            if (!args.empty())
                return Usage(name);
            ModalContext modal = CurrentModal();
            if (modal.window == nullptr) {
                if (outside)
                    return outside();
                return CommandResult::Error(std::string(name) + ": no dialog, sheet or wizard is open");
            }
            return FromAction(Click(modal.window, id), name);
        };
    };
    interpreter.Register("ok", button(IDOK, "ok", sheetOk));
    interpreter.Register("cancel", button(IDCANCEL, "cancel", sheetCancel));
    interpreter.Register("next", button(ID_WIZNEXT, "next", nullptr));
    interpreter.Register("back", button(ID_WIZBACK, "back", nullptr));
    interpreter.Register("finish", button(ID_WIZFINISH, "finish", nullptr));
}

} // namespace cvadmin
