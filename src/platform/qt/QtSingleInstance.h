#pragma once
#include <QLockFile>
#include <QString>
#include <memory>

#include "platform/SingleInstance.h"

namespace rheo {

// One copy per user session: a lock file in the user's runtime directory, held for as long as
// this object lives. A lock left by a copy that crashed or was killed is taken over.
class QtSingleInstance : public SingleInstance {
  public:
    static constexpr const char* kLockFileName = "rheotrackpanel.lock";

    // directory: where the lock lives; empty for the user's runtime directory (the temporary
    // directory when the platform has none).
    explicit QtSingleInstance(QString directory = {});
    ~QtSingleInstance() override;
    QtSingleInstance(const QtSingleInstance&) = delete;
    QtSingleInstance& operator=(const QtSingleInstance&) = delete;

    bool Acquire() override;
    QString LockFilePath() const { return path_; }

  private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace rheo
