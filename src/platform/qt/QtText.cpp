#include "platform/qt/Windows1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include "vocabulary/Windows1252.h"

namespace rheo {

QString FromWindows1252Table(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        text.append(
            QChar(static_cast<char16_t>(Windows1252Character(static_cast<unsigned char>(c)))));
    }
    return text;
}

std::string ToWindows1252Table(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        bytes.push_back(Windows1252Byte(c.unicode()));
    }
    return bytes;
}

QString FromWindows1252(std::string_view bytes) {
    QStringDecoder decoder("windows-1252", QStringDecoder::Flag::Stateless);
    if (!decoder.isValid()) {
        return FromWindows1252Table(bytes);
    }
    QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError()) {
        return FromWindows1252Table(bytes);
    }
    return text;
}

std::string ToWindows1252(const QString& text) {
    // Characters outside the code page must become "?", whatever substitute a codec would
    // choose, so the table decides; it agrees with the codec on every character it has.
    return ToWindows1252Table(text);
}

}  // namespace rheo
