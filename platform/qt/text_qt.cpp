#include "platform/qt/text_qt.hpp"

#include <QFile>

#include <filesystem>

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

bool ChosenFolderBytes(const QString& chosen, std::string& bytes) {
  if (!chosen.startsWith(u'/')) return false;
  bytes.clear();
  for (const QString& part : chosen.split(u'/', Qt::SkipEmptyParts)) {
    const std::string parent = bytes.empty() ? std::string("/") : bytes;
    if (!part.contains(QChar::ReplacementCharacter)) {
      const QByteArray encoded = QFile::encodeName(part);
      bytes += '/';
      bytes.append(encoded.constData(), static_cast<std::size_t>(encoded.size()));
      continue;
    }
    std::error_code error;
    std::string match;
    int matches = 0;
    for (std::filesystem::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().native();
      if (QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size()))) == part) {
        match = name;
        ++matches;
      }
    }
    if (error || matches != 1) return false;
    bytes += '/';
    bytes += match;
  }
  if (bytes.empty()) bytes.assign(1, '/');
  std::error_code error;
  return std::filesystem::is_directory(bytes, error);
}

}  // namespace vantrel
