// ByteWriter: little-endian fields against literal bytes, the checks that fail
// it (a full span, a patch outside what was written, a length beyond int32),
// and fixed text fields cut without splitting a CP936 character.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ByteWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(ByteWriter, AppendsLittleEndianAndPatchesLengths) {
  Bytes out = {0xEE};  // what was there before stays; offsets count from the start
  ByteWriter w(out);
  const std::size_t total = w.placeI32();
  w.u8(0x01).u16(0x0302).u32(0x07060504).i32(-2).length(5).zeros(2);
  const std::size_t later = w.placeI32();
  w.bytes(std::string("ab"));
  EXPECT_TRUE(w.patchLength(later));
  EXPECT_TRUE(w.patchLength(total));
  EXPECT_TRUE(w.ok());
  EXPECT_EQ(out, (Bytes{0xEE, 23, 0, 0, 0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xFE, 0xFF, 0xFF,
                        0xFF, 5, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));
}

TEST(ByteWriter, FailsAndStaysFailed) {
  {  // a span takes no more than it holds, and nothing after the first refusal
    uint8_t span[6] = {9, 9, 9, 9, 9, 9};
    ByteWriter w(span, sizeof span);
    w.i32(1).i32(2).u8(3);
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(w.size(), 4u);
    EXPECT_EQ(Bytes(span, span + 6), (Bytes{1, 0, 0, 0, 9, 9}));
  }
  {  // a patch must land on four bytes already written
    Bytes out;
    ByteWriter w(out);
    w.u16(0).u8(0);
    EXPECT_FALSE(w.patchI32(0, 1));
    EXPECT_FALSE(w.ok());
    w.u8(1);
    EXPECT_EQ(out.size(), 3u);
  }
  {
    Bytes out;
    ByteWriter w(out);
    w.i32(0);
    EXPECT_FALSE(w.patchLength(1));
  }
  {  // a length that its int32 field cannot hold
    Bytes out;
    ByteWriter w(out);
    w.length(std::size_t(INT32_MAX) + 1).i32(7);
    EXPECT_FALSE(w.ok());
    EXPECT_TRUE(out.empty());
  }
}

TEST(ByteWriter, FixedTextFieldsKeepWholeCharactersAndEndInNul) {
  const std::string zhong = "\xD6\xD0";  // one CP936 double-byte character
  struct Case {
    std::string text;
    std::size_t field;
    Bytes want;
  } cases[] = {
      {"abc", 6, {'a', 'b', 'c', 0, 0, 0}},
      {"abcdef", 4, {'a', 'b', 'c', 0}},                     // at most field - 1 bytes
      {"ab" + zhong, 4, {'a', 'b', 0, 0}},                   // the character does not fit whole
      {"a" + zhong + "b", 4, {'a', 0xD6, 0xD0, 0}},
      {std::string("a\0b", 3), 4, {'a', 0, 0, 0}},           // text ends at a NUL
      {"\x81", 3, {0x81, 0, 0}},                             // a lone lead byte at the end
  };
  for (const Case& c : cases) {
    Bytes out;
    ByteWriter w(out);
    w.text(c.text, c.field);
    EXPECT_TRUE(w.ok());
    EXPECT_EQ(out, c.want) << c.text;
  }
}

}  // namespace
