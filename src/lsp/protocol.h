// The language server protocol: the lifecycle, the documents and the features, between the
// frames of the transport and the engine. It reads no input and writes no output of its own:
// it is handed each frame and hands each body it sends to `send`.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "lsp/document.h"
#include "lsp/engine.h"
#include "lsp/json_rpc.h"
#include "lsp/transport.h"

namespace qbkit::lsp {

class Server {
 public:
  using Send = std::function<void(const std::string& body)>;

  Server(Engine& engine, Send send);

  void receive(const Frame& frame);

  // Set once `exit` came: 0 after `shutdown`, 1 without it.
  std::optional<ExitStatus> exit_status() const { return exit_status_; }
  // The status when input ends before `exit`, as if `exit` had come then.
  ExitStatus status_at_end_of_input() const { return shut_down_ ? kExitOk : kExitFailure; }

 private:
  using RequestHandler = Json (Server::*)(const Json& params);
  using NotificationHandler = void (Server::*)(const Json& params);

  void handle(const Message& message);
  void handle_request(const Message& message);
  void handle_notification(const Message& message);
  void reply_error(const Json* id, ErrorCode code, const std::string& text);

  // Lifecycle and settings (protocol.cc).
  Json initialize(const Json& params);
  Json shutdown(const Json& params);
  void initialized(const Json& params);
  void change_configuration(const Json& params);
  void configure();
  void read_archive_setting(const Json& settings);

  // Documents (protocol_documents.cc).
  void open_document(const Json& params);
  void change_document(const Json& params);
  void save_document(const Json& params);
  void close_document(const Json& params);
  void publish(const std::vector<DocumentDiagnostics>& all);
  // The open document that `params` name in "textDocument", or nullptr.
  const Document* document_of(const Json& params) const;

  // Features (protocol_features.cc).
  Json hover(const Json& params);
  Json definition(const Json& params);
  Json references(const Json& params);
  Json document_symbols(const Json& params);
  Json completion(const Json& params);
  Json code_actions(const Json& params);
  Json member_text(const Json& params);

  static const std::vector<std::pair<std::string_view, RequestHandler>> kRequests;
  static const std::vector<std::pair<std::string_view, NotificationHandler>> kNotifications;

  Engine& engine_;
  Send send_;
  DocumentStore documents_;
  bool initialize_received_ = false;
  bool shut_down_ = false;
  std::optional<ExitStatus> exit_status_;
  WorkspaceSettings settings_;
};

}  // namespace qbkit::lsp
