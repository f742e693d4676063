#pragma once
// System texts (code page 936) to and from the widgets' QString.
#include <QString>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace morvalin {

inline QString ToQString(std::string_view gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }
inline std::string FromQString(const QString& text) { return Utf8ToGbk(text.toStdString()); }

}  // namespace morvalin
