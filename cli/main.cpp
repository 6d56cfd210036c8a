#include <sys/stat.h>
#include <unistd.h>

#include <iostream>

#include "cli_run.h"

int main(int argc, char** argv) {
    tessory::StopOnSignals();
    std::ios::sync_with_stdio(false);
    struct stat info;
    const bool outIsPipeOrTerminal =
        fstat(STDOUT_FILENO, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISSOCK(info.st_mode));
    std::vector<std::string> args(argv + 1, argv + argc);
    return tessory::RunCli(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0, outIsPipeOrTerminal);
}
