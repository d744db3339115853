// The NT Integration command of the Tools menu: writes a request file in profile form and starts the
// integration utility named in the registry with it.
#pragma once

#include "module/core/SnapinTool.h"

#include <string>

class CToolNTIntegration : public CSnapinTool {
public:
    CToolNTIntegration();
    // Stops being the module's command object.
    ~CToolNTIntegration() override;

    void Attach() override;
    // Writes the request naming objectName and starts the utility; 1 when a start was attempted (a failed
    // start shows its message), 0 when the registry does not name the utility or names "" (nothing is started
    // or shown; the request file stays), and 0 after a message when the request file cannot be made or a
    // name holds a control character.
    LONG RunRequest(const char* objectName) override;
    // 0 when "PgmName" and "ShowWindow" read and "PgmName" is not empty, else 1.
    unsigned int IsUnavailable() override;

    // The container upload that creation dialogs ask for: RunRequest with the container's full name. The
    // administrator asked for it, so a utility that is not set up is said (message 57511), not passed over.
    LONG Upload(const char* container);

    // Exported to the host: the menu state (3 when there is no command object) and the menu action.
    static void __stdcall MenuValid(unsigned int* state);
    static void __stdcall MenuAction();

    // The module's command object, or null.
    static CToolNTIntegration* Current();

private:
    enum class RequestOutcome { Started, NotSetUp, Refused };
    RequestOutcome Request(const char* objectName);
};

// True when a name can go into the request file as it is: the profile format has no escaping, so a line
// break would end the value and begin a key of its own.
bool FitsRequestFile(const char* name);

// The utility's command line: "PROGRAM FILE" for a program whose name contains "Note", else
// "PROGRAM /f:FILE". A word holding a space or a quote is quoted by the platform's command-line rules, so
// that the program start splits it back into the same words.
std::string BuildIntegrationCommandLine(const std::string& program, const std::string& requestFile);

// The message format for a start answer below 32.
unsigned StartFailureFormat(UINT answer);
