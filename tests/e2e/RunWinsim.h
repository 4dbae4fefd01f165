// Runs winsim on a machine file and reads back what the runs left in it.
#pragma once
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
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

// Writes the built-in default machine to file.
inline bool SaveDefaultMachine(const std::string& file) {
    std::string command = std::string("'") + WINSIM_PATH + "' --show --save '" + file + "' >/dev/null";
    return std::system(command.c_str()) == 0;
}

// How often a text stands in another.
inline size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A machine file's name as a test name: letters and digits only.
inline std::string TestNameOf(const std::string& file) {
    std::string name;
    for (char c : file)
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    return name;
}
