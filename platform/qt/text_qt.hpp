#pragma once
// Texts between the program and Qt. vantrel-mac holds UTF-16 and hands it to Qt
// unchanged (a name that was not UTF-8 carries lone surrogates, which Qt draws as
// replacement glyphs); vantrel-mac-ascii holds bytes, which Qt shows as Latin-1.

#include <QString>

#include <string>

#include "engine/text.hpp"

namespace vantrel {

// Returns the text as Qt shows it.
QString ToQString(TextView text);
// Returns the text of a control as the program holds it: the UTF-16 units, or
// the Latin-1 bytes of what was typed (characters beyond Latin-1 become '?').
Text FromQString(const QString& text);
// The folder a chooser's answer names, as the program holds a path. The
// toolkit decodes names as UTF-8 and shows bytes that are not UTF-8 as U+FFFD;
// such a part of the answer is matched against the names of its folder
// (ResolveShownFolder). Empty when the answer names no folder, or not one alone.
Text ChosenFolderText(const QString& chosen);

}  // namespace vantrel
