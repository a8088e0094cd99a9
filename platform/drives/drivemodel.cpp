#include "drivemodel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "backends.h"
#include "faults.h"

namespace svdrives {

SectorReader::~SectorReader() = default;

bool SectorReader::aborted() const {
    return abort_ && std::atomic_ref<const int32_t>(*abort_).load(std::memory_order_relaxed) != 0;
}

bool SectorReader::abortableSleep(int milliseconds) const {
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    // Short naps: a cancelled rip waits at most one of them.
    while (std::chrono::steady_clock::now() < until) {
        if (aborted()) return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(5), until - std::chrono::steady_clock::now()));
    }
    return aborted();
}
Drive::~Drive() = default;

CdText Drive::readCdText() {
    return {};
}

void Drive::startSpinUp(int milliseconds) {
    if (milliseconds <= 0) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    spinUpUntil_.store(until.time_since_epoch().count(), std::memory_order_relaxed);
}

bool Drive::spinningUp() const {
    const int64_t until = spinUpUntil_.load(std::memory_order_relaxed);
    return until != 0 && std::chrono::steady_clock::now().time_since_epoch().count() < until;
}

void Drive::awaitSpinUp() const {
    for (;;) {
        const int64_t until = spinUpUntil_.load(std::memory_order_relaxed);
        const std::chrono::steady_clock::time_point end{std::chrono::steady_clock::duration(until)};
        if (until == 0 || std::chrono::steady_clock::now() >= end) return;
        std::this_thread::sleep_until(end);
    }
}

DriveMotion driveMotionFromEnvironment() {
    const detail::FaultPlan plan = detail::FaultPlan::fromEnvironment();
    return {plan.spinUpMs, plan.trayMs};
}

namespace {

std::vector<std::string> splitPaths(const char* value) {
    std::vector<std::string> out;
    if (!value) return out;
    std::string s(value);
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t end = s.find(':', pos);
        if (end == std::string::npos) end = s.size();
        if (end > pos) out.push_back(s.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

struct DriveModel::Impl {
    std::mutex mutex;  // the list, the configured images and the generation
    bool built = false;
    uint64_t generation = 1;
    std::vector<std::unique_ptr<Drive>> drives;
    std::set<std::string> names;
    std::set<std::string> imagePaths;  // cue sheets already in the list
    std::vector<std::string> configured;

    std::mutex listenerMutex;
    int nextListenerId = 1;
    std::map<int, MediaListener> listeners;

    std::string uniqueName(std::string wanted) {
        // Names head sections of the library's settings file, which trims blanks and ends
        // a line at a line break: a name that did not survive that would lose its drive's
        // settings at the next start.
        for (char& c : wanted) {
            if (c == '\n' || c == '\r') c = ' ';
        }
        const size_t end = wanted.find_last_not_of(" \t");
        wanted.erase(end == std::string::npos ? 0 : end + 1);
        std::string name = wanted;
        for (int n = 2; names.count(name); ++n) name = wanted + " #" + std::to_string(n);
        names.insert(name);
        return name;
    }

    void addImage(const std::string& cuePath) {
        if (!imagePaths.insert(cuePath).second) return;  // one drive per sheet
        const int index = int(drives.size());
        drives.push_back(
            detail::makeImageDrive(index, uniqueName("Image: " + baseName(cuePath)), cuePath));
    }

    void buildLocked() {
        if (built) return;
        built = true;
        ++generation;
        std::vector<std::string> devices = detail::cdioDevicePaths();
        for (const std::string& p : splitPaths(getenv("CDRIP3_DEVICES"))) devices.push_back(p);
        std::set<std::string> seen;
        for (const std::string& path : devices) {
            if (!seen.insert(path).second) continue;
            const int index = int(drives.size());
            DriveIdentity identity = detail::cdioDriveIdentity(path);
            const std::string name = uniqueName(detail::cdioDriveName(identity, path));
            drives.push_back(detail::makeCdioDrive(index, name, path, std::move(identity)));
        }
        for (const std::string& p : splitPaths(getenv("CDRIP3_IMAGES"))) addImage(p);
        for (const std::string& p : configured) addImage(p);
    }
};

DriveModel::DriveModel() : d_(std::make_unique<Impl>()) {}

DriveModel& DriveModel::instance() {
    // Never destroyed: drives may still be asked from other libraries' static destructors.
    static DriveModel* model = new DriveModel();
    return *model;
}

void DriveModel::setConfiguredImages(const std::vector<std::string>& cuePaths) {
    std::lock_guard lock(d_->mutex);
    if (!d_->built) {
        d_->configured = cuePaths;
        return;
    }
    const size_t before = d_->drives.size();
    for (const std::string& p : cuePaths) {
        d_->configured.push_back(p);
        d_->addImage(p);
    }
    if (d_->drives.size() != before) ++d_->generation;
}

int DriveModel::count() {
    std::lock_guard lock(d_->mutex);
    d_->buildLocked();
    return int(d_->drives.size());
}

Drive* DriveModel::drive(int index) {
    std::lock_guard lock(d_->mutex);
    d_->buildLocked();
    if (index < 0 || size_t(index) >= d_->drives.size()) return nullptr;
    return d_->drives[size_t(index)].get();
}

uint64_t DriveModel::generation() {
    std::lock_guard lock(d_->mutex);
    d_->buildLocked();
    return d_->generation;
}

int DriveModel::addMediaListener(MediaListener listener) {
    if (!listener) return 0;
    std::lock_guard lock(d_->listenerMutex);
    const int id = d_->nextListenerId++;
    d_->listeners.emplace(id, std::move(listener));
    return id;
}

void DriveModel::removeMediaListener(int id) {
    std::lock_guard lock(d_->listenerMutex);
    d_->listeners.erase(id);
}

void DriveModel::notifyMedia(int driveIndex, bool arrived) {
    // Called without holding anything, so a listener may ask the model or (un)register.
    std::vector<MediaListener> copy;
    {
        std::lock_guard lock(d_->listenerMutex);
        for (const auto& [id, l] : d_->listeners) copy.push_back(l);
    }
    for (const MediaListener& l : copy) l(driveIndex, arrived);
}

void DriveModel::resetForTests() {
    std::lock_guard lock(d_->mutex);
    d_->drives.clear();
    d_->names.clear();
    d_->imagePaths.clear();
    d_->configured.clear();
    d_->built = false;
    ++d_->generation;
}

}  // namespace svdrives
