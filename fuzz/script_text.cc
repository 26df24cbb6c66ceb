// Arbitrary bytes as a QB file decompiled as unpack decompiles it, and its text, or the bytes
// themselves as text, searched for names and compared line by line with a changed copy.
// Property: the layout is chosen without an exception; every name found lies inside the text,
// at the line and column its offset gives; the line diff of two texts, with every line as
// context, holds the old text in its ' ' and '-' lines and the new one in its ' ' and '+' lines.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands/text_diff.h"
#include "fuzz_assert.h"
#include "scripts/name_finder.h"
#include "scripts/script_text.h"

namespace {

void check_names(std::string_view text) {
  for (const qbkit::scripts::NameOccurrence& o : qbkit::scripts::find_names(text)) {
    FUZZ_ASSERT(o.offset < text.size() && o.name.data() >= text.data() &&
                    o.name.data() + o.name.size() <= text.data() + text.size(),
                "a name lies inside the text");
    const std::string_view before = text.substr(0, o.offset);
    const size_t line_start = before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
    FUZZ_ASSERT(o.line == 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n')) &&
                    o.column == static_cast<int>(o.offset - line_start) + 1,
                "a name's line and column are those of its offset");
  }
}

void check_diff(std::string_view a, std::string_view b) {
  // Texts end in a line feed, as decompiled text does.
  const std::string old_text = std::string(a) + "\n";
  const std::string new_text = std::string(b) + "\n";
  const std::string diff =
      qbkit::commands::unified_diff(old_text, new_text, 1 << 30, [](std::string_view l) { return l; });
  if (diff.empty()) return;
  std::string rebuilt_old, rebuilt_new;
  for (size_t at = diff.find('\n') + 1; at < diff.size(); at = diff.find('\n', at) + 1) {
    const std::string line(diff.substr(at + 1, diff.find('\n', at) - at));
    if (diff[at] != '+') rebuilt_old += line;
    if (diff[at] != '-') rebuilt_new += line;
  }
  FUZZ_ASSERT(rebuilt_old == old_text && rebuilt_new == new_text, "the diff holds both texts");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  const ByteSpan bytes(data, size);
  const scripts::ScriptText script = scripts::decompile_script(bytes, "f.qb");
  FUZZ_ASSERT(script.failure.empty() != script.text.empty() || size == 0, "a text, or the reason there is none");
  check_names(script.text);
  const std::string_view raw = as_text(bytes);
  check_names(raw);
  check_diff(raw.substr(0, size / 2), raw.substr(size / 2));
  return 0;
}
