#include "recording/ReadingHistory.h"

namespace rheo {

void ReadingHistory::Store(const Reading& reading) {
    ReadingSlots[HistoryIndex] = reading;
    if (HistoryIndex == kUsedSlots - 1) {
        HistoryIndex = 0;
        HistoryWrapped = true;
    } else {
        ++HistoryIndex;
    }
}

std::vector<const Reading*> MonitorRows(const ReadingHistory& history) {
    std::vector<const Reading*> rows;
    rows.reserve(ReadingHistory::kUsedSlots);
    if (history.HistoryWrapped) {
        for (std::size_t slot = history.HistoryIndex; slot < ReadingHistory::kUsedSlots; ++slot) {
            rows.push_back(&history.ReadingSlots[slot]);
        }
        for (std::size_t slot = 0; slot < history.HistoryIndex; ++slot) {
            rows.push_back(&history.ReadingSlots[slot]);
        }
    } else {
        for (std::size_t slot = 0; slot < ReadingHistory::kUsedSlots; ++slot) {
            rows.push_back(&history.ReadingSlots[slot]);
        }
    }
    return rows;
}

}  // namespace rheo
