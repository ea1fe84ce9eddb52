#include "ui/spin_rules.hpp"

#include <algorithm>

namespace vantrel {
namespace {

bool IsBlank(Char c) {
  const auto u = static_cast<std::uint32_t>(c);
  return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\v' || u == '\f';
}

}  // namespace

std::int64_t ClampSpinValue(std::int64_t value) { return std::clamp(value, kSpinSmallest, kSpinLargest); }

std::optional<std::int64_t> ReadSpinText(TextView text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  bool negative = false;
  if (begin < end && (text[begin] == static_cast<Char>('+') || text[begin] == static_cast<Char>('-'))) {
    negative = text[begin] == static_cast<Char>('-');
    ++begin;
  }
  if (begin == end) return std::nullopt;
  // Digits beyond the range cannot bring the value back into it: the sum
  // stops growing once it passes the largest value.
  std::int64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const auto u = static_cast<std::uint32_t>(text[i]);
    if (u < '0' || u > '9') return std::nullopt;
    value = std::min<std::int64_t>(kSpinLargest + 1, value * 10 + (u - '0'));
  }
  return ClampSpinValue(negative ? -value : value);
}

std::int64_t SpinValueOfText(TextView text) { return ReadSpinText(text).value_or(0); }

std::int64_t SpinStep(TextView text, std::int64_t arrowsValue, int steps) {
  const std::int64_t from = ReadSpinText(text).value_or(ClampSpinValue(arrowsValue));
  return ClampSpinValue(from + steps);
}

Text SpinText(std::int64_t value) { return DecimalText(ClampSpinValue(value)); }

}  // namespace vantrel
