// The one pair of conversions between the Windows-1252 text held below the
// user interface and Qt's strings. Nothing else in the program converts.
#pragma once

#include <QString>
#include <string>
#include <string_view>

QString ToQString(std::string_view ansi);
// Characters Windows-1252 cannot hold become "?".
std::string FromQString(const QString& text);
