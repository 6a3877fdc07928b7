#include "tags/TagClasses.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tw {
namespace {

using Strings = std::vector<std::string>;

TEST(TagClassesAddTag, ZeroAndEmptyValuesAreNeverStored) {
  TTagInfo t;
  t.AddTag("Track", int64_t{0});
  t.AddTag("Title", std::string());
  t.AddTag("Album", std::string("0"));
  t.AddTag("DurationSec", 0.0);
  t.AddTag("TrackPositionSec", -0.0);
  EXPECT_TRUE(t.Tags.empty());
}

TEST(TagClassesAddTag, ReplacingKeepsTheLineInPlace) {
  TTagInfo t;
  t.AddTag("Track", int64_t{7});
  t.AddTag("Title", std::string("Song"));
  t.AddTag("track", int64_t{9});
  EXPECT_EQ(t.Tags, (Strings{"Track=9", "Title=Song"}));
}

TEST(TagClassesAddTag, ValueEndsAtItsFirstZeroCharacter) {
  TTagInfo t;
  t.AddTag("Title", std::string("AB\0CD", 5));
  t.AddTag("Album", std::string("\0X", 2));
  EXPECT_EQ(t.Tags, (Strings{"Title=AB"}));
}

TEST(TagClassesAddTag, NegativeIntegersKeepTheirSign) {
  TTagInfo t;
  t.AddTag("X", int64_t{-12});
  EXPECT_EQ(t.Tags, (Strings{"X=-12"}));
}

struct FloatCase {
  double value;
  std::string text;
};

TEST(TagClassesFloatText, ShortestGeneralFormWithFifteenDigits) {
  const FloatCase cases[] = {
      {215.3, "215.3"}, {3600.0, "3600"}, {1.0 / 3.0, "0.333333333333333"}, {-2.5, "-2.5"},
      {123456789012345.0, "123456789012345"}, {0.1 + 0.2, "0.3"},
      {std::numeric_limits<double>::quiet_NaN(), ""}, {std::numeric_limits<double>::infinity(), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToTagText(c.value), c.text) << c.value;
}

TEST(TagClassesFloatText, UsesTheLocaleDecimalSeparator) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
  bool found = false;
  for (const char* n : names)
    if (std::setlocale(LC_NUMERIC, n)) {
      found = true;
      break;
    }
  if (!found) GTEST_SKIP() << "no locale with a decimal comma is installed";
  std::string text = FloatToTagText(215.3);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "215,3");
}

TEST(TagClassesFloatText, CLocaleGivesAPoint) {
  TTagInfo t;
  t.AddTag("DurationSec", 2.25);
  EXPECT_EQ(t.Tags, (Strings{"DurationSec=2.25"}));
}

struct IntersectCase {
  const char* name;
  Strings common, source, expected;
};

TEST(TagClassesLists, IntersectTags) {
  const IntersectCase cases[] = {
      {"empty common takes the source", {}, {"Album=A", "Year=1999"}, {"Album=A", "Year=1999"}},
      {"different values drop the line", {"Album=A", "Year=1999"}, {"Album=B", "Year=1999"}, {"Year=1999"}},
      {"names compare without case", {"Album=A"}, {"album=A"}, {"Album=A"}},
      {"values compare with case", {"Album=A"}, {"Album=a"}, {}},
      {"a name missing in the source drops the line", {"Album=A", "Genre=Rock"}, {"Genre=Rock"}, {"Genre=Rock"}},
      {"common keeps its order", {"B=2", "A=1"}, {"A=1", "B=2"}, {"B=2", "A=1"}},
  };
  for (const auto& c : cases) {
    Strings common = c.common;
    TTagInfo::IntersectTags(c.source, common);
    EXPECT_EQ(common, c.expected) << c.name;
  }
}

TEST(TagClassesLists, ApplyTagsReplacesAppendsAndNeverRemoves) {
  Strings target = {"Album=A", "Year=1999", "Genre=Rock"};
  TTagInfo::ApplyTags({"album=B", "Title=T", "Year=", "Genre=0", "Track=3"}, target);
  EXPECT_EQ(target, (Strings{"Album=B", "Year=1999", "Genre=Rock", "Title=T", "Track=3"}));
}

TEST(TagClassesLists, TagsToCaptionsUsesTheGlobalCaptions) {
  const Strings globals = {"Artist=Performer", "Title=Song title"};
  Strings display = {"stale"};
  TTagInfo::TagsToCaptions({"title=Hey", "Bogus=7"}, display, globals);
  EXPECT_EQ(display, (Strings{"Song title=Hey", "=7"}));
}

TEST(TagClassesLists, CaptionsToTagsTakesTheFirstNameOfACaption) {
  const Strings globals = {"Artist=Who", "Composer=Who", "Title=Song"};
  Strings tags = {"stale"};
  TTagInfo::CaptionsToTags({"Who=X", "Song=Y", "Nobody=Z"}, tags, globals);
  EXPECT_EQ(tags, (Strings{"Artist=X", "Title=Y", "=Z"}));
}

TEST(TagClassesLists, TagCaptionsAndSwap) {
  const Strings globals = {"Artist=Performer", "Title=Title", "Odd"};
  Strings out = {"stale"};
  TTagInfo::TagCaptions(globals, out);
  EXPECT_EQ(out, (Strings{"Performer", "Title", ""}));
  TTagInfo::SwapNamesAndValues(globals, out);
  EXPECT_EQ(out, (Strings{"Performer=Artist", "Title=Title", "=Odd"}));
}

}  // namespace
}  // namespace tw
