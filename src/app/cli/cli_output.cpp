#include "app/cli/cli_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "app/cli/cli_common.h"

namespace marl::cli {

void GuardStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // Opened for reading only: a write to it fails as it would on the closed stream. open gives
        // the lowest free number, which is `fd` itself as the lower ones are taken by now.
        const int taken = open("/dev/null", O_RDONLY);
        if (taken != -1 && taken != fd) close(taken);
    }
}

bool OutputFailed() { return std::cout.fail(); }

int FinishOutput(int code) {
    std::cout.flush();
    if (!OutputFailed() || code != kExitOk) return code;
    std::cerr << "marltips-cli: standard output could not be written\n";
    return kExitOutput;
}

}  // namespace marl::cli
