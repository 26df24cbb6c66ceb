#include "decompiler/decompiler.h"

#include <algorithm>
#include <optional>
#include <ostream>

#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "decompiler/name_index.h"
#include "decompiler/printer.h"
#include "decompiler/stream_scan.h"
#include "decompiler/token_sizes.h"
#include "qb/table_file.h"
#include "qb/words.h"

namespace qbkit {
namespace {

using decompiler::TextWriter;

// The text is a few times the size of the stream: a short one needs no full-size buffer.
size_t text_buffer_size(ByteSpan data, const std::string& path) {
  return std::min(TextWriter::kMaxCapacity, 3 * std::min(data.size(), TextWriter::kMaxCapacity) + path.size() + 256);
}

// The table file's text straight from the stream's name records, in stream order.
void put_table_lines(ByteSpan data, const decompiler::StreamScan& scan, const decompiler::TokenSizes& sizes,
                     TextWriter& out) {
  decompiler::for_each_name_record(data, scan, sizes, [&out](uint32_t checksum, std::string_view name) {
    qb::put_table_line(checksum, name, [&out](std::string_view piece) { out.put(piece); });
  });
}

// A file under a temporary name (see PendingFile); after a failed write it takes nothing more.
class PendingFileSink final : public decompiler::TextSink {
 public:
  explicit PendingFileSink(PendingFile& file) : file_(file) {}
  void write(std::string_view piece) override {
    const ByteSpan bytes(reinterpret_cast<const uint8_t*>(piece.data()), piece.size());
    if (ok_) ok_ = file_.append(std::span<const ByteSpan>(&bytes, 1));
  }
  bool ok() const { return ok_; }

 private:
  PendingFile& file_;
  bool ok_ = true;
};

// The stream's pieces of a decompile, each made once: the scan, the sizes of its tokens and
// the index of its names.
struct Decompilation {
  Decompilation(ByteSpan data, const Settings& settings)
      : data(data), scan(decompiler::scan_stream(data, settings)), sizes(settings.thug1), names(data, scan, sizes) {}

  ByteSpan data;
  decompiler::StreamScan scan;
  decompiler::TokenSizes sizes;
  decompiler::NameIndex names;
};

// decompile_to on a stream already scanned and indexed. Both texts go out through one buffer:
// the text is handed to `text` whole before the table's first byte is written.
void decompile_scanned(const Decompilation& d, const std::string& path, const Settings& settings,
                       decompiler::TextSink& text, decompiler::TextSink* table) {
  TextWriter writer(text, text_buffer_size(d.data, path));
  decompiler::print_text(d.data, d.scan, d.names, path, settings, writer);
  if (table != nullptr) {
    writer.redirect(*table);
    put_table_lines(d.data, d.scan, d.sizes, writer);
  }
  writer.flush();
}

}  // namespace

void decompile_to(ByteSpan data, const std::string& path, const Settings& settings, decompiler::TextSink& text,
                  decompiler::TextSink* table) {
  decompile_scanned(Decompilation(data, settings), path, settings, text, table);
}

Decompiled decompile(ByteSpan data, const std::string& path, const Settings& settings) {
  const Decompilation d(data, settings);
  decompiler::StringSink text;
  decompiler::StringSink table;
  decompile_scanned(d, path, settings, text, &table);
  Decompiled result;
  result.text = std::move(text.text);
  result.table = std::move(table.text);
  decompiler::for_each_name_record(data, d.scan, d.sizes,
                                   [&result](uint32_t checksum, std::string_view name) { result.names.add_name(checksum, name); });
  return result;
}

ExitStatus decompile_file(const std::string& path, const Settings& settings, const Console& console) {
  const std::optional<PageBuffer> file = read_file_paged(path);
  if (!file) throw Error(kExitFailure, "Couldn't open file!");
  const ByteSpan data = file->bytes();
  // A table file that may not be replaced (a device, a FIFO, a file that may not be written)
  // is refused before any text is printed.
  const std::string table_path = link_target(qb::table_file_path(path));
  if (!may_replace(table_path)) throw Error(kExitFailure, "Couldn't create table file!\n");
  const Decompilation d(data, settings);
  // The table file is written under a temporary name that replaces the old file only once the
  // whole table is written. When no temporary can be made, the text is still written.
  std::optional<PendingFile> table = PendingFile::create(table_path);
  std::optional<PendingFileSink> table_sink;
  if (table) table_sink.emplace(*table);
  decompiler::OstreamSink text(console.out);
  decompile_scanned(d, path, settings, text, table_sink ? &*table_sink : nullptr);
  console.out.flush();
  if (!table_sink || !table_sink->ok() || !table->commit()) throw Error(kExitFailure, "Couldn't create table file!\n");
  if (d.scan.unknown) {
    // The text ends in an "Unknown instruction" line: a batch must see that it is partial.
    console.err << format("'%s': the decompile stopped at %08x, before the end of the stream (%llu bytes); "
                          "the text and the table file are incomplete\n",
                          path.c_str(), static_cast<unsigned>(d.scan.end),
                          static_cast<unsigned long long>(data.size()));
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace qbkit
