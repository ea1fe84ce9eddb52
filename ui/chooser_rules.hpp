#pragma once
// The rules of the folder chooser, written once for every window layer: the
// folder it is opened at, and how its answer becomes the folder the program
// takes. The layers show their system's chooser and hand its answer through
// ChooserAnswer; Browse then judges the answer as it judges a typed folder.

#include <cstddef>
#include <functional>

#include "engine/search_run.hpp"
#include "engine/text.hpp"

namespace vantrel {

// The longest start folder the Windows chooser takes (one short of MAX_PATH).
inline constexpr std::size_t kChooserStartLimit = 259;

// The folder the chooser opens at, made of the current folder: for the
// Windows program at most kChooserStartLimit characters, and without a
// trailing backslash unless the folder is a drive's root (3 characters or
// fewer); the Mac programs hand it over unchanged.
Text ChooserStartFolder(const Text& currentFolder, SearchFlavour flavour);

// The folder a chooser's answer names, as the program takes it: "" (the
// chooser was cancelled) stays "", any other folder ends in exactly one
// host separator, added once when it has none.
Text ChooserAnswer(const Text& chosen);

// Finds the folder behind a chooser's answer whose names the toolkit could
// not show. The answer's parts are separated by the host separator; a part
// that holds marker (the toolkit's replacement for what it could not decode,
// in the answer's own encoding) stands for the one entry of its folder whose
// name the toolkit shows as that part: shown(entry name) == part. Other parts
// are taken as they are. Returns "" when such a part matches no entry or more
// than one, so the answer never names another folder; an answer without the
// marker comes back unchanged.
Text ResolveShownFolder(const Text& answer, const Text& marker, const std::function<Text(const Text&)>& shown);

}  // namespace vantrel
