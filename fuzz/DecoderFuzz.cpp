// Arbitrary bytes from the serial line through the whole engine: decoder, reading history,
// units, event log and a live session file (every row flushed, closed and reopened) in a
// temporary directory. After every byte the engine's state must stay within its bounds; a
// violation stops the process with a message and a trap, so libFuzzer keeps the input.
//
// Input layout: the first byte picks the configuration and the session (see Setup), the rest
// is the traffic. Each input runs on a fresh engine, so every finding replays on its own; the
// session file and the event log are shared by the process and started afresh every
// kInputsPerFile inputs so that they stay small.
#include <sys/stat.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/ConfigurationFile.h"
#include "app/Engine.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/LiveSessionFile.h"
#include "platform/MonitorView.h"
#include "recording/EventLog.h"
#include "recording/ReadingOutput.h"

namespace {

using rheo::DecoderStage;
using rheo::Reading;
using rheo::Text;

constexpr int kInputsPerFile = 512;
constexpr std::size_t kMaxRawText = 4096;
constexpr std::uint8_t kMaxStep = 9;  // ReadTime's last step; a Reset there keeps up to 9
constexpr std::size_t kMaxHour = 8;   // "hh:" and five more characters of the time stamp
constexpr const char* kDate = "05/12/2026";

[[noreturn]] void Violated(const char* what) {
    std::fprintf(stderr, "engine invariant violated: %s\n", what);
    std::fflush(stderr);
    __builtin_trap();
}

void Require(bool holds, const char* what) {
    if (!holds) {
        Violated(what);
    }
}

// Nobody answers a box here: the session file lives in a healthy temporary directory, so the
// failure path must never be taken.
class NoBoxesExpected : public rheo::MessageBoxes {
  public:
    rheo::MessageAnswer Show(const Text&, const Text&, rheo::MessageIcon,
                             rheo::MessageButtons) override {
        Violated("a message box was shown although the session file is writable");
    }
};

// The process-wide files: one temporary directory with the session file and the event log.
struct Files {
    Files() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "rheo-fuzz-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr, "cannot create a temporary directory");
        directory = pattern;
        session = (directory / "session.csv").string();
        log = (directory / "vlog.txt").string();
        StartAfresh();
    }
    ~Files() {
        file.Close();
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }

    void StartAfresh() {
        Require(file.OpenForWriting(session), "cannot create the session file");
        std::FILE* emptied = std::fopen(log.c_str(), "wb");
        Require(emptied != nullptr, "cannot create the event log");
        std::fclose(emptied);
    }

    long long SessionSize() const {
        struct stat info {};
        Require(::stat(session.c_str(), &info) == 0, "the session file disappeared");
        return static_cast<long long>(info.st_size);
    }

    std::filesystem::path directory;
    std::string session;
    std::string log;
    rheo::LiveSessionFile file;
    int inputs = 0;
};

Files& SharedFiles() {
    static Files files;
    return files;
}

// The first byte: bits 0-1 the decimal separator, bits 2-3 the field separator, bit 4 no
// session, bit 5 a session file that already has its header (opened, not created).
struct Setup {
    rheo::Configuration configuration;
    bool session = true;
    bool headerPending = true;

    explicit Setup(std::uint8_t choice) {
        static constexpr std::array<const char*, 4> kDecimal{".", ",", "", "<>"};
        static constexpr std::array<const char*, 4> kField{",", ";", "\t", ""};
        configuration.DecimalSeparator = kDecimal[choice & 3u];
        configuration.FieldSeparator = kField[(choice >> 2) & 3u];
        session = (choice & 0x10u) == 0;
        headerPending = (choice & 0x20u) == 0;
    }
};

// The torque's length as the instrument sent it, at most: the decimal separator in the working
// reading stands for the one "." it replaced.
std::size_t SentLength(const Text& torque, const std::string& separator) {
    if (separator.size() <= 1) {
        return torque.size();
    }
    std::size_t length = torque.size();
    for (std::size_t at = torque.find(separator); at != Text::npos;
         at = torque.find(separator, at + separator.size())) {
        length -= separator.size() - 1;
    }
    return length;
}

bool TorqueWithinBounds(const Text& torque, const rheo::Configuration& configuration) {
    return SentLength(torque, configuration.DecimalSeparator) <= 4 ||
           torque == "0" + configuration.DecimalSeparator + "0";
}

// What must hold after every byte, given what held after the one before.
class Invariants {
  public:
    Invariants(const rheo::Engine& engine, const Setup& setup) : engine_(engine), setup_(setup) {}

    void AfterByte() {
        const rheo::Decoder& decoder = engine_.Decoder();
        const rheo::ReadingHistory& history = engine_.Output().History();

        Require(static_cast<unsigned>(decoder.Stage()) <=
                    static_cast<unsigned>(DecoderStage::ReadTorque),
                "decoder stage out of 0..6");
        Require(decoder.Step() <= kMaxStep, "Step above 9");
        Require(decoder.DigitSlots()[0] <= 9 && decoder.DigitSlots()[1] <= 9,
                "a DigitSlots entry is not a digit");
        Require(decoder.RawText().size() <= kMaxRawText, "RawText above 4096 characters");
        Require(decoder.WorkingReading().Hour.size() <= kMaxHour,
                "working Hour above 8 characters");
        Require(TorqueWithinBounds(decoder.WorkingReading().Torque, setup_.configuration),
                "working torque above 4 characters");

        Require(history.HistoryIndex < rheo::ReadingHistory::kUsedSlots,
                "HistoryIndex out of 0..19");
        Require(history.ReadingSlots[rheo::ReadingHistory::kUsedSlots] == Reading{},
                "slot 20 of the history was written");

        if (history.HistoryIndex != index_) {
            // One byte completes at most one reading, which goes to the next slot in rotation.
            Require(history.HistoryIndex == (index_ + 1) % rheo::ReadingHistory::kUsedSlots,
                    "HistoryIndex skipped a slot");
            const Reading& stored = history.ReadingSlots[index_];
            Require(TorqueWithinBounds(stored.Torque, setup_.configuration),
                    "recorded torque above 4 characters");
            Require(stored.Date == kDate, "recorded reading without today's date");
            // A completed reading leaves the decoder looking for the next time stamp.
            Require(decoder.RawText().empty(), "RawText not empty after a completed reading");
            Require(decoder.Stage() == DecoderStage::SeekHour && decoder.Step() == 0,
                    "decoder not back at SeekHour step 0 after a completed reading");
            ExpectRow(stored);
            index_ = history.HistoryIndex;
            ++readings_;
        }
        Require(history.HistoryWrapped == (readings_ >= rheo::ReadingHistory::kUsedSlots),
                "HistoryWrapped disagrees with the number of readings");
        Require(engine_.Session().ProcessStarted == (readings_ > 0),
                "ProcessStarted disagrees with the readings recorded");
        Require(!engine_.Busy(), "engine busy outside a message box");
    }

    long long ExpectedGrowth() const { return growth_; }

  private:
    // The bytes this reading adds to the session file: the header first when one is pending.
    void ExpectRow(const Reading& stored) {
        if (!setup_.session) {
            return;
        }
        if (readings_ == 0 && setup_.headerPending) {
            const auto& output = engine_.Output();
            growth_ += static_cast<long long>(rheo::HeaderLine(setup_.configuration,
                                                               output.TemperatureUnitSuffix(),
                                                               output.ViscosityUnitSuffix())
                                                  .size() +
                                              2);
        }
        growth_ +=
            static_cast<long long>(rheo::RowLine(setup_.configuration, stored, kDate).size() + 2);
    }

    const rheo::Engine& engine_;
    const Setup& setup_;
    std::uint8_t index_ = 0;
    std::size_t readings_ = 0;
    long long growth_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    Files& files = SharedFiles();
    if (++files.inputs % kInputsPerFile == 0) {
        files.StartAfresh();
    }
    Require(files.file.IsOpen(), "the session file was left closed");

    const Setup setup(data[0]);
    rheo::FixedClock clock(kDate, "14:05:40");
    rheo::EventLog log(files.log, clock);
    rheo::NoMonitorView view;
    NoBoxesExpected boxes;
    rheo::ReadingHistory history;
    rheo::Engine engine(setup.configuration, clock, log, files.file, view, boxes, history);
    // The session's file stays open from one input to the next (opening it for every input
    // would cost more than the decoding), so the session is set up around it here.
    if (setup.session) {
        engine.Session().SessionFilePath = files.session;
        engine.Session().HeaderPending = setup.headerPending;
    }
    const long long sizeBefore = files.SessionSize();

    Invariants invariants(engine, setup);
    for (std::size_t i = 1; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        Require(engine.Feed(std::string_view(&c, 1)), "a character was refused");
        invariants.AfterByte();
    }

    // Every row reached the file, once, at the moment its reading completed.
    Require(files.SessionSize() - sizeBefore == invariants.ExpectedGrowth(),
            "the session file did not grow by the header and rows recorded");
    Require(engine.Session().SessionFilePath == (setup.session ? files.session : std::string()),
            "the session was dropped");
    return 0;
}
