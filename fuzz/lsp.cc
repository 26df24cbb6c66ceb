// Arbitrary bytes as what an editor sends to the language server, arriving in pieces of
// varied sizes. Property: the message loop ends (at `exit` or the end of input) with status
// 0 or 1, and everything it wrote is a sequence of framed JSON-RPC 2.0 messages.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_assert.h"
#include "lsp/json_rpc.h"
#include "lsp/message_loop.h"
#include "lsp/script_engine.h"
#include "lsp/transport.h"

namespace {

class Pieces final : public qbkit::lsp::ByteSource {
 public:
  Pieces(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t read(char* buffer, size_t size) override {
    const size_t n = std::min({size, size_ - at_, size_t{1} + (at_ * 7919) % 613});
    std::copy(data_ + at_, data_ + at_ + n, buffer);
    at_ += n;
    return n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A disk that holds nothing: the workspace folders and includes that the input names are
// never read, so that "file:///" cannot send a run through the whole disk.
class NoFiles final : public qbkit::lsp::WorkspaceFiles {
 public:
  std::optional<std::string> read(const std::filesystem::path&, std::string* failure) override {
    if (failure) *failure = "no such file";
    return std::nullopt;
  }
  std::vector<std::filesystem::path> script_files_under(const std::filesystem::path&) override { return {}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit::lsp;
  Pieces in(data, size);
  std::ostringstream out;
  NoFiles files;
  ScriptEngine engine(files);
  const int status = run_message_loop(in, out, engine);
  FUZZ_ASSERT(status == 0 || status == 1, "the server ends with 0 or 1");
  FrameReader reader;
  reader.feed(out.str());
  while (const std::optional<Frame> frame = reader.next()) {
    FUZZ_ASSERT(frame->kind == Frame::Kind::kBody, "the server writes whole frames");
    const Json message = Json::parse(frame->body, nullptr, false);
    FUZZ_ASSERT(message.is_object() && message.value("jsonrpc", "") == "2.0", "each frame is a JSON-RPC message");
  }
  return 0;
}
