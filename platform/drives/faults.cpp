#include "faults.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

#include "cdtiming.h"

namespace svdrives::detail {
namespace {

std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t pos = 0;
    for (;;) {
        const size_t end = s.find(sep, pos);
        out.push_back(
            trim(s.substr(pos, end == std::string::npos ? std::string::npos : end - pos)));
        if (end == std::string::npos) return out;
        pos = end + 1;
    }
}

// Plain decimal only: "0x10" or "-1" in a fault plan is more likely a slip than a wish.
bool number(const std::string& s, uint64_t max, uint64_t* out) {
    if (s.empty() || s.size() > 10) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v > max) return false;
    *out = v;
    return true;
}

constexpr uint64_t kMaxSector = 0xFFFFFFFEull;
// Far above any drive (a 75x drive reads 5625 sectors a second).
constexpr uint64_t kMaxSlowRate = 1000000;

bool parseValues(const std::string& key, const std::string& values, FaultPlan* plan) {
    FaultPlan add;
    // 0 is a time like any other here, so a later "spinup=0" undoes an earlier item.
    int spinUpMs = -1, trayMs = -1;
    for (const std::string& v : split(values, ',')) {
        uint64_t a = 0, b = 0;
        if (key == "unreadable") {
            const size_t dash = v.find('-');
            if (dash == std::string::npos) {
                if (!number(v, kMaxSector, &a)) return false;
                b = a;
            } else if (!number(trim(v.substr(0, dash)), kMaxSector, &a) ||
                       !number(trim(v.substr(dash + 1)), kMaxSector, &b) || b < a) {
                return false;
            }
            add.unreadable.push_back({uint32_t(a), uint32_t(b)});
        } else if (key == "jitter" || key == "flaky" || key == "remove") {
            if (!number(v, kMaxSector, &a)) return false;
            (key == "jitter"  ? add.jitter
             : key == "flaky" ? add.flaky
                              : add.removals)
                .push_back(uint32_t(a));
        } else if (key == "slow") {
            if (!number(v, kMaxSlowRate, &a) || a == 0) return false;
            add.slowRate = uint32_t(a);
        } else if (key == "spinup" || key == "tray") {
            if (!number(v, kMaxStallMs, &a)) return false;
            (key == "spinup" ? spinUpMs : trayMs) = int(a);
        } else if (key == "stall") {
            const size_t colon = v.find(':');
            b = kDefaultStallMs;
            if (colon == std::string::npos) {
                if (!number(v, kMaxSector, &a)) return false;
            } else if (!number(trim(v.substr(0, colon)), kMaxSector, &a) ||
                       !number(trim(v.substr(colon + 1)), kMaxStallMs, &b)) {
                return false;
            }
            add.stalls.push_back({uint32_t(a), int(b)});
        } else {
            return false;
        }
    }
    plan->unreadable.insert(plan->unreadable.end(), add.unreadable.begin(), add.unreadable.end());
    plan->jitter.insert(plan->jitter.end(), add.jitter.begin(), add.jitter.end());
    plan->flaky.insert(plan->flaky.end(), add.flaky.begin(), add.flaky.end());
    plan->stalls.insert(plan->stalls.end(), add.stalls.begin(), add.stalls.end());
    plan->removals.insert(plan->removals.end(), add.removals.begin(), add.removals.end());
    if (add.slowRate != 0) plan->slowRate = add.slowRate;
    if (spinUpMs >= 0) plan->spinUpMs = spinUpMs;
    if (trayMs >= 0) plan->trayMs = trayMs;
    return true;
}

bool within(uint32_t sector, uint32_t first, uint32_t count) {
    return sector >= first && uint64_t(sector) < uint64_t(first) + count;
}

}  // namespace

FaultPlan FaultPlan::parse(const std::string& text, std::vector<std::string>* rejected) {
    FaultPlan plan;
    for (const std::string& item : split(text, ';')) {
        if (item.empty()) continue;
        const size_t eq = item.find('=');
        const bool ok = eq != std::string::npos &&
                        parseValues(trim(item.substr(0, eq)), item.substr(eq + 1), &plan);
        if (!ok && rejected) rejected->push_back(item);
    }
    return plan;
}

FaultPlan FaultPlan::fromEnvironment() {
    const char* text = getenv(kFaultsVariable);
    if (!text || !*text) return {};
    std::vector<std::string> rejected;
    FaultPlan plan = parse(text, &rejected);
    if (!rejected.empty()) {
        static std::mutex mutex;
        static std::set<std::string> warned;
        std::lock_guard lock(mutex);
        if (warned.insert(text).second) {
            for (const std::string& item : rejected)
                fprintf(stderr, "libcdrip3: %s: ignoring \"%s\"\n", kFaultsVariable, item.c_str());
        }
    }
    return plan;
}

bool FaultPlan::isUnreadable(uint32_t sector) const {
    for (const Range& r : unreadable) {
        if (sector >= r.first && sector <= r.last) return true;
    }
    return false;
}

int64_t FaultPlan::firstUnreadable(uint32_t first, uint32_t count) const {
    int64_t best = -1;
    const uint64_t end = uint64_t(first) + count;  // exclusive
    for (const Range& r : unreadable) {
        if (r.last < first || r.first >= end) continue;
        const int64_t s = std::max<int64_t>(r.first, first);
        if (best < 0 || s < best) best = s;
    }
    return best;
}

int64_t FaultPlan::firstStop(uint32_t first, uint32_t count) const {
    int64_t best = firstUnreadable(first, count);
    auto consider = [&](uint32_t s) {
        if (within(s, first, count) && (best < 0 || s < best)) best = s;
    };
    for (const Stall& s : stalls) consider(s.sector);
    for (uint32_t s : removals) consider(s);
    return best;
}

bool FaultPlan::jitterIn(uint32_t first, uint32_t count) const {
    for (uint32_t s : jitter) {
        if (within(s, first, count)) return true;
    }
    return false;
}

bool FaultPlan::flakyIn(uint32_t first, uint32_t count) const {
    for (uint32_t s : flaky) {
        if (within(s, first, count)) return true;
    }
    return false;
}

const FaultPlan::Stall* FaultPlan::stallAt(uint32_t sector) const {
    for (const Stall& s : stalls) {
        if (s.sector == sector) return &s;
    }
    return nullptr;
}

const FaultPlan::Stall* FaultPlan::firstStallIn(uint32_t first, uint32_t count) const {
    const Stall* best = nullptr;
    for (const Stall& s : stalls) {
        if (within(s.sector, first, count) && (!best || s.sector < best->sector)) best = &s;
    }
    return best;
}

bool FaultPlan::removalAt(uint32_t sector) const {
    for (uint32_t s : removals) {
        if (s == sector) return true;
    }
    return false;
}

void FlakyReads::deliver(const FaultPlan& plan, uint32_t first, uint32_t count, uint8_t* audio) {
    if (!audio || !plan.flakyIn(first, count)) return;
    // A sector named twice in the plan is still one sector, read once per delivery.
    std::set<uint32_t> sectors;
    for (uint32_t s : plan.flaky) {
        if (within(s, first, count)) sectors.insert(s);
    }
    std::lock_guard lock(mutex_);
    for (uint32_t s : sectors) {
        if (++deliveries_[s] % 2 != 0) continue;
        uint8_t* at = audio + size_t(s - first) * size_t(cdtiming::kSectorBytes);
        for (size_t i = 0; i < kFlakyBytes; ++i) at[i] = uint8_t(~at[i]);
    }
}

void Pacer::takeSector() {
    if (rate_ == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (taken_ == 0) start_ = now;
    ++taken_;
    const auto due = start_ + std::chrono::microseconds(taken_ * 1000000 / rate_);
    if (due > now) std::this_thread::sleep_until(due);
}

}  // namespace svdrives::detail
