#include "decompiler/decompiler.h"

#include <optional>
#include <ostream>
#include <sstream>

#include "common/file_io.h"
#include "decompiler/printer.h"
#include "decompiler/stream_scan.h"
#include "decompiler/text_writer.h"
#include "qb/table_file.h"

namespace qbkit {

qb::NameTable decompile_to(ByteSpan data, const std::string& path, const Settings& settings,
                           std::ostream& out) {
  decompiler::StreamScan scan = decompiler::scan_stream(data, settings);
  decompiler::TextWriter writer(out);
  decompiler::print_text(data, scan, path, settings, writer);
  writer.flush();
  return std::move(scan.names);
}

Decompiled decompile(ByteSpan data, const std::string& path, const Settings& settings) {
  std::ostringstream text;
  Decompiled result;
  result.names = decompile_to(data, path, settings, text);
  result.text = std::move(text).str();
  return result;
}

int decompile_file(const std::string& path, const Settings& settings, std::ostream& out) {
  std::optional<Bytes> data = read_file(path);
  if (!data) {
    out << "Couldn't open file!";
    return 1;
  }
  const qb::NameTable names = decompile_to(*data, path, settings, out);
  out.flush();
  if (!qb::write_table_file(path, names)) {
    out << "Couldn't create table file!\n";
    return 1;
  }
  return 0;
}

}  // namespace qbkit
