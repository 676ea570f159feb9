// The threads one drawing may use, decided once by the front end (from
// --jobs or jobs=) and handed down: the views drawn side by side share it,
// and each view's renderer gets what its view was given. N views on T
// threads run min(N, T) at a time with T / min(N, T) renderer threads
// each, never T x N. Nothing below the front end asks the machine for its
// processor count again.
#pragma once

#include <cstddef>

namespace hlr_tool {

// The most threads a drawing may be given: far beyond any machine this
// runs on, low enough that a typing slip (100000) is refused rather than
// starting that many threads.
inline constexpr int max_jobs = 1024;

class Thread_Budget {
 public:
  // `jobs` threads, 1 to max_jobs; 0 for one per processor, with each
  // renderer sized to its picture (automatic). Throws std::invalid_argument
  // for anything else (Draw_Request::validate refuses it first).
  explicit Thread_Budget(int jobs = 0);

  // At least 1.
  int threads() const { return threads_; }
  // No count was given: one thread per processor.
  bool automatic() const { return automatic_; }

  // Of `parts` independent pieces of work, how many run at once.
  std::size_t parts_at_once(std::size_t parts) const;
  // What each of `parts` pieces of work run side by side may use: the
  // threads shared out among those running at once, at least 1 each.
  Thread_Budget share(std::size_t parts) const;

 private:
  Thread_Budget(int threads, bool automatic) : threads_(threads), automatic_(automatic) {}

  int threads_;
  bool automatic_;
};

}  // namespace hlr_tool
