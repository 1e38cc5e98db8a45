#pragma once

namespace marl::cli {

// Standard output could not be written (a full disk, a closed stream, a reader that went away).
inline constexpr int kExitOutput = 4;

// Gives a closed standard input, output or error a descriptor that refuses to be written, before
// anything else is opened: otherwise the next file or socket we open would take its number and
// receive our output, while a write to the closed stream should simply fail.
void GuardStandardStreams();

// True once a write or flush of standard output has failed. Every command prints through std::cout,
// whose failure state stays set, so this tells whether everything printed so far has arrived.
bool OutputFailed();

// The last step of every command: flushes standard output and, when any of it failed, says so on
// stderr and turns a successful exit code into kExitOutput.
int FinishOutput(int code);

}  // namespace marl::cli
