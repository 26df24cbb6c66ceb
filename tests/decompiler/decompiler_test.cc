#include "decompiler/decompiler.h"

#include <gtest/gtest.h>

#include <random>

#include "common/error.h"
#include "common/format.h"
#include "support/qb_stream.h"
#include "support/name_table_text.h"
#include "qb/tokens.h"

namespace qbkit {
namespace {

using test::QbStream;
using namespace qb;

constexpr char kHeader[] = "#/ QB Script version 2\n%include \"t.qb_table.qbi\"   #/ Table file\n";
constexpr char kFooter[] = "\n\n#/ END\n";

// The text between the two header lines and the footer, which every decompile must have.
std::string body(ByteSpan data, Settings settings = {}) {
  std::string text = decompile(data, "t.qb", settings).text;
  const std::string header = kHeader, footer = kFooter;
  EXPECT_EQ(text.substr(0, header.size()), header);
  EXPECT_GE(text.size(), header.size() + footer.size());
  EXPECT_EQ(text.substr(text.size() - footer.size()), footer);
  if (text.size() < header.size() + footer.size()) return text;
  return text.substr(header.size(), text.size() - header.size() - footer.size());
}

Settings thug1() { return Settings{true, false}; }
Settings debug() { return Settings{false, true}; }

TEST(Decompile, WorkedExampleWithNamesRecordedAfterTheirUse) {
  const uint32_t a = 0x11223344, b = 0xa0b0c0d0;
  QbStream s;
  s.op(kLineBreak).op(kFunction).op32(kName, a).op(kLineBreak).op32(kName, b).op(kEquals)
      .op32(kInteger, 5).op(kLineBreak).op(kEndFunction).op(kLineBreak)
      .name_record(a, "foo").name_record(b, "bar").op(kEnd);
  Decompiled d = decompile(s, "x.qb", {});
  EXPECT_EQ(d.text,
            "#/ QB Script version 2\n"
            "%include \"x.qb_table.qbi\"   #/ Table file\n"
            "\n"
            ":i function $foo$\n"
            "\t:i $bar$ = %i(5,00000005)\n"
            ":i endfunction\n"
            ":i :end\n"
            "\n"
            "\n"
            "#/ END\n");
  ASSERT_EQ(d.names.size(), 2u);
  EXPECT_EQ(d.names.entries()[0].name, "foo");
  EXPECT_EQ(d.names.entries()[1].name, "bar");
}

TEST(Decompile, EmptyAndEndOnlyStreams) {
  EXPECT_EQ(decompile(Bytes{}, "t.qb", {}).text, std::string(kHeader) + kFooter);
  EXPECT_EQ(body(QbStream().op(kEnd)), ":end\n");
  // Nothing after the end token is read, not even a name record.
  Decompiled d = decompile(QbStream().op(kEnd).name_record(1, "late"), "t.qb", {});
  EXPECT_TRUE(d.names.empty());
}

TEST(Decompile, LineBreakRule) {
  // A leading line break gives an empty line after the header.
  EXPECT_EQ(body(QbStream().op(kLineBreak).op(kEnd)), "\n:i :end\n");
  // Two line breaks in a row: the second stands one tab left, and the depth stays lower.
  EXPECT_EQ(body(QbStream().op(kFunction).op(kLineBreak).op(kLineBreak).op(kEquals)
                     .op(kLineBreak).op(kEnd)),
            "function \n\t:i \n:i  = \n:i :end\n");
  // A line value is a line break too and prints its value unswapped.
  EXPECT_EQ(body(QbStream().op32(kLineValue, 0x12345678).op(kLineBreak).op(kEnd)),
            "\n:u(02:12345678)\n:i :end\n");
}

TEST(Decompile, ClosingWordsStandOneTabLeft) {
  for (uint8_t closer : {kStructClose, kLoopTo, kEndFunction, kDoElse, kEndIf}) {
    QbStream s;
    s.op(kFunction).op(kFunction).op(kLineBreak).op(closer);
    const std::string word(token_info(closer)->text);
    EXPECT_EQ(body(s), "function function \n\t:i " + word) << word;
  }
  QbStream s;
  s.op(kFunction).op(kIf).u16(0).op(kLineBreak).op(kElse).u16(0);
  EXPECT_EQ(body(s), "function if \n\t:i else ");
}

TEST(Decompile, CallFormOfANameFollowedByAName) {
  QbStream s;
  s.name_record(1, "a").name_record(2, "b").name_record(3, "c").name_record(4, "d");
  s.op32(kName, 1).op32(kName, 2).op32(kName, 3).op(kLineBreak).op32(kName, 4).op(kEnd);
  EXPECT_EQ(body(s), "call $a$ arguments \n\t$b$$c$\n:i $d$:end\n");
}

TEST(Decompile, NamesWithoutEntriesAndDuplicateEntries) {
  QbStream s;
  s.raw({kName, 0x01, 0x02, 0x03, 0x04}).op(kEquals).op32(kName, 7);
  s.name_record(7, "first").name_record(7, "second");
  Decompiled d = decompile(s, "t.qb", {});
  EXPECT_NE(d.text.find("$[01020304]$ = $first$"), std::string::npos);
  EXPECT_EQ(d.names.size(), 2u);
  // A name token that ends the data has no following byte and takes the plain form.
  EXPECT_EQ(body(QbStream().op32(kName, 9)), "$[09000000]$");
}

TEST(Decompile, ValueTexts) {
  QbStream s;
  s.op32(kInteger, 0xFFFFFFFF).string(kString, "").string(kLocalString, "say \"hi\"");
  s.op(kFloat).f32(-0.25f).op(kVector3).f32(1).f32(2).f32(3).op(kVector2).f32(0.5f).f32(0);
  EXPECT_EQ(body(s),
            "%i(4294967295,ffffffff)%s(0,\"\")%sc(8,\"say \"hi\"\")%f(-0.250000)"
            "%vec3(1.000000,2.000000,3.000000)%vec2(0.500000,0.000000)");
  // The stored length is printed; the text ends at its first NUL.
  EXPECT_EQ(body(QbStream().op(kString).u32(4).raw({'a', 0, 'b', 0}).op(kEnd)),
            "%s(3,\"a\"):end\n");
}

TEST(Decompile, FloatsKeepTheirExactValue) {
  QbStream s;
  s.op(kFloat).u32(0x3faaaaaa).op(kVector2).u32(0x40490fdb).f32(10);
  s.op(kVector3).f32(1.5f).u32(0x3faaaaaa).f32(-2);
  EXPECT_EQ(body(s), "%f(1.3333333)%vec2(3.1415927,10.000000)%vec3(1.500000,1.3333333,-2.000000)");
}

TEST(Decompile, RandomRangeBeforeAVector) {
  QbStream s;
  s.op(kEquals).op(kRandomRange).op(kVector2).f32(5).f32(10).op(kLineBreak).op(kEnd);
  EXPECT_EQ(body(s), " = RandomRange %vec2(5.000000,10.000000)\n:i :end\n");
}

TEST(Decompile, UnknownOpcodeEndsTheTextButKeepsTheNames) {
  QbStream s;
  s.name_record(5, "five");
  while (s.size() < 0x2A) s.op(kEquals);
  s.op(0x1D).op(kLineBreak).op(kEnd);
  Decompiled d = decompile(s, "t.qb", {});
  EXPECT_NE(d.text.find(" = Unknown instruction at 0000002a:1d\n\n#/ END\n"), std::string::npos);
  EXPECT_EQ(d.names.size(), 1u);
  EXPECT_EQ(body(QbStream().op(kEquals).op(0xFF)), " = Unknown instruction at 00000001:ff");
}

// Every operand kind cut short: the token becomes the unknown-instruction record at its own
// opcode, and nothing past the data is read (the sanitizer builds check the latter).
TEST(Decompile, TruncatedOperandsStopAtTheToken) {
  const std::vector<Bytes> cut = {
      {kName, 1, 2, 3},
      {kInteger, 1},
      {kFloat},
      {kVector2, 0, 0, 0, 0, 0, 0, 0},
      {kVector3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {kLineValue, 1, 2},
      {kIf, 1},
      {kElse},
      {kEndCase, 4},
      {kCase, kEndCase, 4},
      {kBreakTo, 0, 0, 0},
      {kString, 2, 0},
      {kString, 5, 0, 0, 0, 'a', 'b', 0},  // length runs past the end
      {kLocalString, 2, 0, 0, 0, 'a', 'b'},  // no NUL within its bytes
      {kString, 0, 0, 0, 0, 0},            // no byte left for the NUL at all
      {kNameRecord, 1, 2, 3},
      {kNameRecord, 1, 2, 3, 4, 'a', 'b'},  // name without its NUL
      {kSelect2F, 1, 0, 0},
      {kSelect37, 1, 0, 0, 0, 1, 0, 0, 0, 0},  // one branch needs six bytes
  };
  for (const Bytes& token : cut) {
    Bytes data = {kEquals};
    data.insert(data.end(), token.begin(), token.end());
    EXPECT_EQ(body(data), format(" = Unknown instruction at 00000001:%x", token[0]))
        << "opcode " << int(token[0]);
  }
  // In the THUG1 layout a case has no operand, so a lone case byte is complete.
  EXPECT_EQ(body(Bytes{kCase}, thug1()), "case ");
}

TEST(Decompile, StandardSwitchComesBackToItsDepth) {
  QbStream s;
  s.op(kFunction).op(kLineBreak).op(kSwitch).op32(kName, 1);
  s.op(kLineBreak).op(kCase).op(kEndCase).u16(0).op32(kInteger, 1);
  s.op(kLineBreak).op(kEndCase).u16(0);
  s.op(kLineBreak).op(kDefault).op(kEndCase).u16(0);
  s.op(kLineBreak).op(kEndSwitch).op(kLineBreak).op(kEndFunction);
  EXPECT_EQ(body(s),
            "function \n"
            "\t:i switch $[01000000]$\n"
            "\t\t:i case %i(1,00000001)\n"
            "\t\t\t:i endcase\n"
            "\t\t\n"
            "\t\t:i default \n"
            "\t\t\t:i end_switch\n"
            "\t\n"
            ":i endfunction");
}

TEST(Decompile, Thug1SwitchLayout) {
  QbStream s;
  s.op(kSwitch).op(kLineBreak).op(kCase).op(kLineBreak).op(kDefault).op(kLineBreak)
      .op(kEndSwitch).op(kLineBreak).op(kEnd);
  EXPECT_EQ(body(s, thug1()), "switch \n\t:i case \n\t:i default \n\t:i end_switch\n\n:i :end\n");
}

TEST(Decompile, EndcaseIsRefusedInTheThug1Layout) {
  QbStream s;
  s.op(kSwitch).op(kCase).op(kEndCase).u16(0);
  try {
    decompile(s, "t.qb", thug1());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(),
              "GOTO stuff not implemented... please report that cuz it shouldn't happen\n"
              "Maybe this file doesn't work with -thug1?\n");
  }
  // The standard layout prints a stray endcase with its delta of -1.
  EXPECT_EQ(body(QbStream().op(kEndCase).u16(0).op(kLineBreak).op(kEnd)),
            "endcase\n\n:i :end\n");
}

TEST(Decompile, DebugCounters) {
  QbStream s;
  s.op(kIf).u16(0).op(kIf).u16(0).op(kElse).u16(0).op(kReturn).op(kEndIf).op(kEndIf);
  s.op(kDoIf).op(kEndIf).op(kReturn);
  EXPECT_EQ(body(s, debug()),
            "if[1] if[2] else[2] return[2]\n\t\tendif[2] endif[1] doIf endif[0] return[-1]\n");
  EXPECT_EQ(body(s), "if if else return\n\t\tendifendifdoIf endifreturn\n");
}

TEST(Decompile, BreakAndSelectTargets) {
  // Two jumps to one position share an index and one marker; the marker of a line break
  // stands at the end of the line before.
  QbStream s;
  s.op(kLineBreak).op32(kBreakTo, 5);  // ends at 6, target 11
  s.op32(kBreakTo, 0);                 // ends at 11, target 11
  s.op(kLineBreak).op(kEnd);
  EXPECT_EQ(body(s), "\n:i \n:BREAKTO(0)\n\n:BREAKTO(0)\n :POS(0) \n:i :end\n");

  // A backward jump gets an index but no marker; a jump to the end token marks ":end".
  QbStream b;
  b.op(kEquals).op32(kBreakTo, static_cast<uint32_t>(-6)).op32(kBreakTo, 0).op(kEnd);
  EXPECT_EQ(body(b), " = \n:BREAKTO(0)\n\n:BREAKTO(1)\n :POS(1) :end\n");
}

TEST(Decompile, SelectTexts) {
  // Three earlier jumps fill indices 0 to 2; the select's branches take 3 and 4, the jump
  // after it reuses index 3, and both targets get their markers.
  QbStream s;
  s.op32(kBreakTo, 1000).op32(kBreakTo, 1001).op32(kBreakTo, 1002);  // positions 0 to 14
  s.op(kSelect2F).u32(2).raw({1, 0, 3, 0}).u32(12).u32(9);           // 15 to 31: 40, 41
  s.op32(kBreakTo, 3);                                               // 32 to 36: 40
  s.op(kEquals).op(kEquals).op(kEquals).op(kEquals);                 // 37 to 40
  s.op(kLineBreak).op(kEnd);                                         // 41, 42
  EXPECT_EQ(body(s),
            "\n:BREAKTO(0)\n\n:BREAKTO(1)\n\n:BREAKTO(2)\n"
            "select(2f,2, 01 00 03 00) :OFFSET(3):OFFSET(4)\n\t"
            "\n:BREAKTO(3)\n\t =  =  =  :POS(3)  =  :POS(4) \n\t:i :end\n\t");

  // No branches: no pairs, no offsets; the THUG1 layout keeps the depth.
  EXPECT_EQ(body(QbStream().op(kSelect41).u32(0).op(kEnd)), "select(41,0,) \n\t:end\n\t");
  EXPECT_EQ(body(QbStream().op(kSelect40).u32(static_cast<uint32_t>(-3)).op(kEnd), thug1()),
            "select(40,-3,) \n:end\n");
}

// The text goes out in pieces of a fixed size: a string longer than a piece, and runs of
// tabs longer than a piece, come out whole and in order across the piece boundaries.
TEST(Decompile, TextLongerThanTheOutputBuffer) {
  std::string text(3u << 20, 'x');
  for (size_t i = 0; i < text.size(); i += 4093) text[i] = static_cast<char>('a' + i % 26);
  const size_t depth = (1u << 20) + 100;
  QbStream s;
  s.op(kEquals).string(kString, text);
  for (size_t i = 0; i < depth; ++i) s.op(kStructOpen);
  s.op(kLineBreak).op(kEnd);
  std::string open;
  for (size_t i = 0; i < depth; ++i) open += ":s{";
  const std::string tabs(depth, '\t');
  EXPECT_TRUE(body(s) == " = %s(" + std::to_string(text.size()) + ",\"" + text + "\")" + open +
                             "\n" + tabs + ":i :end\n" + tabs);
}

// The table file has one line per name record, duplicates included, in stream order, also
// for records among the tokens and a name longer than the output buffer.
TEST(Decompile, TableTextFollowsTheRecords) {
  const std::string long_name(decompiler::TextWriter::kMaxCapacity + 5, 'n');
  QbStream s;
  s.name_record(0xffffffff, "first").op32(kName, 2).name_record(2, long_name).op(kLineBreak);
  s.name_record(0xffffffff, "again").name_record(0, "").op(kEnd).name_record(3, "late");
  const Decompiled d = decompile(s, "t.qb", {});
  EXPECT_TRUE(d.table == "#addx 0xffffffff \"first\"\n#addx 0x00000002 \"" + long_name +
                             "\"\n#addx 0xffffffff \"again\"\n#addx 0x00000000 \"\"\n");
  EXPECT_TRUE(d.table == test::render_table_file(d.names));
  EXPECT_TRUE(d.text.find("$" + long_name + "$") != std::string::npos);
}

// Many names used in random order, with duplicate checksums and records before, among and
// after their uses: every use prints the first record's name, as a scan from the first
// entry of the name table finds it.
TEST(Decompile, EveryNameTokenGetsTheFirstRecordOfItsChecksum) {
  std::mt19937 rng(7);
  std::vector<uint32_t> checksums(3000);
  for (uint32_t& c : checksums) c = static_cast<uint32_t>(rng());
  checksums[1] = checksums[0];
  checksums[2] = 0;
  QbStream s;
  NameTable table;
  const auto record = [&](size_t i) {
    const std::string name = "name" + std::to_string(i);
    s.name_record(checksums[i], name);
    table.add_name(checksums[i], name);
  };
  for (size_t i = 0; i < 100; ++i) record(i);
  for (size_t use = 0; use < 20000; ++use) {
    if (use == 9000)
      for (size_t i = 100; i < 2000; ++i) record(i);
    // Some checksums used here have no record at all.
    const uint32_t checksum = use % 97 == 0 ? static_cast<uint32_t>(rng()) : checksums[rng() % checksums.size()];
    s.op32(kName, checksum).op(kLineBreak);
  }
  for (size_t i = 2000; i < checksums.size(); ++i) record(i);
  // Walk the stream and compare each use with the table's answer.
  const std::string text = body(s);
  size_t at = 0;
  for (size_t pos = 0; pos < s.bytes().size();) {
    const uint8_t op = s.bytes()[pos];
    if (op == kNameRecord) {
      pos += 5;
      while (s.bytes()[pos] != 0) ++pos;
      ++pos;
      continue;
    }
    if (op == kLineBreak) {
      ASSERT_EQ(text.compare(at, 4, "\n:i "), 0) << at;
      at += 4;
      ++pos;
      continue;
    }
    ASSERT_EQ(op, kName);
    const uint32_t checksum = load_u32le(&s.bytes()[pos + 1]);
    std::string name;
    if (const auto found = test::find_name(table, checksum)) {
      name = std::string(*found);
    } else {
      const uint8_t* b = &s.bytes()[pos + 1];
      name = format("[%02x%02x%02x%02x]", b[0], b[1], b[2], b[3]);
    }
    ASSERT_EQ(text.compare(at, name.size() + 2, "$" + name + "$"), 0) << at;
    at += name.size() + 2;
    pos += 5;
  }
  EXPECT_EQ(at, text.size());
}

// Every prefix of a stream that uses every operand kind, and random bytes, decode without
// reading outside the data (checked by the sanitizer builds) and end in a footer, or are
// refused as a stream of the other layout.
TEST(Decompile, AnyBytesDecodeSafely) {
  QbStream s;
  s.op(kLineBreak).op32(kName, 1).op32(kName, 2).op(kEquals).op32(kInteger, 7).op(kFloat).f32(1);
  s.string(kString, "text").string(kLocalString, "").op(kVector2).f32(1).f32(2);
  s.op(kVector3).f32(1).f32(2).f32(3).op32(kLineValue, 9).op(kIf).u16(0).op(kElse).u16(0);
  s.op(kEndIf).op(kSwitch).op(kCase).op(kEndCase).u16(0).op(kEndCase).u16(0).op(kEndSwitch);
  s.op32(kBreakTo, 2).op(kSelect40).u32(1).raw({1, 2}).u32(0).name_record(1, "n").op(kEnd);
  const Bytes& full = s.bytes();
  for (size_t n = 0; n <= full.size(); ++n) {
    const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    for (Settings settings : {Settings{}, debug(), thug1()}) {
      try {
        EXPECT_TRUE(decompile(prefix, "t.qb", settings).text.ends_with(kFooter));
      } catch (const Error& e) {
        // THUG1: the endcase token. Standard: the prefix that ends right after the case.
        EXPECT_TRUE(settings.thug1 || full[n - 1] == kCase) << e.message();
      }
    }
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 2000; ++i) {
    Bytes data(rng() % 64);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng() % 0x4A);
    try {
      EXPECT_TRUE(decompile(data, "t.qb", {}).text.ends_with(kFooter));
    } catch (const Error& e) {
      EXPECT_TRUE(e.message().starts_with("Case without an endcase token at ")) << e.message();
    }
  }
}

}  // namespace
}  // namespace qbkit
