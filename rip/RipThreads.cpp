#include "RipThreads.h"

namespace Rip {

void TRipLauncherThread::run() {
    setPriority(QThread::HighestPriority);
    batch_();
}

}  // namespace Rip
