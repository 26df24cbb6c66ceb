// "diff OLD NEW": what changed between two archives, the script text of QB members as a
// unified diff.
#include <algorithm>
#include <ostream>
#include <unordered_map>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "commands/text_diff.h"
#include "common/error.h"
#include "common/format.h"
#include "common/parallel.h"
#include "pre/member_names.h"
#include "qb/words.h"
#include "scripts/archive_scripts.h"

namespace qbkit::commands {
namespace {

constexpr int kContextLines = 3;

struct Side {
  const std::string& path;
  ArchiveFile archive;
  std::vector<scripts::MemberContent> content;
};

// An archive and its members decoded; one that cannot be read whole ends the command with
// status 2.
Side read_side(const std::string& path) {
  try {
    Side side{path, read_archive(path), {}};
    side.content = scripts::read_members(side.archive.members, path, [](size_t, ByteSpan) { return false; });
    return side;
  } catch (const Error& e) {
    throw Error(kExitNoAccess, e.message(), e.echo());
  }
}

// Each member's key: its name as the game looks it up, and which entry of that name it is.
std::vector<std::string> member_keys(const std::vector<pre::Member>& members) {
  std::unordered_map<std::string, int> seen;
  std::vector<std::string> keys;
  for (const pre::Member& m : members) {
    std::string key = pre::member_key(m.name);
    keys.push_back(key + '\0' + std::to_string(seen[key]++));
  }
  return keys;
}

// The %include line names the table file after the member: it is no change.
std::string_view line_key(std::string_view line) {
  return line.size() > 1 && line[0] == '%' && line.substr(1).starts_with(qb::kIncludeWord) ? "%include" : line;
}

// A changed QB member of the two archives: its texts compared.
struct Change {
  size_t old_member;
  size_t new_member;
  std::string report;
};

std::string describe(const Side& old_side, const Side& new_side, const Change& c) {
  const std::string& old_name = old_side.archive.members[c.old_member].name;
  const std::string& new_name = new_side.archive.members[c.new_member].name;
  const scripts::ScriptText a = scripts::decompile_script(old_side.content[c.old_member].bytes,
                                                          scripts::member_file_name(old_name));
  const scripts::ScriptText b = scripts::decompile_script(new_side.content[c.new_member].bytes,
                                                          scripts::member_file_name(new_name));
  const std::string hunks = a.failure.empty() && b.failure.empty()
                                ? unified_diff(a.text, b.text, kContextLines, line_key)
                                : std::string();
  if (hunks.empty()) return format("Changed: %s\n", old_name.c_str());
  return format("--- %s!%s\n+++ %s!%s\n", old_side.path.c_str(), scripts::script_name(old_name).c_str(),
                new_side.path.c_str(), scripts::script_name(new_name).c_str()) +
         hunks;
}

}  // namespace

ExitStatus cmd_diff(const Invocation& call) {
  const Side old_side = read_side(call.args[0]);
  const Side new_side = read_side(call.args[1]);
  const std::vector<std::string> old_keys = member_keys(old_side.archive.members);
  const std::vector<std::string> new_keys = member_keys(new_side.archive.members);
  std::unordered_map<std::string, size_t> new_index;
  for (size_t j = 0; j < new_keys.size(); ++j) new_index.emplace(new_keys[j], j);

  // For each old member in order: its report, or nothing when it is unchanged.
  std::vector<Change> changes;
  std::vector<bool> matched(new_keys.size());
  for (size_t i = 0; i < old_keys.size(); ++i) {
    const std::string& name = old_side.archive.members[i].name;
    const auto it = new_index.find(old_keys[i]);
    if (it == new_index.end()) {
      changes.push_back({i, 0, format("Only in OLD: %s\n", name.c_str())});
      continue;
    }
    matched[it->second] = true;
    const ByteSpan a = old_side.content[i].bytes;
    const ByteSpan b = new_side.content[it->second].bytes;
    if (std::equal(a.begin(), a.end(), b.begin(), b.end())) continue;
    changes.push_back({i, it->second, scripts::is_qb_name(name) ? std::string() : format("Changed: %s\n", name.c_str())});
  }
  run_in_parallel(changes.size(), [&](size_t k) {
    if (changes[k].report.empty()) changes[k].report = describe(old_side, new_side, changes[k]);
  });
  for (const Change& c : changes) call.console.out << c.report;
  bool differ = !changes.empty();
  for (size_t j = 0; j < matched.size(); ++j) {
    if (matched[j]) continue;
    call.console.out << format("Only in NEW: %s\n", new_side.archive.members[j].name.c_str());
    differ = true;
  }
  return differ ? kExitFailure : kExitOk;
}

}  // namespace qbkit::commands
