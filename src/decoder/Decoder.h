#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/Clock.h"
#include "vocabulary/Configuration.h"
#include "vocabulary/DecoderSink.h"
#include "vocabulary/EventLogger.h"
#include "vocabulary/Reading.h"

namespace rheo {

enum class DecoderStage : std::uint8_t {
    SeekHour = 0,
    ReadTime = 1,
    ReadSpindle = 2,
    ReadSpeed = 3,
    ReadTemperature = 4,
    ReadViscosity = 5,
    ReadTorque = 6,
};

// True for one ASCII letter or one of the twelve Spanish and Catalan letters of Windows-1252.
bool IsLetter(std::string_view c);

// Every character fed since the last reset or completed reading, keeping only the most recent
// kMaxLength characters so that a line that never completes a message cannot grow without end.
class RawTextBuffer {
  public:
    static constexpr std::size_t kMaxLength = 4096;

    void Append(char c) {
        if (size_ == bytes_.size()) {
            Shift();
        }
        bytes_[size_++] = c;
    }
    void Clear() { size_ = 0; }
    std::string_view View() const;
    bool EndsWith(std::string_view suffix) const;
    std::size_t Size() const { return View().size(); }

  private:
    void Shift();  // keeps the last kMaxLength - 1 characters, at the start

    // Up to twice kMaxLength characters, so that the tail is moved only once every kMaxLength
    // characters; only the last kMaxLength count.
    std::array<char, 2 * kMaxLength> bytes_{};
    std::size_t size_ = 0;
};

// The instrument's message decoder: a state machine fed one character at a time.
class Decoder {
  public:
    // The longest field value the decoder takes, in characters the instrument sent; a message
    // with a longer one is dropped.
    static constexpr std::size_t kMaxFieldLength = RawTextBuffer::kMaxLength;

    Decoder(const Configuration& configuration, const Clock& clock, DecoderSink& sink,
            EventLogger& log)
        : configuration_(configuration), clock_(clock), sink_(sink), log_(log) {}

    void DecodeCharacter(char c);
    // DecodeCharacter for each character in turn.
    void DecodeText(std::string_view text);
    // Back to SeekHour with an empty RawText; Step, DigitSlots, FieldText and the working
    // reading keep their values.
    void ResetDecoder();

    DecoderStage Stage() const { return stage_; }
    std::uint8_t Step() const { return step_; }
    const std::array<std::uint8_t, 2>& DigitSlots() const { return digitSlots_; }
    const Text& FieldText() const { return fieldText_; }
    std::string_view RawText() const { return rawText_.View(); }
    const Reading& WorkingReading() const { return working_; }
    const Text& MessageDate() const { return messageDate_; }
    bool ViscosityInCentipoise() const { return viscosityInCentipoise_; }

  private:
    // Steps 0 to keyword length - 1 of a stage that opens with a keyword; false past it.
    bool MatchKeyword(std::string_view keyword, char c);
    void SeekHour(char c);
    void ReadTime(char c);
    void ReadSpindle(char c);
    void ReadSpeed(char c);
    void ReadTemperature(char c);
    void ReadViscosity(char c);
    void ReadTorque(char c);
    void TemperatureErrorWord(const char* word, const char* error, EventKind kind);
    void Complete();
    // The field being read: its first character, then each further one the instrument sends
    // (a "." as DecimalSeparator when pointAsSeparator). A field that grows past
    // kMaxFieldLength, or a character its session-file row cannot hold, drops the message;
    // they then return false.
    bool StartField(Text& field, char c);
    bool AppendToField(Text& field, char c, bool pointAsSeparator);

    const Configuration& configuration_;
    const Clock& clock_;
    DecoderSink& sink_;
    EventLogger& log_;

    DecoderStage stage_ = DecoderStage::SeekHour;
    std::uint8_t step_ = 0;
    std::array<std::uint8_t, 2> digitSlots_{0, 0};
    Text fieldText_;
    std::size_t fieldLength_ = 0;  // characters the instrument sent for the field being read
    std::size_t sentFrom_ = 0;     // where the field's text since its last DecimalSeparator starts
    RawTextBuffer rawText_;
    Reading working_;  // never cleared as a whole; Date is set as a message completes
    Text messageDate_;
    bool viscosityInCentipoise_ = false;
};

}  // namespace rheo
