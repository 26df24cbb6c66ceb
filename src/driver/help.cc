// The help text, kept here so that it reads as the user sees it; the lines of the archive
// commands come from their table (commands/command_table.h). The commands of its "PRE
// examples" paragraph are run by the end-to-end tests in the order given, in a folder
// holding the files that the paragraph names, so every archive example stays true.
#include "driver/help.h"

#include "commands/command_table.h"

namespace qbkit {
namespace {

// A text, not code: it stands as constants so that it reads as the user sees it. The lines
// of the archive commands come from their table between the two.
constexpr std::string_view kHelpHead = R"(qbkit decompiles the game's QB scripts to text, compiles the text back to QB
files, and creates, fills, lists and unpacks PRE archives.

Usage:
  qbkit -d FILE.qb [-debug | -thug1]  decompile: the script text goes to standard
                                      output, the names to FILE.qb_table.qbi
  qbkit -c FILE [-thug1]              compile script text into FILE.qb (the name
                                      with .qb appended); an %include that the
                                      working folder lacks is looked for beside
                                      the file that includes it
  qbkit --check FILE... [-thug1]      report every error and warning in script text
                                      and the files it includes; writes nothing
  qbkit -p COMMAND ARGUMENT...        PRE archive commands, below
  qbkit --refs NAME PATH...           every place where NAME (or the checksum
                                      0x...) is declared, defined or used, as
                                      FILE:LINE:COLUMN; a PATH is an archive, a
                                      folder (its .qbs and .qbi files), or a .qbs,
                                      .qbi or .qb file
  qbkit -k NAME...                    print a table line that declares each NAME
                                      with the game's checksum of it, the name in
                                      one byte per character (ISO 8859-1)
  qbkit -t FILE.qb                    deprecated: copy the name records of FILE.qb
                                      into FILE.qb.tab
  qbkit --lsp                         the language server that editors start, on
                                      standard input and output: diagnostics as
                                      you type, hover, go to definition, find
                                      references, outline, completion, a quick fix;
                                      its setting qbkit.archives names PRE archives
                                      whose scripts it searches too (decompiled in
                                      memory, served as qbkit-member: documents)
  qbkit --help, qbkit -h              this help
  qbkit --version                     the version

The mode is the second character of the first argument: -d and -decompile are the
same. A switch goes after the file name; only the argument right after it is read:
  -thug1   -d and -c: the THUG1 token layout, for the first game's scripts that
           hold a switch (without it, -d says "Maybe this file needs -thug1?")
  -debug   -d only: show the if-nesting counter (such text does not compile)
  -o OUT   -d and -c: write the text, or the QB file, to OUT; right after the file
           name (the switch then comes after OUT) or after the switch
Every other argument of -c, -d and -t is ignored, with a warning that names it. A
text whose first line is "#/ layout: THUG1", as unpack writes it, is compiled in
the THUG1 layout without the switch.

Errors and warnings in script text take the form that editors jump to:
  FILE:LINE:COLUMN: error: MESSAGE [CODE]
LINE counts every line feed of FILE (an included file names itself), COLUMN the
bytes of the line from 1. --check prints them on standard output, at most 100 a
file; -c stops at the first error, prints its message on standard output as
before and its diagnostic, with the warnings, on standard error.

-d of a file that ends without its end token prints all of it and warns on
standard error that the file may be cut short; the status stays 0.

Each mode writes a file only where none is, or where a regular file is that the
user may write: a device, a FIFO, a folder or a read-only file is refused before
the work starts. A run ended by Ctrl-C, a closed pipe, SIGTERM or SIGHUP removes
its temporary files and the folders it made; a result put in place is whole.

Examples:
  qbkit -d menu.qb > menu.qbs
  qbkit -d menu.qb -thug1 > menu.qbs
  qbkit -c menu.qbs
  qbkit -d menu.qb -o menu.qbs
  qbkit --refs spin_faster scripts.prd mod
  qbkit --check menu.qbs other.qbs
  qbkit -k spin_faster >> menu.qb_table.qbi

PRE archives (-p). A member's name is the path given to add, addx or update, and
x writes each member to its name, below the working folder. A QB member is one
whose name ends in .qb. -q as the last argument silences a command's progress
lines ("Adding", "Extracting", "Updating", ...) and keeps the rest.
)";

// After the archive commands.
constexpr std::string_view kHelpTail = R"(
PRE examples, in this order, in a folder that holds scripts/game/menu.qb,
scripts/game/intro.qb and stream.bin:
  qbkit -p new scripts.prd
  qbkit -p add scripts.prd scripts/game/menu.qb 0
  qbkit -p addx scripts.prd scripts/game/intro.qb 0
  qbkit -p list scripts.prd > members.txt
  qbkit -p x scripts.prd
  qbkit -p pack rebuilt.prd members.txt
  qbkit -p update rebuilt.prd scripts/game/menu.qb
  qbkit -p jdc stream.bin
  qbkit -p unpack scripts.prd mod
  qbkit -p build mod rebuilt.prd
  qbkit -p verify rebuilt.prd
  qbkit -p diff scripts.prd rebuilt.prd

Exit statuses:
  0   done; for --check, nothing reported
  1   usage shown; --check reported an error or a warning; an input of -c, -d
      or -t that cannot be opened, or an output
      of theirs that cannot be written; an error in script text; a script of the
      other layout; a decompile that stopped early; an archive, member name or
      member list refused; a script that unpack cannot decompile, that build
      cannot compile or that verify does not get back; archives that diff finds
      different; a name that --refs finds nowhere
  2   an archive, or a file to put in one, that cannot be opened or created; no
      memory for an input file; an archive that diff or a path that --refs
      cannot read
  5   a punctuation character missing in script text
  6   a name that no table line declares
  99  an internal error of qbkit

README.md has more: a modder's workflow from unpack to build, the script
text form by form, and the language server in VS Code, Sublime Text and Neovim.
)";

}  // namespace

std::string help_text() {
  std::string text(kHelpHead);
  text += commands::archive_commands_help();
  text += kHelpTail;
  return text;
}

std::string_view version_line() { return "qbkit " QBKIT_VERSION "\n"; }

}  // namespace qbkit
