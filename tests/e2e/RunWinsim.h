// Runs winsim on a machine file and reads back what the runs left in it.
#pragma once
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

struct WinsimRun {
    nlohmann::json machine;  // the machine file as winsim left it
    std::string output;      // what winsim printed
    int exitCode = -1;
};

inline WinsimRun RunWinsim(const std::string& options, const std::string& machineFile) {
    std::string command = std::string("'") + WINSIM_PATH + "' --program '" + WINQOR_PATH + "' " + options + " '" +
                          machineFile + "' 2>&1";
    WinsimRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, n);
    int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(machineFile);
    run.machine = nlohmann::json::parse(in, nullptr, false);
    return run;
}
