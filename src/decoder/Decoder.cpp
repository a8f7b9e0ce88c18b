// The decoder reads the instrument's three lines one character at a time, stage by stage;
// each line ends with a carriage return (shown here as \r):
//
//   14:05:33   sp: LCP    rpm: 100   T: 27.5C\r
//   cP: 00001250\r
//    %: 10.2\r
//
//   SeekHour         "14:"            two digits and a colon: the hour
//   ReadTime         "05:33 "         minute digits, any one character, second digits, and any
//                                     one character, at which the message's date is taken
//   ReadSpindle      "sp: LCP "       the keyword, blanks, the code up to a character that is
//                                     neither letter nor digit
//   ReadSpeed        "rpm: 100 "      the keyword, blanks, digits and points up to a space
//   ReadTemperature  "T: 27.5C\r"     the keyword, digits, points and the unit letter, or an
//                                     error word (Lw, Hih, ---), up to a character out of range
//   ReadViscosity    "cP: 00001250\r" the unit (cP or mPas), ":", the value up to a carriage
//                                     return, or the words "Out of Range"
//   ReadTorque       " %: 10.2\r"     the keyword, at most four characters of value or "--", up
//                                     to the carriage return that completes the reading
//
// Lengths count the characters the instrument sent, a decimal point as one whatever the
// configured separator: a temperature has at least 3, a torque at most 4, and no field more
// than kMaxFieldLength (a longer one is no value the instrument sends: the message is dropped).
//
// Every character a field takes reaches the session-file row as it was sent, except a point
// the decoder replaces by DecimalSeparator. So a character the row cannot hold drops the
// message: a control character or a double quote (possible where any character is taken:
// between the minutes and the seconds, first in the spindle and in the viscosity), or one that
// completes FieldSeparator among the characters sent since the field's last replaced point.
//
// Inside a stage, Step says what the stage waits for next; the names below give each step.
// While a keyword is read, characters other than its next one are skipped. A character that
// breaks the grammar drops the message (ResetDecoder) and the search for an hour begins again.
#include "decoder/Decoder.h"

#include <cstring>

namespace rheo {
namespace {

constexpr char kCr = '\r';
constexpr std::size_t kMinTemperatureLength = 3;
constexpr std::size_t kMaxTorqueLength = 4;

// SeekHour's step is a digit slot (0 or 1): a digit moves on to the other slot and is kept
// there, any other character goes back to slot 0, and a colon takes the hour from the two
// slots. A step above 1 (left by a time stamp dropped in ReadTime) takes no hour.
constexpr std::uint8_t kSlotCount = 2;

// ReadTime: "HH:" is taken; then the minutes, any one character, the seconds, any one.
enum TimeStep : std::uint8_t {
    kMinuteTens = 4,
    kMinuteUnits = 5,
    kBetweenMinutesAndSeconds = 6,
    kSecondTens = 7,
    kSecondUnits = 8,
    kAfterSeconds = 9,
};

// ReadSpindle: steps 0 to 2 read "sp:".
enum SpindleStep : std::uint8_t {
    kSpindleFirstCharacter = 3,  // blanks skipped
    kSpindleCode = 4,            // letters and digits up to any other character
};

// ReadSpeed: steps 0 to 3 read "rpm:".
enum SpeedStep : std::uint8_t {
    kSpeedFirstDigit = 4,  // blanks skipped
    kSpeedDigits = 5,      // digits and points up to a space
};

// ReadTemperature: steps 0 and 1 read "T:".
enum TemperatureStep : std::uint8_t {
    kTemperatureValue = 2,  // up to a character out of range, or an error word
};

// ReadViscosity: the unit "cP" (steps 0, 1) or "mPas" (steps 0, 5, 6, 7), then ":".
enum ViscosityStep : std::uint8_t {
    kViscosityUnit = 0,  // "c" or "m"
    kCentipoiseP = 1,
    kViscosityColon = 2,
    kViscosityFirstCharacter = 3,  // blanks skipped; then any character opens the value
    kViscosityValue = 4,           // digits and points up to a carriage return, or "Out of Range"
    kMillipascalP = 5,
    kMillipascalA = 6,
    kMillipascalS = 7,
};

// ReadTorque: steps 0 and 1 read "%:".
enum TorqueStep : std::uint8_t {
    kTorqueFirstCharacter = 2,  // blanks skipped; a digit, or the second of two dashes
    kTorqueValue = 3,           // up to the carriage return that completes the reading
};

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

// Characters that split a row over more lines, or make a reader of separated text take the
// rows after it as one quoted field.
bool BreaksRow(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code < 0x20 || code == 0x7F || c == '"';
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
        if (step_ < kSlotCount) {
            if (StartField(working_.Hour, static_cast<char>('0' + digitSlots_[1 - step_])) &&
                AppendToField(working_.Hour, static_cast<char>('0' + digitSlots_[step_]), false) &&
                AppendToField(working_.Hour, ':', false)) {
                stage_ = DecoderStage::ReadTime;
                step_ = kMinuteTens;
            }
        } else {
            step_ = 0;
        }
    } else if (IsDigit(c)) {
        step_ = static_cast<std::uint8_t>((step_ + 1) % kSlotCount);
        digitSlots_[step_] = static_cast<std::uint8_t>(c - '0');
    } else {
        step_ = 0;
    }
}

void Decoder::ReadTime(char c) {
    switch (step_) {
        case kMinuteTens:
        case kMinuteUnits:
        case kSecondTens:
        case kSecondUnits:
            if (IsDigit(c)) {
                AppendToField(working_.Hour, c, false);
            } else {
                ResetDecoder();  // the step still moves on; SeekHour copes with any step
            }
            ++step_;
            break;
        case kBetweenMinutesAndSeconds:
            AppendToField(working_.Hour, c, false);
            step_ = kSecondTens;  // as after a digit step, dropped or not
            break;
        case kAfterSeconds:
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
        case kSpindleFirstCharacter:
            if (c != ' ' && StartField(working_.Spindle, c)) {
                step_ = kSpindleCode;
            }
            break;
        case kSpindleCode:
            if (IsAsciiLetter(c) || IsDigit(c)) {
                AppendToField(working_.Spindle, c, false);
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
        case kSpeedFirstDigit:
            if (c == ' ') {
                // skipped
            } else if (IsDigit(c)) {
                if (StartField(fieldText_, c)) {
                    step_ = kSpeedDigits;
                }
            } else {
                ResetDecoder();
            }
            break;
        case kSpeedDigits:
            if (c == ' ') {
                working_.Rpm = fieldText_;
                stage_ = DecoderStage::ReadTemperature;
                step_ = 0;
            } else if (IsDigit(c) || c == '.') {
                AppendToField(fieldText_, c, false);  // the speed keeps its point
            } else {
                ResetDecoder();
            }
            break;
        default:
            break;
    }
}

bool Decoder::StartField(Text& field, char c) {
    field.clear();
    fieldLength_ = 0;
    sentFrom_ = 0;
    return AppendToField(field, c, false);
}

bool Decoder::AppendToField(Text& field, char c, bool pointAsSeparator) {
    if (c == '.' && pointAsSeparator) {
        field += configuration_.DecimalSeparator;
        sentFrom_ = field.size();  // the separator is the decoder's, not the instrument's
    } else {
        field.push_back(c);
        const Text& separator = configuration_.FieldSeparator;
        if (BreaksRow(c) || (!separator.empty() && field.size() - sentFrom_ >= separator.size() &&
                             field.ends_with(separator))) {
            ResetDecoder();
            return false;
        }
    }
    if (++fieldLength_ > kMaxFieldLength) {
        ResetDecoder();
        return false;
    }
    return true;
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
    if (MatchKeyword("T:", c)) {
        if (step_ == kTemperatureValue) {
            working_.Temperature.clear();
            fieldLength_ = 0;
            sentFrom_ = 0;
        }
        return;
    }
    switch (step_) {
        case kTemperatureValue:
            if (!InRange(c)) {
                if (fieldLength_ >= kMinTemperatureLength) {
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
                AppendToField(working_.Temperature, c, true);
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
        case kViscosityUnit:
            if (c == 'c') {
                step_ = kCentipoiseP;
            } else if (c == 'm') {
                step_ = kMillipascalP;
            }
            break;
        case kCentipoiseP:
            if (c == 'P') {
                viscosityInCentipoise_ = true;
                step_ = kViscosityColon;
            }
            break;
        case kMillipascalP:
            if (c == 'P') {
                step_ = kMillipascalA;
            }
            break;
        case kMillipascalA:
            if (c == 'a') {
                step_ = kMillipascalS;
            }
            break;
        case kMillipascalS:
            if (c == 's') {
                viscosityInCentipoise_ = false;
                step_ = kViscosityColon;
            }
            break;
        case kViscosityColon:
            if (c == ':') {
                step_ = kViscosityFirstCharacter;
            }
            break;
        case kViscosityFirstCharacter:
            if (c != ' ' && StartField(fieldText_, c)) {
                step_ = kViscosityValue;
            }
            break;
        case kViscosityValue:
            if (IsDigit(c) || c == '.') {
                AppendToField(fieldText_, c, true);
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
        case kTorqueFirstCharacter:
            if (c == ' ') {
                // skipped
            } else if (IsDigit(c)) {
                if (StartField(fieldText_, c)) {
                    step_ = kTorqueValue;
                }
            } else if (c == '-') {
                if (rawText_.EndsWith("--")) {
                    fieldText_.clear();  // "--": no value; recorded as 0, separator, 0
                    fieldLength_ = 0;
                    sentFrom_ = 0;
                    step_ = kTorqueValue;
                }
            } else {
                ResetDecoder();
            }
            break;
        case kTorqueValue:
            if ((IsDigit(c) || c == '.') && !fieldText_.empty()) {
                if (AppendToField(fieldText_, c, true) && fieldLength_ > kMaxTorqueLength) {
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
    sink_.RecordReading(working_, messageDate_, rawText_.View());
}

}  // namespace rheo
