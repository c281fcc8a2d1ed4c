#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace mevra::app {

// One running copy per configuration: the window holds this lock while it runs, so that a second
// start and a window-less batch know that a window already works with the same settings and
// browser profile. The lock is a file whose holder's process id the system checks: a lock left
// behind by a copy that crashed is taken over, never obeyed.
class InstanceLock {
 public:
  explicit InstanceLock(QString lock_path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // The lock beside config.ini, so that a portable copy and an installed one do not collide.
  static QString DefaultPath();

  // Takes the lock; false when a running process holds it.
  bool TryLock();
  bool Locked() const;
  // The last TryLock failed because a running process holds the lock, not because the lock
  // file could not be written.
  bool HeldElsewhere() const;
  void Unlock();
  // The process id of the copy that holds the lock, 0 when it cannot be read.
  qint64 HolderPid() const;
  const QString& Path() const { return lock_path_; }

 private:
  QString lock_path_;
  std::unique_ptr<QLockFile> lock_;
};

}  // namespace mevra::app
