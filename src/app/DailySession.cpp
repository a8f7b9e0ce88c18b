#include "app/DailySession.h"

#include <filesystem>

namespace rheo {

std::string DailySession::FileName(const std::string& instrument, const Text& isoDate,
                                   const Text& extension) {
    std::string name = instrument + "_" + isoDate;
    if (!extension.empty()) {
        name += "." + extension;
    }
    return name;
}

std::string DailySession::PathFor(const Text& isoDate) const {
    return (std::filesystem::path(directory_) / FileName(instrument_, isoDate, extension_))
        .string();
}

bool DailySession::Start() {
    day_ = clock_.IsoDateText();
    return engine_.StartSession(PathFor(day_), SessionStart::Append, true);
}

bool DailySession::FollowDay() {
    if (engine_.Session().SessionFilePath.empty()) {
        return true;
    }
    const Text today = clock_.IsoDateText();
    if (today == day_) {
        return true;
    }
    day_ = today;
    return engine_.StartSession(PathFor(day_), SessionStart::Append);
}

}  // namespace rheo
