// The answers a database client keeps while a disc stays in the drive, so that a disc is
// asked for once however many parts of the window want to know about it.
//
// The client owns one and does the asking: Look says when a key is new and a request must
// go, Answer hands back what came of it. All calls come from one thread (the client's) and
// the callbacks run on it, within Look or Answer. A callback may call Look or Forget again.
// Destroying the cache drops the callbacks still waiting without running them; the client
// goes with it, so its requests still out must go too, unanswered.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Rip {

template <class Result>
class TOncePerDisc {
public:
    using TCallback = std::function<void(const Result&)>;

    // Runs done at once with a kept answer; else done waits for the answer to key. True when
    // key is new: the caller sends its request now and answers it through Answer.
    [[nodiscard]] bool Look(const std::string& key, TCallback done) {
        const auto [it, fresh] = entries_.try_emplace(key);
        TEntry& entry = it->second;
        if (entry.answered) {
            // A copy: done may Forget, and the entry with it.
            const Result kept = entry.result;
            done(kept);
            return false;
        }
        entry.waiting.push_back(std::move(done));
        return fresh;
    }

    // Runs the callbacks waiting for key, in the order they came. keep: later lookups of
    // key are answered with this one (a failed lookup is not kept, so it is asked again).
    // An answer to a key forgotten meanwhile is not kept either; one to a key not looked
    // for is dropped.
    void Answer(const std::string& key, Result result, bool keep) {
        const auto found = entries_.find(key);
        if (found == entries_.end()) return;
        TEntry& entry = found->second;
        auto waiting = std::move(entry.waiting);
        if (keep && !entry.forgotten) {
            entry.answered = true;
            entry.result = result;
        } else {
            entries_.erase(found);
        }
        for (auto& callback : waiting) callback(result);
    }

    // The disc went: its key is asked for anew. A lookup still out still answers those
    // waiting for it, but its answer is not kept. The other discs' answers stay.
    void Forget(const std::string& key) {
        const auto it = entries_.find(key);
        if (it == entries_.end()) return;
        if (it->second.answered)
            entries_.erase(it);
        else
            it->second.forgotten = true;
    }

private:
    struct TEntry {
        bool answered = false;
        bool forgotten = false;  // not kept once answered
        Result result;
        std::vector<TCallback> waiting;
    };
    std::map<std::string, TEntry> entries_;
};

}  // namespace Rip
