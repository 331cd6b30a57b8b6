#include "runtime/split/ordered_jobs.h"

namespace kova::runtime {

unsigned jobThreads(unsigned requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? cores : 1;
}

}  // namespace kova::runtime
