// "verify ARCHIVE": whether each QB member comes back byte for byte through a decompile and a
// compile, in memory.
#include <algorithm>
#include <optional>
#include <ostream>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "common/error.h"
#include "common/format.h"
#include "common/parallel.h"
#include "compiler/compiler.h"
#include "compiler/diagnostic.h"
#include "qb/words.h"
#include "scripts/archive_scripts.h"

namespace qbkit::commands {
namespace {

// The QB bytes that a text compiles to, its table file read from memory; when it does not
// compile, the bytes made before it failed.
Bytes compile_script(const scripts::ScriptText& script, const std::string& file_name) {
  const std::string table_name = qb::table_file_path(file_name);
  const SourceLoader loader = [&](const std::string& name, const std::string&) -> LoadedSource {
    if (name != table_name) return {{}, {}, "no such file"};
    return {Bytes(script.table.begin(), script.table.end()), table_name, {}};
  };
  struct Unheard : DiagnosticSink {
    void report(const Diagnostic&) override {}
  } unheard;
  Bytes produced;
  try {
    return compile_text({Bytes(script.text.begin(), script.text.end()), file_name, file_name}, {}, loader, unheard,
                        nullptr, &produced);
  } catch (const Error&) {
    return produced;
  }
}

// The line that reports member `name` when it does not come back as `qb`; empty when it does.
std::string check_member(const std::string& name, ByteSpan qb, const scripts::ScriptText& script) {
  if (!script.failure.empty()) return format("'%s': does not decompile: %s\n", name.c_str(), script.failure.c_str());
  const Bytes compiled = compile_script(script, scripts::member_file_name(name));
  if (std::equal(compiled.begin(), compiled.end(), qb.begin(), qb.end())) return {};
  size_t at = 0;
  while (at < compiled.size() && at < qb.size() && compiled[at] == qb[at]) ++at;
  return format("'%s': differs from byte %08x\n", name.c_str(), static_cast<unsigned>(at));
}

}  // namespace

ExitStatus cmd_verify(const Invocation& call) {
  const std::string& path = call.args[0];
  const ArchiveFile archive = read_archive(path);
  const std::vector<scripts::MemberContent> content =
      scripts::read_members(archive.members, path, [](size_t, ByteSpan) { return true; });
  std::vector<std::string> reports(content.size());
  run_in_parallel(content.size(), [&](size_t k) {
    if (content[k].script) reports[k] = check_member(archive.members[k].name, content[k].bytes, *content[k].script);
  });
  int scripts = 0;
  int differ = 0;
  for (size_t k = 0; k < content.size(); ++k) {
    if (!content[k].script) continue;
    ++scripts;
    if (reports[k].empty()) continue;
    ++differ;
    call.console.out << reports[k];
  }
  call.console.out << format("%d scripts: %d identical", scripts, scripts - differ)
                   << (differ == 0 ? "\n" : format(", %d differ\n", differ));
  return differ == 0 ? kExitOk : kExitFailure;
}

}  // namespace qbkit::commands
