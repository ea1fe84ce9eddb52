#pragma once

#include <cstdint>

#include "engine/text.hpp"

namespace vantrel {

// Returns the display form of a byte count: "512 Byte", "1.50 KB", "3.25 MB",
// "4.00 GB". The quotient is held as a single-precision float and printed with
// two decimals and a full stop; counts of 2 GiB and more stay in GB.
Text FormatSizeText(std::int64_t size);

}  // namespace vantrel
