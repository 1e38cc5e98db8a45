// marltips-cli: the headless companion of the desktop program, on the same core.
#include "app/cli/cli_output.h"
#include "app/cli/cli_parser.h"

int main(int argc, char** argv) {
    marl::cli::GuardStandardStreams();
    return marl::cli::FinishOutput(marl::cli::RunCommandLine(argc, argv));
}
