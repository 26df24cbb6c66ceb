#include "lsp/language_server.h"

#include <csignal>

#include "common/platform.h"
#include "lsp/message_loop.h"
#include "lsp/script_engine.h"

namespace qbkit::lsp {
namespace {

class StandardInput final : public ByteSource {
 public:
  size_t read(char* buffer, size_t size) override { return read_standard_input(buffer, size); }
};

}  // namespace

ExitStatus run_language_server(const Console& console) {
#if defined(SIGPIPE)
  // An editor that goes away closes the pipe: a write then fails and the loop ends, where the
  // signal would end the process without a word.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  set_stdin_binary();
  StandardInput in;
  DiskFiles files;
  ScriptEngine engine(files);
  return run_message_loop(in, console.out, engine);
}

}  // namespace qbkit::lsp
