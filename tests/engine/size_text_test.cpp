#include <gtest/gtest.h>

#include "engine/size_text.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

using testing::Bytes;

TEST(FormatSizeText, UnitsBoundariesAndSinglePrecisionRounding) {
  struct Case {
    std::int64_t size;
    const char* text;
  } cases[] = {
      {0, "0 Byte"},
      {1, "1 Byte"},
      {1023, "1023 Byte"},
      {1024, "1.00 KB"},
      {1536, "1.50 KB"},
      {1048575, "1024.00 KB"},     // rounds up at two decimals
      {1048576, "1.00 MB"},
      {1073741823, "1024.00 MB"},  // the single-precision quotient is already 1024
      {1073741824, "1.00 GB"},
      {2147483647, "2.00 GB"},
      {-5, "-5 Byte"},
      {-1, "-1 Byte"},
  };
  for (const auto& c : cases) EXPECT_EQ(Bytes(FormatSizeText(c.size)), c.text) << c.size;
}

TEST(FormatSizeText, SizesOfTwoGibibytesAndMoreStayInGigabytes) {
  struct Case {
    std::int64_t size;
    const char* text;
  } cases[] = {
      {2147483648LL, "2.00 GB"},
      {3LL << 30, "3.00 GB"},
      {4LL << 30, "4.00 GB"},
      {1536LL << 30, "1536.00 GB"},
      {(5LL << 30) + (1LL << 29), "5.50 GB"},
  };
  for (const auto& c : cases) EXPECT_EQ(Bytes(FormatSizeText(c.size)), c.text) << c.size;
}

}  // namespace
}  // namespace vantrel
