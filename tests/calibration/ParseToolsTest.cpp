#include "calibration/ParseTools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

using namespace ParseTools;

namespace {

ConfigLines linesOf(std::initializer_list<const char*> texts) {
  ConfigLines lines;
  for (const char* text : texts) lines.push_back(std::make_shared<const std::string>(text));
  return lines;
}

}  // namespace

TEST(ParseTools, MatchTokenNeedsTheWholeWordInAnyCase) {
  struct Case { const char* text; const char* word; bool matches; const char* rest; };
  const Case cases[] = {
      {"  BASELINE 0.1", "BASELINE", true, "0.1"},
      {"baseLine\t0.1", "BASELINE", true, "0.1"},
      {"BASELINE", "BASELINE", true, ""},
      {"BASELINE  0.1", "BASELINE", true, " 0.1"},  // one blank is consumed
      {"BASELINE=0.1", "BASELINE", false, nullptr},
      {"BASELINES 0.1", "BASELINE", false, nullptr},
      {"DISPARITYMAPPINGON on", "DISPARITYMAPPING", false, nullptr},
      {"BASE", "BASELINE", false, nullptr},
      {"", "BASELINE", false, nullptr},
  };
  for (const Case& c : cases) {
    const char* cursor = c.text;
    EXPECT_EQ(match_token(cursor, c.word), c.matches) << c.text;
    if (c.matches) {
      EXPECT_STREQ(cursor, c.rest) << c.text;
    } else {
      EXPECT_EQ(cursor, c.text) << c.text;
    }
  }
  const char* cursor = "baseline 1";
  EXPECT_FALSE(match_token(cursor, "BASELINE", false));
}

TEST(ParseTools, LoadStringCleansOrDropsLines) {
  struct Case { const char* text; bool stored; const char* cleaned; };
  const Case cases[] = {
      {"   Baseline   0.12  # measured", true, "Baseline   0.12"},
      {"# only a comment", true, ""},
      {" \t \r", true, ""},
      {"\tKey value\r\n", true, "Key value"},
      {"Key value \\", false, nullptr},
      {"Key value \\  # continued", false, nullptr},
      {"Key a\\b", true, "Key a\\b"},
      {"Key \"a#b\"", true, "Key \"a"},
  };
  for (const Case& c : cases) {
    ConfigLines lines;
    load_string(c.text, lines);
    ASSERT_EQ(lines.size(), c.stored ? 1u : 0u) << c.text;
    if (c.stored) {
      EXPECT_EQ(*lines[0], c.cleaned) << c.text;
    }
  }
}

TEST(ParseTools, IntegersMustConvertAndFitAnInt) {
  struct Case { const char* line; bool parses; int value; };
  const Case cases[] = {
      {"N 12", true, 12},
      {"N -5", true, -5},
      {"N +7 8", true, 7},
      {"N 12abc", true, 12},
      {"N 2147483647", true, 2147483647},
      {"N 2147483648", false, 0},
      {"N -2147483649", false, 0},
      {"N 99999999999999999999999", false, 0},
      {"N x", false, 0},
      {"N", false, 0},
      {"N 0x10", true, 0},
  };
  for (const Case& c : cases) {
    ConfigLines lines = linesOf({c.line});
    int value = -1;
    EXPECT_EQ(parseTokenInt("N", lines.data(), lines.size(), value), c.parses) << c.line;
    EXPECT_EQ(value, c.parses ? c.value : -1) << c.line;
  }
}

TEST(ParseTools, NumbersMustBeFinite) {
  struct Case { const char* line; bool parses; double value; };
  const Case cases[] = {
      {"D 0.12", true, 0.12},
      {"D -.5", true, -0.5},
      {"D 1.5e3", true, 1500.0},
      {"D 7", true, 7.0},
      {"D 1e-320", true, 1e-320},
      {"D 1e999", false, 0},
      {"D -1e999", false, 0},
      {"D inf", false, 0},
      {"D nan", false, 0},
      {"D ,5", false, 0},
  };
  for (const Case& c : cases) {
    ConfigLines lines = linesOf({c.line});
    double value = -1.0;
    EXPECT_EQ(parseTokenDouble("D", lines.data(), lines.size(), value), c.parses) << c.line;
    EXPECT_DOUBLE_EQ(value, c.parses ? c.value : -1.0) << c.line;
  }
}

TEST(ParseTools, FirstLineWhoseValuesParseWins) {
  ConfigLines lines = linesOf({"Other 1 2", "Pair 3 x", "pair 4 5", "PAIR 6 7"});
  int a = 0, b = 0;
  ASSERT_TRUE(parseTokenIntInt("PAIR", lines.data(), lines.size(), a, b));
  EXPECT_EQ(a, 4);
  EXPECT_EQ(b, 5);

  double x = 0, y = 0;
  ConfigLines doubles = linesOf({"XY 1.5", "XY 1.5 2.5 3.5"});
  ASSERT_TRUE(parseTokenDoubleDouble("XY", doubles.data(), doubles.size(), x, y));
  EXPECT_EQ(x, 1.5);
  EXPECT_EQ(y, 2.5);

  int ids[5] = {0, 0, 0, 0, 0};
  ConfigLines ints = linesOf({"IDS 1 2", "IDS 4 5 6 7"});
  ASSERT_TRUE(parseTokenInts("IDS", ints.data(), ints.size(), 3, ids));
  EXPECT_EQ(ids[0], 4);
  EXPECT_EQ(ids[2], 6);
  EXPECT_FALSE(parseTokenInts("IDS", ints.data(), ints.size(), 5, ids));
}

TEST(ParseTools, BoolsAreWholeWords) {
  struct Case { const char* line; bool parses; bool value; };
  const Case cases[] = {
      {"F true", true, true},  {"F ON", true, true},   {"F off", true, false},
      {"F False", true, false}, {"F yes", false, false}, {"F onx", false, false},
      {"F 1", false, false},   {"F", false, false},
  };
  for (const Case& c : cases) {
    ConfigLines lines = linesOf({c.line});
    bool value = !c.value;
    EXPECT_EQ(parseTokenBool("F", lines.data(), lines.size(), value), c.parses) << c.line;
    if (c.parses) {
      EXPECT_EQ(value, c.value) << c.line;
    }
  }
  ConfigLines lines = linesOf({"Mode fast", "Mode slow"});
  EXPECT_TRUE(parseTokenToken("MODE", "SLOW", lines.data(), lines.size()));
  EXPECT_FALSE(parseTokenToken("MODE", "SLO", lines.data(), lines.size()));
}

TEST(ParseTools, StringsPlainAndQuoted) {
  struct Case { const char* line; bool parses; const char* value; };
  const Case cases[] = {
      {"S GEMLO rest", true, "GEMLO"},
      {"S \"two words\" rest", true, "two words"},
      {"S \"say \\\"hi\\\"\"", true, "say \"hi\""},
      {"S \"\"", true, ""},
      {"S \"open to the end", true, "open to the end"},
      {"S \"bad \\n escape\"", false, nullptr},
      {"S \"trailing \\", false, nullptr},
      {"S", false, nullptr},
  };
  for (const Case& c : cases) {
    ConfigLines lines = linesOf({c.line});
    std::string value = "unchanged";
    EXPECT_EQ(parseTokenString("S", lines.data(), lines.size(), value), c.parses) << c.line;
    EXPECT_EQ(value, c.parses ? c.value : "unchanged") << c.line;
  }
  // An invalid escape makes its line not match, so a later line supplies it.
  ConfigLines lines = linesOf({"S \"a\\b\"", "S second"});
  std::string value;
  ASSERT_TRUE(parseTokenString("S", lines.data(), lines.size(), value));
  EXPECT_EQ(value, "second");
}

TEST(ParseTools, VersionValueHoldsNameMajorAndMinor) {
  struct Case { const char* line; bool parses; const char* name; int major; int minor; };
  const Case cases[] = {
      {"Version \"GEMLO 4.0\"", true, "GEMLO", 4, 0},
      {"VERSION \"GEMLO 2 .2\"", true, "GEMLO", 2, 2},
      {"version \"GEMLO 3.1\"   ", true, "GEMLO", 3, 1},
      {"Version \"GEMLO 4.0\" extra", false, nullptr, 0, 0},
      {"Version 4.0", false, nullptr, 0, 0},
      {"Version \"GEMLO 4\"", false, nullptr, 0, 0},
      {"Version \"GEMLO 4,0\"", false, nullptr, 0, 0},
      {"Version \"GEMLO 99999999999.0\"", false, nullptr, 0, 0},
      {"Version", false, nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    ConfigLines lines = linesOf({c.line});
    std::string version, name;
    int major = -1, minor = -1;
    EXPECT_EQ(parseVersion(lines.data(), lines.size(), version, name, major, minor), c.parses)
        << c.line;
    if (!c.parses) continue;
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(major, c.major);
    EXPECT_EQ(minor, c.minor);
  }
  ConfigLines lines = linesOf({"Version \"GEMLO 4.0\""});
  std::string version, name;
  int major = 0, minor = 0;
  ASSERT_TRUE(parseVersion(lines.data(), lines.size(), version, name, major, minor));
  EXPECT_EQ(version, "GEMLO 4.0");
}

TEST(ParseTools, DoublesStayOnTheKeyLine) {
  ConfigLines lines = linesOf({"K 1 2", "3", "K 4 5 6 7"});
  std::vector<double> values;
  ASSERT_TRUE(parseTokenDoubles("K", lines.data(), lines.size(), 3, values));
  EXPECT_EQ(values, (std::vector<double>{4, 5, 6}));
}

TEST(ParseTools, DoubleListContinuesOnFollowingLines) {
  ConfigLines lines = linesOf({"Coefs 1 2", "3 4", "5", "Next 1"});
  std::vector<double> values;
  ASSERT_TRUE(parseTokenDoubleList("COEFS", lines.data(), lines.size(), 5, values));
  EXPECT_EQ(values, (std::vector<double>{1, 2, 3, 4, 5}));

  EXPECT_FALSE(parseTokenDoubleList("COEFS", lines.data(), lines.size(), 6, values));

  // An empty line, a key line or the end of the lines ends the list.
  for (const ConfigLines& shortLists :
       {linesOf({"Coefs 1 2", "", "3"}), linesOf({"Coefs 1 2", "Key 3"}),
        linesOf({"Coefs 1 2"}), linesOf({"Coefs 1 x 3"})}) {
    EXPECT_FALSE(parseTokenDoubleList("COEFS", shortLists.data(), shortLists.size(), 3, values));
  }

  // A failed list falls through to the next line with the key.
  ConfigLines retry = linesOf({"Coefs 1", "", "Coefs 7 8 9"});
  ASSERT_TRUE(parseTokenDoubleList("COEFS", retry.data(), retry.size(), 3, values));
  EXPECT_EQ(values, (std::vector<double>{7, 8, 9}));
}

TEST(ParseTools, HugeCountsFailWithoutReservingMemory) {
  ConfigLines lines = linesOf({"Coefs 1 2 3", "4 5"});
  std::vector<double> values;
  const std::size_t huge = static_cast<std::size_t>(1) << 62;
  EXPECT_FALSE(parseTokenDoubleList("COEFS", lines.data(), lines.size(), huge, values));
  EXPECT_FALSE(parseTokenDoubles("COEFS", lines.data(), lines.size(), huge, values));
  EXPECT_LE(values.capacity(), 64u);
}
