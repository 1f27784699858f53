#pragma once

#include <QString>

namespace jex {

// String helpers in the manner of the framework's text library.
QString PadL(const QString &text, int width, const QString &fill = QStringLiteral(" "));
QString PadR(const QString &text, int width, const QString &fill = QStringLiteral(" "));
QString StrZero(qint64 number, int width);
QString Trim(const QString &text);    // trailing blanks
QString AllTrim(const QString &text); // leading and trailing blanks
QString Left(const QString &text, int count);
QString Right(const QString &text, int count);
bool IsNumeric(const QString &text);  // an optionally signed number, point or comma decimals
// A value as a message quotes it: at most max characters, a longer one cut
// with "..." and its length, so that a huge cell does not flood the message.
QString Shortened(const QString &text, int max = 60);

} // namespace jex
