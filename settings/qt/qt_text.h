// Text between the pages' forms (UTF-8 std::string) and the widgets.
#pragma once

#include <QString>
#include <string>

namespace talvenor::view {

inline QString ToQt(const std::string& text) { return QString::fromStdString(text); }
inline std::string FromQt(const QString& text) { return text.toStdString(); }

}  // namespace talvenor::view
