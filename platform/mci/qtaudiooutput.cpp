// Playback through Qt Multimedia: a QAudioSink on the default output device, in push
// mode, owned by the playback's worker thread.
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QEventLoop>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <mutex>

#include "mciaudio.h"

namespace svmci {
namespace {

// Half a second: long enough to ride out a busy moment, short enough that the position
// shown stays close to what is heard.
constexpr int kSinkBufferBytes = kOutputBytesPerSecond / 2;

QAudioFormat cdFormat() {
    QAudioFormat format;
    format.setSampleRate(kOutputRate);
    format.setChannelCount(kOutputChannels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

class QtAudioOutput final : public AudioOutput {
public:
    ~QtAudioOutput() override {
        stop();
        sink_.reset();
        loop_.reset();
    }

    bool start() override {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull() || !device.isFormatSupported(cdFormat())) return false;
        // The sink's timers and state changes are delivered through this thread's events;
        // a QEventLoop gives the (non-Qt) worker thread its event dispatcher. Without an
        // application object Qt refuses to run one, so the sink then goes without.
        if (QCoreApplication::instance()) loop_ = std::make_unique<QEventLoop>();
        sink_ = std::make_unique<QAudioSink>(device, cdFormat());
        sink_->setBufferSize(kSinkBufferBytes);
        io_ = sink_->start();
        return io_ && !failed();
    }

    int64_t write(const uint8_t* data, int64_t size) override {
        if (!io_ || failed()) return -1;
        const int64_t room = std::min<int64_t>(sink_->bytesFree(), size);
        if (room <= 0) return 0;
        const qint64 n = io_->write(reinterpret_cast<const char*>(data), room);
        if (n < 0) return -1;
        written_ += n;
        return n;
    }

    int64_t pendingBytes() override {
        if (!sink_ || !io_) return 0;
        if (sink_->state() == QAudio::IdleState || sink_->state() == QAudio::StoppedState) {
            return 0;
        }
        const int64_t played = sink_->processedUSecs() * kOutputBytesPerSecond / 1000000;
        return std::max<int64_t>(0, written_ - played);
    }

    void idle() override {
        if (loop_) loop_->processEvents(QEventLoop::AllEvents);
    }

    void stop() override {
        if (!sink_ || !io_) return;
        sink_->reset();
        sink_->stop();
        io_ = nullptr;
    }

private:
    bool failed() const {
        const QAudio::Error e = sink_->error();
        return e == QAudio::OpenError || e == QAudio::IOError || e == QAudio::FatalError;
    }

    std::unique_ptr<QEventLoop> loop_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    int64_t written_ = 0;
};

class QtAudioOutputFactory final : public AudioOutputFactory {
public:
    bool available() override { return !QMediaDevices::defaultAudioOutput().isNull(); }
    std::unique_ptr<AudioOutput> create() override { return std::make_unique<QtAudioOutput>(); }
};

std::mutex g_factoryMutex;
std::shared_ptr<AudioOutputFactory> g_testFactory;

}  // namespace

std::shared_ptr<AudioOutputFactory> makeQtAudioOutputFactory() {
    return std::make_shared<QtAudioOutputFactory>();
}

std::shared_ptr<AudioOutputFactory> audioOutputFactory() {
    std::lock_guard lock(g_factoryMutex);
    if (g_testFactory) return g_testFactory;
    static const std::shared_ptr<AudioOutputFactory> qt = makeQtAudioOutputFactory();
    return qt;
}

}  // namespace svmci

MCI_API void mciSetAudioOutputForTests(std::shared_ptr<svmci::AudioOutputFactory> factory) {
    std::lock_guard lock(svmci::g_factoryMutex);
    svmci::g_testFactory = std::move(factory);
}
