#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "cli_run.h"

namespace {

void OnInterrupt(int) { tessory::gInterrupted = 1; }

}  // namespace

int main(int argc, char** argv) {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    return tessory::RunCli(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
