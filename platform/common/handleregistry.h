// The live objects behind the opaque handles of the encoder libraries' C ABIs. A handle is a
// number, never a pointer: a stale or made-up handle is looked up and refused, never
// dereferenced. Numbers count up and are not reused while the library is loaded (only after
// 2^32 - 1 handles, and then never one that is still live).
#ifndef SONVALE_HANDLEREGISTRY_H
#define SONVALE_HANDLEREGISTRY_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace svhandles {

template <class T>
class HandleRegistry {
public:
    explicit HandleRegistry(std::size_t maxLive) : max_(maxLive) {}
    HandleRegistry(const HandleRegistry&) = delete;
    HandleRegistry& operator=(const HandleRegistry&) = delete;

    // The new handle, or 0 when maxLive objects are live already (obj is then destroyed).
    uint32_t add(std::unique_ptr<T> obj) {
        std::lock_guard lock(mutex_);
        if (live_.size() >= max_) return 0;
        uint32_t h;
        do {
            h = next_++;
        } while (h == 0 || live_.count(h) != 0);
        live_.emplace(h, std::move(obj));
        return h;
    }

    // Only the lookup is guarded: calls on one handle must not overlap, so nobody removes
    // the object while its owner works on it.
    T* find(uint32_t h) {
        std::lock_guard lock(mutex_);
        auto it = live_.find(h);
        return it == live_.end() ? nullptr : it->second.get();
    }

    // Removes the handle and hands its object over; null for an unknown handle.
    std::unique_ptr<T> take(uint32_t h) {
        std::lock_guard lock(mutex_);
        auto it = live_.find(h);
        if (it == live_.end()) return nullptr;
        std::unique_ptr<T> obj = std::move(it->second);
        live_.erase(it);
        return obj;
    }

    // As take, but only when keep(object) is false: an object of the wrong kind stays live
    // under its own handle.
    template <class Pred>
    std::unique_ptr<T> takeUnless(uint32_t h, Pred keep) {
        std::lock_guard lock(mutex_);
        auto it = live_.find(h);
        if (it == live_.end() || keep(*it->second)) return nullptr;
        std::unique_ptr<T> obj = std::move(it->second);
        live_.erase(it);
        return obj;
    }

    std::size_t liveCount() {
        std::lock_guard lock(mutex_);
        return live_.size();
    }

private:
    std::mutex mutex_;
    std::unordered_map<uint32_t, std::unique_ptr<T>> live_;
    uint32_t next_ = 1;
    std::size_t max_;
};

}  // namespace svhandles

#endif
