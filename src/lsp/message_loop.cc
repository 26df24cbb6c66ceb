#include "lsp/message_loop.h"

#include <ostream>
#include <string>
#include <vector>

#include "lsp/protocol.h"
#include "lsp/transport.h"

namespace qbkit::lsp {

ExitStatus run_message_loop(ByteSource& in, std::ostream& out, Engine& engine) {
  bool output_lost = false;
  Server server(engine, [&](const std::string& body) {
    if (output_lost) return;
    const std::string header = frame_header(body.size());
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    out.flush();  // the editor waits for it
    output_lost = !out;
  });
  FrameReader reader;
  std::vector<char> buffer(size_t{64} << 10);
  for (;;) {
    while (const std::optional<Frame> frame = reader.next()) {
      server.receive(*frame);
      if (server.exit_status()) return *server.exit_status();
      if (output_lost) return kExitFailure;
    }
    const size_t n = in.read(buffer.data(), buffer.size());
    if (n == 0) return server.status_at_end_of_input();
    reader.feed(std::string_view(buffer.data(), n));
  }
}

}  // namespace qbkit::lsp
