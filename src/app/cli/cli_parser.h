#pragma once

namespace marl::cli {

// Reads the command line of marltips-cli and runs the command it names. Help and the version go to
// stdout with exit 0; anything the command does not know (an option, a missing value, a stray
// argument, a value outside its choices) is refused with one line on stderr and exit 2, before the
// command touches any file. Returns the process exit code.
int RunCommandLine(int argc, char** argv);

}  // namespace marl::cli
