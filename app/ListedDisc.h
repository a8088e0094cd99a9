// The disc the window lists: the active drive's disc record, its IDs and names, whether it
// is loaded, and its online lookups. One owner for all of it, so that no copy of it can lag
// behind another (a failed read leaving the disc marked loaded, say).
#pragma once

#include <QObject>
#include <QString>
#include <map>
#include <string>

#include "CDSession.h"
#include "DiscIds.h"
#include "DiscNames.h"
#include "MusicBrainzLookup.h"

class QWidget;
class TUiServices;

// What the listed disc needs of the window that shows it.
class TListedDiscView {
public:
    virtual ~TListedDiscView() = default;
    virtual void SetStatus(const QString& text) = 0;
    // Messages the status line has shown: a dropped lookup says so only while the line
    // still says it is out.
    virtual int StatusCount() const = 0;
    // A batch runs: names found now would split its files between two albums, so they wait.
    virtual bool NamesWait() const = 0;
    virtual bool Closing() const = 0;
    // Over which the pick-a-release dialog shows.
    virtual QWidget* DialogOwner() = 0;
};

class TListedDisc : public QObject {
    Q_OBJECT
public:
    // musicBrainz: the database's address; tests point it at a server of their own.
    TListedDisc(CDRipIntf::TCDSession& session, TUiServices& services, TListedDiscView& view,
                const QString& musicBrainz = Rip::TMusicBrainzLookup::DefaultBase(),
                QObject* parent = nullptr);

    bool Loaded() const { return loaded_; }
    // The active drive's disc record, its table read by the last Load.
    const CDRipIntf::TDiscInfo& Disc() const { return session_.Disc(); }
    CDRipIntf::TDiscIds Ids() const { return CDRipIntf::DiscIdsOf(session_.Disc()); }
    // The names the listing shows.
    const Rip::TDiscNames& Names() const { return names_; }

    // Reads the active drive's table and lists it, with the names found for the disc
    // before or its CD-Text's; a table that cannot be read lists nothing.
    void Load();
    // Forgets the listing (not the names kept for the disc).
    void Clear();
    // The active drive changed: lists its disc, if it has one.
    void Relist();
    // A medium arrived in the active drive: lists it unless a disc is listed already.
    void Arrive();
    // The listed disc left the drive: its names and its answer go, the other discs' stay.
    void Remove();
    // True when an audio disc is listed; else says why not in the status line.
    bool Ready();
    QString DiscTypeMessage() const;
    // Asks the database for the listed disc's names, in the background.
    void LookUp();
    // Shows the names found for the listed disc while they had to wait.
    void ShowWaitingNames();

signals:
    // The listing changed: cleared, or a disc listed with its names.
    void Listed();
    // New names for the listed disc.
    void NamesChanged();

private:
    void clear();
    // said: the status line's count when it said the lookup went out.
    void lookedUp(const std::string& disc, const Rip::TMusicBrainzResult& result, int said);

    CDRipIntf::TCDSession& session_;
    TUiServices& services_;
    TListedDiscView& view_;
    bool loaded_ = false;
    // The listed disc's MusicBrainz id, empty when it has none, and its names.
    std::string disc_;
    Rip::TDiscNames names_;
    // The names found for each disc while it stays, by MusicBrainz disc id.
    std::map<std::string, Rip::TDiscNames> kept_;
    // The discs whose lookup the user is waiting for, each with the status line's count when
    // it last said so.
    std::map<std::string, int> lookupsOut_;
    Rip::TMusicBrainzLookup musicBrainz_;
};
