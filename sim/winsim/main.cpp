// winsim: boots a simulated PC from a machine file (or the built-in default
// machine) and runs the updater on it, across the restarts it asks for.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <unistd.h>
#include <filesystem>
#include <iostream>

#include "Runner.h"

#ifndef WINSIM_DEFAULT_PROGRAM
#define WINSIM_DEFAULT_PROGRAM ""
#endif

int main(int argc, char** argv) {
    CLI::App app{"Runs the firmware updater on a simulated Windows PC."};
    std::string file;
    std::string program = WINSIM_DEFAULT_PROGRAM;
    std::string user = "consenting";
    std::string save;
    std::string script;
    std::string snapshots;
    std::string keepRuns;
    int boots = 8;
    bool show = false;
    bool trace = false;
    bool logon = false;
    app.add_option("machine", file, "machine file (JSON); run on and written back. Default: the built-in machine");
    app.add_option("--program", program, "host build of the program")->capture_default_str();
    app.add_option("--user", user, "who answers the dialogs: consenting, scripted or terminal")
        ->check(CLI::IsMember({"consenting", "scripted", "terminal"}));
    app.add_option("--script", script, "the scripted user's steps (JSON list); default: the machine file's \"script\"")
        ->check(CLI::ExistingFile);
    app.add_option("--snapshots", snapshots, "folder for SVG pictures of each window as it shows");
    app.add_option("--keep-runs", keepRuns, "folder for a copy of the machine file after each run (run-1.json, ...)");
    app.add_option("--save", save, "with the built-in machine: keep the machine file here");
    app.add_option("--boots", boots, "restarts to follow at most")->capture_default_str();
    app.add_flag("--show", show, "only show the machine, run nothing");
    app.add_flag("--trace", trace, "trace every drive command");
    app.add_flag("--logon", logon,
                 "start as Windows does: a restart the machine left pending, then the user's logon and its Run "
                 "entries, instead of the program started by hand");
    CLI11_PARSE(app, argc, argv);

    try {
        sim::Machine machine = file.empty() ? sim::Machine::Default() : sim::Machine::Load(file);
        if (show || program.empty()) {
            sim::DescribeMachine(machine, std::cout);
            // A starting point for a machine file of one's own.
            if (!save.empty()) machine.Save(save);
            return 0;
        }
        sim::RunOptions options;
        options.program = program;
        // A script given on the command line is for the scripted user.
        options.agent = !script.empty() && app.count("--user") == 0 ? "scripted" : user;
        options.maxBoots = boots;
        options.trace = trace;
        options.logon = logon;
        options.script = script.empty() ? "" : std::filesystem::absolute(script).string();
        options.keepRuns = keepRuns.empty() ? "" : std::filesystem::absolute(keepRuns).string();
        if (!options.keepRuns.empty()) std::filesystem::create_directories(options.keepRuns);
        options.snapshots = snapshots.empty() ? "" : std::filesystem::absolute(snapshots).string();
        if (file.empty()) {
            options.machineFile = save.empty()
                ? (std::filesystem::temp_directory_path() / ("winsim-default-" + std::to_string(::getpid()) + ".json")).string()
                : save;
            machine.Save(options.machineFile);
        } else {
            options.machineFile = file;
        }
        int code = sim::RunMachine(options, std::cout);
        if (file.empty() && save.empty()) std::filesystem::remove(options.machineFile);
        return code;
    } catch (const sim::MachineFileError& e) {
        std::cerr << "winsim: " << e.what() << "\n";
        return 2;
    }
}
