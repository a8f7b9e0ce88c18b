#pragma once
#include <string>

#include "app/Engine.h"
#include "platform/Clock.h"
#include "vocabulary/Text.h"

namespace rheo {

// One session file a day in a folder, named <instrument>_<YYYY-MM-DD>.<extension> after the
// clock's local day. Each file is taken as Open takes one (appended to, with a header only when
// the file is new), so a restart on the same day goes on in that day's file, and the first tick
// after local midnight moves the session to the next day's file, which starts with its header.
class DailySession {
  public:
    DailySession(Engine& engine, const Clock& clock, std::string directory, std::string instrument,
                 Text extension)
        : engine_(engine),
          clock_(clock),
          directory_(std::move(directory)),
          instrument_(std::move(instrument)),
          extension_(std::move(extension)) {}

    // "<instrument>_<isoDate>.<extension>" (no dot without an extension).
    static std::string FileName(const std::string& instrument, const Text& isoDate,
                                const Text& extension);
    // The day's file in the folder.
    std::string PathFor(const Text& isoDate) const;

    // Starts the session in today's file; false when that file cannot be opened.
    bool Start();
    // When the day has changed since the session's file was chosen, starts the session in the
    // new day's file; nothing while no session is open. False when the new file cannot be
    // opened (the session has then ended through the reading output's failure path).
    bool FollowDay();

  private:
    Engine& engine_;
    const Clock& clock_;
    std::string directory_;
    std::string instrument_;
    Text extension_;
    Text day_;  // the day of the session's file
};

}  // namespace rheo
