#include "host/HostCommands.h"

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <strings.h>
#include <vector>

#include "host/CommandHelp.h"
#include "host/DirectoryOps.h"
#include "host/NearWords.h"
#include "host/ValueText.h"
#include "host/services/HostServices.h"
#include "host/services/HostSheet.h"
#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirNames.h"
#include "platform/ui/window/Messages.h"
#include "platform/ui/window/PropertySheet.h"
#include "platform/ui/window/UiDriver.h"

namespace cvadmin {

namespace {

using Args = Interpreter::Args;

constexpr std::size_t kObjectNameBuffer = 514;

Interpreter* g_interpreter = nullptr;
std::unique_ptr<HostSheet> g_sheet;

// What `browse` queued for the browser, one entry for each browse to come; an empty entry cancels.
std::deque<std::vector<std::string>> g_browseQueue;
std::string g_browseError;

CommandResult Usage(const char* form) {
    return CommandResult::Error(std::string("usage: ") + form);
}

void PrintAnswer(unsigned short message, long answer) {
    g_interpreter->Record() << "-> " << message << " | " << answer << "\n";
}

// The object's base class as the directory reports it, without following an alias.
std::optional<std::string> BaseClassOf(const std::string& object, std::string& error) {
    std::string baseClass;
    if (DirOutcome read = DirectoryOps::BaseClass(object, baseClass); !read.Ok()) {
        error = read.error;
        return std::nullopt;
    }
    return baseClass;
}

// Sends a host message to the object's class and prints the answer; empty when the snap-in does not
// serve that class (the host then acts alone).
std::optional<long> SendToObjectClass(const std::string& className, const std::string& object,
                                      unsigned short message, unsigned long param1 = 0,
                                      unsigned long param2 = 0) {
    std::optional<long> answer =
        HostServices::Instance().SendToClass(className, object, message, param1, param2);
    if (answer)
        PrintAnswer(message, *answer);
    return answer;
}

// What the person had met by some point of the run (see Interpreter::NoteShown and NoteLeftOpen).
struct Seen {
    unsigned long shown = 0;
    unsigned long leftOpen = 0;
};

Seen SeenNow() {
    return {g_interpreter->ShownCount(), g_interpreter->LeftOpenCount()};
}

// A host message the snap-in answered -1. When the person met something on the way (a message box saying
// why, a dialog the script acted in or cancelled, a question it answered) the refusal is the person's own
// outcome, as scripts have always read it. When nothing was shown at all, or the only dialog was still open
// when the script ran out of lines, the script would go on as if the action had been done: the refusal is an
// error of the line that says what was refused.
CommandResult Refused(const Seen& before, const std::string& what) {
    const Seen now = SeenNow();
    if (now.shown != before.shown)
        return CommandResult::Ok();
    if (now.leftOpen != before.leftOpen)
        return CommandResult::Error(what +
                                    ": its dialog was still open when the script ended, and closed with "
                                    "Cancel");
    return CommandResult::Error(what + ": the module refused it and showed no reason");
}

// The directory client's own splitting, so the host reads names exactly as the store does.
std::string ContainerOf(const std::string& fullName) {
    std::vector<std::string> leaves;
    if (dirclient::SplitName(fullName, &leaves) != 0 || leaves.size() < 2)
        return "[Root]";
    std::string container = leaves[1];
    for (std::size_t i = 2; i < leaves.size(); ++i)
        container += "." + leaves[i];
    return container;
}

std::string LeafOf(const std::string& fullName) {
    std::vector<std::string> leaves;
    if (dirclient::SplitName(fullName, &leaves) != 0 || leaves.empty())
        return fullName;
    return leaves[0];
}

std::string Join(const std::string& leaf, const std::string& container) {
    return container == "[Root]" ? leaf : leaf + "." + container;
}

CommandResult Details(const Args& args) {
    if (args.size() != 1)
        return Usage("details OBJECT");
    if (g_sheet && g_sheet->IsOpen())
        return CommandResult::Error("a details sheet is open already; close it with ok or cancel");
    std::string error;
    std::optional<std::string> className = BaseClassOf(args[0], error);
    if (!className)
        return CommandResult::Error("details: " + error);
    g_sheet = std::make_unique<HostSheet>();
    // The sheet reports only its record: what each message and page answered.
    g_sheet->SetObserver([](const std::string& line) { g_interpreter->Record() << line << "\n"; });
    std::string opened = g_sheet->Open(*className, args[0]);
    if (!opened.empty()) {
        g_sheet.reset();
        return CommandResult::Error("details " + args[0] + ": " + opened);
    }
    return CommandResult::Ok();
}

// The tabs of the sheet a person is looking at: a modal property sheet opened from a page (the attributes
// sheet) covers the details sheet, so its tabs are the ones within reach.
struct SheetTabs {
    std::vector<std::string> titles;
    int current = -1;
    std::function<bool(int)> select;
};

std::optional<SheetTabs> TabsInReach(const char* command, CommandResult& refusal) {
    ModalContext modal = CurrentModal();
    if (modal.window != nullptr) {
        auto* sheet = dynamic_cast<CPropertySheet*>(CWnd::FromHandlePermanent(modal.window));
        if (modal.kind == ModalKind::Dialog || sheet == nullptr) {
            refusal = CommandResult::Error(std::string(command) + ": the open dialog has no pages");
            return std::nullopt;
        }
        if (sheet->IsWizard()) {
            refusal = CommandResult::Error(std::string(command) +
                                           ": a wizard has no tabs; its pages follow with next and back");
            return std::nullopt;
        }
        SheetTabs tabs;
        for (int index = 0; index < sheet->GetPageCount(); ++index)
            tabs.titles.emplace_back(static_cast<LPCSTR>(sheet->GetPage(index)->GetCaption()));
        tabs.current = sheet->GetActiveIndex();
        // A page that refuses to be left keeps the sheet where it is, as a click on a tab would.
        tabs.select = [sheet](int index) {
            static_cast<void>(sheet->SetActivePage(index));
            return true;
        };
        return tabs;
    }
    if (!g_sheet || !g_sheet->IsOpen()) {
        refusal = CommandResult::Error(std::string(command) + ": no details sheet is open");
        return std::nullopt;
    }
    SheetTabs tabs;
    for (int index = 0; index < g_sheet->PageCount(); ++index)
        tabs.titles.push_back(g_sheet->PageTitle(index));
    tabs.current = g_sheet->CurrentPage();
    tabs.select = [](int index) { return g_sheet->SetCurrentPage(index); };
    return tabs;
}

// A tab is named as a person reads it: its title in any letter case, or its place counted from 0. An exact
// title wins over one that differs only in case.
int FindTab(const std::vector<std::string>& titles, const std::string& word) {
    for (std::size_t index = 0; index < titles.size(); ++index)
        if (titles[index] == word)
            return static_cast<int>(index);
    for (std::size_t index = 0; index < titles.size(); ++index)
        if (titles[index].size() == word.size() &&
            strncasecmp(titles[index].c_str(), word.c_str(), word.size()) == 0)
            return static_cast<int>(index);
    char* end = nullptr;
    long number = std::strtol(word.c_str(), &end, 10);
    if (end != word.c_str() && *end == '\0' && number >= 0 && number < static_cast<long>(titles.size()))
        return static_cast<int>(number);
    return -1;
}

CommandResult Page(const Args& args) {
    if (args.size() != 1)
        return Usage("page N|TITLE");
    CommandResult refusal = CommandResult::Ok();
    std::optional<SheetTabs> tabs = TabsInReach("page", refusal);
    if (!tabs)
        return refusal;
    int index = FindTab(tabs->titles, args[0]);
    if (index < 0 || !tabs->select(index))
        return CommandResult::Error("page: the sheet has no page " + args[0]);
    return CommandResult::Ok();
}

// One line a tab, in the order of the tab row: `N | TITLE | current` or `N | TITLE | -`.
CommandResult Pages(const Args& args) {
    if (!args.empty())
        return Usage("pages");
    CommandResult refusal = CommandResult::Ok();
    std::optional<SheetTabs> tabs = TabsInReach("pages", refusal);
    if (!tabs)
        return refusal;
    for (std::size_t index = 0; index < tabs->titles.size(); ++index)
        g_interpreter->Out() << index << " | " << tabs->titles[index] << " | "
                             << (static_cast<int>(index) == tabs->current ? "current" : "-") << "\n";
    return CommandResult::Ok();
}

// With a details sheet open, `help` asks its current page (scripts read the help line that follows);
// without one it lists the script commands, and `help COMMAND` explains one.
CommandResult Help(const Args& args) {
    HWND page = CurrentSheetPage();
    if (args.empty() && page != nullptr) {
        PrintAnswer(kMsgPageHelp, static_cast<long>(SendMessageA(page, kMsgPageHelp, 0, 0)));
        return CommandResult::Ok();
    }
    if (args.empty()) {
        g_interpreter->Out() << ScriptCommandsHelp() << "help COMMAND explains one command.\n";
        return CommandResult::Ok();
    }
    std::vector<std::string> lines = CommandHelpLines(args);
    if (lines.empty()) {
        std::string typed = args[0];
        for (std::size_t i = 1; i < args.size(); ++i)
            typed += " " + args[i];
        std::vector<std::string> near = NearestWords(args[0], g_interpreter->CommandNames());
        return CommandResult::Error(
            "help: there is no command " + typed +
            (near.empty() || args.size() > 1 ? "" : " (did you mean " + near[0] + "?)"));
    }
    for (const std::string& line : lines)
        g_interpreter->Out() << line << "\n";
    return CommandResult::Ok();
}

CommandResult Apply(const Args& args) {
    if (!args.empty())
        return Usage("apply");
    if (!g_sheet || !g_sheet->IsOpen())
        return CommandResult::Error("apply: no details sheet is open");
    (void)g_sheet->Apply();
    return CommandResult::Ok();
}

// The snap-in's answers after a creation: 2 asks for the new object's details ("define additional
// properties"), 3 for the creation dialog once more in the same container ("create another").
constexpr long kCreatedShowDetails = 2;
constexpr long kCreatedCreateAnother = 3;

CommandResult Create(const Args& args) {
    if (args.size() != 2)
        return Usage("create CLASS PARENT");
    for (;;) {
        char name[kObjectNameBuffer] = {};
        const Seen seen = SeenNow();
        std::optional<long> answer =
            SendToObjectClass(args[0], args[1], 258, reinterpret_cast<unsigned long>(name));
        if (!answer)
            return CommandResult::Error("create: the class " + args[0] + " is not registered");
        if (*answer == -1 || name[0] == '\0')
            return Refused(seen, "create " + args[0] + " in " + args[1]);
        g_interpreter->Out() << "created | " << OutputField(name) << "\n";
        if (*answer == kCreatedShowDetails) {
            // One sheet at a time: with one open already the new object's details wait for the person.
            if (g_sheet && g_sheet->IsOpen())
                return CommandResult::Ok();
            return Details({std::string(name)});
        }
        if (*answer != kCreatedCreateAnother)
            return CommandResult::Ok();
    }
}

CommandResult Rename(const Args& args) {
    if (args.size() != 2)
        return Usage("rename OBJECT LEAF");
    const std::string& object = args[0];
    std::string error;
    std::optional<std::string> className = BaseClassOf(object, error);
    if (!className)
        return CommandResult::Error("rename: " + error);
    char buffer[kObjectNameBuffer] = {};
    const Seen seen = SeenNow();
    std::optional<long> answer =
        SendToObjectClass(*className, object, 261, reinterpret_cast<unsigned long>(buffer));
    if (answer && *answer == -1)
        return Refused(seen, "rename " + object);
    if (answer && buffer[0] != '\0')
        return CommandResult::Ok(); // the snap-in renamed the object itself
    const std::string newName = Join(args[1], ContainerOf(object));
    if (DirOutcome renamed = DirectoryOps::Rename(object, args[1]); !renamed.Ok())
        return CommandResult::Error(renamed.error);
    std::string oldName = object;
    (void)SendToObjectClass(*className, newName, 276, reinterpret_cast<unsigned long>(oldName.data()));
    return CommandResult::Ok();
}

CommandResult Move(const Args& args) {
    if (args.size() != 2)
        return Usage("move OBJECT CONTAINER");
    const std::string& object = args[0];
    std::string error;
    std::optional<std::string> className = BaseClassOf(object, error);
    if (!className)
        return CommandResult::Error("move: " + error);
    const Seen seen = SeenNow();
    std::optional<long> answer = SendToObjectClass(*className, object, 265);
    if (answer && *answer == -1)
        return Refused(seen, "move " + object);
    std::string from = ContainerOf(object);
    std::string to = args[1];
    if (DirOutcome moved = DirectoryOps::Move(object, to); !moved.Ok())
        return CommandResult::Error(moved.error);
    (void)SendToObjectClass(*className, Join(LeafOf(object), to), 275,
                            reinterpret_cast<unsigned long>(from.data()),
                            reinterpret_cast<unsigned long>(to.data()));
    return CommandResult::Ok();
}

CommandResult Delete(const Args& args) {
    if (args.size() != 1)
        return Usage("delete OBJECT");
    std::string error;
    std::optional<std::string> className = BaseClassOf(args[0], error);
    if (!className)
        return CommandResult::Error("delete: " + error);
    const Seen seen = SeenNow();
    std::optional<long> answer = SendToObjectClass(*className, args[0], 263);
    if (answer && *answer == -1)
        return Refused(seen, "delete " + args[0]);
    DirOutcome removed = DirectoryOps::Remove(args[0]);
    return removed.Ok() ? CommandResult::Ok() : CommandResult::Error(removed.error);
}

CommandResult Copy(const Args& args) {
    if (args.size() != 2)
        return Usage("copy OBJECT NEWNAME");
    std::string error;
    std::optional<std::string> className = BaseClassOf(args[0], error);
    if (!className)
        return CommandResult::Error("copy: " + error);
    const Seen seen = SeenNow();
    std::optional<long> answer = SendToObjectClass(*className, args[0], 264);
    if (answer && *answer == -1)
        return Refused(seen, "copy " + args[0]);
    if (DirOutcome copied = DirectoryOps::Copy(args[0], args[1], *className); !copied.Ok())
        return CommandResult::Error(copied.error);
    // The copy is made; a group that does not take it is reported, not an error of the copy.
    std::vector<std::string> notJoined;
    if (*className == "KEL:NT User" || *className == "KEL:Hybrid User")
        DirectoryOps::JoinGroupsOfOriginal(args[0], args[1], notJoined);
    else if (*className == "KEL:NT Global Group" || *className == "KEL:NT Local Group")
        DirectoryOps::JoinMembersOfOriginal(args[0], args[1], notJoined);
    for (const std::string& line : notJoined)
        g_interpreter->Out() << "copy | not joined | " << line << "\n";
    return CommandResult::Ok();
}

CommandResult Template(const Args& args) {
    if (args.size() != 2)
        return Usage("template USER TEMPLATE");
    const std::string& user = args[0];
    std::string templateName = args[1];
    std::string error;
    // A template that is not there would leave a new user made for nothing.
    std::optional<std::string> templateClass = BaseClassOf(templateName, error);
    if (!templateClass)
        return CommandResult::Error("template: " + error);
    if (*templateClass != "Template")
        return CommandResult::Error("template: " + templateName + " is a " + *templateClass +
                                    ", not a Template");
    if (!BaseClassOf(user, error)) {
        if (DirOutcome added = DirectoryOps::Add(user, "User"); !added.Ok())
            return CommandResult::Error(added.error);
        if (DirOutcome surname = DirectoryOps::Set(user, "surname", {LeafOf(user)}); !surname.Ok())
            return CommandResult::Error(surname.error);
    }
    (void)SendToObjectClass("User", user, 279, reinterpret_cast<unsigned long>(templateName.data()));
    return CommandResult::Ok();
}

CommandResult Browse(const Args& args) {
    g_browseQueue.push_back(args);
    return CommandResult::Ok();
}

BrowseAnswer AnswerBrowse(const BrowseQuery& query) {
    g_interpreter->NoteShown();
    if (g_browseQueue.empty()) {
        g_browseError = "the browser opened and no browse was queued";
        return {};
    }
    std::vector<std::string> names = std::move(g_browseQueue.front());
    g_browseQueue.pop_front();
    BrowseAnswer answer;
    for (const std::string& name : names) {
        std::string error;
        std::optional<std::string> className = BaseClassOf(name, error);
        if (!className) {
            g_browseError = "browse: " + error;
            return {};
        }
        bool offered = query.classFilter.empty();
        for (const std::string& filter : query.classFilter)
            offered = offered || filter == *className;
        if (!offered) {
            g_browseError =
                "browse: " + name + " is of class " + *className + ", which the browser does not offer";
            return {};
        }
        answer.picks.push_back({*className, name});
    }
    return answer;
}

} // namespace

HWND CurrentSheetPage() {
    return g_sheet && g_sheet->IsOpen() ? g_sheet->CurrentPageWindow() : nullptr;
}

CommandResult SheetOk() {
    if (!g_sheet || !g_sheet->IsOpen())
        return CommandResult::Error("ok: no dialog or details sheet is open");
    if (g_sheet->Ok())
        g_sheet.reset();
    return CommandResult::Ok();
}

CommandResult SheetCancel() {
    if (!g_sheet || !g_sheet->IsOpen())
        return CommandResult::Error("cancel: no dialog or details sheet is open");
    (void)g_sheet->Close(kEndPagesCancel);
    g_sheet.reset();
    return CommandResult::Ok();
}

std::optional<CommandResult> SheetKey(UiKey key) {
    if (!g_sheet || !g_sheet->IsOpen())
        return std::nullopt;
    switch (g_sheet->TargetOfKey(key)) {
    case HostSheet::KeyTarget::SheetOk:
        return SheetOk();
    case HostSheet::KeyTarget::SheetCancel:
        return SheetCancel();
    case HostSheet::KeyTarget::PageHelp:
        return Help({});
    case HostSheet::KeyTarget::Page:
        break;
    }
    return std::nullopt;
}

void CloseOpenSheet() {
    if (g_sheet && g_sheet->IsOpen())
        (void)g_sheet->Close(kEndPagesCancel);
    g_sheet.reset();
}

void RegisterHostCommands(Interpreter& interpreter) {
    g_interpreter = &interpreter;
    interpreter.Register("details", Details);
    interpreter.Register("page", Page);
    interpreter.Register("pages", Pages);
    interpreter.Register("help", Help);
    interpreter.Register("apply", Apply);
    interpreter.Register("create", Create);
    interpreter.Register("rename", Rename);
    interpreter.Register("move", Move);
    interpreter.Register("delete", Delete);
    interpreter.Register("copy", Copy);
    interpreter.Register("template", Template);
    interpreter.Register("browse", Browse);
    HostServices::Instance().SetBrowser(AnswerBrowse);
}

std::string TakeBrowseError() {
    std::string error = std::move(g_browseError);
    g_browseError.clear();
    return error;
}

} // namespace cvadmin
