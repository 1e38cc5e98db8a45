#!/usr/bin/env python3
"""Writes the manual page marltips-cli(1) from the built program's own help.

Usage: cli_manpage.py MARLTIPS_CLI VERSION OUTPUT

Every command that `marltips-cli help` lists gets a section with its usage line, its description
and each positional and option as `marltips-cli COMMAND --help` shows them (value names, defaults
and the REQUIRED mark included); the exit codes come from the help's closing line. A command added
to the program therefore appears here without any edit to this script.
"""
import re
import subprocess
import sys

NAME_COLUMN = 30  # CLI11 pads the option column to this width, or breaks the line after a longer one


def run_help(program, *words):
    """The output of `marltips-cli [COMMAND] --help`."""
    done = subprocess.run([program, *words, "--help"], capture_output=True, text=True, check=False)
    if done.returncode != 0:
        sys.exit(f"cli_manpage: {program} {' '.join(words)} --help exited with {done.returncode}: {done.stderr}")
    return done.stdout.splitlines()


def commands_of(program_help):
    """The command names of the program's help, in their order."""
    names, inside = [], False
    for line in program_help:
        if line.startswith("Subcommands:"):
            inside = True
        elif inside and re.fullmatch(r"[a-z][a-z0-9-]*", line):
            names.append(line)
        elif inside and line and not line.startswith(" "):
            break
    return names


def parse_command(lines):
    """(description, usage, {section: [(column, text)]}, footer lines) of one command's help."""
    description, usage, sections, footer = lines[0], "", {}, []
    section = None
    for line in lines[1:]:
        if line.startswith("Usage: "):
            usage = line[len("Usage: "):]
        elif re.fullmatch(r"[A-Z][a-z]+:", line):
            section = line[:-1]
            sections[section] = []
        elif line.startswith("  ") and line[2] != " " and section:
            # The description starts at the column; a longer name has it on the next line.
            if len(line) > NAME_COLUMN and line[NAME_COLUMN - 1] == " ":
                column, text = line[:NAME_COLUMN], line[NAME_COLUMN:]
            else:
                column, text = line, ""
            sections[section].append([column.strip(), text.strip()])
        elif line.startswith("    ") and section and sections[section]:
            entry = sections[section][-1]  # the description below a long option column
            entry[1] = (entry[1] + " " + line.strip()).strip()
        elif line.strip():
            section = None
            footer.append(line)
    return description, usage, sections, footer


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def entry(column, text):
    """One positional or option: its name in bold, the rest of the column (value, default) in italics."""
    name, _, rest = column.partition(" ")
    tag = "\\fB" + roff(name) + "\\fR"
    if rest:
        tag += " \\fI" + roff(rest) + "\\fR"
    return [".TP", tag, roff(text)]


def main():
    program, version, output = sys.argv[1:4]
    program_help = run_help(program)
    summary, _, sections, footer = parse_command(program_help)
    exit_line = next(line for line in footer if line.startswith("Exit codes:"))
    codes = re.split(r",\s*(?=\d+ )", exit_line[len("Exit codes:"):].strip().rstrip("."))

    page = [
        '.TH MARLTIPS\\-CLI 1 "" "marltips %s" "User Commands"' % roff(version),
        ".SH NAME",
        "marltips\\-cli \\- watch web list pages for new articles from a terminal",
        ".SH SYNOPSIS",
    ]
    commands = [(name, parse_command(run_help(program, name))) for name in commands_of(program_help)]
    for _, (_, usage, _, _) in commands:
        page += [".br", roff(usage)]
    page += [
        ".SH DESCRIPTION",
        roff(summary),
        ".PP",
        "Every command refuses what it does not know (an option, a missing value, a stray argument, "
        "a value outside its choices) with one line on standard error and exit code 2, before it "
        "touches any file. Arguments and output are UTF\\-8; with \\fB\\-\\-json\\fR every record is one "
        "JSON object on its own line.",
        ".SH OPTIONS",
    ]
    for column, text in sections.get("Options", []):
        page += entry(column, text)
    page.append(".SH COMMANDS")
    for name, (description, usage, command_sections, _) in commands:
        page += [".SS " + roff(name), roff(usage), ".PP", roff(description)]
        for section in ("Positionals", "Options"):
            for column, text in command_sections.get(section, []):
                if column != "-h,--help":
                    page += entry(column, text)
    page += [
        ".SH FILES",
        "Every command that reads or writes plans and articles uses \\fImarltips.db\\fR (the database) "
        "and \\fImarltips.ini\\fR (the settings) in the folder given by \\fB\\-\\-dir\\fR; without it, "
        "in the folder of the program itself when \\fImarltips.db\\fR lies there (a portable set\\-up), "
        "else in the user's data folder \\fI$XDG_DATA_HOME/marltips\\fR, or "
        "\\fI~/.local/share/marltips\\fR when \\fBXDG_DATA_HOME\\fR is unset, empty or not an absolute path. "
        "The desktop program \\fBmarltips\\fR(1) follows the same rule. Only \\fBinit\\fR creates the "
        "database, and without \\fB\\-\\-dir\\fR it makes the user's data folder (mode 0700) when needed.",
        ".SH ENVIRONMENT",
        ".TP",
        "\\fBXDG_DATA_HOME\\fR, \\fBHOME",
        "The user's data folder (see FILES).",
        ".TP",
        "\\fBMARL_PLAN\\fR, \\fBMARL_PLAN_ID\\fR, \\fBMARL_TITLE\\fR, \\fBMARL_URL\\fR, \\fBMARL_TIME",
        "Set for the command of \\fB\\-\\-exec\\fR: the plan's name and id, the article's title, its "
        "address and when it was recorded; the same article is one JSON line on its standard input.",
        ".SH EXIT STATUS",
    ]
    for code in codes:
        number, _, meaning = code.partition(" ")
        page += [".TP", "\\fB" + number + "\\fR", roff(meaning)]
    page += [
        ".TP",
        "\\fB128 + N\\fR",
        "Ended by signal N, such as a second interrupt.",
        ".SH SEE ALSO",
        "\\fBmarltips\\fR(1), \\fI/usr/share/doc/marltips/README.md\\fR",
    ]
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(page) + "\n")


if __name__ == "__main__":
    main()
