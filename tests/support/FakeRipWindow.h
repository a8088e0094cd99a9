// A window for the batches and rippers without widgets, and their control: the user's
// choices are fields, and every text, progress step, dialog, pause and flash is recorded
// in order. Batches run on the test's thread; hooks stand in for what the user does while
// they run.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "BatchPlan.h"
#include "FakeRipControl.h"
#include "RipWindow.h"

class FakeRipWindow : public TBatchWindow {
public:
    TRipChoices choices = [] {
        TRipChoices c;
        c.Directory = QStringLiteral("/tmp");
        c.Album = QStringLiteral("Live");
        c.RecordingName = QStringLiteral("Track 1");
        return c;
    }();
    std::vector<bool> selected;  // one per track line
    int current = 0;             // the line last clicked, -1: none

    // Hooks with their 1-based call count: at every SetProgress (a chunk's step, in the
    // rippers) and every read of the choices (between tracks, in the batches).
    std::function<void(int)> onProgress;
    std::function<void(int)> onChoices;

    QStringList statuses;       // every SetStatus, in order
    QStringList ripStatuses;    // every SetRipStatus
    std::vector<int> progress;  // every SetProgress
    int rangeMin = -1, rangeMax = -1;
    QStringList dialogs;  // "information: text", "error: text", "box:<title>: text"
    int flashes = 0;
    int choicesRead = 0;
    QString ripStatus;
    int position = 0;
    QString status;

    // The control of the batches run with this window; starts afresh when the window does.
    FakeRipControl control;

    FakeRipWindow() = default;
    FakeRipWindow& operator=(const FakeRipWindow& other) {
        choices = other.choices;
        selected = other.selected;
        current = other.current;
        onProgress = other.onProgress;
        onChoices = other.onChoices;
        statuses = other.statuses;
        ripStatuses = other.ripStatuses;
        progress = other.progress;
        rangeMin = other.rangeMin;
        rangeMax = other.rangeMax;
        dialogs = other.dialogs;
        flashes = other.flashes;
        choicesRead = other.choicesRead;
        ripStatus = other.ripStatus;
        position = other.position;
        status = other.status;
        control.Reset();
        return *this;
    }

    // Lines 0..count-1, the given ones (from 0) selected.
    void SetLines(int count, std::vector<int> selectedLines) {
        selected.assign(static_cast<size_t>(count), false);
        for (int line : selectedLines) selected[static_cast<size_t>(line)] = true;
    }
    std::vector<int> SelectedLines() const {
        std::vector<int> lines;
        for (size_t i = 0; i < selected.size(); ++i)
            if (selected[i]) lines.push_back(static_cast<int>(i));
        return lines;
    }
    // What a rip command would plan now: the selected lines of disc.
    Rip::TBatchPlan Plan(const CDRipIntf::TDiscInfo& disc) const {
        Rip::TBatchPlan plan;
        plan.Lines = SelectedLines();
        plan.Disc = disc;
        return plan;
    }

    TRipChoices Choices() override {
        ++choicesRead;
        if (onChoices) onChoices(choicesRead);
        return choices;
    }
    void SetRecordingName(const QString& text) override { choices.RecordingName = text; }
    int TrackLineCount() const override { return static_cast<int>(selected.size()); }
    int CurrentTrackLine() const override { return current; }
    bool TrackLineSelected(int line) const override {
        return line >= 0 && line < TrackLineCount() && selected[static_cast<size_t>(line)];
    }
    void DeselectTrackLine(int line) override {
        if (line >= 0 && line < static_cast<int>(selected.size()))
            selected[static_cast<size_t>(line)] = false;
    }
    void SetStatus(const QString& text) override {
        status = text;
        statuses << text;
    }
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
        if (onProgress) onProgress(static_cast<int>(progress.size()));
    }
    void Flash() override { ++flashes; }
    void ShowDialog(TDialog kind, const QString& text, const QString& title) override {
        switch (kind) {
            case TDialog::Information:
                dialogs << "information: " + text;
                break;
            case TDialog::Error:
                dialogs << "error: " + text;
                break;
            case TDialog::Box:
                dialogs << "box:" + title + ": " + text;
                break;
        }
    }
};
