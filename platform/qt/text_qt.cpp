#include "platform/qt/text_qt.hpp"

#include <QFile>

#include "engine/file_system.hpp"
#include "ui/chooser_rules.hpp"

namespace vantrel {
namespace {

// Written over the character type, so that only the build's width is compiled.
template <typename Ch>
QString Shown(std::basic_string_view<Ch> text) {
  if constexpr (sizeof(Ch) == 2) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  } else {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  }
}

template <typename Ch>
std::basic_string<Ch> Held(const QString& text) {
  if constexpr (sizeof(Ch) == 2) {
    return std::basic_string<Ch>(reinterpret_cast<const Ch*>(text.utf16()), static_cast<std::size_t>(text.size()));
  } else {
    const QByteArray bytes = text.toLatin1();
    return std::basic_string<Ch>(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
}

}  // namespace

QString ToQString(TextView text) { return Shown(text); }

Text FromQString(const QString& text) { return Held<Char>(text); }

namespace {

// A text of the toolkit in the program's form of a path: its name's bytes as
// the file system takes them (U+FFFD becomes its UTF-8 bytes).
Text PathTextOf(const QString& text) { return TextFromSystemBytes(QFile::encodeName(text).toStdString()); }

}  // namespace

Text ChosenFolderText(const QString& chosen) {
  const Text marker = PathTextOf(QString(QChar(QChar::ReplacementCharacter)));
  const Text folder = ResolveShownFolder(PathTextOf(chosen), marker, [](const Text& name) {
    return PathTextOf(QFile::decodeName(QByteArray::fromStdString(SystemBytesFromText(name))));
  });
  if (folder.empty() || FileSizeOf(folder) != -2) return Text();
  return folder;
}

}  // namespace vantrel
