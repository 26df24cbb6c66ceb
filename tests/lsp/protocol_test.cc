// The server in memory, from the bytes an editor sends to the answers it gets: the lifecycle,
// each error code, and the documents' places on their way to the engine and back.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "lsp/json_rpc.h"
#include "lsp/message_loop.h"
#include "lsp/transport.h"

namespace qbkit::lsp {
namespace {

// Answers with what it was asked, so that the tests see the places it got.
class EchoEngine final : public Engine {
 public:
  std::vector<std::string> configure(const WorkspaceSettings& s) override {
    configured.push_back(s);
    std::vector<std::string> unread;
    for (const auto& archive : s.archives) unread.push_back("cannot read " + archive.generic_string());
    return unread;
  }
  std::vector<DocumentDiagnostics> diagnose(const Document& d, const DocumentStore&) override {
    texts.push_back(d.text());
    return {{d.uri(), {Diagnostic{{{0, 0}, {0, 8}}, Severity::kWarning, "not-latin1", "caf\xe9"}}}};
  }
  void saved(const Document&) override {}
  std::vector<DocumentDiagnostics> closed(const std::string& uri, const DocumentStore&) override {
    return {{uri, {}}};
  }
  std::optional<Hover> hover(const Document&, TextPosition at) override {
    return Hover{"column " + std::to_string(at.column), {at, {at.line, at.column + 1}}};
  }
  std::vector<Location> definition(const Document& d, TextPosition at) override { return {{d.uri(), {at, at}}}; }
  std::vector<Location> references(const Document&, TextPosition, bool) override { return {}; }
  std::vector<Symbol> symbols(const Document&) override { return {}; }
  CompletionList completion(const Document&, TextPosition) override { return {}; }
  std::vector<CodeAction> code_actions(const Document&, TextRange, const std::vector<Diagnostic>&) override {
    return {};
  }
  std::optional<std::string> member_text(const std::string&) override { return std::nullopt; }

  std::vector<WorkspaceSettings> configured;
  std::vector<std::string> texts;
};

class Pieces final : public ByteSource {
 public:
  explicit Pieces(std::string bytes) : bytes_(std::move(bytes)) {}
  size_t read(char* buffer, size_t size) override {
    const size_t n = std::min({size, bytes_.size() - at_, size_t{5}});
    bytes_.copy(buffer, n, at_);
    at_ += n;
    return n;
  }

 private:
  std::string bytes_;
  size_t at_ = 0;
};

std::string msg(const Json& value) {
  const std::string body = value.dump();
  return frame_header(body.size()) + body;
}
std::string request(int id, const std::string& method, const Json& params = Json::object()) {
  return msg({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
}
std::string notification(const std::string& method, const Json& params = Json::object()) {
  return msg({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}
const std::string kInitialize = request(1, "initialize") + notification("initialized");
const std::string kShutdownExit = request(99, "shutdown") + notification("exit");

struct Session {
  int status = -1;
  std::vector<Json> answers;  // after the answer to initialize
};

Session run(const std::string& input, Engine& engine) {
  Pieces in(input);
  std::ostringstream out;
  Session s;
  s.status = run_message_loop(in, out, engine);
  FrameReader reader;
  reader.feed(out.str());
  while (std::optional<Frame> f = reader.next()) s.answers.push_back(Json::parse(f->body));
  const auto first =
      std::find_if(s.answers.begin(), s.answers.end(), [](const Json& a) { return a.value("id", Json()) == 1; });
  if (first != s.answers.end()) s.answers.erase(s.answers.begin(), first + 1);
  return s;
}

Json error(const Json& id, int code) { return {{"id", id}, {"code", code}}; }
Json error_of(const Json& answer) { return {{"id", answer.at("id")}, {"code", answer.at("error").at("code")}}; }

TEST(LspProtocol, LifecycleAndExitStatus) {
  EchoEngine engine;
  const std::string init = request(1, "initialize", Json::parse(R"({"workspaceFolders": [{"uri": "file:///mods/a%20b",
      "name": "a b"}], "initializationOptions": {"archives": ["qb.pre", "/game/qb.pre"]}})"));
  Session s = run(init + notification("initialized") + kShutdownExit, engine);
  EXPECT_EQ(s.status, 0);
  ASSERT_EQ(engine.configured.size(), 1u);
  EXPECT_EQ(engine.configured[0].folders, std::vector<std::filesystem::path>{"/mods/a b"});
  EXPECT_EQ(engine.configured[0].archives,
            (std::vector<std::filesystem::path>{"/mods/a b/qb.pre", "/game/qb.pre"}));
  EXPECT_EQ(s.answers.back(), (Json{{"jsonrpc", "2.0"}, {"id", 99}, {"result", nullptr}}));

  // The setting changes: indexed again, and what the engine says shown. Input that ends
  // without exit: 1.
  const Json change = Json::parse(R"({"settings": {"qbkit": {"archives": "x.pre"}}})");
  s = run(kInitialize + notification("workspace/didChangeConfiguration", change), engine);
  EXPECT_EQ(engine.configured.back().archives, std::vector<std::filesystem::path>{"x.pre"});
  EXPECT_EQ(s.answers, (std::vector<Json>{{{"jsonrpc", "2.0"}, {"method", "window/showMessage"},
                                           {"params", {{"type", 2}, {"message", "cannot read x.pre"}}}}}));
  EXPECT_EQ(s.status, 1);
  // exit without shutdown, even before initialize: 1; input that ends after shutdown: 0.
  EXPECT_EQ(run(kInitialize + notification("exit"), engine).status, 1);
  EXPECT_EQ(run(notification("exit") + request(2, "shutdown"), engine).status, 1);
  EXPECT_EQ(run(kInitialize + request(2, "shutdown"), engine).status, 0);
}

TEST(LspProtocol, EachErrorCode) {
  EchoEngine engine;
  const Session before = run(request(5, "textDocument/hover") + notification("exit"), engine);
  EXPECT_EQ(error_of(before.answers.at(0)), error(5, -32002));

  const std::string bad_header = "Content-Type: x\r\n\r\n{}\r\n";
  const std::string not_json = frame_header(3) + "{x}";
  const std::string invalid = msg(Json::array({1})) + msg({{"id", 7}, {"method", "shutdown"}}) +
                              msg({{"jsonrpc", "2.0"}, {"id", {{"a", 1}}}, {"method", "shutdown"}}) +
                              msg({{"jsonrpc", "2.0"}, {"id", "s"}, {"method", "shutdown"}, {"params", 3}});
  const std::string unknown = request(8, "textDocument/rename") + notification("$/cancelRequest", {{"id", 1}});
  const std::string bad_params = request(9, "textDocument/hover", {{"textDocument", 3}});
  const std::string answer = msg({{"jsonrpc", "2.0"}, {"id", 1}, {"result", nullptr}});
  const Session s = run(kInitialize + bad_header + not_json + invalid + unknown + bad_params + answer +
                            request(10, "initialize") + kShutdownExit + request(11, "shutdown"),
                        engine);
  std::vector<Json> errors;
  for (const Json& a : s.answers) errors.push_back(a.contains("error") ? error_of(a) : a);
  const Json shutdown_result = {{"jsonrpc", "2.0"}, {"id", 99}, {"result", nullptr}};
  EXPECT_EQ(errors, (std::vector<Json>{error(nullptr, -32700), error(nullptr, -32700), error(nullptr, -32600),
                                       error(7, -32600), error(nullptr, -32600), error("s", -32600),
                                       error(8, -32601), error(9, -32602), error(10, -32600), shutdown_result}));
  EXPECT_EQ(s.status, 0);  // exit came before the last request, which is never read
}

// A text with a Latin-1 letter, a character above U+00FF and one of two UTF-16 units: the
// engine gets one byte for each, and its byte columns go back as UTF-16 units.
TEST(LspProtocol, DocumentsReachTheEngineAsBytesAndPlacesComeBackInUtf16) {
  EchoEngine engine;
  const std::string open = notification("textDocument/didOpen", Json::parse(R"({"textDocument": {"uri": "file:///a.qbs",
      "languageId": "qbscript", "version": 3, "text": "\u00e9\u20ac\ud83d\ude00$a$"}})"));
  const std::string hover = request(2, "textDocument/hover", Json::parse(R"({"textDocument": {"uri": "file:///a.qbs"},
      "position": {"line": 0, "character": 5}})"));
  const std::string change = notification("textDocument/didChange", Json::parse(R"({"textDocument": {
      "uri": "file:///a.qbs", "version": 4}, "contentChanges": [{"range": {"start": {"line": 0, "character": 2},
      "end": {"line": 0, "character": 4}}, "text": "x"}]})"));
  const std::string close = notification("textDocument/didClose", {{"textDocument", {{"uri", "file:///a.qbs"}}}});
  const Session s = run(kInitialize + open + hover + change + close, engine);
  EXPECT_EQ(engine.texts, (std::vector<std::string>{"\xe9??$a$", "\xe9?x$a$"}));
  ASSERT_EQ(s.answers.size(), 4u);
  const Json published = s.answers[0].at("params");
  EXPECT_EQ(published.at("version"), 3);
  EXPECT_EQ(published.at("diagnostics").at(0).at("range").at("end").at("character"), 7);  // past the end: the line's
  EXPECT_EQ(published.at("diagnostics").at(0).at("message"), "caf\xc3\xa9");
  EXPECT_EQ(s.answers[1].at("result").at("contents").at("value"), "column 4");
  EXPECT_EQ(s.answers[1].at("result").at("range"),
            Json::parse(R"({"start": {"line": 0, "character": 5}, "end": {"line": 0, "character": 6}})"));
  EXPECT_EQ(s.answers[2].at("params").at("version"), 4);
  EXPECT_EQ(s.answers[3].at("params"), Json::parse(R"({"uri": "file:///a.qbs", "diagnostics": []})"));
}

}  // namespace
}  // namespace qbkit::lsp
