// Runs a command-line program of ours as a user's shell would, its output caught in files of
// the test's folder.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/core/TempDir.h"

namespace morvik::test {

struct Outcome {
    int status = -1;
    std::string out, err;
};

inline std::string Quoted(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The exit status of a shell command line; -1 when it did not exit.
inline int Shell(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// The standard output of a shell command line.
inline std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

inline Outcome RunProgram(const TempDir& dir, const std::string& program,
                          const std::vector<std::string>& args) {
    std::string command = Quoted(program);
    for (const std::string& arg : args) command += " " + Quoted(arg);
    command += " >" + Quoted(dir.File("stdout")) + " 2>" + Quoted(dir.File("stderr"));
    return {Shell(command), ReadBytes(dir.File("stdout")), ReadBytes(dir.File("stderr"))};
}

}  // namespace morvik::test
