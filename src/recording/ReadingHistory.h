#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "vocabulary/Reading.h"

namespace rheo {

// The last twenty readings, used in rotation. Slot 20 exists but is never written.
struct ReadingHistory {
    static constexpr std::size_t kSlots = 21;
    static constexpr std::uint8_t kUsedSlots = 20;

    std::array<Reading, kSlots> ReadingSlots{};
    std::uint8_t HistoryIndex = 0;  // the slot the next reading goes to
    bool HistoryWrapped = false;    // all twenty slots hold readings; the oldest is at HistoryIndex

    void Store(const Reading& reading);
};

// The slots in the order the reading list shows them: before wrapping slots 0 to 19 (blank
// ones included), afterwards oldest first. Always twenty rows.
std::vector<const Reading*> MonitorRows(const ReadingHistory& history);

}  // namespace rheo
