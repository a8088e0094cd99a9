#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace CDRipIntf {
class TCDSession;
}

// The window's CD player: one CD-audio device of the MCI layer, opened to play. Open
// raises EMciDeviceError with the MCI error text when the device cannot be opened; the
// other commands keep their error code in Error() and do not raise.
class EMciDeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TMediaPlayer {
public:
    // How a playback started by Play ended (an MCI_NOTIFY_... code) and on which device.
    // Told on the playback's own thread: the handler hands it on to its own.
    using TNotifyHandler = std::function<void(uint32_t notifyCode, uint32_t device)>;

    // Sends its commands through the session's MCI send function, so a test's stand-in
    // answers the player as it answers the session.
    explicit TMediaPlayer(const CDRipIntf::TCDSession& session) : session_(session) {}
    ~TMediaPlayer();
    TMediaPlayer(const TMediaPlayer&) = delete;
    TMediaPlayer& operator=(const TMediaPlayer&) = delete;

    // Set before the first Play; it is read on the playback's thread.
    void SetNotifyHandler(TNotifyHandler handler) { notify_ = std::move(handler); }
    // Where the MCI layer's notices arrive.
    void Notify(uint32_t notifyCode, uint32_t device) const;

    // Opens the CD-audio device of the given drive (its ordinal among the CD-audio devices)
    // in the track-relative time format. A device already open is closed first, which ends
    // its playback.
    void Open(int32_t ordinal);
    void Close();
    bool IsOpen() const { return deviceId_ != 0; }
    uint32_t DeviceID() const { return deviceId_; }

    uint32_t TrackPosition(uint32_t track);  // start of a track, packed TMSF
    void SetPosition(uint32_t position);     // seek
    void Play();                             // from the position to the end, returns at once
    void Stop();

    uint32_t Error() const { return error_; }

    static std::string ErrorText(uint32_t error);

private:
    const CDRipIntf::TCDSession& session_;
    uint32_t deviceId_ = 0;
    uint32_t error_ = 0;
    TNotifyHandler notify_;
};
