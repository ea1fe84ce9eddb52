#pragma once
// Texts between the program and Qt. vantrel-mac holds UTF-16 and hands it to Qt
// unchanged (a name that was not UTF-8 carries lone surrogates, which Qt draws as
// replacement glyphs); vantrel-mac-ascii holds bytes, which Qt shows as Latin-1.

#include <QString>

#include "engine/text.hpp"

namespace vantrel {

// Returns the text as Qt shows it.
QString ToQString(TextView text);
// Returns the text of a control as the program holds it: the UTF-16 units, or
// the Latin-1 bytes of what was typed (characters beyond Latin-1 become '?').
Text FromQString(const QString& text);
// Returns the program's text of a path the toolkit chose (a folder chooser's
// answer): the path's bytes in the file system's encoding, as the engine reads them.
Text PathFromQString(const QString& path);

}  // namespace vantrel
