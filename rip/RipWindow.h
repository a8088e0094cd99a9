#pragma once

#include <QString>

// What the rippers and batches need of the main window: the user's choices, the status
// texts, the progress bar, the track list's selection, dialogs and the event pump. The
// window implements it; tests implement it without widgets.
class TRipWindow {
public:
    virtual ~TRipWindow() = default;

    // The user's choices, read at the moment of the call.
    virtual QString DirectoryText() const = 0;  // "Recording Directory"
    virtual QString AlbumTitle() const = 0;     // "Recording Album Title"
    virtual QString ArtistName() const = 0;     // "Recording Artist Name"
    virtual QString RecordingName() const = 0;  // "Recording Name"
    virtual void SetRecordingName(const QString& text) = 0;
    virtual QString GenreText() const = 0;  // "Recording Genre", picked or typed
    virtual bool StereoChecked() const = 0;
    virtual bool MonoChecked() const = 0;
    virtual bool PersonalComputerChecked() const = 0;
    virtual bool PersonalDeviceChecked() const = 0;
    virtual bool MultipleTracksChecked() const = 0;  // "Rip Multiple Tracks"

    // The track list: line i (from 0) stands for track index i + 1.
    virtual int TrackLineCount() const = 0;
    virtual int CurrentTrackLine() const = 0;  // -1 when there is no current line
    virtual bool TrackLineSelected(int line) const = 0;
    virtual void DeselectTrackLine(int line) = 0;

    // The disc checks of the window; false after putting the reason in the status line.
    virtual bool IsAudioCDReady() = 0;

    // Texts and progress; each update is painted at once.
    virtual void SetStatus(const QString& text) = 0;  // the status line
    virtual QString Status() const = 0;
    virtual void SetRipStatus(const QString& text) = 0;  // the red rip headline
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgress(int position) = 0;
    virtual int Progress() const = 0;

    // Lets the window handle the events that are waiting (clicks on Cancel, notices).
    virtual void ProcessEvents() = 0;

    // Dialogs, one OK button each.
    virtual void ShowInformation(const QString& text) = 0;                       // information
    virtual void ShowError(const QString& text) = 0;                             // titled "Error"
    virtual void ShowMessageBox(const QString& text, const QString& title) = 0;  // plain

    virtual void Sleep(int milliseconds) = 0;  // the pause between tracks; no events handled
    virtual void Flash() = 0;                  // flash the taskbar button once

    // True once the user has ended the program (Exit or the window's close button): a
    // batch then rips no further track.
    virtual bool Closing() const { return false; }
};
