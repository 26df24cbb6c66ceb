// The editor's text as the compiler reads it, and columns counted both ways.
#include "lsp/document.h"

#include <gtest/gtest.h>

#include "lsp/uri.h"

namespace qbkit::lsp {
namespace {

// "é€😀$a$\r\n" then "x": one byte each, in UTF-16 units 1, 1, 2, 1, 1, 1.
const char kText[] = "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80$a$\r\nx";

TEST(LspDocument, EachCharacterIsOneByteAndCharactersAboveLatin1AreRecorded) {
  const Document d("u", 1, kText);
  EXPECT_EQ(d.text(), "\xe9??$a$\r\nx");
  ASSERT_EQ(d.substitutions().size(), 2u);
  EXPECT_EQ(d.substitutions()[0].offset, 1u);
  EXPECT_EQ(d.substitutions()[0].code_point, U'\u20ac');
  EXPECT_EQ(d.substitutions()[1].code_point, U'\U0001F600');
  // Bytes that are no UTF-8 (the protocol sends none) are kept as they are.
  EXPECT_EQ(Document("u", 1, "a\xff\xc3").text(), "a\xff\xc3");
}

TEST(LspDocument, ColumnsConvertBetweenUtf16UnitsAndBytes) {
  const Document d("u", 1, kText);
  const std::vector<std::pair<Position, TextPosition>> both_ways = {
      {{0, 0}, {0, 0}}, {{0, 2}, {0, 2}}, {{0, 4}, {0, 3}}, {{0, 7}, {0, 6}}, {{1, 1}, {1, 1}}};
  for (const auto& [utf16, bytes] : both_ways) {
    EXPECT_EQ(d.to_text(utf16), bytes) << utf16.character;
    EXPECT_EQ(d.to_protocol(bytes), utf16) << bytes.column;
  }
  EXPECT_EQ(d.to_text({0, 3}), (TextPosition{0, 2}));     // inside the pair: its start
  EXPECT_EQ(d.to_text({0, 50}), (TextPosition{0, 6}));    // past the line: its end, before "\r\n"
  EXPECT_EQ(d.to_text({9, 0}), (TextPosition{1, 1}));     // past the last line: the end
  EXPECT_EQ(d.to_protocol({0, 50}), (Position{0, 7}));
  EXPECT_EQ(d.offset_of({1, 0}), 8u);
  EXPECT_EQ(d.position_of(8), (TextPosition{1, 0}));
}

TEST(LspDocument, ARangeReplacedMovesTheRecordsAfterIt) {
  Document d("u", 1, kText);
  d.replace({0, 0}, {0, 1}, "\xe2\x82\xac\xe2\x82\xac", 2);  // é becomes €€
  EXPECT_EQ(d.text(), "????$a$\r\nx");
  EXPECT_EQ(d.version(), 2);
  ASSERT_EQ(d.substitutions().size(), 4u);
  EXPECT_EQ(d.substitutions()[3].offset, 3u);
  EXPECT_EQ(d.to_text({0, 5}), (TextPosition{0, 4}));
  d.replace({0, 8}, {1, 0}, "", 3);  // the line end goes
  EXPECT_EQ(d.text(), "????$a$x");
}

TEST(LspUri, FileUrisAndPaths) {
  EXPECT_EQ(path_from_uri("file:///mods/a%20b/%C3%A9.qbs"), std::filesystem::path(u8"/mods/a b/\u00e9.qbs"));
  EXPECT_EQ(path_from_uri("FILE://localhost/x"), std::filesystem::path("/x"));
  EXPECT_EQ(path_from_uri("file://server/share/x"), std::nullopt);
  EXPECT_EQ(path_from_uri("qbkit-member:/qb.pre/a.qbs"), std::nullopt);
  EXPECT_EQ(uri_from_path(u8"/mods/a b/\u00e9#.qbs"), "file:///mods/a%20b/%C3%A9%23.qbs");
}

}  // namespace
}  // namespace qbkit::lsp
