// A small file system that fills up, for tests of full disks.
#pragma once

#include <sys/mount.h>

#include <string>

#include "TempDir.h"

namespace sonvaletest {

// A tmpfs of the given size, mounted for the life of the object when the process may
// mount (root); Mounted() tells.
class SmallTmpfs {
public:
    explicit SmallTmpfs(size_t bytes) {
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                           options.c_str()) == 0;
    }
    ~SmallTmpfs() {
        if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    std::string path() const { return dir_.path().string(); }

private:
    TempDir dir_;
    bool mounted_ = false;
};

}  // namespace sonvaletest
