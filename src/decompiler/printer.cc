#include "decompiler/printer.h"

namespace qbkit::decompiler {
namespace {

// A line end followed by the indentation; a count of zero or less gives no tab.
void new_line(std::string& out, int64_t tabs) {
  out += '\n';
  if (tabs > 0) out.append(static_cast<size_t>(tabs), '\t');
}

void append_name(std::string& out, const qb::NameTable& names, uint32_t checksum) {
  if (const std::string* name = names.find_name(checksum)) {
    out += *name;
    return;
  }
  // No name for it: the four operand bytes in file order, as hexadecimal.
  static constexpr char kDigits[] = "0123456789abcdef";
  out += '[';
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t byte = (checksum >> shift) & 0xFF;
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  out += ']';
}

}  // namespace

std::string print_text(const DecodedStream& stream, const std::string& path) {
  std::string out;
  out.reserve(stream.texts.size() + stream.records.size() * 4 + path.size() + 96);
  out += "#/ QB Script version 2\n";
  out += "%include \"";
  out += path;
  out += "_table.qbi\"   #/ Table file\n";

  int64_t indent = 0;
  for (const TokenRecord& r : stream.records) {
    if (r.break_before) new_line(out, indent + r.line_adjust);
    switch (r.name_form) {
      case NameForm::kNone:
        out += stream.text_of(r);
        break;
      case NameForm::kPlain:
        out += '$';
        append_name(out, stream.names, r.checksum);
        out += '$';
        break;
      case NameForm::kCall:
        out += "call $";
        append_name(out, stream.names, r.checksum);
        out += "$ arguments ";
        break;
    }
    indent += r.delta;
    if (r.break_after) new_line(out, indent);
  }

  out += "\n\n#/ END\n";
  return out;
}

}  // namespace qbkit::decompiler
