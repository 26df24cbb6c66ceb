#include "decompiler/decompiler.h"

#include <algorithm>
#include <optional>
#include <ostream>

#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "common/input_bytes.h"
#include "common/mapped_file.h"
#include "common/processors.h"
#include "decompiler/layout.h"
#include "decompiler/name_index.h"
#include "decompiler/parallel_printer.h"
#include "decompiler/printer.h"
#include "decompiler/stream_scan.h"
#include "decompiler/token_sizes.h"
#include "qb/table_file.h"
#include "qb/words.h"

namespace qbkit {
namespace {

using decompiler::TextWriter;

// The text is a few times the size of the stream: a short one needs no full-size buffer. (In
// pieces of 64 KiB rather than 1 MiB, the decompile of the benchmark's script took 4% longer:
// more calls of the system.)
size_t text_buffer_size(ByteSpan data, const std::string& path) {
  return std::min(TextWriter::kMaxCapacity, 3 * std::min(data.size(), TextWriter::kMaxCapacity) + path.size() + 256);
}

constexpr size_t kChunkedWriterCapacity = size_t{64} << 10;

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

// The stream's pieces of a decompile, each made once: the sizes of its tokens, the layout
// rules, the scan and the index of its names.
struct Decompilation {
  Decompilation(ByteSpan data, const Settings& settings, const DecompileOptions& options)
      : data(data), settings(settings), options(options), sizes(settings.thug1), layout(settings),
        plan{layout, options.chunk_bytes}, scan(decompiler::scan_stream(data, sizes, chunked() ? &plan : nullptr, options.plain)),
        names(data, scan, sizes) {}

  // Whether the text is printed in chunks: on two threads, and with two chunks at least.
  bool chunked() const { return options.threads >= 2 && !options.plain && data.size() >= 2 * options.chunk_bytes; }
  decompiler::PrintSource source() const { return {data, scan, names, settings, layout}; }

  ByteSpan data;
  const Settings& settings;
  const DecompileOptions& options;
  decompiler::TokenSizes sizes;
  decompiler::Layout layout;
  decompiler::ChunkPlan plan;
  decompiler::StreamScan scan;
  decompiler::NameIndex names;
};

// The text and the table's text of a stream already scanned and indexed. Both go out through
// one buffer: the text is handed to `text` whole before the table's first byte is written.
void decompile_scanned(const Decompilation& d, const std::string& path, decompiler::TextSink& text,
                       decompiler::TextSink* table) {
  const decompiler::PrintSource source = d.source();
  // Printed in chunks, the text goes out from the chunks' own buffers; this one holds the
  // header, the footer and the ends of chunks longer than their buffers.
  const bool chunked = d.scan.chunks.size() >= 2;
  TextWriter writer(text, chunked ? kChunkedWriterCapacity : text_buffer_size(d.data, path));
  decompiler::TokenPrinter::print_header(writer, path);
  if (!chunked || !decompiler::print_tokens_in_parallel(source, d.options.chunk_bytes, writer))
    decompiler::print_tokens(source, writer, d.options.plain);
  decompiler::TokenPrinter(source, decompiler::PrintState{d.scan.end}).print_footer(writer);
  if (table != nullptr) {
    writer.redirect(*table);
    put_table_lines(d.data, d.scan, d.sizes, writer);
  }
  writer.flush();
}

// A large QB file is mapped rather than read into pages: no zeroed pages to read it into and
// no copy. The whole decompile of the benchmark's 7.8 MB script took 3% less time (paired
// runs in both orders, one processor).
std::optional<InputBytes> read_stream(const std::string& path) {
  if (std::optional<MappedFile> mapped = MappedFile::map(path, 0)) return InputBytes(std::move(*mapped));
  std::optional<PageBuffer> pages = read_file_paged(path);
  if (!pages) return std::nullopt;
  return InputBytes(std::move(*pages));
}

}  // namespace

void decompile_to(ByteSpan data, const std::string& path, const Settings& settings, decompiler::TextSink& text,
                  decompiler::TextSink* table, const DecompileOptions& options) {
  decompile_scanned(Decompilation(data, settings, options), path, text, table);
}

Decompiled decompile(ByteSpan data, const std::string& path, const Settings& settings,
                     const DecompileOptions& options) {
  const Decompilation d(data, settings, options);
  decompiler::StringSink text;
  decompiler::StringSink table;
  decompile_scanned(d, path, text, &table);
  Decompiled result;
  result.text = std::move(text.text);
  result.table = std::move(table.text);
  if (d.scan.unknown) result.stopped_at = d.scan.end;
  decompiler::for_each_name_record(data, d.scan, d.sizes,
                                   [&result](uint32_t checksum, std::string_view name) { result.names.add_name(checksum, name); });
  return result;
}

ExitStatus decompile_file(const std::string& path, const Settings& settings, const Console& console,
                          const std::string& output) {
  const std::optional<InputBytes> file = read_stream(path);
  if (!file) throw Error(kExitFailure, "Couldn't open file!");
  const ByteSpan data = *file;
  // A table file that may not be replaced (a device, a FIFO, a file that may not be written)
  // is refused before any text is printed.
  const std::string table_path = link_target(qb::table_file_path(path));
  if (!may_replace(table_path)) throw Error(kExitFailure, "Couldn't create table file!\n");
  DecompileOptions options;
  options.threads = std::min(2u, usable_processors());
  const Decompilation d(data, settings, options);
  // The table file is written under a temporary name that replaces the old file only once the
  // whole table is written. When no temporary can be made, the text is still written.
  std::optional<PendingFile> table = PendingFile::create(table_path);
  std::optional<PendingFileSink> table_sink;
  if (table) table_sink.emplace(*table);
  // The text of -o goes the same way, after the table file.
  std::optional<PendingFile> text_file =
      output.empty() ? std::nullopt : PendingFile::create(link_target(output));
  std::optional<PendingFileSink> file_sink;
  if (text_file) file_sink.emplace(*text_file);
  if (!output.empty() && !file_sink) throw Error(kExitFailure, format("Couldn't create file '%s'!\n", output.c_str()));
  decompiler::OstreamSink console_sink(console.out);
  decompiler::TextSink& text = file_sink ? static_cast<decompiler::TextSink&>(*file_sink) : console_sink;
  decompile_scanned(d, path, text, table_sink ? &*table_sink : nullptr);
  console.out.flush();
  // Another program changed the mapped file meanwhile: the text may hold bytes that are not
  // the file's, and the table file and the file of -o are not replaced.
  if (file->changed()) throw Error(kExitFailure, format("File '%s' changed while it was decompiled\n", path.c_str()));
  if (!table_sink || !table_sink->ok() || !table->commit()) throw Error(kExitFailure, "Couldn't create table file!\n");
  if (file_sink && (!file_sink->ok() || !text_file->commit()))
    throw Error(kExitFailure, format("Couldn't create file '%s'!\n", output.c_str()));
  if (d.scan.unknown) {
    // The text ends in an "Unknown instruction" line: a batch must see that it is partial.
    console.err << format("'%s': the decompile stopped at %08x, before the end of the stream (%llu bytes); "
                          "the text and the table file are incomplete\n",
                          path.c_str(), static_cast<unsigned>(d.scan.end),
                          static_cast<unsigned long long>(data.size()));
    return kExitFailure;
  }
  if (!data.empty() && !d.scan.end_token) {
    // A file cut short loses its name records, which come last, without another sign.
    console.err << format("'%s': the stream ends at %08llx without its end token; the file may be cut short\n",
                          path.c_str(), static_cast<unsigned long long>(data.size()));
  }
  return kExitOk;
}

}  // namespace qbkit
