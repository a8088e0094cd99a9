#include "RipState.h"

namespace Rip {
bool RipInProgress = false;
bool CancelRequested = false;
}  // namespace Rip
