#include "commands/command_table.h"

#include <ostream>

#include "commands/commands.h"

namespace qbkit::commands {
namespace {

// Every archive command, in the order the help lists them.
constexpr Command kCommands[] = {
    {"new", 1, 1, "ARCHIVE", "create an empty archive (replaces the file)", cmd_new},
    {"add", 3, 3, "ARCHIVE FILE MAGIC",
     "append FILE compressed; MAGIC must be given but is not\n"
     "used: the checksum is computed from the name",
     cmd_add},
    {"addx", 3, 3, "ARCHIVE FILE MAGIC", "append FILE stored, uncompressed", cmd_addx},
    {"list", 1, 1, "ARCHIVE", "print each member's name and name checksum", cmd_list},
    {"x", 1, kNoLimit, "ARCHIVE [MEMBER...]",
     "extract every member, or those named (in any case,\n"
     "with either separator), all or nothing",
     cmd_extract},
    {"unpack", 2, 2, "ARCHIVE DIR",
     "extract every member below DIR, new or empty, and\n"
     "beside each QB member its script text (.qbs) and\n"
     "table file, as -d writes them; a first-game script\n"
     "starts with the line #/ layout: THUG1",
     cmd_unpack},
    {"build", 2, 2, "DIR ARCHIVE",
     "update ARCHIVE from the folder that unpack wrote:\n"
     "edited script texts are compiled, changed files\n"
     "taken; nothing is written if a text fails",
     cmd_build},
    {"verify", 1, 1, "ARCHIVE",
     "check that each QB member decompiles and compiles\n"
     "back byte for byte; writes nothing",
     cmd_verify},
    {"diff", 2, 2, "OLD NEW",
     "show what changed from archive OLD to NEW, with a\n"
     "unified diff of each changed script's text",
     cmd_diff},
    {"pack", 2, 2, "ARCHIVE LIST",
     "write a new archive in the game's layout from a member\n"
     "list (one name a line, as list prints it), each member\n"
     "read from where x writes it",
     cmd_pack},
    {"update", 2, kNoLimit, "ARCHIVE FILE...",
     "give the member that each FILE names (whatever the case\n"
     "and the separators) that file's data, keeping every\n"
     "other member as it is; a FILE that names no member is\n"
     "appended",
     cmd_update},
    {"jdc", 1, 1, "STREAM", "decode one raw compressed stream into uncomp.bin", cmd_jdc},
};

// The help's columns: two blanks, the word and its arguments, then the text from this column.
constexpr size_t kHelpColumn = 28;

ExitStatus print_usage(std::ostream& out) {
  out << "Usage:\n"
      << "\tnew filename.prd\n"
      << "\tadd filename.prd filename.qb magic\n\n"
      << "magic = magic value of the QB, use HEX numbers!\n"
      << "Example:\n\t"
      << "-p add qb_scripts.prd scripts\\game\\menu\\gamemenu_pause.qb .\\gamemenu_pause.qb "
         "0x3f142ab9\n";
  return kExitFailure;
}

}  // namespace

ExitStatus run_archive_command(std::span<const std::string> args, const Console& console, FileSystem& files) {
  if (args.empty()) return print_usage(console.out);
  const bool quiet = args.size() >= 2 && args.back() == "-q";
  if (quiet) args = args.first(args.size() - 1);
  std::ostream discard(nullptr);  // a stream without a buffer drops what it is given
  const size_t count = args.size() - 1;
  for (const Command& c : kCommands)
    if (args[0] == c.word && count >= c.least && count <= c.most)
      return c.run({args.subspan(1), console, files, quiet ? discard : console.out});
  return print_usage(console.out);
}

std::string archive_commands_help() {
  std::string text;
  for (const Command& c : kCommands) {
    std::string head = "  ";
    head.append(c.word).append(" ").append(c.usage);
    // A head that leaves no two blanks before the column has the text on a line of its own.
    if (head.size() + 2 > kHelpColumn) {
      text += head + "\n";
      head.clear();
    }
    head.resize(kHelpColumn, ' ');
    text += head;
    for (char ch : c.help) text += ch == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, ch);
    text += '\n';
  }
  return text;
}

}  // namespace qbkit::commands
