// One run at a time on a checkpoint: the run that saves to FILE holds an
// exclusive lock on FILE.lock, beside it, from its start to its end, so that
// a second run given the same FILE fails at once instead of overwriting
// the first one's state or deleting it when it ends.
#pragma once

#include <string>

class CheckpointLock {
 public:
  // Takes the lock of the checkpoint at path, creating path.lock when there
  // is none, and then removes what saves to path left behind in a crash
  // (Checkpoint_RemoveLeftovers). Throws RunError (status 1) naming path
  // when another process holds the lock, or when no file can be created
  // beside path. Where the file system keeps no locks (flock fails for
  // want of them), the run goes on without one.
  explicit CheckpointLock(const std::string& path);
  // Removes path.lock and lets the lock go.
  ~CheckpointLock() { Release(); }
  // The same, early: for a process about to end without unwinding.
  void Release();
  CheckpointLock(const CheckpointLock&) = delete;
  CheckpointLock& operator=(const CheckpointLock&) = delete;

  // The lock file's name for a checkpoint at path.
  static std::string LockPath(const std::string& path);

 private:
  std::string lockPath_;
  int fd_ = -1;
  bool held_ = false;     // locked, not merely opened on a file system without locks
  bool created_ = false;  // this run made the lock file
};
