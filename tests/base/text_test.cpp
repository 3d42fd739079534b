#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/id3v1.h"
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

TEST(Text, CaseFoldsAsciiOnlyWhateverTheLocale) {
  // A Latin-1 locale would fold 0xE9 (e acute) with std::toupper; the stored names must not
  // change with the user's locale.
#ifdef _WIN32
  const char* kLatin1 = ".1252";
#else
  const char* kLatin1 = "en_US.ISO-8859-1";
#endif
  ASSERT_NE(std::setlocale(LC_CTYPE, kLatin1), nullptr)
      << kLatin1 << " is missing: tools/bootstrap generates it";
  EXPECT_EQ(AsciiUpper("song \xE9.mp3"), "SONG \xE9.MP3");
  EXPECT_EQ(AsciiLower("SONG \xC9.MP3"), "song \xC9.mp3");
  EXPECT_EQ(AsciiUpper('z'), 'Z');
  EXPECT_EQ(AsciiLower('@'), '@');
  std::setlocale(LC_CTYPE, "C");
}

TEST(Text, LastFourAndTheRestOfAName) {
  struct Case {
    const char* text;
    const char* lastFour;
    const char* rest;
  };
  for (const Case& c : {Case{"song.mp3", ".mp3", "song"}, Case{".txt", ".txt", ""},
                        Case{"abc", "abc", ""}, Case{"", "", ""}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LastFour(c.text), c.lastFour);
    EXPECT_EQ(DropLastFour(c.text), c.rest);
  }
}

TEST(Text, PathSeparatorsFollowTheSystem) {
  EXPECT_TRUE(IsPathSeparator('/'));
#ifdef _WIN32
  EXPECT_TRUE(IsPathSeparator('\\'));
  EXPECT_EQ(FileNameOf("C:\\music/album\\01.mp3"), "01.mp3");
#else
  EXPECT_FALSE(IsPathSeparator('\\'));
  EXPECT_EQ(FileNameOf("/music/a\\b.mp3"), "a\\b.mp3");
#endif
  EXPECT_EQ(FileNameOf("/music/"), "");
}

TEST(Id3v1, FieldsSitWhereTheTagPutsThem) {
  std::vector<std::uint8_t> tag(id3v1::kSize, 0);
  EXPECT_FALSE(id3v1::IsTag(tag));
  id3v1::Put(tag, id3v1::kIdentifier, id3v1::kMarker);
  id3v1::Put(tag, id3v1::kYear, "1998");
  id3v1::Put(tag, id3v1::kComment, "c");
  EXPECT_TRUE(id3v1::IsTag(tag));
  // The year at 93, the comment at 97 padded to 28 bytes, then the zero of ID3v1.1.
  EXPECT_EQ(std::string(tag.begin() + 93, tag.begin() + 126),
            "1998c" + std::string(27, ' ') + '\0');
  EXPECT_EQ(id3v1::Get(tag, id3v1::kYear), "1998");
  EXPECT_FALSE(id3v1::IsTag(std::span<const std::uint8_t>(tag).first(3)));
}

}  // namespace
}  // namespace base
