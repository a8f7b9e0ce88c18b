#include "decoder/Decoder.h"

#include <cstring>

namespace rheo {
namespace {

constexpr char kCr = '\r';

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Space to "z"; control characters, "{" to "~", DEL and everything above 0x7F are out of range.
bool InRange(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 0x20 && code <= 0x7A;
}

}  // namespace

bool IsLetter(std::string_view c) {
    if (c.size() != 1) {
        return false;
    }
    if (IsAsciiLetter(c[0])) {
        return true;
    }
    // Windows-1252: ñ Ñ ç Ç á é í ó ú à è ò
    switch (static_cast<unsigned char>(c[0])) {
        case 0xF1:
        case 0xD1:
        case 0xE7:
        case 0xC7:
        case 0xE1:
        case 0xE9:
        case 0xED:
        case 0xF3:
        case 0xFA:
        case 0xE0:
        case 0xE8:
        case 0xF2:
            return true;
        default:
            return false;
    }
}

void RawTextBuffer::Shift() {
    std::memmove(bytes_.data(), bytes_.data() + size_ - (kMaxLength - 1), kMaxLength - 1);
    size_ = kMaxLength - 1;
}

std::string_view RawTextBuffer::View() const {
    const std::string_view all(bytes_.data(), size_);
    return all.size() > kMaxLength ? all.substr(all.size() - kMaxLength) : all;
}

bool RawTextBuffer::EndsWith(std::string_view suffix) const {
    return View().ends_with(suffix);
}

bool Decoder::MatchKeyword(std::string_view keyword, char c) {
    if (step_ >= keyword.size()) {
        return false;
    }
    // While a keyword is being read, only its next character moves on; others are skipped.
    if (c == keyword[step_]) {
        ++step_;
    }
    return true;
}

void Decoder::ResetDecoder() {
    stage_ = DecoderStage::SeekHour;
    rawText_.Clear();
}

void Decoder::DecodeCharacter(char c) {
    rawText_.Append(c);
    switch (stage_) {
        case DecoderStage::SeekHour:
            SeekHour(c);
            break;
        case DecoderStage::ReadTime:
            ReadTime(c);
            break;
        case DecoderStage::ReadSpindle:
            ReadSpindle(c);
            break;
        case DecoderStage::ReadSpeed:
            ReadSpeed(c);
            break;
        case DecoderStage::ReadTemperature:
            ReadTemperature(c);
            break;
        case DecoderStage::ReadViscosity:
            ReadViscosity(c);
            break;
        case DecoderStage::ReadTorque:
            ReadTorque(c);
            break;
    }
}

// Beside DecodeCharacter, so that the per-character work is inlined into this loop rather
// than called once per character: the replay tool decodes whole captures through here.
void Decoder::DecodeText(std::string_view text) {
    for (const char c : text) {
        DecodeCharacter(c);
    }
}

void Decoder::SeekHour(char c) {
    if (c == ':') {
        if (step_ <= 1) {
            working_.Hour.clear();
            working_.Hour.push_back(static_cast<char>('0' + digitSlots_[1 - step_]));
            working_.Hour.push_back(static_cast<char>('0' + digitSlots_[step_]));
            working_.Hour.push_back(':');
            stage_ = DecoderStage::ReadTime;
            step_ = 4;
        } else {
            step_ = 0;
        }
    } else if (IsDigit(c)) {
        step_ = static_cast<std::uint8_t>((step_ + 1) % 2);
        digitSlots_[step_] = static_cast<std::uint8_t>(c - '0');
    } else {
        step_ = 0;
    }
}

void Decoder::ReadTime(char c) {
    switch (step_) {
        case 4:
        case 5:
        case 7:
        case 8:
            if (IsDigit(c)) {
                working_.Hour.push_back(c);
            } else {
                ResetDecoder();
            }
            ++step_;
            break;
        case 6:
            working_.Hour.push_back(c);
            step_ = 7;
            break;
        case 9:
            messageDate_ = clock_.DateText();
            stage_ = DecoderStage::ReadSpindle;
            step_ = 0;
            break;
        default:
            break;
    }
}

void Decoder::ReadSpindle(char c) {
    if (MatchKeyword("sp:", c)) {
        return;
    }
    switch (step_) {
        case 3:
            if (c != ' ') {
                working_.Spindle.assign(1, c);
                step_ = 4;
            }
            break;
        case 4:
            if (IsAsciiLetter(c) || IsDigit(c)) {
                working_.Spindle.push_back(c);
            } else {
                stage_ = DecoderStage::ReadSpeed;
                step_ = 0;
            }
            break;
        default:
            break;
    }
}

void Decoder::ReadSpeed(char c) {
    if (MatchKeyword("rpm:", c)) {
        return;
    }
    switch (step_) {
        case 4:
            if (c == ' ') {
                // skipped
            } else if (IsDigit(c)) {
                fieldText_.assign(1, c);
                step_ = 5;
            } else {
                ResetDecoder();
            }
            break;
        case 5:
            if (c == ' ') {
                working_.Rpm = fieldText_;
                stage_ = DecoderStage::ReadTemperature;
                step_ = 0;
            } else if (IsDigit(c) || c == '.') {
                fieldText_.push_back(c);
            } else {
                ResetDecoder();
            }
            break;
        default:
            break;
    }
}

void Decoder::AppendNumberCharacter(Text& field, char c) const {
    if (c == '.') {
        field += configuration_.DecimalSeparator;
    } else {
        field.push_back(c);
    }
}

void Decoder::TemperatureErrorWord(const char* word, const char* error, EventKind kind) {
    if (rawText_.EndsWith(word)) {
        working_.Temperature.clear();
        working_.TemperatureError = error;
        stage_ = DecoderStage::ReadViscosity;
        step_ = 0;
        log_.LogEvent(kind, Text(rawText_.View()));
    } else {
        ResetDecoder();
    }
}

void Decoder::ReadTemperature(char c) {
    switch (step_) {
        case 0:
            if (c == 'T') {
                step_ = 1;
            }
            break;
        case 1:
            if (c == ':') {
                working_.Temperature.clear();
                step_ = 2;
            }
            break;
        case 2:
            if (!InRange(c)) {
                if (working_.Temperature.size() >= 3) {
                    stage_ = DecoderStage::ReadViscosity;
                    step_ = 0;
                } else {
                    ResetDecoder();
                }
            } else if (c == 'w') {
                TemperatureErrorWord("Lw", "LOW", EventKind::TemperatureUnderflow);
            } else if (c == 'h') {
                TemperatureErrorWord("Hih", "HIGH", EventKind::TemperatureOverflow);
            } else if (c == '-') {
                // An incomplete run of dashes is skipped; only the third dash is the error word.
                if (rawText_.EndsWith("---")) {
                    TemperatureErrorWord("---", "ERROR", EventKind::TemperatureSensorFault);
                }
            } else if (IsDigit(c) || c == '.') {
                AppendNumberCharacter(working_.Temperature, c);
            } else if (c == 'C') {
                working_.TemperatureError.clear();
                sink_.ShowTemperatureUnit("C");
            } else if (c == 'F') {
                sink_.ShowTemperatureUnit("F");
                working_.TemperatureError.clear();
            }
            break;
        default:
            break;
    }
}

void Decoder::ReadViscosity(char c) {
    switch (step_) {
        case 0:
            if (c == 'c') {
                step_ = 1;
            } else if (c == 'm') {
                step_ = 5;
            }
            break;
        case 1:
            if (c == 'P') {
                viscosityInCentipoise_ = true;
                step_ = 2;
            }
            break;
        case 5:
            if (c == 'P') {
                step_ = 6;
            }
            break;
        case 6:
            if (c == 'a') {
                step_ = 7;
            }
            break;
        case 7:
            if (c == 's') {
                viscosityInCentipoise_ = false;
                step_ = 2;
            }
            break;
        case 2:
            if (c == ':') {
                step_ = 3;
            }
            break;
        case 3:
            if (c != ' ') {
                fieldText_.assign(1, c);
                step_ = 4;
            }
            break;
        case 4:
            if (IsDigit(c) || c == '.') {
                AppendNumberCharacter(fieldText_, c);
            } else if (c == kCr) {
                working_.Viscosity = fieldText_;
                working_.ViscosityError.clear();
                stage_ = DecoderStage::ReadTorque;
                step_ = 0;
                sink_.ShowViscosityUnit(viscosityInCentipoise_ ? "cP" : "mPas");
            } else if (c == 'e') {
                if (rawText_.EndsWith("Out of Range")) {
                    working_.Viscosity.assign(1, '0');  // assign: GCC 12 -O3 warns wrongly on = "0"
                    working_.ViscosityError = "Out of Range";
                    stage_ = DecoderStage::ReadTorque;
                    step_ = 0;
                    log_.LogEvent(EventKind::ViscosityFault, Text(rawText_.View()));
                } else {
                    ResetDecoder();
                }
            } else if (c == ' ' || IsLetter(std::string_view(&c, 1))) {
                // skipped: the letters and blanks of "Out of Range"
            } else {
                ResetDecoder();
            }
            break;
        default:
            break;
    }
}

void Decoder::ReadTorque(char c) {
    if (MatchKeyword("%:", c)) {
        return;
    }
    switch (step_) {
        case 2:
            if (c == ' ') {
                // skipped
            } else if (IsDigit(c)) {
                fieldText_.assign(1, c);
                step_ = 3;
            } else if (c == '-') {
                if (rawText_.EndsWith("--")) {
                    fieldText_.clear();
                    step_ = 3;
                }
            } else {
                ResetDecoder();
            }
            break;
        case 3:
            if ((IsDigit(c) || c == '.') && !fieldText_.empty()) {
                AppendNumberCharacter(fieldText_, c);
                if (fieldText_.size() > 4) {
                    ResetDecoder();
                }
            } else if (c == kCr) {
                working_.Torque =
                    fieldText_.empty() ? "0" + configuration_.DecimalSeparator + "0" : fieldText_;
                Complete();
            }
            break;
        default:
            break;
    }
}

void Decoder::Complete() {
    // The working reading itself is handed over, dated: no copy of its nine texts per message.
    working_.Date = clock_.DateText();
    ResetDecoder();
    step_ = 0;
    sink_.RecordReading(working_, messageDate_);
}

}  // namespace rheo
