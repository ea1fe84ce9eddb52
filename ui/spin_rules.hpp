#pragma once
// The rules of a spin field (a text field with up and down arrows), written
// once for every window layer: the range of its value, how its typed text
// reads, and what a step of the arrows gives. The field itself takes any
// typed text; the layers keep the arrows and the text in step through these.

#include <cstdint>
#include <optional>

#include "engine/text.hpp"

namespace vantrel {

inline constexpr std::int64_t kSpinSmallest = 0;
inline constexpr std::int64_t kSpinLargest = 2147483647;

// Holds a value to kSpinSmallest .. kSpinLargest.
std::int64_t ClampSpinValue(std::int64_t value);

// Reads a spin field's text: a whole number (an optional '+' or '-', then
// decimal digits) with blanks around it, held to the range, however many
// digits it has. Nothing for any other text, the empty text included.
std::optional<std::int64_t> ReadSpinText(TextView text);

// The value the program takes from a field's text: its reading, or 0 (no
// limit) for a text that is no whole number, so a typing slip never hides files.
std::int64_t SpinValueOfText(TextView text);

// The value steps presses of an arrow (negative for down) make of the field:
// they start from what the text reads as, else from the value the arrows last
// held, and stop at the ends of the range.
std::int64_t SpinStep(TextView text, std::int64_t arrowsValue, int steps);

// The text the field shows for a value: plain decimal digits of the value
// held to the range, without separators.
Text SpinText(std::int64_t value);

}  // namespace vantrel
