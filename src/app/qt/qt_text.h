#pragma once
// The Qt edge of the system's texts: GBK inside, QString (UTF-16) in the widgets.

#include <QString>
#include <string>

#include "platform/text.h"

namespace ab {

// GBK -> QString. The system's CR LF line breaks become Qt's LF, so that labels and message
// boxes show one line break and no stray control character.
inline QString ToQt(const std::string& gbk_text) {
  QString text = QString::fromStdString(utf8(gbk_text));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

// QString -> GBK; characters GBK cannot hold become "?".
inline std::string FromQt(const QString& text) { return gbk(text.toStdString()); }

// The text of a multi-line box as the system reads it: lines separated by CR LF.
inline std::string FromQtLines(QString text) {
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return FromQt(text);
}

}  // namespace ab
