// The state of one compile: the texts read so far, the reading state of the text being read
// (swapped while an included text is compiled), the output buffer, the name table, the stack
// of open blocks and what the compile reported. The statement loop and the block handlers are
// recursive: each block handler runs the statement loop again for each part of its block.
//
// Mode c and --check run the same code. A problem is reported where it is found, with the
// position where the offending text starts; then, without `check`, the compile ends with the
// Error that mode c prints. With `check`, the statement loop catches that Error and resumes
// after the next line feed, and a problem after which the compile can go on sensibly (an
// unknown name, a block closed by the wrong word) is reported and the compile goes on.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/error.h"
#include "compiler/compiler.h"
#include "compiler/lexer.h"
#include "compiler/output_buffer.h"
#include "compiler/report_log.h"
#include "compiler/sources.h"
#include "qb/name_table.h"

namespace qbkit::compiler {

class BlockGuard;

// The blocks whose opener and closer the structure check pairs.
enum class BlockKind : uint8_t { kFunction, kIf, kDoIf, kWhile, kSwitch, kStruct, kArray };

struct OpenBlock {
  BlockKind kind;
  bool handled;  // opened by a block handler (if, doIf, the switch of the standard layout)
  Place opener;
};

// A problem at `at` in the text being read (or, with `source`, in another one).
struct Problem {
  size_t at;
  std::string_view code;
  std::string message;
  std::string note = {};
  uint32_t source = kCurrentSource;
  static constexpr uint32_t kCurrentSource = UINT32_MAX;
};

class ScriptCompiler {
 public:
  ScriptCompiler(const CompileOptions& options, const SourceLoader& loader, std::ostream* progress)
      : options_(options), loader_(loader), progress_(progress) {}

  // The whole compile of a main text; returns the finished QB bytes (none with `check`).
  Bytes compile(SourceText main);
  // What the compile reported, to `sink` in the order of the text; after compile() returned
  // or threw.
  void flush_reports(DiagnosticSink& sink) { log_.flush(sources_, sink); }

  OutputBuffer& output() { return output_; }
  // Whether a problem concerned the switch words, which the other layout reads differently.
  bool switch_trouble() const { return switch_trouble_; }
  // The main text, as compile() was given it.
  ByteSpan main_text() const { return sources_.text(0); }

  // Deepest nesting of blocks and includes; deeper text is refused rather than overflowing
  // the stack.
  static constexpr int kMaxNesting = 1000;

 private:
  friend class BlockGuard;

  // compiler.cc: the compile driver
  void finish_output();
  // Reports each text whose file another program changed while it was compiled.
  void check_unchanged();

  // include.cc
  void compile_include(size_t at);
  // Starts reading source `id`: a UTF-8 byte-order mark is skipped with a warning; false
  // (after an error) for a UTF-16 text, which is not read.
  bool start_source(uint32_t id);
  void compile_source(uint32_t id, const std::string& identity);
  void reserve_names_for(ByteSpan text);

  // statements.cc
  // Runs until the end of the source or a stop word, and returns that word (the cursor on
  // it), or an empty view at the end of the source.
  std::string_view compile_statements(bool stop_at_default = false);
  std::string_view statement_loop(bool stop_at_default);
  // Blocks and includes nested deeper than kMaxNesting at `at`: refused.
  [[noreturn]] void nested_too_deep(size_t at);
  // Compiles the keyword at the cursor and returns an empty view, or returns the stop word
  // that ends the loop (the cursor left on it).
  std::string_view compile_keyword(bool stop_at_default);
  std::string_view stop_word(std::string_view word, size_t at, bool open);
  std::string_view default_word(std::string_view word, size_t at);
  [[noreturn]] void unknown_text(size_t at);
  void single(uint8_t token);
  void compile_select();

  // blocks.cc
  void compile_conditional(size_t at, bool offsets);
  bool if_stop(size_t at, std::string_view opener, std::string_view stop, std::string_view middle);
  void compile_switch(size_t at);
  bool switch_has_cases(const BlockGuard& block, size_t at, std::string_view first);
  // What stands at the head of a switch's branch: its word, text without one (--check goes on
  // with it as a branch), or the end of the switch.
  enum class Head { kBranch, kLoose, kEnded };
  Head branch_head(const BlockGuard& block, size_t at, const JumpList& breaks);
  void switch_left_open(size_t at);
  std::string unknown_branch_message() const;
  void end_switch(size_t word_at, size_t pending, const JumpList& breaks);
  // A short offset that did not fit its 16 bits is an error at `at`.
  void fits(bool patched, size_t at);

  // structure.cc: the stack of open blocks, shared by braces and blocks
  void open_plain(BlockKind kind, size_t at);
  void close_plain(BlockKind kind, std::string_view word, size_t at, bool middle);
  void close_handled(size_t index, std::string_view word, size_t at);
  // Reports every block above `base` as never closed and takes it off the stack.
  void end_blocks(size_t base);
  std::string block_name(const OpenBlock& b) const;
  std::optional<size_t> innermost_handled() const;

  // names.cc
  void declare_name(size_t at);
  std::optional<uint32_t> find_name_checksum(std::string_view name) const;
  // The checksum of the first entry named exactly `name`, a view into the text being read
  // (whose padding lets the key read 24 bytes from its start).
  std::optional<uint32_t> exact_checksum(std::string_view name) const {
    if (options_.plain) return names_.find_checksum_reference(name);
    return names_.find_checksum(qb::NameKey::of_padded(name.data(), name.size()));
  }
  void unknown_name(std::string_view name, size_t at);
  // Warns when `text` (a string or a name, as `what` says) was turned into UTF-8.
  void check_encoding(std::string_view text, const char* what, size_t at);

  // values.cc
  void compile_name_reference(size_t at);
  static bool is_spaced_name(std::string_view text);
  void compile_percent(std::string_view word, size_t at);
  void compile_integer();
  float read_float_field();
  void compile_string(uint8_t token);

  // colon.cc
  void compile_colon(size_t at);
  void compile_bracket(size_t at, uint8_t c0, uint8_t c1);
  void compile_line_value();
  // The jump commands (":OFFSET(", ":BREAKTO(", ":POS("): false when the cursor is at none.
  bool compile_jump_command(size_t at);
  void compile_end(size_t at);

  // reading.cc: the lexer's readers, with the problem reported when they find none
  // The byte at the cursor must be `c`: passes over it and the blanks after it.
  void expect_char(char c) {
    if (lex_.peek() == static_cast<uint8_t>(c)) {
      lex_.next();
      lex_.skip_blanks();
      return;
    }
    missing_char(c);
  }
  [[noreturn]] void missing_char(char c);
  std::string_view read_word(const char* expected);
  QuotedText read_quoted();

  // report.cc
  // Reports an error; without `check` ends the compile with the Error of mode c (`legacy`,
  // `status`); with it, resumes after the line feed after `resume` (default: the problem).
  [[noreturn]] void fail(Problem p, ExitStatus status, std::string legacy, size_t resume = kNextLine);
  // Reports an error that the compile can go on from: returns with `check`, else as fail().
  void error(Problem p, ExitStatus status, std::string legacy);
  // A structure problem that mode c compiles anyway: a warning there, an error with `check`.
  void finding(Problem p);
  void warning(Problem p);
  // With `check`: leaves the statement after reporting, resuming at `pos`.
  [[noreturn]] void resume_at(size_t pos);
  void record(Severity severity, Problem p, bool placed = true);
  bool qb_file_error(Problem& p);
  int line_of(size_t at) const { return sources_.locate(source_, at).line; }
  std::string shown_at(size_t at) const;
  static constexpr size_t kNextLine = SIZE_MAX;

  CompileOptions options_;
  const SourceLoader& loader_;
  std::ostream* progress_;
  SourceSet sources_;
  ReportLog log_;
  uint32_t source_ = 0;  // the text being read
  Lexer lex_;
  size_t resume_ = 0;  // where the statement loop goes on after an Error, with `check`
  bool switch_trouble_ = false;
  bool silenced_ = false;                 // the main text was refused as a QB file
  std::optional<bool> main_holds_zero_;   // known once asked
  OutputBuffer output_;
  qb::NameTable names_;
  size_t names_reserved_ = 0;
  // The "did you mean" of each unknown name, with the size of the name table it was found in.
  std::unordered_map<std::string, std::pair<size_t, std::string>> advice_;
  std::vector<OpenBlock> blocks_;
  size_t block_base_ = 0;  // the blocks below belong to the texts that include this one
  int if_depth_ = 0;
  int switch_depth_ = 0;
  int nesting_ = 0;
  std::vector<std::string> files_;  // identities of the texts being compiled, outermost first
};

// Opens a block of a block handler for as long as it lives: counted in its depth and on the
// stack of open blocks. Going away, it takes its own entry off the stack; blocks opened inside
// it and left open stay, to be reported where their text ends.
class BlockGuard {
 public:
  BlockGuard(ScriptCompiler& c, BlockKind kind, size_t at);
  ~BlockGuard();
  BlockGuard(const BlockGuard&) = delete;
  BlockGuard& operator=(const BlockGuard&) = delete;
  size_t index() const { return index_; }

 private:
  ScriptCompiler& c_;
  int& depth_;
  size_t index_;
};

}  // namespace qbkit::compiler
