#include "decompiler/decompiler.h"

#include <optional>
#include <ostream>

#include "common/file_io.h"
#include "decompiler/decoder.h"
#include "decompiler/printer.h"
#include "qb/table_file.h"

namespace qbkit {

Decompiled decompile(ByteSpan data, const std::string& path, const Settings& settings) {
  decompiler::DecodedStream stream = decompiler::decode_stream(data, settings);
  Decompiled result;
  result.text = decompiler::print_text(stream, path);
  result.names = std::move(stream.names);
  return result;
}

int decompile_file(const std::string& path, const Settings& settings, std::ostream& out) {
  std::optional<Bytes> data = read_file(path);
  if (!data) {
    out << "Couldn't open file!";
    return 1;
  }
  const Decompiled result = decompile(*data, path, settings);
  out.write(result.text.data(), static_cast<std::streamsize>(result.text.size()));
  out.flush();
  if (!qb::write_table_file(path, result.names)) {
    out << "Couldn't create table file!\n";
    return 1;
  }
  return 0;
}

}  // namespace qbkit
