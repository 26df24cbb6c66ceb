#include "driver/driver.h"

#include <exception>
#include <new>
#include <ostream>

#include "commands/command_table.h"
#include "commands/commands.h"
#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "common/settings.h"
#include "compiler/compiler.h"
#include "decompiler/decompiler.h"
#include "driver/arguments.h"
#include "driver/help.h"
#include "lsp/language_server.h"
#include "qb/checksum_mode.h"
#include "qb/raw_table_mode.h"
#include "qb/words.h"

namespace qbkit {
namespace {

ExitStatus print_usage(const std::string& program, std::ostream& out) {
  const char* name = program.c_str();
  out << format(
      "Usage: %s -[c,d,t,p] filename\nc = compile\nd = decompile\nt = create table file\n"
      "p = pre options\n\nMisc Options: -thug1 if it is a thug1 qb\n-debug to show debugging "
      "information\nUsage: %s [c,d,t,p] filename.qb -command(thug1,debug)\n ",
      name, name);
  return kExitFailure;
}

// Refuses (status 1) an output given with -o that is the file `other` (links followed), which
// `what` names.
void check_output(const std::string& output, const std::string& other, const char* what) {
  if (output.empty() || canonical_path(output) != canonical_path(other)) return;
  throw Error(kExitFailure,
              format("'%s' is %s: -o needs another name; nothing was written\n", output.c_str(), what),
              Echo::kWhenRedirected);
}

ExitStatus dispatch(std::span<const std::string> args, const Console& console, FileSystem& files) {
  std::ostream& out = console.out;
  const std::string program = args.empty() ? std::string() : args[0];
  // --help, -h (or any first argument whose mode letter is h, as -decompile is -d) and
  // --version answer whatever follows them.
  if (mode_letter(args) == 'h' || (args.size() >= 2 && args[1] == "--help")) {
    out << help_text();
    return kExitOk;
  }
  if (args.size() >= 2 && args[1] == "--version") {
    out << version_line();
    return kExitOk;
  }
  // The language server; an editor's client may add --stdio, the one transport there is.
  if (args.size() >= 2 && args[1] == "--lsp") {
    if (args.size() > 3 || (args.size() == 3 && args[2] != "--stdio")) return print_usage(program, out);
    return lsp::run_language_server(console);
  }
  // Where a name stands, in the paths given.
  if (args.size() >= 2 && args[1] == "--refs") {
    if (args.size() >= 4) return commands::find_references(args.subspan(2), console);
    out << format("Usage: %s --refs NAME PATH... (prints where NAME is declared, defined or used)\n",
                  program.c_str());
    return kExitFailure;
  }
  // Mode k and --check have a usage line of their own for a command line without names.
  if (mode_letter(args) == 'k') return qb::checksum_mode(program, args.subspan(2), console);
  if (args.size() >= 2 && args[1] == "--check") return check_files(program, args.subspan(2), console);
  if (args.size() < 3) return print_usage(program, out);
  const std::string& mode = args[1];
  if (mode.size() < 2 || mode[0] != '-') return print_usage(program, out);

  const std::string& path = args[2];
  if (mode[1] == 'c' || mode[1] == 'd' || mode[1] == 't') warn_ignored_arguments(args, console.err);
  const OutputOption output = output_option(args);
  // Only one slot is an option slot, and only -thug1 counts for the compiler.
  const std::string& option = args.size() > output.switch_slot() ? args[output.switch_slot()] : std::string();
  Settings settings;
  switch (mode[1]) {
    case 'c':
      settings.thug1 = option == "-thug1";
      check_output(output.path, path, "the file to compile");
      return compile_file(path, settings, console, output.path);
    case 'd':
      settings.debug = option == "-debug";
      settings.thug1 = option == "-thug1";
      check_output(output.path, path, "the file to decompile");
      check_output(output.path, qb::table_file_path(path), "where the table file goes");
      return decompile_file(path, settings, console, output.path);
    case 'p':
      return commands::run_archive_command(args.subspan(2), console, files);
    case 't':
      return qb::raw_table_mode(path, out);
    default:
      return print_usage(program, out);
  }
}

// The message of a failed command goes to standard output. The text of -d usually goes to
// a file, so its messages then go to standard error as well, where the user sees them; so do
// the messages raised with Echo::kWhenRedirected.
void report(const std::string& message, bool also_to_err, const Console& console) {
  console.out << message;
  if (!also_to_err || message.empty()) return;
  console.out.flush();
  console.err << message;
  if (message.back() != '\n') console.err << '\n';
}

}  // namespace

ExitStatus run_driver(std::span<const std::string> args, const Console& console) {
  DiskFileSystem disk;
  return run_driver(args, console, disk);
}

ExitStatus run_driver(std::span<const std::string> args, const Console& console, FileSystem& files) {
  const bool mirror = mode_letter(args) == 'd' && args.size() >= 3 && !console.out_is_terminal;
  ExitStatus status;
  try {
    status = dispatch(args, console, files);
  } catch (const Error& e) {
    report(e.message(), mirror || (e.echo() == Echo::kWhenRedirected && !console.out_is_terminal), console);
    status = e.status();
  } catch (const std::bad_alloc&) {
    // No memory for an input: the tools end with status 2 and no message.
    status = kExitNoAccess;
  } catch (const std::exception& e) {
    // Anything else is a fault of qbkit itself; it ends with a message, not std::terminate.
    report(format("Internal error: %s\n", e.what()), mirror, console);
    status = kExitInternal;
  }
  if (status != kExitOk) hint_misplaced_option(args, console);
  return status;
}

}  // namespace qbkit
