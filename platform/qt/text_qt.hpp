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
// The bytes of the folder a chooser's answer names. The toolkit decodes names
// as UTF-8 and turns bytes that are not UTF-8 into U+FFFD, so a part of the path
// that holds U+FFFD is matched against the raw names in its folder: it stands
// for the one entry there whose name decodes to it. Gives false when that
// entry is not one of a kind, or the path is no folder, so that the answer
// never names another folder.
bool ChosenFolderBytes(const QString& chosen, std::string& bytes);

}  // namespace vantrel
