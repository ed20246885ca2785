// Checkpoints of betweenness runs. The state of a run after its first k
// sources is k and the running scores: every score has then seen exactly
// the additions of sources 0 .. k-1, in order, so a run resumed from it
// prints the same bytes as one never stopped, whatever the thread counts
// before and after.
//
// The file, native little-endian:
//   magic "PATHSUITE-CKPT\0\0" (16 bytes), format version (uint32),
//   program name (16 bytes, NUL-padded), node capacity (int64), node count
//   (int64), input size in bytes (uint64), ByteHash of the input (uint64),
//   sources done k (int64), the scores (node count doubles, raw bits), and a
//   ByteHash of every byte before it (uint64).
// It is written beside its final name (path.tmp-XXXXXX), flushed to disk
// and renamed over it, so a crash at any moment leaves the old checkpoint or
// the new one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class ByteHash;
struct EdgeList;

// What a checkpoint must agree with to be resumed: the run it belongs to.
struct CheckpointIdentity {
  std::string program;
  int64_t capacity = 0;
  int64_t nodeCount = 0;
  uint64_t inputSize = 0;
  uint64_t inputHash = 0;
};

struct CheckpointState {
  int64_t sourcesDone = 0;
  std::vector<double> scores;  // nodeCount entries
};

// Feeds a graph's content to hash, however the graph was made: its names,
// its ends and its weights, so that a checkpoint names the graph itself.
void Checkpoint_HashGraph(ByteHash& hash, const EdgeList& edges);

// The state saved in path, or nothing when no file is there. A file that
// cannot be read, is not a checkpoint, is truncated or corrupt, or belongs
// to another program, input or capacity throws RunError (status 1) naming
// path and the reason; the file is left as it is.
std::optional<CheckpointState> Checkpoint_Read(const std::string& path,
                                               const CheckpointIdentity& run);

// Saves the state under path, replacing any earlier checkpoint only once
// the new one is complete on disk. Throws RunError (status 1) naming path
// and the system's reason when it cannot; the earlier checkpoint then stays.
void Checkpoint_Write(const std::string& path, const CheckpointIdentity& run,
                      int64_t sourcesDone, std::span<const double> scores);

// Throws RunError (status 1) unless a file can be created beside path, so
// that a run learns at its start that it could not save its state.
void Checkpoint_CheckWritable(const std::string& path);

// Removes the checkpoint once the run it saved has ended well.
void Checkpoint_Remove(const std::string& path);

// Removes the files in the making that saves to path left behind when the
// process ended during a save (a crash, SIGKILL): regular files beside path
// named as a save names them and holding the start of a checkpoint, and
// nothing else. Only for the run that holds path's lock (CheckpointLock),
// so that no save of another run is under way.
void Checkpoint_RemoveLeftovers(const std::string& path);
