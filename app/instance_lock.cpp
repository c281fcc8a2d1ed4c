#include "app/instance_lock.h"

#include <QDir>
#include <QFileInfo>

#include "app/program_paths.h"

namespace mevra::app {

InstanceLock::InstanceLock(QString lock_path)
    : lock_path_(std::move(lock_path)), lock_(std::make_unique<QLockFile>(lock_path_)) {
  // Age says nothing about whether the holder still runs; only a holder that is gone makes the
  // lock stale.
  lock_->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

QString InstanceLock::DefaultPath() {
  return QFileInfo(ProgramPaths::ConfigFilePath())
      .absoluteDir()
      .filePath(QStringLiteral("MevraMP3Manager.lock"));
}

bool InstanceLock::TryLock() {
  if (lock_->isLocked()) return true;
  QDir().mkpath(QFileInfo(lock_path_).absolutePath());
  // tryLock itself removes a lock whose holder has gone.
  return lock_->tryLock(0);
}

bool InstanceLock::Locked() const { return lock_->isLocked(); }

bool InstanceLock::HeldElsewhere() const {
  return !lock_->isLocked() && lock_->error() == QLockFile::LockFailedError;
}

void InstanceLock::Unlock() { lock_->unlock(); }

qint64 InstanceLock::HolderPid() const {
  qint64 pid = 0;
  QString host;
  QString application;
  return lock_->getLockInfo(&pid, &host, &application) ? pid : 0;
}

}  // namespace mevra::app
