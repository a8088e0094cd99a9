#include "RipState.h"

namespace Rip {
bool RipInProgress = false;
bool CancelRequested = false;
bool BatchRunning = false;
}  // namespace Rip
