// The fuzz targets link the program's binding without the MCI library; a session sends
// through its MCI send function, which each target points at its own answers, so the real
// entry point is only needed to link and is never reached.
#include <cstdlib>

#include "mci.h"

MCIERROR mciSendCommandA(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR) {
    abort();
}
