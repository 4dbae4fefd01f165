// Runs a program on a machine file the way a user's PC would: one process a
// run, a restart when the program asked for one, the user's logon and the
// programs of the Run keys after it.
#pragma once
#include <ostream>
#include <string>

#include "core/Machine.h"

namespace sim {

struct RunOptions {
    std::string machineFile;  // the file that is run on and written back
    std::string program;      // host build of the program the image path stands for
    std::string agent;        // the user agent the desktop asks (consenting, scripted, terminal)
    int maxBoots = 8;         // restarts to follow at most
    std::string script;       // the scripted user's steps (else the machine file's "script")
    std::string snapshots;    // a folder for SVG pictures of the windows
    std::string keepRuns;     // a folder for a copy of the machine file after each run
    bool logon = false;       // start as Windows does (a pending restart, then the logon), not by hand
    bool trace = false;
};

// Returns 0 when every run ended normally, otherwise a non-zero code after
// saying why on out.
int RunMachine(const RunOptions& options, std::ostream& out);

// The commands of the Run keys that start at the current user's logon, in
// the order Windows starts them.
std::vector<std::string> LogonCommands(const Machine& machine);

// The program path of a command line (quotes and arguments removed).
std::string CommandProgram(const std::string& command);

// A short readable account of the machine.
void DescribeMachine(const Machine& machine, std::ostream& out);

}  // namespace sim
