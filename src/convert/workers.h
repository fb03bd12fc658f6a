// The threads that share a conversion's work: one for each core, each with a
// face of its own on the same font's bytes, opened once and kept for every
// task (judging the sizes, measuring the strokes, drawing the glyphs, making
// the outputs' text). A task takes its work from a shared counter, so that
// the result does not depend on how many workers take part.
#ifndef FONTGRAFT_CONVERT_WORKERS_H
#define FONTGRAFT_CONVERT_WORKERS_H

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "convert/face.h"

// The most workers: more cores than this bring nothing on the largest fonts.
constexpr unsigned kMaxWorkers = 8;

class Workers {
 public:
  // Worker 0 draws with `first`, the caller's face (face `index` of `data`,
  // opened); each other worker opens that face for itself the first time it
  // takes part, on its own thread. At most `most` workers (0: one a core).
  Workers(const FontData& data, int index, Face* first, unsigned most = 0);
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  std::size_t size() const { return faces_.size(); }
  // Worker 0's face, the caller's.
  Face* first() const { return faces_[0]; }

  // Runs task(face, worker) on the first `count` workers at once (worker 0
  // on this thread) and returns when every one has finished. A worker that
  // cannot have a thread, or whose face cannot be opened, takes no part; so
  // a task must share its work through a counter (see Jobs), never by the
  // worker's number. An exception thrown by a task (out of memory) is
  // thrown here, once all have finished.
  void run(std::size_t count, const std::function<void(Face*, std::size_t)>& task);

 private:
  // The face of worker `w`, opened where it is not yet; null where it cannot be.
  Face* faceOf(std::size_t w);

  const FontData& data_;
  int index_;
  std::vector<std::unique_ptr<Face>> own_;  // the faces workers 1 on opened
  std::vector<Face*> faces_;
  std::vector<char> failed_;  // a face that could not be opened is not tried again
};

// Numbered jobs 0 to `total` - 1, taken `step` at a time by whichever worker
// asks next.
class Jobs {
 public:
  Jobs(std::size_t total, std::size_t step) : total_(total), step_(step) {}
  // The next jobs [*from, *to); false when none are left.
  bool take(std::size_t* from, std::size_t* to) {
    const std::size_t first = next_.fetch_add(step_);
    if (first >= total_) {
      return false;
    }
    *from = first;
    *to = first + step_ < total_ ? first + step_ : total_;
    return true;
  }
  // No job is handed out after this.
  void stop() { next_.store(total_); }

 private:
  std::size_t total_;
  std::size_t step_;
  std::atomic<std::size_t> next_{0};
};

#endif
