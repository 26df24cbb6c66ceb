// The state of one compile: the reading state of the text being read (swapped while an
// included file is compiled), the output buffer, the name table, the block depths and the
// stack of files being compiled. The statement loop and the block handlers are recursive:
// each block handler runs the statement loop again for each part of its block.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/settings.h"
#include "compiler/compiler.h"
#include "compiler/lexer.h"
#include "compiler/output_buffer.h"
#include "qb/name_table.h"

namespace qbkit::compiler {

class ScriptCompiler {
 public:
  // Progress lines go to `out`, warnings to `err` (none are reported when it is null).
  ScriptCompiler(const Settings& settings, const SourceLoader& loader, std::ostream& out, std::ostream* err = nullptr)
      : settings_(settings), loader_(loader), out_(out), err_(err) {}

  // The whole compile of a main text; returns the finished QB bytes. `shown_name` names the
  // text in warnings.
  Bytes compile(Bytes text, const std::string& identity, const std::string& shown_name);

  OutputBuffer& output() { return output_; }

  // Deepest nesting of blocks and includes; deeper text is refused rather than overflowing
  // the stack.
  static constexpr int kMaxNesting = 1000;
  // Warnings reported by one compile; a text converted whole would otherwise bury the console.
  static constexpr int kMaxWarnings = 20;

 private:
  // statements.cc
  // Runs until the end of the source or a stop word, and returns that word (the cursor on
  // it), or an empty view at the end of the source.
  std::string_view compile_statements(bool stop_at_default = false);
  // Compiles the keyword at the cursor and returns an empty view, or returns the stop word
  // that ends the loop (the cursor left on it).
  std::string_view compile_keyword(bool stop_at_default);
  void single(uint8_t token);
  void compile_if(int line);
  void compile_do_if(int line);
  void compile_switch();
  void compile_select();
  void compile_include(int line);
  void reserve_names_for(const Bytes& text);

  // names.cc
  void declare_name();
  std::optional<uint32_t> find_name_checksum(std::string_view name) const;
  [[noreturn]] void unknown_name(std::string_view name, int line);
  // Warns when `text` (a string or a name, as `what` says) was turned into UTF-8.
  void check_encoding(std::string_view text, const char* what, int line);
  // Counts a warning; true when it is to be written to *err_: not without a stream for
  // warnings, nor past kMaxWarnings, where one line says that the rest are not shown.
  bool take_warning();

  // values.cc
  void compile_name_reference();
  void compile_percent(std::string_view word);
  float read_float_field();
  void compile_string(uint8_t token);

  // colon.cc
  void compile_colon();
  // The jump commands (":OFFSET(", ":BREAKTO(", ":POS("): false when the cursor is at none.
  bool compile_jump_command();

  Settings settings_;
  const SourceLoader& loader_;
  std::ostream& out_;
  std::ostream* err_;
  int warnings_ = 0;
  Lexer lex_;
  OutputBuffer output_;
  qb::NameTable names_;
  int if_depth_ = 0;
  int switch_depth_ = 0;
  int nesting_ = 0;
  std::vector<std::string> files_;  // identities of the files being compiled, outermost first
  std::vector<std::string> shown_;  // and the names that warnings give them
};

}  // namespace qbkit::compiler
