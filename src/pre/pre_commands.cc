// Mode p: the sub-command word and its argument count choose the command (commands.h).
#include "pre/pre_commands.h"

#include <ostream>

#include "common/error.h"
#include "pre/commands.h"

namespace qbkit {
namespace {

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

ExitStatus pre_command(std::span<const std::string> args, const Console& console) {
  std::ostream& out = console.out;
  if (args.empty()) return print_usage(out);
  const std::string& word = args[0];
  const size_t count = args.size() - 1;
  if (word == "new" && count == 1) return pre::cmd_new(args[1]);
  if (word == "add" && count == 3) return pre::cmd_add(args[1], args[2], true, console);
  if (word == "addx" && count == 3) return pre::cmd_add(args[1], args[2], false, console);
  if (word == "x" && count == 1) return pre::cmd_extract(args[1], console);
  if (word == "jdc" && count == 1) return pre::cmd_jdc(args[1], out);
  if (word == "list" && count == 1) return pre::cmd_list(args[1], out);
  if (word == "pack" && count == 2) return pre::cmd_pack(args[1], args[2], out);
  if (word == "update" && count >= 2) return pre::cmd_update(args[1], args.subspan(2), out);
  return print_usage(out);
}

}  // namespace qbkit
