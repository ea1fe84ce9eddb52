#include "engine/size_text.hpp"

#include <cstdio>

namespace vantrel {
namespace {

Text WithUnit(float quotient, const char* unit) {
  // "%.2f" always writes a full stop: nothing here sets a numeric locale.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f%s", static_cast<double>(quotient), unit);
  return TextFromAscii(buffer);
}

}  // namespace

Text FormatSizeText(std::int64_t size) {
  if (size >= 1024 && size <= 1048575) return WithUnit(static_cast<float>(static_cast<double>(size) / 1024.0), " KB");
  if (size < 1024) return DecimalText(size) + TextFromAscii(" Byte");
  if (size <= 1073741823) return WithUnit(static_cast<float>(static_cast<double>(size) / 1048576.0), " MB");
  return WithUnit(static_cast<float>(static_cast<double>(size) / 1073741824.0), " GB");
}

}  // namespace vantrel
