#include "QtText.h"

#include "platform/TextCodec.h"

QString ToQString(std::string_view ansi) {
    const std::string utf8 = platform::AnsiToUtf8(ansi);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return platform::Utf8ToAnsi(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}
