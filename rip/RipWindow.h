#pragma once

#include <QString>

// The user's choices as the window holds them at one moment.
struct TRipChoices {
    QString Directory;      // "Recording Directory"
    QString Album;          // "Recording Album Title"
    QString Artist;         // "Recording Artist Name"
    QString RecordingName;  // "Recording Name"
    QString Genre;          // "Recording Genre", picked or typed
    bool Stereo = true;
    bool Mono = false;
    bool PersonalComputer = true;
    bool PersonalDevice = false;
    bool MultipleTracks = false;  // "Rip Multiple Tracks"
};

enum class TDialog {
    Information,  // titled "Information"
    Error,        // titled "Error"
    Box,          // titled as given
};

// What a batch needs of the main window while it runs on its launcher thread. Calls that
// change the window return at once and take effect in the order made; Choices and
// ShowDialog wait for the window, so a batch makes them between tracks, never while a
// chunk is being read. The window implements it on its own thread; TQueuedRipWindow
// carries the calls of a rip thread there; tests implement it without widgets.
class TRipWindow {
public:
    virtual ~TRipWindow() = default;

    // The user's choices, read at the moment of the call.
    virtual TRipChoices Choices() = 0;
    virtual void SetRecordingName(const QString& text) = 0;
    // Line i of the track list (from 0) stands for track index i + 1.
    virtual void DeselectTrackLine(int line) = 0;

    virtual void SetStatus(const QString& text) = 0;     // the status line
    virtual void SetRipStatus(const QString& text) = 0;  // the red rip headline
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgress(int position) = 0;
    virtual void Flash() = 0;  // flash the taskbar button once

    // A dialog with one OK button, shown modally by the window; returns once it is closed.
    virtual void ShowDialog(TDialog kind, const QString& text, const QString& title) = 0;

    void ShowInformation(const QString& text) { ShowDialog(TDialog::Information, text, {}); }
    void ShowError(const QString& text) { ShowDialog(TDialog::Error, text, {}); }
    void ShowMessageBox(const QString& text, const QString& title) {
        ShowDialog(TDialog::Box, text, title);
    }
};

// What a rip command's checks read of the window besides: its track lines.
class TBatchWindow : public TRipWindow {
public:
    virtual int TrackLineCount() const = 0;
    // The line the user last clicked, -1 when none.
    virtual int CurrentTrackLine() const = 0;
    virtual bool TrackLineSelected(int line) const = 0;
};
