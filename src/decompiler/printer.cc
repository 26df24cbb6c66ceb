#include "decompiler/printer.h"

#include <optional>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "decompiler/text_append.h"
#include "qb/words.h"

namespace qbkit::decompiler {
namespace {

// The printing pass runs twice over the records: once counting the bytes, so that the text
// is allocated once at its exact size, then writing them.
// The counting pass looks every name up and keeps the answers for the writing pass.
struct CountingSink {
  size_t size = 0;
  std::vector<std::optional<std::string_view>> names;
  void text(std::string_view s) { size += s.size(); }
  void chars(size_t n, char) { size += n; }
  std::optional<std::string_view> find_name(const qb::NameTable& table, uint32_t checksum) {
    const std::optional<std::string_view> name = table.find_name(checksum);
    names.push_back(name);
    return name;
  }
};

struct StringSink {
  TextBuffer& out;
  const std::vector<std::optional<std::string_view>>& names;
  size_t next_name = 0;
  void text(std::string_view s) { out.put(s); }
  void chars(size_t n, char c) { out.put(n, c); }
  std::optional<std::string_view> find_name(const qb::NameTable&, uint32_t) { return names[next_name++]; }
};

// A line end followed by the indentation; a count of zero or less gives no tab.
template <typename Sink>
void new_line(Sink& sink, int64_t tabs) {
  sink.chars(1, '\n');
  if (tabs > 0) sink.chars(static_cast<size_t>(tabs), '\t');
}

template <typename Sink>
void print_name(Sink& sink, const qb::NameTable& names, std::string_view operand) {
  const uint32_t checksum = load_u32le(reinterpret_cast<const uint8_t*>(operand.data()));
  if (const std::optional<std::string_view> name = sink.find_name(names, checksum)) {
    sink.text(*name);
    return;
  }
  // No name for it: the four operand bytes in file order, as hexadecimal.
  static constexpr char kDigits[] = "0123456789abcdef";
  char hex[10] = {'['};
  for (int i = 0; i < 4; ++i) {
    const auto byte = static_cast<uint8_t>(operand[static_cast<size_t>(i)]);
    hex[1 + 2 * i] = kDigits[byte >> 4];
    hex[2 + 2 * i] = kDigits[byte & 0xF];
  }
  hex[9] = ']';
  sink.text(std::string_view(hex, sizeof hex));
}

template <typename Sink>
void print_all(Sink& sink, const DecodedStream& stream, const std::string& path) {
  sink.text("#/ QB Script version 2\n");
  sink.text("%include \"");
  sink.text(path);
  sink.text(qb::kTableFileSuffix);
  sink.text("\"   #/ Table file\n");

  int64_t indent = 0;
  for (size_t i = 0; i < stream.records.size(); ++i) {
    const TokenRecord& r = stream.records[i];
    if (r.break_before()) new_line(sink, indent + r.line_adjust());
    switch (r.name_form()) {
      case NameForm::kNone:
        sink.text(stream.text_of(i));
        break;
      case NameForm::kPlain:
        sink.text("$");
        print_name(sink, stream.names, stream.text_of(i));
        sink.text("$");
        break;
      case NameForm::kCall:
        sink.text("call $");
        print_name(sink, stream.names, stream.text_of(i));
        sink.text("$ arguments ");
        break;
    }
    indent += r.delta();
    if (r.break_after()) new_line(sink, indent);
  }

  sink.text("\n\n#/ END\n");
}

}  // namespace

std::string print_text(const DecodedStream& stream, const std::string& path) {
  CountingSink counter;
  print_all(counter, stream, path);
  TextBuffer out(counter.size);
  StringSink sink{out, counter.names};
  print_all(sink, stream, path);
  return out.take();
}

}  // namespace qbkit::decompiler
