#pragma once
// A program of the tests run as a child process whose standard output the
// test reads line by line, to kill it at a chosen moment.
#include <cstdio>
#include <string>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

struct Child_Process {
    pid_t pid = -1;         // -1 when it could not be started
    FILE* lines = nullptr;  // its standard output
};

// Starts argv[0] with argv; the child is its own program, so nothing of this
// process's Qt state crosses the fork.
inline Child_Process Start_Child(const std::vector<std::string>& argv) {
    Child_Process child;
    int out[2];
    if (argv.empty() || pipe(out) != 0) return child;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(out[0]);
        close(out[1]);
        return child;
    }
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    child.pid = pid;
    child.lines = fdopen(out[0], "r");
    return child;
}
