// Decompiled text compiles back to the same bytes, in both token layouts.
#include <gtest/gtest.h>

#include "common/error.h"
#include "compiler/compiler.h"
#include "decompiler/decompiler.h"
#include "support/name_table_text.h"

namespace qbkit {
namespace {

Bytes compile(const std::string& text, const std::string& table_name, const std::string& table, bool thug1) {
  Settings settings;
  settings.thug1 = thug1;
  SourceLoader loader = [&](const std::string& name, const std::string&) -> LoadedSource {
    if (name != table_name) return {{}, {}, "no such file"};
    return {Bytes(table.begin(), table.end()), name, {}};
  };
  // Decompiled text draws no diagnostic, but for the made-up checksums of the table here.
  struct None : DiagnosticSink {
    void report(const Diagnostic& d) override {
      if (d.code != code::kChecksumMismatch) ADD_FAILURE() << render(d);
    }
  } none;
  return compile_text({Bytes(text.begin(), text.end()), "main", "main"}, {settings, false}, loader, none);
}

// Decompiles `stream` and compiles the text back.
Bytes round_trip(const Bytes& stream, bool thug1) {
  Settings settings;
  settings.thug1 = thug1;
  Decompiled d = decompile(stream, "x.qb", settings);
  return compile(d.text, "x.qb_table.qbi", test::render_table_file(d.names), thug1);
}

const char* const kTable =
    "#addx 0x11111111 \"Main\"\n#addx 0x22222222 \"value\"\n#addx 0x33333333 \"Birdhouse Team\"\n"
    "#addx 0x44444444 \"Stripe Shirt \"\n#addx 0x55555555 \"PR Deck 17\"\n#addx 0x22222222 \"alias\"\n";

const char* const kCommon =
    ":i function $Main$ :u(02:0000002a)\n"
    ":i $value$ = %i(4294967295,ffffffff) + %i(7,7) - %f(-1.5) * %f(0.1) / %f(3.1415927)\n"
    ":i $Birdhouse Team$ = %vec3(1.0,2.0,3.0) $Stripe Shirt $ = %vec2(0.5,-0.25) $PR Deck 17$\n"
    ":i %s(5,\"hello\") %sc(0,\"\") %GLOBAL% $value$ . $Main$ -> $value$ ; :s{ :a{ :a} :s}\n"
    ":i if NOT $value$ isNull OR ( $value$ < %i(1,1) ) AND $value$ > %i(2,2)\n"
    ":i call $Main$ arguments $value$ :i else :i doIf $value$ :i doElse :i return :i endif :i endif\n"
    ":i while :i continue :i :BREAKTO(0) :i loop_to :POS(0) RandomRange\n"
    ":i select(2f,2, 01 00 a0 ff) :OFFSET(1):OFFSET(2) :i :POS(1) $value$ :i :POS(2)\n"
    ":i select(37,0,) :i endfunction\n";

TEST(RoundTrip, StandardLayout) {
  const std::string text = std::string(kTable) + kCommon +
                           ":i switch $value$ :i case %i(1,1) :i :i endcase case %i(2,2) :i endcase default :i "
                           "end_switch\n:i switch $value$ default :i end_switch\n";
  const Bytes stream = compile(text, "", "", false);
  EXPECT_EQ(round_trip(stream, false), stream);
}

TEST(RoundTrip, Thug1Layout) {
  const std::string text = std::string(kTable) + kCommon +
                           ":i switch $value$ :i case %i(1,1) :i case %i(2,2) :i default :i end_switch\n";
  const Bytes stream = compile(text, "", "", true);
  EXPECT_EQ(round_trip(stream, true), stream);
}

}  // namespace
}  // namespace qbkit
