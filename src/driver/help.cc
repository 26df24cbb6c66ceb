// The help text is one piece, kept here so that it reads as the user sees it. The commands of
// its "PRE examples" paragraph are run by the end-to-end tests in the order given, in a folder
// holding the files that the paragraph names, so every archive example stays true.
#include "driver/help.h"

namespace qbkit {
namespace {

// A text, not code: it stands as a constant so that it reads as the user sees it.
constexpr std::string_view kHelpText = R"(qbkit decompiles the game's QB scripts to text, compiles the text back to QB
files, and creates, fills, lists and unpacks PRE archives.

Usage:
  qbkit -d FILE.qb [-debug | -thug1]  decompile: the script text goes to standard
                                      output, the names to FILE.qb_table.qbi
  qbkit -c FILE [-thug1]              compile script text into FILE.qb (the name
                                      with .qb appended); run it where -d ran, so
                                      that the text's %include line finds the table
  qbkit -p COMMAND ARGUMENT...        PRE archive commands, below
  qbkit -k NAME...                    print a table line that declares each NAME
                                      with the game's checksum of it
  qbkit -t FILE.qb                    deprecated: copy the name records of FILE.qb
                                      into FILE.qb.tab
  qbkit --help, qbkit -h              this help
  qbkit --version                     the version

The mode is the second character of the first argument: -d and -decompile are the
same. A switch goes after the file name; only the argument right after it is read:
  -thug1   -d and -c: the THUG1 token layout, for the first game's scripts that
           hold a switch (without it, -d says "Maybe this file needs -thug1?")
  -debug   -d only: show the if-nesting counter (such text does not compile)
-d of a file that ends without its end token prints all of it and warns on
standard error that the file may be cut short; the status stays 0.

Examples:
  qbkit -d menu.qb > menu.qbs
  qbkit -d menu.qb -thug1 > menu.qbs
  qbkit -c menu.qbs
  qbkit -k spin_faster >> menu.qb_table.qbi

PRE archives (-p). A member's name is the path given to add, addx or update, and
x writes each member to its name, below the working folder.
  new ARCHIVE               create an empty archive (replaces the file)
  add ARCHIVE FILE MAGIC    append FILE compressed; MAGIC must be given but is not
                            used: the checksum is computed from the name
  addx ARCHIVE FILE MAGIC   append FILE stored, uncompressed
  list ARCHIVE              print each member's name and name checksum
  x ARCHIVE                 extract every member, all or nothing
  pack ARCHIVE LIST         write a new archive in the game's layout from a member
                            list (one name a line, as list prints it), each member
                            read from where x writes it
  update ARCHIVE FILE...    give the member that each FILE names (whatever the case
                            and the separators) that file's data, keeping every
                            other member as it is; a FILE that names no member is
                            appended
  jdc STREAM                decode one raw compressed stream into uncomp.bin

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

Exit statuses:
  0   done
  1   usage shown; an input of -c, -d or -t that cannot be opened, or an output
      of theirs that cannot be written; an error in script text; a script of the
      other layout; a decompile that stopped early; an archive, member name or
      member list refused
  2   an archive, or a file to put in one, that cannot be opened or created; no
      memory for an input file
  5   a punctuation character missing in script text
  6   a name that no table line declares
  99  an internal error of qbkit

README.md has more: a modder's workflow from an archive to an archive, and the
script text form by form.
)";

}  // namespace

std::string_view help_text() { return kHelpText; }

std::string_view version_line() { return "qbkit " QBKIT_VERSION "\n"; }

}  // namespace qbkit
