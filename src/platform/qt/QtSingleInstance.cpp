#include "platform/qt/QtSingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace rheo {
namespace {

// Whether only the user can change what the folder holds: the user's own, writable by nobody
// else. Elsewhere than Unix the per-user folders are the user's anyway.
bool UsersOwn(const QString& directory) {
#ifdef Q_OS_UNIX
    const QFileInfo info(directory);
    return info.isDir() && info.ownerId() == ::geteuid() &&
           (info.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther)) == 0;
#else
    return !directory.isEmpty();
#endif
}

// The user's runtime folder; without one of the user's own (su, ssh and cron leave
// XDG_RUNTIME_DIR unset, and another account may have made the fallback in /tmp), a folder in
// the user's cache. Never a folder shared with other accounts, where one of them could hold
// the lock and keep this user from starting.
QString LockDirectory() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (UsersOwn(runtime)) {
        return runtime;
    }
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/rheotrackpanel");
    QDir().mkpath(cache);
    QFile::setPermissions(cache,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return cache;
}

// The process that wrote a lock on this machine no longer exists.
bool OwnerGone(qint64 pid, const QString& host) {
#ifdef Q_OS_UNIX
    return pid > 0 && (host.isEmpty() || host == QSysInfo::machineHostName()) &&
           ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#else
    Q_UNUSED(pid);
    Q_UNUSED(host);
    return false;  // QLockFile's own check in tryLock covers the other systems
#endif
}

}  // namespace

QtSingleInstance::QtSingleInstance(QString directory)
    : path_(QDir(directory.isEmpty() ? LockDirectory() : directory)
                .filePath(QString::fromLatin1(kLockFileName))),
      lock_(std::make_unique<QLockFile>(path_)) {
    // The first copy may run for weeks: its lock must never count as stale for its age. A lock
    // whose owner process is gone is still recognised as stale and taken over.
    lock_->setStaleLockTime(0);
}

QtSingleInstance::~QtSingleInstance() = default;  // QLockFile removes the lock it holds

bool QtSingleInstance::Acquire() {
    if (lock_->isLocked()) {
        return true;
    }
    if (lock_->tryLock(0)) {
        return true;
    }
    if (lock_->error() != QLockFile::LockFailedError) {
        // The directory cannot hold a lock (missing, read-only): refusing to start would lock
        // the user out for good, so this copy runs unguarded.
        return true;
    }
    // tryLock already removes a lock whose owner is gone; a second look covers an owner that
    // ended between its check and now.
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock_->getLockInfo(&pid, &host, &application) && OwnerGone(pid, host) &&
        lock_->removeStaleLockFile()) {
        return lock_->tryLock(0);
    }
    return false;
}

}  // namespace rheo
