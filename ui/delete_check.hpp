#pragma once
// The check that keeps Delete from losing data: a checked file goes only while
// it still holds the contents its group was formed by.

#include "engine/text.hpp"

namespace vantrel {

// Tells whether the checked file may be deleted while kept stays: both open,
// they are two different physical files, and their bytes are the same.
bool StillACopyOf(const Text& checked, const Text& kept);

}  // namespace vantrel
