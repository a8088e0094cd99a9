#include "MediaPlayer.h"

#include "CDSession.h"
#include "mci.h"

namespace {

// The MCI layer has one notice callback for the process; each playback names its player
// in its parameter block. A player closes its device before it goes, and closing joins
// the playback, so no notice outlives its player.
void forwardNotice(DWORD_PTR callbackData, UINT notifyCode, MCIDEVICEID device) {
    if (const auto* player = reinterpret_cast<const TMediaPlayer*>(callbackData))
        player->Notify(notifyCode, device);
}

}  // namespace

TMediaPlayer::~TMediaPlayer() {
    Close();
}

std::string TMediaPlayer::ErrorText(uint32_t error) {
    char text[256] = {};
    mciGetErrorStringA(error, text, sizeof(text));
    return text;
}

void TMediaPlayer::Notify(uint32_t notifyCode, uint32_t device) const {
    if (notify_) notify_(notifyCode, device);
}

void TMediaPlayer::Open(int32_t ordinal) {
    Close();
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = reinterpret_cast<const char*>(
        (static_cast<uintptr_t>(ordinal < 0 ? 0 : ordinal) << 16) + MCI_DEVTYPE_CD_AUDIO);
    error_ = session_.SendMci(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_FOR_PLAYBACK,
                              reinterpret_cast<uintptr_t>(&open));
    if (error_ != 0) throw EMciDeviceError(ErrorText(error_));
    deviceId_ = open.wDeviceID;
    MCI_SET_PARMS set{};
    set.dwTimeFormat = MCI_FORMAT_TMSF;
    error_ = session_.SendMci(deviceId_, MCI_SET, MCI_SET_TIME_FORMAT,
                              reinterpret_cast<uintptr_t>(&set));
}

void TMediaPlayer::Close() {
    if (deviceId_ == 0) return;
    MCI_GENERIC_PARMS generic{};
    error_ = session_.SendMci(deviceId_, MCI_CLOSE, 0, reinterpret_cast<uintptr_t>(&generic));
    deviceId_ = 0;
}

uint32_t TMediaPlayer::TrackPosition(uint32_t track) {
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_POSITION;
    status.dwTrack = track;
    error_ = session_.SendMci(deviceId_, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK,
                              reinterpret_cast<uintptr_t>(&status));
    return error_ == 0 ? static_cast<uint32_t>(status.dwReturn) : 0;
}

void TMediaPlayer::SetPosition(uint32_t position) {
    MCI_SEEK_PARMS seek{};
    seek.dwTo = position;
    error_ = session_.SendMci(deviceId_, MCI_SEEK, MCI_TO, reinterpret_cast<uintptr_t>(&seek));
}

void TMediaPlayer::Play() {
    mciSetNotifyCallback(forwardNotice);
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(this);
    error_ = session_.SendMci(deviceId_, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<uintptr_t>(&play));
}

void TMediaPlayer::Stop() {
    MCI_GENERIC_PARMS generic{};
    error_ = session_.SendMci(deviceId_, MCI_STOP, 0, reinterpret_cast<uintptr_t>(&generic));
}
