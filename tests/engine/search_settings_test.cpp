#include <gtest/gtest.h>

#include "engine/file_system.hpp"
#include "engine/search_settings.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

using testing::Bytes;
using testing::T;

TEST(BuildFileTypes, PadsWordsAndEndsAtTheFirstEmptyWord) {
  struct Case {
    const char* input;
    const char* stored;
  } cases[] = {
      {"", ""},                     // no filter
      {"jpg", " jpg "},
      {"jpg png", " jpg png "},
      {"jpg  png", " jpg "},        // a doubled space ends the list
      {" jpg", " "},                // a leading space: a list of no words
      {"   ", " "},                 // only spaces: no word, no file passes
      {"jpg ", " jpg "},
      {"a b c", " a b c "},
      {"tar.gz txt", " tar.gz txt "},
  };
  for (const auto& c : cases) EXPECT_EQ(Bytes(BuildFileTypes(T(c.input))), c.stored) << c.input;
}

TEST(BuildFileTypes, GrowsPastTwoThousandCharactersWithoutLosingWords) {
  std::string input;
  std::string expected;
  for (int i = 0; i < 600; ++i) {
    std::string word = "e" + std::to_string(i);
    input += (i ? " " : "") + word;
    expected += " " + word;
  }
  expected += " ";
  Text stored = BuildFileTypes(T(input));
  EXPECT_GT(stored.size(), 2048u);
  EXPECT_EQ(Bytes(stored), expected);
}

TEST(BuildFileTypes, CapitalsAreLowerCasedBeforeTheyAreStored) {
  EXPECT_EQ(Bytes(BuildFileTypes(LowerCaseText(T("JPG Png")))), " jpg png ");
}

TEST(AttributeCodeFor, HiddenDigitThenSystemDigit) {
  EXPECT_EQ(Bytes(AttributeCodeFor(0, 0)), "00");
  EXPECT_EQ(Bytes(AttributeCodeFor(0, 1)), "01");
  EXPECT_EQ(Bytes(AttributeCodeFor(1, 0)), "10");
  EXPECT_EQ(Bytes(AttributeCodeFor(1, 1)), "11");
}

}  // namespace
}  // namespace vantrel
