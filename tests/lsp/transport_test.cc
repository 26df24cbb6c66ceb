// The framing: bodies come out whole whatever pieces the bytes arrive in, and a header block
// without a usable length costs that block only.
#include "lsp/transport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qbkit::lsp {
namespace {

// The frames of `input` fed in pieces of `piece` bytes: bodies as they are, bad headers as "!".
std::vector<std::string> frames(const std::string& input, size_t piece) {
  FrameReader reader;
  std::vector<std::string> out;
  for (size_t at = 0; at < input.size(); at += piece) {
    reader.feed(std::string_view(input).substr(at, piece));
    while (std::optional<Frame> f = reader.next()) out.push_back(f->kind == Frame::Kind::kBody ? f->body : "!");
  }
  return out;
}

std::string framed(const std::string& body) { return frame_header(body.size()) + body; }

TEST(LspTransport, BodiesComeWholeInAnyPieces) {
  const std::string input = framed("{\"a\":1}") + framed("") + framed("{\"b\":\"\r\n\"}");
  const std::vector<std::string> expected = {"{\"a\":1}", "", "{\"b\":\"\r\n\"}"};
  for (const size_t piece : {size_t{1}, size_t{3}, size_t{17}, input.size()})
    EXPECT_EQ(frames(input, piece), expected) << piece;
  // Header names in any case, other headers ignored, "\n" line ends, blank lines between messages.
  EXPECT_EQ(frames("content-LENGTH:  2 \nContent-Type: x\n\n{}\r\n\r\nCONTENT-LENGTH:1\r\n\r\n7", 5),
            (std::vector<std::string>{"{}", "7"}));
}

TEST(LspTransport, ABadHeaderBlockIsSkippedToTheNextContentLengthLine) {
  const std::string next = framed("{}");
  for (const std::string& bad : std::vector<std::string>{"Content-Type: x\r\n\r\n{\"lost\":1}\r\n",  // no length
                                 "Content-Length: 67108865\r\n\r\n",       // over 64 MiB
                                 "Content-Length: 12x\r\n\r\n",            // not a number
                                 "Content-Length: 2\r\ncontent-length: 3\r\n\r\n",
                                 "garbage\r\n", std::string(9000, 'x') + "\n"}) {
    for (const size_t piece : {size_t{1}, size_t{4096}})
      EXPECT_EQ(frames(bad + next, piece), (std::vector<std::string>{"!", "{}"})) << bad.substr(0, 40);
  }
  // The largest body taken is 64 MiB exactly.
  FrameReader reader;
  reader.feed("Content-Length: 67108864\r\n\r\n");
  EXPECT_FALSE(reader.next());
}

// A length that does not fit the body: the frame takes the bytes its length gives, and what
// is left over is read as a header block, found bad, and skipped to the next line that starts
// with the length header: a message that the wrong one ran into is lost.
TEST(LspTransport, AWrongLengthCostsTheMessagesItRunsInto) {
  const std::string after = "\r\n" + framed("{\"next\":1}") + "\r\n" + framed("[]");
  EXPECT_EQ(frames("Content-Length: 4\r\n\r\n{\"a\":1}" + after, 7),
            (std::vector<std::string>{"{\"a\"", "!", "{\"next\":1}", "[]"}));
  EXPECT_EQ(frames("Content-Length: 9\r\n\r\n{}" + after, 7), (std::vector<std::string>{"{}\r\nConte", "!", "[]"}));
}

}  // namespace
}  // namespace qbkit::lsp
