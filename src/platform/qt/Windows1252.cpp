#include "platform/qt/Windows1252.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <array>

namespace rheo {
namespace {

// The characters of 0x80 to 0x9F, where the code page differs from Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char16_t CharacterOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

char ByteOf(char16_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<char>(character);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == character) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

}  // namespace

QString FromWindows1252Table(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        text.append(QChar(CharacterOf(static_cast<unsigned char>(c))));
    }
    return text;
}

std::string ToWindows1252Table(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        bytes.push_back(ByteOf(c.unicode()));
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
