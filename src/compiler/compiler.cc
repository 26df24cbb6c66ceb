// The compile driver: the main text compiled in one pass, then the name records, the end
// token and the long offsets; and the engine's entry, which hands on what it reported.
#include "compiler/compiler.h"

#include "common/format.h"
#include "compiler/script_compiler.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit {
namespace compiler {

Bytes ScriptCompiler::compile(SourceText main) {
  // A decompiled text is about twice the size of its QB file.
  output_.reserve(main.text.size() / 2 + 64);
  const uint32_t id = sources_.add(std::move(main.text), std::move(main.name), nullptr);
  compile_source(id, main.identity);
  finish_output();
  return options_.check ? Bytes() : output_.take();
}

void ScriptCompiler::finish_output() {
  for (const qb::NameEntry entry : names_.entries()) {
    output_.emit(qb::kNameRecord);
    output_.emit_name_record_operand(entry.checksum, entry.name);
  }
  output_.emit(qb::kEnd);
  while (const std::optional<LongOffset> missing = output_.resolve_long_offsets()) {
    error({missing->from.offset, code::kMissingTarget,
           format("the jump to target %u finds no ':POS(%u)': add it where the jump leads", missing->index,
                  missing->index),
           {}, missing->from.source},
          kExitFailure, format("Offset pointint to non-existing offset %i\n", static_cast<int>(missing->index)));
  }
}

namespace {

// Collects the errors of a compile in the other layout, to tell whether there are any.
struct ErrorCount : DiagnosticSink {
  int errors = 0;
  void report(const Diagnostic& d) override { errors += d.severity == Severity::kError; }
};

// Text of the first game's scripts compiled without -thug1, or the other way round, fails on
// the switch words: when the text compiles without an error in the other layout, say so.
void note_other_layout(const SourceText& main, const CompileOptions& options, const SourceLoader& loader,
                       DiagnosticSink& sink) {
  CompileOptions other = options;
  other.settings.thug1 = !options.settings.thug1;
  other.check = true;
  ErrorCount count;
  ScriptCompiler compiler(other, loader, nullptr);
  compiler.compile(main);
  compiler.flush_reports(count);
  if (count.errors > 0) return;
  sink.report({main.name, 0, 0, Severity::kNote, {},
               other.settings.thug1 ? "the text compiles without errors with -thug1, the layout of the first "
                                      "game's scripts"
                                    : "the text compiles without errors without -thug1, in the standard layout",
               {}});
}

}  // namespace
}  // namespace compiler

Bytes compile_text(SourceText main, const CompileOptions& given, const SourceLoader& loader, DiagnosticSink& sink,
                   std::ostream* progress, Bytes* partial) {
  // A text that unpack wrote in the THUG1 layout says so on its first line.
  CompileOptions options = given;
  if (qb::starts_with_thug1_line(as_text(main.text))) options.settings.thug1 = true;
  compiler::ScriptCompiler compiler(options, loader, progress);
  const std::string name = main.name;
  const std::string identity = main.identity;
  auto finish = [&] {
    compiler.flush_reports(sink);
    if (!compiler.switch_trouble()) return;
    const ByteSpan text = compiler.main_text();
    compiler::note_other_layout({Bytes(text.begin(), text.end()), name, identity}, options, loader, sink);
  };
  try {
    Bytes qb = compiler.compile(std::move(main));
    finish();
    return qb;
  } catch (const Error&) {
    if (partial != nullptr) *partial = compiler.output().take();
    finish();
    throw;
  }
}

}  // namespace qbkit
