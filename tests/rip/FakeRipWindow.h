// A window for the rippers without widgets: the user's choices are fields, and every text,
// progress step, dialog, pause and flash is recorded in order.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "RipWindow.h"

class FakeRipWindow : public TRipWindow {
public:
    QString directory = QStringLiteral("/tmp");
    QString album = QStringLiteral("Live");
    QString artist;
    QString recordingName = QStringLiteral("Track 1");
    bool multipleTracks = false;
    QString genre;
    bool stereo = true, mono = false;  // the two radio groups: set one of each pair
    bool personalComputer = true, personalDevice = false;
    std::vector<bool> selected;  // one per track line
    int current = -1;
    bool audioReady = true;
    bool closing = false;
    QString notReadyText = QStringLiteral("Error : No Disc in Drive.");

    // Runs at every ProcessEvents with its 1-based call count (cancel at chunk k, ...).
    std::function<void(int)> onProcessEvents;

    QStringList statuses;       // every SetStatus, in order
    QStringList ripStatuses;    // every SetRipStatus
    std::vector<int> progress;  // every SetProgress
    int rangeMin = -1, rangeMax = -1;
    QStringList dialogs;  // "information: text", "error: text", "box:<title>: text"
    std::vector<int> sleeps;
    int flashes = 0;
    int processed = 0;
    QString ripStatus;
    int position = 0;
    QString status;

    // Lines 0..count-1; the given ones (from 0) selected, the first of them current.
    void SetLines(int count, std::vector<int> selectedLines) {
        selected.assign(static_cast<size_t>(count), false);
        for (int line : selectedLines) selected[static_cast<size_t>(line)] = true;
        current = selectedLines.empty() ? -1 : selectedLines.front();
    }
    std::vector<int> SelectedLines() const {
        std::vector<int> lines;
        for (size_t i = 0; i < selected.size(); ++i)
            if (selected[i]) lines.push_back(static_cast<int>(i));
        return lines;
    }

    QString DirectoryText() const override { return directory; }
    QString AlbumTitle() const override { return album; }
    QString ArtistName() const override { return artist; }
    QString RecordingName() const override { return recordingName; }
    void SetRecordingName(const QString& text) override { recordingName = text; }
    QString GenreText() const override { return genre; }
    bool StereoChecked() const override { return stereo; }
    bool MonoChecked() const override { return mono; }
    bool PersonalComputerChecked() const override { return personalComputer; }
    bool PersonalDeviceChecked() const override { return personalDevice; }
    bool MultipleTracksChecked() const override { return multipleTracks; }

    int TrackLineCount() const override { return static_cast<int>(selected.size()); }
    int CurrentTrackLine() const override { return current; }
    bool TrackLineSelected(int line) const override {
        return line >= 0 && line < TrackLineCount() && selected[static_cast<size_t>(line)];
    }
    void DeselectTrackLine(int line) override {
        if (line >= 0 && line < TrackLineCount()) selected[static_cast<size_t>(line)] = false;
    }

    bool IsAudioCDReady() override {
        if (!audioReady) SetStatus(notReadyText);
        return audioReady;
    }

    void SetStatus(const QString& text) override {
        status = text;
        statuses << text;
    }
    QString Status() const override { return status; }
    void SetRipStatus(const QString& text) override {
        ripStatus = text;
        ripStatuses << text;
    }
    void SetProgressRange(int minimum, int maximum) override {
        rangeMin = minimum;
        rangeMax = maximum;
    }
    void SetProgress(int value) override {
        position = value;
        progress.push_back(value);
    }
    int Progress() const override { return position; }

    void ProcessEvents() override {
        ++processed;
        if (onProcessEvents) onProcessEvents(processed);
    }

    void ShowInformation(const QString& text) override { dialogs << "information: " + text; }
    void ShowError(const QString& text) override { dialogs << "error: " + text; }
    void ShowMessageBox(const QString& text, const QString& title) override {
        dialogs << "box:" + title + ": " + text;
    }
    void Sleep(int milliseconds) override { sleeps.push_back(milliseconds); }
    void Flash() override { ++flashes; }
    bool Closing() const override { return closing; }
};
