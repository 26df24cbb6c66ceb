#include "scripts/script_text.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "common/error.h"
#include "common/format.h"
#include "common/settings.h"
#include "decompiler/decompiler.h"
#include "qb/words.h"

namespace qbkit::scripts {
namespace {

// The first line of a message, as a reason within one line.
std::string first_line(const std::string& message) { return message.substr(0, message.find('\n')); }

std::string stopped_reason(size_t at) { return format("no token can be read at byte %08x", static_cast<unsigned>(at)); }

}  // namespace

bool has_extension(std::string_view name, std::string_view extension) {
  if (name.size() < extension.size()) return false;
  const std::string_view tail = name.substr(name.size() - extension.size());
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::equal(tail.begin(), tail.end(), extension.begin(), [&](char a, char b) { return lower(a) == lower(b); });
}

bool is_qb_name(std::string_view name) { return has_extension(name, ".qb"); }

std::string script_name(std::string_view qb_name) {
  std::string name(qb_name.substr(0, qb_name.size() - 3));
  return name + ".qbs";
}

ScriptText decompile_script(ByteSpan qb, const std::string& file_name) {
  ScriptText script;
  std::optional<Decompiled> d;
  try {
    d = decompile(qb, file_name, Settings{});
  } catch (const Error& standard) {
    // The standard layout refuses a stream only for the case check: try the other one.
    Settings thug1;
    thug1.thug1 = true;
    try {
      d = decompile(qb, file_name, thug1);
    } catch (const Error&) {
      script.failure = first_line(standard.message()) + ", and the THUG1 layout does not read it either";
      return script;
    }
    if (d->stopped_at) {
      script.failure = first_line(standard.message()) + ", and in the THUG1 layout " + stopped_reason(*d->stopped_at);
      return script;
    }
    script.thug1 = true;
  }
  if (d->stopped_at) {
    script.failure = stopped_reason(*d->stopped_at);
    return script;
  }
  script.text = script.thug1 ? std::string(qb::kThug1LayoutLine) + "\n" + d->text : std::move(d->text);
  script.table = std::move(d->table);
  return script;
}

}  // namespace qbkit::scripts
