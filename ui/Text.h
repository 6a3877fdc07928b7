// Texts between the catalog (UTF-8 byte strings) and the widgets.
#pragma once

#include <QString>
#include <string>

namespace tw {

inline QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string S(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace tw
