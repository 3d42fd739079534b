#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/text.h"

namespace base {
namespace {

TEST(CodePage, ConvertsBetweenUtf8AndWindows1252) {
  EXPECT_EQ(ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
  EXPECT_EQ(FromAnsi("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
  // Japanese and malformed bytes cannot be held: one '_' per character or bad byte.
  EXPECT_EQ(ToAnsi("\xE6\x97\xA5x\xFFy"), "_x_y");
}

TEST(CodePage, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(ToAnsi(FromAnsi(all)), all);
}

TEST(Text, LeadingNumberStopsAtTheFirstForeignCharacter) {
  using namespace std::string_view_literals;
  // Sized views, so that a NUL inside the text (as a fixed field may hold) really is there.
  const struct {
    std::string_view text;
    double value;
  } cases[] = {{"12"sv, 12},
               {" 12abc"sv, 12},
               {"3.3017"sv, 3.3017},
               {"-4"sv, -4},
               {""sv, 0},
               {"abc"sv, 0},
               {"1e3x"sv, 1000},
               {"7e"sv, 7},
               {"185250\0"
                "99"sv,
                185250},
               {"\0"
                "12"sv,
                0},
               {".5"sv, 0.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value);
  }
}

TEST(Text, RoundsHalvesToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(33016.999999999996), 33017);
}

TEST(Text, FieldsArePaddedCutAndTrimmed) {
  EXPECT_EQ(FitField("abc", 5), "abc  ");
  EXPECT_EQ(FitField("abcdefg", 5), "abcde");
  // Cut by stored characters, not by UTF-8 bytes.
  EXPECT_EQ(FitField("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(FileNameOf("/music/album/01.mp3"), "01.mp3");
  EXPECT_EQ(FileNameOf("01.mp3"), "01.mp3");
}

}  // namespace
}  // namespace base
