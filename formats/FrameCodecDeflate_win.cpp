// The processors a Windows process may run on: its affinity mask, which the
// program narrows to one processor at start-up.
#include <windows.h>

#include "FrameCodecDeflate.h"

int processorsOfProcess() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  int n = 0;
  for (; process; process &= process - 1) ++n;
  return n;
}
