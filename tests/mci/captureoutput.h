// An audio output for tests: keeps every byte a playback hands over, per playback, and can
// hold a playback back (a byte budget), fail to open or fail while writing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mciaudio.h"

class CaptureFactory : public svmci::AudioOutputFactory {
public:
    struct Output {
        std::vector<uint8_t> bytes;
        std::thread::id writer;
        bool started = false;
        bool stopped = false;
    };

    // Settings; change them under no playback or through the setters below.
    bool hasDevice = true;
    bool startFails = false;
    int64_t failAfterBytes = -1;  // the write reaching this many bytes fails; -1 never

    bool available() override { return hasDevice; }

    std::unique_ptr<svmci::AudioOutput> create() override;

    // Bytes the outputs may still take in all; -1: no limit.
    void setBudget(int64_t bytes) {
        {
            std::lock_guard lock(mutex_);
            budget_ = bytes;
        }
        changed_.notify_all();
    }

    size_t outputCount() {
        std::lock_guard lock(mutex_);
        return outputs_.size();
    }

    // A copy of output i (0 = the first playback's).
    Output output(size_t i) {
        std::lock_guard lock(mutex_);
        return i < outputs_.size() ? *outputs_[i] : Output{};
    }

    // Waits until output i holds at least n bytes; false on timeout.
    bool waitForBytes(size_t i, size_t n, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(
            lock, timeout, [&] { return i < outputs_.size() && outputs_[i]->bytes.size() >= n; });
    }

private:
    friend class CaptureOutput;
    std::mutex mutex_;
    std::condition_variable changed_;
    int64_t budget_ = -1;
    std::vector<std::shared_ptr<Output>> outputs_;
};

class CaptureOutput : public svmci::AudioOutput {
public:
    CaptureOutput(CaptureFactory* factory, std::shared_ptr<CaptureFactory::Output> out)
        : factory_(factory), out_(std::move(out)) {}

    bool start() override {
        std::lock_guard lock(factory_->mutex_);
        out_->started = !factory_->startFails;
        return out_->started;
    }

    int64_t write(const uint8_t* data, int64_t size) override {
        std::lock_guard lock(factory_->mutex_);
        out_->writer = std::this_thread::get_id();
        if (out_->stopped) return -1;
        int64_t n = size;
        if (factory_->budget_ >= 0) {
            n = std::min(n, factory_->budget_);
            factory_->budget_ -= n;
        }
        const int64_t limit = factory_->failAfterBytes;
        if (limit >= 0 && int64_t(out_->bytes.size()) + n >= limit) return -1;
        out_->bytes.insert(out_->bytes.end(), data, data + n);
        factory_->changed_.notify_all();
        return n;
    }

    int64_t pendingBytes() override { return 0; }

    void stop() override {
        std::lock_guard lock(factory_->mutex_);
        out_->stopped = true;
    }

private:
    CaptureFactory* factory_;
    std::shared_ptr<CaptureFactory::Output> out_;
};

inline std::unique_ptr<svmci::AudioOutput> CaptureFactory::create() {
    auto out = std::make_shared<Output>();
    {
        std::lock_guard lock(mutex_);
        outputs_.push_back(out);
    }
    return std::make_unique<CaptureOutput>(this, out);
}
