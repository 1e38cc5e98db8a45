// marltips-cli: the headless companion of the desktop program, on the same core.
#include "app/cli/cli_parser.h"

int main(int argc, char** argv) { return marl::cli::RunCommandLine(argc, argv); }
