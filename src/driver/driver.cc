#include "driver/driver.h"

#include <exception>
#include <new>
#include <ostream>

#include "common/error.h"
#include "common/format.h"
#include "common/settings.h"
#include "compiler/compiler.h"
#include "decompiler/decompiler.h"
#include "pre/pre_commands.h"
#include "qb/raw_table_mode.h"

namespace qbkit {
namespace {

int print_usage(const std::string& program, std::ostream& out) {
  const char* name = program.c_str();
  out << format(
      "Usage: %s -[c,d,t,p] filename\nc = compile\nd = decompile\nt = create table file\n"
      "p = pre options\n\nMisc Options: -thug1 if it is a thug1 qb\n-debug to show debugging "
      "information\nUsage: %s [c,d,t,p] filename.qb -command(thug1,debug)\n ",
      name, name);
  return kExitFailure;
}

int dispatch(std::span<const std::string> args, const Console& console) {
  std::ostream& out = console.out;
  const std::string program = args.empty() ? std::string() : args[0];
  if (args.size() < 3) return print_usage(program, out);
  const std::string& mode = args[1];
  if (mode.size() < 2 || mode[0] != '-') return print_usage(program, out);

  const std::string& path = args[2];
  Settings settings;
  switch (mode[1]) {
    case 'c':
      // Only slot 3 is an option slot, and only -thug1 counts for the compiler.
      if (args.size() >= 4 && args[3] == "-thug1") settings.thug1 = true;
      return compile_file(path, settings, console);
    case 'd':
      if (args.size() >= 4) {
        if (args[3] == "-debug")
          settings.debug = true;
        else if (args[3] == "-thug1")
          settings.thug1 = true;
      }
      return decompile_file(path, settings, console);
    case 'p':
      return pre_command(args.subspan(2), console);
    case 't':
      return qb::raw_table_mode(path, out);
    default:
      return print_usage(program, out);
  }
}

}  // namespace

int run_driver(std::span<const std::string> args, const Console& console) {
  try {
    return dispatch(args, console);
  } catch (const Error& e) {
    console.out << e.message();
    return e.status();
  } catch (const std::bad_alloc&) {
    // No memory for an input: the tools end with status 2 and no message.
    return kExitNoAccess;
  } catch (const std::exception& e) {
    // Anything else is a fault of qbkit itself; it ends with a message, not std::terminate.
    console.out << format("Internal error: %s\n", e.what());
    return kExitInternal;
  }
}

}  // namespace qbkit
