#include "platform/qt/text_qt.hpp"

#include <QFile>

#include "engine/file_system.hpp"

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

Text PathFromQString(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return TextFromSystemBytes(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace vantrel
