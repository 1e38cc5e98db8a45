#pragma once
#include <string>

namespace marl {

// Where both programs keep marltips.db and marltips.ini. A program whose folder holds marltips.db is
// a portable set-up (`make run`'s dist/, an unpacked copy) and keeps its files beside itself; an
// installed one (/usr/bin is not the user's) keeps them in the user's data folder,
// $XDG_DATA_HOME/marltips, or ~/.local/share/marltips when XDG_DATA_HOME is unset, empty or not an
// absolute path.

// The folder that holds the running program; "." when the system cannot tell.
std::string ProgramDirectory();

// The rule itself, on given values: `program_directory` when marltips.db lies there (any kind of
// file, a dangling link included), else the per-user folder. `xdg_data_home` and `home` are the
// environment's values (null when unset); without a usable HOME the user database names the home
// folder. Empty only when no home folder can be found at all.
std::string DataDirectory(const std::string& program_directory, const char* xdg_data_home, const char* home);

// The rule for the running program in its environment; the program's folder when no home folder can
// be found.
std::string DataDirectory();

// Creates `directory` and any missing parents, each new folder with mode 0700 (the data of one user).
// An existing folder is left as it is. Empty on success, else why not.
std::string MakeDataDirectory(const std::string& directory);

}  // namespace marl
