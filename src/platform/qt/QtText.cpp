#include "platform/qt/QtText.h"

#include <QList>

#include "vocabulary/Windows1252.h"

namespace rheo {

QString ToQString(std::string_view windows1252) {
    QString text;
    text.reserve(static_cast<qsizetype>(windows1252.size()));
    for (char c : windows1252) {
        text.append(
            QChar(static_cast<char16_t>(Windows1252Character(static_cast<unsigned char>(c)))));
    }
    return text;
}

Text FromQString(const QString& text) {
    // Character by character, not by UTF-16 unit: a character outside the Basic Multilingual
    // Plane is one "?", not two.
    Text bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const uint character : text.toUcs4()) {
        bytes.push_back(Windows1252Byte(static_cast<char32_t>(character)));
    }
    return bytes;
}

}  // namespace rheo
