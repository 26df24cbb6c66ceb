#include "lsp/protocol.h"

#include <algorithm>
#include <new>
#include <utility>

#include "lsp/text_codec.h"
#include "lsp/uri.h"

namespace qbkit::lsp {
namespace {

const Json kNoParams = Json::object();

// The capabilities the server announces: every text in full on each change, positions in
// UTF-16 units.
Json server_capabilities() {
  return Json{
      {"positionEncoding", "utf-16"},
      {"textDocumentSync", {{"openClose", true}, {"change", 1}, {"save", {{"includeText", false}}}}},
      {"hoverProvider", true},
      {"definitionProvider", true},
      {"referencesProvider", true},
      {"documentSymbolProvider", true},
      {"completionProvider", {{"triggerCharacters", {"$"}}}},
      {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
  };
}

// A path given in UTF-8, as JSON strings are.
std::filesystem::path utf8_path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The workspace folders of initialize's parameters: "workspaceFolders", or else the older
// "rootUri" and "rootPath".
std::vector<std::filesystem::path> workspace_folders(const Json& params) {
  std::vector<std::filesystem::path> folders;
  if (const auto it = params.find("workspaceFolders"); it != params.end() && it->is_array()) {
    for (const Json& folder : *it) {
      if (auto path = path_from_uri(folder.at("uri").get<std::string>())) folders.push_back(std::move(*path));
    }
  } else if (const auto uri = params.find("rootUri"); uri != params.end() && uri->is_string()) {
    if (auto path = path_from_uri(uri->get<std::string>())) folders.push_back(std::move(*path));
  } else if (const auto root = params.find("rootPath"); root != params.end() && root->is_string()) {
    folders.push_back(utf8_path(root->get<std::string>()));
  }
  return folders;
}

}  // namespace

const std::vector<std::pair<std::string_view, Server::RequestHandler>> Server::kRequests = {
    {"initialize", &Server::initialize},
    {"shutdown", &Server::shutdown},
    {"textDocument/hover", &Server::hover},
    {"textDocument/definition", &Server::definition},
    {"textDocument/references", &Server::references},
    {"textDocument/documentSymbol", &Server::document_symbols},
    {"textDocument/completion", &Server::completion},
    {"textDocument/codeAction", &Server::code_actions},
    {"qbkit/memberText", &Server::member_text},
};

const std::vector<std::pair<std::string_view, Server::NotificationHandler>> Server::kNotifications = {
    {"initialized", &Server::initialized},
    {"workspace/didChangeConfiguration", &Server::change_configuration},
    {"textDocument/didOpen", &Server::open_document},
    {"textDocument/didChange", &Server::change_document},
    {"textDocument/didSave", &Server::save_document},
    {"textDocument/didClose", &Server::close_document},
};

Server::Server(Engine& engine, Send send) : engine_(engine), send_(std::move(send)) {}

void Server::receive(const Frame& frame) {
  if (frame.kind == Frame::Kind::kBadHeader)
    return reply_error(nullptr, ErrorCode::kParseError, "the header block gives no valid Content-Length");
  const Json value = Json::parse(frame.body, nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded()) return reply_error(nullptr, ErrorCode::kParseError, "the message is not JSON");
  handle(classify(value));
}

void Server::reply_error(const Json* id, ErrorCode code, const std::string& text) {
  send_(error_body(id, code, text));
}

void Server::handle(const Message& message) {
  switch (message.kind) {
    case Message::Kind::kInvalid:
      return reply_error(message.id, ErrorCode::kInvalidRequest, "not a JSON-RPC 2.0 request or notification");
    case Message::Kind::kResponse:
      return;  // the server asks nothing, so an answer has nothing to go to
    case Message::Kind::kNotification:
      return handle_notification(message);
    case Message::Kind::kRequest:
      return handle_request(message);
  }
}

void Server::handle_request(const Message& message) {
  const std::string& method = message.method;
  if (!initialize_received_ && method != "initialize") {
    return reply_error(message.id, ErrorCode::kServerNotInitialized,
                       "the server is not initialized: send initialize first");
  }
  if (shut_down_)
    return reply_error(message.id, ErrorCode::kInvalidRequest, "the server is shut down: only exit is taken");
  if (initialize_received_ && method == "initialize")
    return reply_error(message.id, ErrorCode::kInvalidRequest, "initialize was received already");
  const auto entry = std::find_if(kRequests.begin(), kRequests.end(), [&](const auto& e) { return e.first == method; });
  if (entry == kRequests.end()) return reply_error(message.id, ErrorCode::kMethodNotFound, "unknown method: " + method);
  Json result;
  try {
    result = (this->*entry->second)(message.params ? *message.params : kNoParams);
  } catch (const Json::exception&) {
    return reply_error(message.id, ErrorCode::kInvalidParams,
                       "the parameters of " + method + " are not as the protocol gives them");
  } catch (const std::bad_alloc&) {
    return reply_error(message.id, ErrorCode::kInternalError, "out of memory");
  } catch (const std::exception& e) {
    return reply_error(message.id, ErrorCode::kInternalError, e.what());
  }
  send_(result_body(*message.id, std::move(result)));
}

void Server::handle_notification(const Message& message) {
  if (message.method == "exit") {
    exit_status_ = shut_down_ ? kExitOk : kExitFailure;
    return;
  }
  // Before initialize and after shutdown, notifications are dropped; so are unknown ones
  // ("$/cancelRequest" among them: requests are answered in turn, none is pending).
  if (!initialize_received_ || shut_down_) return;
  const auto entry = std::find_if(kNotifications.begin(), kNotifications.end(),
                                  [&](const auto& e) { return e.first == message.method; });
  if (entry == kNotifications.end()) return;
  try {
    (this->*entry->second)(message.params ? *message.params : kNoParams);
  } catch (const std::exception& e) {
    // A notification has no answer: the editor's log shows why it was not followed.
    const std::string text = message.method + " was not followed: " + e.what();
    send_(notification_body("window/logMessage", Json{{"type", 1}, {"message", text}}));
  }
}

Json Server::initialize(const Json& params) {
  settings_.folders = workspace_folders(params);
  if (const auto options = params.find("initializationOptions"); options != params.end())
    read_archive_setting(*options);
  initialize_received_ = true;
  return Json{{"capabilities", server_capabilities()}, {"serverInfo", {{"name", "qbkit"}, {"version", QBKIT_VERSION}}}};
}

Json Server::shutdown(const Json&) {
  shut_down_ = true;
  return nullptr;
}

void Server::initialized(const Json&) { configure(); }

void Server::change_configuration(const Json& params) {
  if (const auto settings = params.find("settings"); settings != params.end()) read_archive_setting(*settings);
  configure();
}

// The engine indexes anew; what it has to say is shown to the user as a warning.
void Server::configure() {
  constexpr int kWarning = 2;  // the protocol's MessageType.Warning
  for (const std::string& text : engine_.configure(settings_))
    send_(notification_body("window/showMessage", Json{{"type", kWarning}, {"message", latin1_to_utf8(text)}}));
}

// The qbkit.archives setting, from initializationOptions or from a configuration change:
// {"archives": ...} or {"qbkit": {"archives": ...}}, one path or a list of paths; relative
// paths are taken from the first workspace folder. Without the setting, nothing changes.
void Server::read_archive_setting(const Json& settings) {
  if (!settings.is_object()) return;
  const auto section = settings.find("qbkit");
  const Json& own = section != settings.end() && section->is_object() ? *section : settings;
  const auto archives = own.find("archives");
  if (archives == own.end()) return;
  std::vector<std::filesystem::path> paths;
  const auto add = [&](const Json& entry) {
    std::filesystem::path path = utf8_path(entry.get<std::string>());
    if (path.is_relative() && !settings_.folders.empty()) path = settings_.folders.front() / path;
    paths.push_back(std::move(path));
  };
  if (archives->is_array()) {
    std::for_each(archives->begin(), archives->end(), add);
  } else {
    add(*archives);
  }
  settings_.archives = std::move(paths);
}

}  // namespace qbkit::lsp
