#include "lsp/json_rpc.h"

#include <utility>

namespace qbkit::lsp {
namespace {

// The member `name` of an object, or nullptr.
const Json* member(const Json& object, const char* name) {
  const auto it = object.find(name);
  return it == object.end() ? nullptr : &*it;
}

bool usable_id(const Json* id) { return id && (id->is_string() || id->is_number()); }

// Never throws on text that is not UTF-8: such bytes are written as U+FFFD.
std::string dump(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json id_or_null(const Json* id) { return usable_id(id) ? *id : Json(nullptr); }

}  // namespace

Message classify(const Json& value) {
  Message m;
  if (!value.is_object()) return m;
  const Json* id = member(value, "id");
  if (usable_id(id)) m.id = id;
  const Json* version = member(value, "jsonrpc");
  if (!version || *version != "2.0") return m;
  const Json* method = member(value, "method");
  if (!method) {
    const bool answer = (member(value, "result") != nullptr) != (member(value, "error") != nullptr);
    if (answer && id && (usable_id(id) || id->is_null())) m.kind = Message::Kind::kResponse;
    return m;
  }
  const Json* params = member(value, "params");
  if (!method->is_string() || (params && !params->is_object() && !params->is_array())) return m;
  if (id && !usable_id(id)) return m;
  m.kind = id ? Message::Kind::kRequest : Message::Kind::kNotification;
  m.method = method->get<std::string>();
  m.params = params;
  return m;
}

std::string result_body(const Json& id, Json result) {
  return dump(Json{{"jsonrpc", "2.0"}, {"id", id_or_null(&id)}, {"result", std::move(result)}});
}

std::string error_body(const Json* id, ErrorCode code, std::string_view message) {
  const Json error{{"code", static_cast<int>(code)}, {"message", message}};
  return dump(Json{{"jsonrpc", "2.0"}, {"id", id_or_null(id)}, {"error", error}});
}

std::string notification_body(std::string_view method, Json params) {
  return dump(Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

}  // namespace qbkit::lsp
