#include "engine/text.hpp"

namespace vantrel {

Text TextFromAscii(std::string_view ascii) {
  Text out;
  out.reserve(ascii.size());
  for (char c : ascii) out.push_back(static_cast<Char>(static_cast<unsigned char>(c)));
  return out;
}

Text DecimalText(std::int64_t value) {
  // Work on the unsigned magnitude so that the smallest value has a text too.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  Char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<Char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  Text out;
  if (value < 0) out.push_back(static_cast<Char>('-'));
  while (n > 0) out.push_back(digits[--n]);
  return out;
}

std::int64_t ParseDecimal(TextView text, bool* ok) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && text[i] == static_cast<Char>('-')) {
    negative = true;
    ++i;
  }
  bool good = i < text.size();
  std::uint64_t magnitude = 0;
  for (; i < text.size() && good; ++i) {
    auto c = static_cast<std::uint32_t>(text[i]);
    if (c < '0' || c > '9' || magnitude > (UINT64_MAX - 9) / 10) {
      good = false;
      break;
    }
    magnitude = magnitude * 10 + (c - '0');
  }
  if (ok) *ok = good;
  if (!good) return 0;
  return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

}  // namespace vantrel
