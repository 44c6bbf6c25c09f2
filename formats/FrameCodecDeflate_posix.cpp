// The processors a Linux process may run on: its affinity set (taskset and
// containers narrow it below the machine's count).
#include <sched.h>

#include "FrameCodecDeflate.h"

int processorsOfProcess() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int n = CPU_COUNT(&set);
  return n > 0 ? n : 1;
}
