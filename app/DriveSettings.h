// The active drive's settings as the window's commands store them: the parameters the save
// button writes and the read offset, which a drive without one of its own takes from
// AccurateRip's list of drive offsets. Each command gives back the status line's text.
#pragma once

#include <QString>
#include <cstdint>

#include "AccurateRipLookup.h"
#include "CDSession.h"
#include "DriveOffsetList.h"

class TDriveSettings {
public:
    // Through session, which outlives this object. listBase: the AccurateRip database's
    // address, cacheFile: where its list of drive offsets is kept; tests point both at
    // their own.
    explicit TDriveSettings(CDRipIntf::TCDSession& session,
                            const QString& listBase = Rip::TAccurateRipLookup::DefaultBase(),
                            const QString& cacheFile = Rip::TDriveOffsetList::DefaultCacheFile(),
                            int timeoutMs = 10000);

    // The ten values the save button stands for, over the drive's own parameters, saved with
    // the settings file: "Saved CD/DVD-ROM Settings! - (<file> file)." or why not.
    QString Save();

    // The offset as the library keeps it, for the dialog to start from.
    int32_t ReadOffset() { return session_.CR_GetReadOffset(); }
    // The dialog's words: where the active drive's offset came from, and that the list of
    // drive offsets could not be had, when it could not.
    QString ReadOffsetPrompt();
    // Sets the active drive's read offset as the user's and saves it. Set, it applies to the
    // rips until the program ends, saved or not; the text says which. Null when the library
    // refused it.
    QString SetReadOffset(int32_t samples);
    // Sets it as detected on a disc in the drive, and saves it: "Drive Read Offset: +N
    // samples (detected)." or that it was not saved. Null when the library refused it.
    QString SetDetectedOffset(int32_t samples);

    // A drive became active (the program's start, a drive change): one without an offset of
    // its own takes the list's, saved, once the list is in. Nothing is said: a list that
    // cannot be had shows in the dialog only.
    void DriveBecameActive();
    // A batch reads with the offset it started with: while one runs, the list's offset waits.
    void SetBatchRunning(bool running);

    // The list of drive offsets, fetched and cached in the background.
    Rip::TDriveOffsetList& OffsetList() { return list_; }

private:
    // The settings file the library writes, or words for it when it cannot say.
    QString fileName();
    // The list is in: the active drive takes its offset, unless it has one of its own.
    void takeListedOffset();
    // Sets and saves the offset; how, in the status line's words.
    QString setOffset(int32_t samples, int32_t from, const QString& how);

    CDRipIntf::TCDSession& session_;
    Rip::TDriveOffsetList list_;
    bool batchRunning_ = false;
    bool listWaits_ = false;  // the list came while a batch ran
};
