// The names of a script text as the language server needs them: every name between dollar
// signs and every "#addx" line, as the name finder of --refs finds them (so that the server
// and --refs never disagree), and, from one more pass over the bytes, the functions with their
// extent and the "%include" lines. Comments and quoted texts are passed over, so a dollar sign
// or a keyword inside them counts for nothing. The scan judges nothing: what does not read as
// one of these is skipped, and the diagnostics say what is wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qbkit::lsp {

// A stretch of the text, by offsets, so that the scan stays valid when its text moves.
struct Span {
  size_t start = 0;
  size_t end = 0;
  std::string_view in(std::string_view text) const { return text.substr(start, end - start); }
};

// "$name$": `whole` from the first dollar sign to after the second, `name` what stands
// between them.
struct NameMention {
  Span whole;
  Span name;
  uint32_t checksum = 0;  // the game's checksum of the name, or the one "$[cdab3412]$" shows
};

// "#addx 0xCHECKSUM \"NAME\"" or "#addx \"NAME\"".
struct NameDeclaration {
  Span line;  // from the '#' to the end of the closing quote
  Span name;  // between the quotes
  uint32_t checksum = 0;  // as declared, or the game's checksum of the name
};

// "function $name$ ... endfunction"; a function without its closer ends where the next one
// starts, or at the end of the text. The name finder tells which names define a function.
struct FunctionExtent {
  Span whole;  // from "function" to after "endfunction"
  Span body;   // from after its name to "endfunction"
  size_t name_index = 0;  // its name, in ScriptScan::names
};

// "%include \"FILE\"".
struct IncludeLine {
  Span line;  // from the '%' to the end of the closing quote
  Span file;
};

struct ScriptScan {
  std::vector<NameMention> names;  // in text order, function names among them
  std::vector<NameDeclaration> declarations;
  std::vector<FunctionExtent> functions;
  std::vector<IncludeLine> includes;
};

ScriptScan scan_script(std::string_view text);

// The name at `offset`: of the "$name$" that holds it (either dollar sign included), or the
// name of the declaration whose quoted name holds it; nullopt elsewhere.
std::optional<NameMention> name_at(std::string_view text, const ScriptScan& scan, size_t offset);

}  // namespace qbkit::lsp
