// The engine on a workspace in a temporary folder, as the protocol drives it: each feature's
// exact answer, and the diagnostics as --check's compile engine gives them, in the file each
// is about.
#include "lsp/script_engine.h"

#include <gtest/gtest.h>

#include "cli/cli_util.h"
#include "common/name_checksum.h"
#include "lsp/archive_index.h"
#include "lsp/uri.h"
#include "scripts/script_text.h"
#include "support/archive_files.h"
#include "support/qb_stream.h"

namespace qbkit::lsp {
namespace {

const char kTable[] = "#addx 0x7a26bb9d \"count\"\n#addx \"main\"\n#addx \"Load_TestLevel\"\n";
const char kScript[] =
    "%include \"t.qbi\"\n"
    ":i function $main$\n"
    "\t:i $count$ = $load_testlevel$\n"
    ":i endfunction\n"
    ":i :end\n";
const char kLevels[] =
    "#addx \"Load_TestLevel\"\n"
    ":i function $Load_TestLevel$\n"
    "\t:i \n"
    "\t:i $Load_TestLevel$\n"
    ":i endfunction\n"
    ":i :end\n";

class ScriptEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("t.qbi", kTable);
    dir.write("levels.qbs", kLevels);
    engine.configure({{dir.path()}, {}});
  }
  std::string uri(const std::string& name) const { return uri_from_path(dir.path() / name); }
  std::vector<DocumentDiagnostics> open(const std::string& name, const std::string& text, int64_t version = 1) {
    return engine.diagnose(store.open(uri(name), version, text), store);
  }
  const Document& doc(const std::string& name) const { return *store.find(uri(name)); }

  test::TempDir dir;
  DiskFiles files;
  ScriptEngine engine{files};
  DocumentStore store;
};

// What a diagnostics answer says, one line each: "URI-NAME LINE:COLUMN-LINE:COLUMN CODE MESSAGE".
std::vector<std::string> lines(const std::vector<DocumentDiagnostics>& all) {
  std::vector<std::string> out;
  for (const DocumentDiagnostics& d : all) {
    const std::string file = d.uri.substr(d.uri.rfind('/') + 1);
    if (d.diagnostics.empty()) out.push_back(file + " clean");
    for (const Diagnostic& x : d.diagnostics) {
      out.push_back(file + " " + std::to_string(x.range.start.line) + ":" + std::to_string(x.range.start.column) +
                    "-" + std::to_string(x.range.end.line) + ":" + std::to_string(x.range.end.column) + " " +
                    x.code + " " + x.message);
    }
  }
  return out;
}

TEST_F(ScriptEngineTest, DiagnosticsStandWhereTheCheckFindsThemInEachFile) {
  // ISO 8859-1 letters count one column each; a character above U+00FF is one byte too.
  const std::string not_latin1 = std::string(kScript) + "#/ \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\n";
  EXPECT_EQ(lines(open("a.qbs", not_latin1)),
            (std::vector<std::string>{
                "a.qbs 5:4-5:5 not-latin1 U+20AC is no character of ISO 8859-1 (Latin-1): the game reads one byte "
                "per character, and the file cannot hold this one; type a character up to U+00FF",
                "a.qbs 5:5-5:6 not-latin1 U+1F600 is no character of ISO 8859-1 (Latin-1): the game reads one byte "
                "per character, and the file cannot hold this one; type a character up to U+00FF"}));
  const std::string latin1 = "%include \"t.qbi\"\n:i $count$ = %s(0,\"\xc3\xa9t\xc3\xa9\") $cuont$\n";
  const std::string unknown = "a.qbs 1:25-1:32 unknown-name name 'cuont' is unknown; did you mean 'count'?";
  EXPECT_EQ(lines(open("a.qbs", latin1, 2)), std::vector<std::string>{unknown});

  // A finding in the table file goes to the table file; its new text in the editor checks
  // the script again, and closing it brings back what the disk holds.
  const std::string mismatch =
      "t.qbi 1:6-1:16 checksum-mismatch \"cuont\" is declared with the checksum 0x12345678, but the game's "
      "checksum of that name is 0x54332ac0; compiled as declared";
  EXPECT_EQ(lines(open("t.qbi", "#addx \"count\"\n#addx 0x12345678 \"cuont\"\n")),
            (std::vector<std::string>{mismatch, "a.qbs clean"}));
  store.close(uri("t.qbi"));
  EXPECT_EQ(lines(engine.closed(uri("t.qbi"), store)), (std::vector<std::string>{"t.qbi clean", unknown}));
}

TEST_F(ScriptEngineTest, HoverDefinitionOutlineCompletionAndQuickFixKnowTheWorkspace) {
  open("a.qbs", kScript);
  const Document& a = doc("a.qbs");
  // A call in another case: its checksum finds the function of another file.
  const std::optional<Hover> hover = engine.hover(a, {2, 18});
  ASSERT_TRUE(hover);
  EXPECT_EQ(hover->markdown,
            "`$load_testlevel$` checksum `0x9eb50d26`\n\nDeclared in t.qbi, line 3:\n\n    #addx \"Load_TestLevel\""
            "\n\nFunction in levels.qbs, line 2; its body starts:\n\n    :i $Load_TestLevel$");
  EXPECT_EQ(hover->range, (TextRange{{2, 14}, {2, 30}}));
  EXPECT_FALSE(engine.hover(a, {2, 12}));  // the '=' between two names
  const std::vector<Location> function = engine.definition(a, {2, 20});
  ASSERT_EQ(function.size(), 1u);
  EXPECT_EQ(function[0].uri, uri("levels.qbs"));
  EXPECT_EQ(function[0].range, (TextRange{{1, 3}, {1, 28}}));
  // A name that no function has: its declaration.
  const std::vector<Location> declared = engine.definition(a, {2, 6});
  ASSERT_EQ(declared.size(), 1u);
  EXPECT_EQ(declared[0].uri, uri("t.qbi"));
  EXPECT_EQ(declared[0].range, (TextRange{{0, 0}, {0, 24}}));

  const std::vector<Symbol> symbols = engine.symbols(a);
  ASSERT_EQ(symbols.size(), 1u);
  EXPECT_EQ(symbols[0].name, "main");
  EXPECT_EQ(symbols[0].range, (TextRange{{1, 3}, {3, 14}}));
  EXPECT_EQ(symbols[0].selection, (TextRange{{1, 12}, {1, 18}}));

  // Between dollar signs, names: those that start with the typed text first, then those that
  // hold it; outside, names between signs and keywords; in a comment, nothing.
  open("a.qbs", std::string(kScript) + "#/ $c\n#addx \"recount\"\n:i $co\n:i end", 2);
  const auto labels = [&](TextPosition at) {
    std::vector<std::string> out;
    for (const CompletionItem& item : engine.completion(a, at).items) out.push_back(item.label + item.insert_text);
    return out;
  };
  EXPECT_EQ(labels({2, 5}), (std::vector<std::string>{"recount", "count", "main", "Load_TestLevel"}));
  EXPECT_EQ(labels({7, 6}), (std::vector<std::string>{"count", "recount"}));
  EXPECT_EQ(labels({8, 6}), (std::vector<std::string>{"endfunction", "endif", "end_switch", "endcase"}));
  const std::vector<CompletionItem> outside = engine.completion(a, {1, 3}).items;
  EXPECT_EQ(outside.front().insert_text, "$recount$");
  EXPECT_TRUE(std::any_of(outside.begin(), outside.end(), [](const CompletionItem& i) { return i.label == "endfunction"; }));
  EXPECT_TRUE(engine.completion(a, {5, 5}).items.empty());

  // Declare NAME: a line at the end of the first table file the text includes.
  open("a.qbs", "%include \"t.qbi\"\n:i $spin_faster$\n", 3);
  const std::vector<CodeAction> actions = engine.code_actions(a, {}, {{{{1, 3}, {1, 16}}, Severity::kError, "unknown-name", "x"}});
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].title, "Declare spin_faster");
  ASSERT_EQ(actions[0].edits.size(), 1u);
  EXPECT_EQ(actions[0].edits[0].uri, uri("t.qbi"));
  EXPECT_EQ(actions[0].edits[0].range, (TextRange{{3, 0}, {3, 0}}));
  EXPECT_EQ(actions[0].edits[0].new_text, "#addx \"spin_faster\"\n");
  // Without an include, at the top of the text.
  open("a.qbs", ":i $spin_faster$\n", 4);
  const std::vector<CodeAction> top = engine.code_actions(a, {}, {{{{0, 3}, {0, 16}}, Severity::kError, "unknown-name", "x"}});
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].edits[0].uri, uri("a.qbs"));
  EXPECT_EQ(top[0].edits[0].range, (TextRange{}));
}

// A script member that defines $Load_TestLevel$, which the workspace defines too, and $Spin$,
// which it does not; and one that does not decompile.
Bytes game_archive() {
  const uint32_t spin = name_checksum("Spin"), level = name_checksum("Load_TestLevel");
  Bytes qb = test::QbStream()
                 .op(qb::kLineBreak).op(qb::kFunction).op32(qb::kName, level).op(qb::kLineBreak)
                 .op32(qb::kName, spin).op(qb::kLineBreak).op(qb::kEndFunction).op(qb::kLineBreak)
                 .op(qb::kFunction).op32(qb::kName, spin).op(qb::kLineBreak).op(qb::kEndFunction)
                 .op(qb::kLineBreak).name_record(spin, "Spin").name_record(level, "Load_TestLevel").op(qb::kEnd).take();
  return test::archive_file({{"scripts\\game\\spin.qb", qb}, {"scripts\\bad.qb", {qb::kLineBreak, 0xFF}}});
}

// Where locations stand, one line each: "FILE LINE:COLUMN", FILE the last part of the URI.
std::vector<std::string> places(const std::vector<Location>& found) {
  std::vector<std::string> out;
  for (const Location& l : found)
    out.push_back(l.uri.substr(l.uri.rfind('/') + 1) + " " + std::to_string(l.range.start.line) + ":" +
                  std::to_string(l.range.start.column));
  return out;
}

TEST_F(ScriptEngineTest, ArchivesServeTheirMembersDefinitionsTheWorkspaceLacksAndReferences) {
  const Bytes archive = game_archive();
  dir.write("qb.pre", std::string(archive.begin(), archive.end()));
  const std::vector<std::string> told = engine.configure({{dir.path()}, {dir.path() / "qb.pre", dir.path() / "none.pre"}});
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0], "qbkit.archives: '" + (dir.path() / "qb.pre").generic_string() + "': 1 of its scripts do not decompile and are not searched");
  EXPECT_TRUE(told[1].starts_with("qbkit.archives: '" + (dir.path() / "none.pre").generic_string() + "' cannot be read: "));

  const std::string member = "qbkit-member:/qb.pre/scripts/game/spin.qbs";
  const std::optional<std::string> text = engine.member_text(member);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, scripts::decompile_script(test::archive_members(archive)[0].data, "spin.qb").text);
  EXPECT_EQ(engine.member_text("qbkit-member:/qb%2Epre/scripts/game/spin.qbs"), text);
  EXPECT_FALSE(engine.member_text("qbkit-member:/qb.pre/scripts/bad.qbs"));

  open("a.qbs", std::string(kScript) + ":i $spin$\n");
  const Document& a = doc("a.qbs");
  EXPECT_EQ(places(engine.definition(a, {2, 20})), std::vector<std::string>{"levels.qbs 1:3"});
  EXPECT_EQ(places(engine.definition(a, {5, 5})), std::vector<std::string>{"spin.qbs 6:3"});
  EXPECT_NE(engine.hover(a, {5, 5})->markdown.find("Function in qb.pre!scripts/game/spin.qbs, line 7"), std::string::npos);
  EXPECT_EQ(places(engine.references(a, {2, 20}, true)),
            (std::vector<std::string>{"a.qbs 2:14", "levels.qbs 0:0", "levels.qbs 1:3", "levels.qbs 3:4", "t.qbi 2:0",
                                      "spin.qbs 3:3"}));
  EXPECT_EQ(places(engine.references(a, {2, 20}, false)),
            (std::vector<std::string>{"a.qbs 2:14", "levels.qbs 3:4"}));

  // The member as the editor shows it: no diagnostics, and its names known.
  EXPECT_EQ(lines(engine.diagnose(store.open(member, 1, *text), store)), std::vector<std::string>{"spin.qbs clean"});
  EXPECT_EQ(places(engine.definition(*store.find(member), {4, 6})), std::vector<std::string>{"spin.qbs 6:3"});
  // Its declarations stand in its own table file, which is served as the member is.
  EXPECT_NE(engine.hover(*store.find(member), {4, 6})->markdown.find("Declared in qb.pre!scripts/game/spin.qb_table.qbi, line "),
            std::string::npos);
  EXPECT_EQ(engine.member_text("qbkit-member:/qb.pre/scripts/game/spin.qb_table.qbi"),
            scripts::decompile_script(test::archive_members(archive)[0].data, "spin.qb").table);
}

}  // namespace
}  // namespace qbkit::lsp
