// JSON-RPC 2.0, as the language server protocol uses it: what a received value is, and the
// bodies of the server's replies and notifications.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace qbkit::lsp {

using Json = nlohmann::json;

enum class ErrorCode : int {
  kParseError = -32700,      // the body is no JSON, or its header block gives no length
  kInvalidRequest = -32600,  // JSON, but no request or notification; or one out of turn
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kInternalError = -32603,
  kServerNotInitialized = -32002,  // a request before initialize
};

// A received value, sorted. Pointers point into the value.
struct Message {
  enum class Kind {
    kRequest,       // "method" and an "id" (a string or a number): it is answered
    kNotification,  // "method" and no "id": it is not
    kResponse,      // no "method", an "id", and "result" or "error": an answer to the server
    kInvalid,       // anything else
  };
  Kind kind = Kind::kInvalid;
  std::string method;
  const Json* id = nullptr;      // of a request; of an invalid value when it has a usable one
  const Json* params = nullptr;  // nullptr when there are none
};

Message classify(const Json& value);

// The bodies the server sends. `id` is a request's id; a null pointer writes the id null.
std::string result_body(const Json& id, Json result);
std::string error_body(const Json* id, ErrorCode code, std::string_view message);
std::string notification_body(std::string_view method, Json params);

}  // namespace qbkit::lsp
