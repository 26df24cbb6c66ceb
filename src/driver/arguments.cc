#include "driver/arguments.h"

#include <algorithm>
#include <cctype>
#include <ostream>
#include <vector>

#include "common/edit_distance.h"
#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "common/platform.h"
#include "compiler/diagnostic.h"

namespace qbkit {
namespace {

// The switches that mode `mode` reads in the slot after the file name.
std::vector<std::string> switches_of(char mode) {
  if (mode == 'c') return {"-thug1"};
  if (mode == 'd') return {"-debug", "-thug1"};
  return {};
}

std::string lowered(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The switch that `arg` was probably meant to be, or an empty string.
std::string meant_switch(const std::string& arg, char mode) {
  std::string best;
  int nearest = 3;
  for (const std::string& s : switches_of(mode)) {
    const int d = lowered(arg) == s ? 0 : edit_distance(arg, s, 2);
    if (d < nearest) {
      nearest = d;
      best = s;
    }
  }
  return best;
}

// `switch_slot`: whether `arg` stands where the switch is read.
std::string why_ignored(const std::string& arg, char mode, bool switch_slot) {
  if (!arg.starts_with("-")) return format("-%c takes one file", mode);
  const std::vector<std::string> known = switches_of(mode);
  if (arg == "-thug1" || arg == "-debug") {
    if (mode == 't') return "-t takes no switch";
    if (std::find(known.begin(), known.end(), arg) == known.end()) return "-c takes only -thug1";
    if (!switch_slot) return "only the argument right after the file name is read";
  }
  const std::string meant = meant_switch(arg, mode);
  std::string why = format("it is no switch of -%c", mode);
  if (!meant.empty()) append_format(why, "; did you mean '%s'?", meant.c_str());
  return why;
}

// An argument as the user's shell takes it back: quoted when it holds anything that the shell
// would split it at or expand.
std::string shell_word(const std::string& arg) {
  if (kOnWindows) {
    const bool plain = !arg.empty() && arg.find_first_of(" \t\"&|<>^%!()") == std::string::npos;
    return plain ? arg : std::string("\"").append(arg).append("\"");
  }
  const bool plain = !arg.empty() && std::all_of(arg.begin(), arg.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80 ||
           std::string_view("@%+=:,./_-").find(c) != std::string_view::npos;
  });
  if (plain) return arg;
  std::string quoted = "'";
  for (const char c : arg) quoted.append(c == '\'' ? "'\\''" : std::string(1, c));
  return quoted.append("'");
}

}  // namespace

char mode_letter(std::span<const std::string> args) {
  if (args.size() < 2 || args[1].size() < 2 || args[1][0] != '-') return 0;
  return args[1][1];
}

OutputOption output_option(std::span<const std::string> args) {
  const char mode = mode_letter(args);
  OutputOption option;
  if (mode != 'c' && mode != 'd') return option;
  for (size_t slot = 3; slot <= 4 && slot < args.size() && option.at == 0; ++slot)
    if (args[slot] == "-o") option.at = slot;
  if (option.at == 0) return option;
  if (option.at + 1 >= args.size())
    throw Error(kExitFailure, "-o needs the name of the output file after it; nothing was written\n",
                Echo::kWhenRedirected);
  option.path = args[option.at + 1];
  return option;
}

void warn_ignored_arguments(std::span<const std::string> args, std::ostream& err) {
  const char mode = mode_letter(args);
  const std::vector<std::string> known = switches_of(mode);
  const OutputOption output = output_option(args);
  for (size_t slot = 3; slot < args.size(); ++slot) {
    if (output.at != 0 && (slot == output.at || slot == output.at + 1)) continue;
    if (slot == output.switch_slot() && std::find(known.begin(), known.end(), args[slot]) != known.end()) continue;
    const std::string message = format("'%s' is ignored: %s", show_control_bytes(args[slot]).c_str(),
                                       why_ignored(args[slot], mode, slot == output.switch_slot()).c_str());
    err << render({"qbkit", 0, 0, Severity::kWarning, code::kCommandLine, message, {}});
  }
}

void hint_misplaced_option(std::span<const std::string> args, const Console& console) {
  const char mode = mode_letter(args);
  if ((mode != 'c' && mode != 'd') || args.size() < 3) return;
  const std::string& option = args[2];
  if ((option != "-thug1" && option != "-debug") || is_regular_file(option)) return;
  // The file name: the first argument after the option that is no option itself.
  const auto file = std::find_if(args.begin() + 3, args.end(),
                                 [](const std::string& a) { return !a.empty() && !a.starts_with("-"); });
  if (file == args.end()) return;
  std::string command = shell_word(args[0]) + " " + shell_word(args[1]) + " " + shell_word(*file);
  // The compiler knows only -thug1.
  const bool ignored = mode == 'c' && option == "-debug";
  if (!ignored) command += " " + option;
  const std::string message =
      format("options go after the file name%s: %s", ignored ? ", and -c takes only -thug1" : "", command.c_str());
  console.err << render({"qbkit", 0, 0, Severity::kNote, {}, message, {}});
}

}  // namespace qbkit
