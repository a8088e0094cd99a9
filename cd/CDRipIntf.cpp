#include "CDRipIntf.h"

#include <dlfcn.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "mci.h"

namespace CDRipIntf {

void SetParam(TDriveParams& params, int offset, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) params.bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t GetParam(const TDriveParams& params, int offset) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(params.bytes[offset + i]) << (8 * i);
    return static_cast<int32_t>(v);
}

// ---------------------------------------------------------------------------------------
// Loading

std::string ExecutableDir() {
    char buf[PATH_MAX];
    std::string path;
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n > 0) {
        path.assign(buf, static_cast<size_t>(n));
    } else if (const auto* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
               started && realpath(started, buf)) {
        // No /proc (a bare chroot): the path the program was started by still leads to it.
        path = buf;
    }
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

void* OpenProgramLibrary(const std::string& path, const char* fileName) {
    if (!path.empty()) return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    // Beside the program in a build, in its private library folder once installed.
    for (const char* folder : {"/", "/../lib/sonvale/"}) {
        const std::string file = ExecutableDir() + folder + fileName;
        if (access(file.c_str(), F_OK) == 0) return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return nullptr;
}

uint32_t SendMciCommand(uint32_t device, uint32_t message, uintptr_t flags, uintptr_t params) {
    return mciSendCommandA(device, message, flags, params);
}

uint32_t MciMsfToPacked(uint32_t mciMsf) {
    return (static_cast<uint32_t>(MCI_MSF_MINUTE(mciMsf)) << 16) +
           (static_cast<uint32_t>(MCI_MSF_SECOND(mciMsf)) << 8) + MCI_MSF_FRAME(mciMsf);
}

// ---------------------------------------------------------------------------------------
// Time conversions

int32_t MsfToFrames(uint32_t msf) {
    return static_cast<int32_t>((msf >> 16) & 0xFF) * kFramesPerMinute +
           static_cast<int32_t>((msf >> 8) & 0xFF) * kFramesPerSecond +
           static_cast<int32_t>(msf & 0xFF);
}

int32_t MsfToSector(uint32_t msf) {
    return MsfToFrames(msf) - kLeadInFrames;
}

namespace {
uint32_t pack(int32_t minutes, int32_t seconds, int32_t frames) {
    // Minutes are not masked: a value past 255 spills into the upper byte rather than wrap.
    return (static_cast<uint32_t>(minutes) << 16) + (static_cast<uint32_t>(seconds) << 8) +
           static_cast<uint32_t>(frames);
}
}  // namespace

uint32_t SectorToMsf(int32_t sector) {
    const int32_t frames = sector % kFramesPerSecond;
    // In 64 bits: a sector near the top of the range (a library reporting garbage) must
    // not overflow on the way to its meaningless but well-defined time.
    const int64_t t = int64_t(sector) + kLeadInFrames;
    return pack(static_cast<int32_t>(t / kFramesPerMinute),
                static_cast<int32_t>((t / kFramesPerSecond) % 60), frames);
}

uint32_t FramesToMsf(int32_t count) {
    return pack(count / kFramesPerMinute, (count / kFramesPerSecond) % 60,
                count % kFramesPerSecond);
}

uint32_t AddMsf(uint32_t position, uint32_t duration) {
    return SectorToMsf(MsfToSector(position) + MsfToFrames(duration));
}

}  // namespace CDRipIntf
