// The disc the window lists: the active drive's disc record, its IDs and names, whether it
// is loaded, and its online lookups; and the drive thread that lists it, moves the tray and
// changes the active drive, so that the window never waits on a drive. One owner for all of
// it, so that no copy of it can lag behind another (a failed read leaving the disc marked
// loaded, say), and no listing can land after a newer one.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "CDSession.h"
#include "CoverArt.h"
#include "DiscIds.h"
#include "DiscNames.h"
#include "DriveWorker.h"
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

// Made and used on the window's thread. The listings run on the drive thread, one after the
// other; each one asked overtakes those before it, whose outcome is then dropped.
class TListedDisc : public QObject {
    Q_OBJECT
public:
    // musicBrainz: the database's address; tests point it at a server of their own.
    TListedDisc(CDRipIntf::TCDSession& session, TUiServices& services, TListedDiscView& view,
                const QString& musicBrainz = Rip::TMusicBrainzLookup::DefaultBase(),
                QObject* parent = nullptr);
    // Waits for the drive thread to come back from the library.
    ~TListedDisc() override;

    bool Loaded() const { return loaded_; }
    // The active drive's disc record, its table read by the last listing.
    const CDRipIntf::TDiscInfo& Disc() const { return session_.Disc(); }
    CDRipIntf::TDiscIds Ids() const { return CDRipIntf::DiscIdsOf(session_.Disc()); }
    // The names the listing shows.
    const Rip::TDiscNames& Names() const { return names_; }
    // The front cover of the release the listed disc was found in; empty until one came.
    const Rip::TCoverArt& CoverArt() const;

    // How a listing goes; the window's calls run on the window's thread.
    struct TListing {
        // On the drive thread first: what brings the disc (a drive chosen, a tray closed),
        // done even when a later listing overtakes this one before it has begun.
        std::function<void(CDRipIntf::TCDSession&)> First;
        // Then on the window's thread, whether or not this listing was overtaken.
        std::function<void()> Brought;
        // A disc that has just gone in spins up for seconds: the drive is asked again until
        // it is ready or kDiscWaitMs have passed. Else it is asked once.
        bool WaitForDisc = false;
        // A medium arrived: nothing happens if a disc is listed by then.
        bool OnlyUnlisted = false;
        // A drive that turns out not to be ready gets its listing back as it was.
        bool KeepIfNotReady = false;
        // The drive said it is not ready at first and is being asked again, quietly (the
        // cursor is no longer busy, and another listing may overtake this one).
        std::function<void()> NotYet;
        // When the drive has answered, before the lines show; ready: it has a disc.
        std::function<void(bool ready)> Before;
        // Once the lines show (none, when it had no disc or an unreadable table).
        std::function<void(bool ready)> After;
    };
    static constexpr int kDiscWaitMs = 30000;
    // How long a disc that went in is waited for; tests shorten it.
    int DiscWaitMs = kDiscWaitMs;
    static constexpr int kAskAgainMs = 250;

    // Empties the listing and lists the active drive's disc, off the window's thread; the
    // listing before it is dropped. The lines, names and status show exactly as a listing
    // on the window's thread would.
    void List(TListing how);
    // Reads the active drive's table and lists it, with the names found for the disc
    // before or its CD-Text's; a table that cannot be read lists nothing.
    void Load() { List({}); }
    // Forgets the listing (not the names kept for the disc).
    void Clear();
    // The active drive changed: lists its disc, if it has one.
    void Relist(int driveIndex);
    // A medium arrived in the active drive: lists it, once it has spun up, unless a disc is
    // listed or being waited for already.
    void Arrive();
    // The tray buttons. Opening drops a listing under way; closing lists the disc that came
    // in, as its arrival would.
    void OpenTray();
    void CloseTray();
    // The listed disc left the drive: its names and its answer go, the other discs' stay.
    void Remove();
    // True when an audio disc is listed; else says why not in the status line.
    bool Ready();
    QString DiscTypeMessage() const;
    // Asks the database for the listed disc's names, in the background.
    void LookUp();
    // Shows the names found for the listed disc while they had to wait.
    void ShowWaitingNames();

    // A listing is under way: the drive is being read, or a disc that went in waited for.
    bool Listing() const { return busy_; }
    // The window closes: no listing is asked again, none still to come is shown.
    void Stop();
    // Nothing of the listed disc's runs on the drive thread, or waits to be taken from it.
    bool Idle() const { return worker_.Idle(); }

signals:
    // The listing changed: cleared, or a disc listed with its names.
    void Listed();
    // New names for the listed disc.
    void NamesChanged();
    // A listing began (true) or ended (false).
    void BusyChanged(bool busy);
    // The drive thread has come back with all that was asked of it.
    void BecameIdle();
    // The active drive changed (Relist), and its disc, if any, is being listed.
    void DriveChanged();

private:
    // What the drive thread found.
    struct TRead {
        bool Ready = false;
        int32_t Result = -1;  // ReadDiscInfo's answer when ready
        CDRipIntf::TDiscInfo Disc;
        Rip::TDiscNames CdText;
    };
    // A listing as it was, to be put back.
    struct TShown {
        bool Loaded = false;
        std::string Disc;
        Rip::TDiscNames Names;
        CDRipIntf::TDiscInfo Record;
    };
    void clear();
    void setBusy(bool busy);
    // Asks the drive thread for the active drive's disc; first: the listing's first ask.
    void ask(std::shared_ptr<const TListing> how, uint64_t generation,
             std::chrono::steady_clock::time_point until, bool first);
    // On the drive thread: the disc of the active drive, unless overtaken meanwhile.
    TRead read(uint64_t generation);
    bool overtaken(uint64_t generation) const { return latest_.load() != generation; }
    // The drive answered: lists, or asks again later.
    void answered(const std::shared_ptr<const TListing>& how, uint64_t generation,
                  std::chrono::steady_clock::time_point until, bool first, const TRead& found);
    void show(const TListing& how, const TRead& read);
    // said: the status line's count when it said the lookup went out.
    void lookedUp(const std::string& disc, const Rip::TMusicBrainzResult& result, int said);
    // The release's cover, for the disc while it stays. One that cannot be had is said after
    // found (what the status line says now), as long as the line says nothing newer.
    void fetchArt(const std::string& disc, const QString& release, const QString& found);

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
    // The covers found for each disc while it stays, by MusicBrainz disc id.
    std::map<std::string, Rip::TCoverArt> art_;
    Rip::TCoverArtLookup coverArt_;
    bool busy_ = false;
    bool waiting_ = false;  // the listing under way waits for a disc that went in
    bool stopped_ = false;
    std::optional<TShown> before_;  // of the listing under way, when it keeps it
    // The newest listing asked; the drive thread reads it to give up on older ones.
    std::atomic<uint64_t> latest_{0};
    // Last: its thread ends, back from the library, before the rest goes.
    CDRipIntf::TDriveWorker worker_;
};
