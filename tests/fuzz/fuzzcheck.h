// What the fuzz targets share: a check that names the broken invariant before the fuzzer
// keeps the input, and a scratch folder that lives as long as the process.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#define CHECK(condition)                                                                  \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace fuzzsupport {

// Made once per process; the targets write their inputs and fixed files there. In memory
// where the machine has a tmpfs: the settings file is written with fsync, which on a disk
// slows the search tenfold. Removed on a normal exit; a crash leaves it for a look.
inline const std::string& scratchFolder() {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        const bool shm = access("/dev/shm", W_OK) == 0;
        const std::string base = tmp && *tmp ? tmp : shm ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/sonvale-fuzz-XXXXXX";
        CHECK(mkdtemp(pattern.data()) != nullptr);
        return pattern;
    }();
    static const bool cleanup = std::atexit([] { std::filesystem::remove_all(path); }) == 0;
    (void)cleanup;
    return path;
}

inline void writeFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), std::streamsize(size));
    CHECK(out.good());
}

}  // namespace fuzzsupport
