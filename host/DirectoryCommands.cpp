#include "host/DirectoryCommands.h"

#include <charconv>

#include "host/DirectoryOps.h"
#include "host/PasswordEntry.h"

namespace cvadmin {

namespace {

using Args = Interpreter::Args;

CommandResult FromOutcome(const DirOutcome& outcome) {
    return outcome.Ok() ? CommandResult::Ok() : CommandResult::Error(outcome.error);
}

CommandResult Usage(const char* form) {
    return CommandResult::Error(std::string("usage: ") + form);
}

CommandResult Dir(const Args& args) {
    if (args.empty())
        return Usage("dir add|alias|set|del|grant|password ...");
    const std::string& verb = args[0];
    if (verb == "add") {
        if (args.size() != 3)
            return Usage("dir add OBJECT CLASS");
        return FromOutcome(DirectoryOps::Add(args[1], args[2]));
    }
    if (verb == "alias") {
        if (args.size() != 3)
            return Usage("dir alias OBJECT TARGET");
        return FromOutcome(DirectoryOps::MakeAlias(args[1], args[2]));
    }
    if (verb == "set") {
        if (args.size() < 3)
            return Usage("dir set OBJECT ATTR VALUE...");
        return FromOutcome(DirectoryOps::Set(args[1], args[2], Args(args.begin() + 3, args.end())));
    }
    if (verb == "del") {
        if (args.size() != 2)
            return Usage("dir del OBJECT");
        return FromOutcome(DirectoryOps::Remove(args[1]));
    }
    if (verb == "grant") {
        if (args.size() != 5)
            return Usage("dir grant OBJECT SUBJECT PROTECTED RIGHTS");
        uint32_t rights = 0;
        const std::string& text = args[4];
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), rights);
        if (ec != std::errc() || end != text.data() + text.size() || text.empty())
            return CommandResult::Error("dir grant: RIGHTS is a decimal number, not \"" + text + "\"");
        return FromOutcome(DirectoryOps::Grant(args[1], args[2], args[3], rights));
    }
    if (verb == "password") {
        if (args.size() != 3)
            return Usage("dir password USER PASSWORD");
        return FromOutcome(DirectoryOps::SetPassword(args[1], args[2]));
    }
    return CommandResult::Error("unknown dir command " + verb);
}

} // namespace

void RegisterDirectoryCommands(Interpreter& interpreter, PasswordQuestion askPassword) {
    interpreter.Register("login", [askPassword](const Args& args) {
        if (args.empty() || args.size() > 2)
            return Usage("login NAME [PASSWORD]");
        if (args.size() == 2)
            return FromOutcome(DirectoryOps::Login(args[0], args[1]));
        if (!askPassword)
            return FromOutcome(DirectoryOps::Login(args[0], std::string()));
        std::string why;
        std::optional<std::string> password = askPassword(args[0], why);
        if (!password)
            return CommandResult::Error("login " + args[0] + ": " + why);
        DirOutcome outcome = DirectoryOps::Login(args[0], *password);
        WipeSecret(*password);
        return FromOutcome(outcome);
    });
    interpreter.Register("ls", [&interpreter](const Args& args) {
        if (args.size() > 1)
            return Usage("ls [CONTAINER]");
        std::vector<ListedObject> objects;
        DirOutcome outcome = DirectoryOps::List(args.empty() ? "[Root]" : args[0], objects);
        for (const ListedObject& object : objects)
            interpreter.Out() << OutputField(object.name) << " | " << object.baseClass << "\n";
        return FromOutcome(outcome);
    });
    interpreter.Register("dump", [&interpreter](const Args& args) {
        if (args.empty())
            return Usage("dump OBJECT [ATTR...]");
        std::vector<DumpedValue> values;
        DirOutcome outcome = DirectoryOps::Dump(args[0], Args(args.begin() + 1, args.end()), values);
        for (const DumpedValue& value : values)
            interpreter.Out() << OutputField(args[0]) << " | " << value.attribute << " | " << value.syntax
                              << " | " << OutputField(value.text) << "\n";
        return FromOutcome(outcome);
    });
    interpreter.Register("check", [&interpreter](const Args& args) {
        if (!args.empty())
            return Usage("check");
        std::vector<std::string> lines;
        DirOutcome outcome = DirectoryOps::Check(lines);
        for (const std::string& line : lines)
            interpreter.Out() << "check | " << line << "\n";
        return FromOutcome(outcome);
    });
    interpreter.Register("dir", Dir);
}

} // namespace cvadmin
