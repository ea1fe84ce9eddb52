#pragma once
// The text type every layer above the platform works in. The build picks the
// character type (VANTREL_CHAR): wchar_t for the Windows program, char16_t for
// vantrel-mac and char for vantrel-mac-ascii, so the same source serves all three.

#include <cstdint>
#include <string>
#include <string_view>

#ifndef VANTREL_CHAR
#error "VANTREL_CHAR must be set by the build (wchar_t, char16_t or char)"
#endif

namespace vantrel {

using Char = VANTREL_CHAR;
using Text = std::basic_string<Char>;
using TextView = std::basic_string_view<Char>;

static_assert(sizeof(Char) == 1 || sizeof(Char) == 2, "texts are 8-bit or 16-bit");

// Returns the text whose code units are the bytes of an ASCII literal.
Text TextFromAscii(std::string_view ascii);

// Returns the decimal digits of a number, with a minus sign when negative.
Text DecimalText(std::int64_t value);

// Reads a decimal integer (optional minus sign, digits only); nullopt-like
// failure is reported through ok. Used to read size texts back.
std::int64_t ParseDecimal(TextView text, bool* ok = nullptr);

}  // namespace vantrel
