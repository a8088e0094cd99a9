// What a listed disc says to the window, recorded: the status line's messages in order; a
// running batch and a closing window are set by the test.
#pragma once

#include <QString>
#include <QStringList>

#include "ListedDisc.h"

class RecordingListedDiscView : public TListedDiscView {
public:
    void SetStatus(const QString& text) override { said << text; }
    int StatusCount() const override { return static_cast<int>(said.size()); }
    bool NamesWait() const override { return batchRunning; }
    bool Closing() const override { return false; }
    QWidget* DialogOwner() override { return nullptr; }

    QString Status() const { return said.isEmpty() ? QString() : said.last(); }

    QStringList said;
    bool batchRunning = false;
};
