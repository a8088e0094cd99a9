#include "ListedDisc.h"

#include <QStringList>
#include <QTimer>
#include <chrono>
#include <optional>

#include "UiServices.h"

using CDRipIntf::DiscIdsOf;
using CDRipIntf::TDiscIds;

TListedDisc::TListedDisc(CDRipIntf::TCDSession& session, TUiServices& services,
                         TListedDiscView& view, const QString& musicBrainz, QObject* parent)
    : QObject(parent),
      session_(session),
      services_(services),
      view_(view),
      musicBrainz_(musicBrainz) {
    worker_.OnIdle = [this] { emit BecameIdle(); };
}

TListedDisc::~TListedDisc() {
    // A drive thread asking a spinning drive again gives up at once.
    ++latest_;
    worker_.OnIdle = nullptr;
}

void TListedDisc::clear() {
    loaded_ = false;
    disc_.clear();
    names_ = {};
    session_.Disc().TrackCount = 0;
    emit Listed();
}

void TListedDisc::Clear() {
    clear();
}

void TListedDisc::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    emit BusyChanged(busy);
}

void TListedDisc::List(TListing how) {
    if (stopped_) return;
    before_.reset();
    if (how.KeepIfNotReady) before_ = TShown{loaded_, disc_, names_, session_.Disc()};
    // The lines of the disc before would pass for the new one's; a listed disc that stays
    // listed keeps its own.
    if (!(how.OnlyUnlisted && loaded_)) clear();
    const uint64_t generation = ++latest_;
    waiting_ = how.WaitForDisc;
    setBusy(true);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(DiscWaitMs);
    ask(std::make_shared<const TListing>(std::move(how)), generation, until, true);
}

void TListedDisc::ask(std::shared_ptr<const TListing> how, uint64_t generation,
                      std::chrono::steady_clock::time_point until, bool first) {
    worker_.Run([this, how, generation, until, first]() -> CDRipIntf::TDriveWorker::TOutcome {
        // What brings the disc is the user's command (a drive chosen, a tray closed): it is
        // carried out even once a later command has overtaken its listing, or the drive
        // box would name one drive while the program reads another.
        const bool brought = first && how->First;
        if (brought) how->First(session_);
        const bool reads = !overtaken(generation);
        TRead found;
        if (reads) found = read(generation);
        return [this, how, generation, until, first, brought, reads, found = std::move(found)] {
            if (brought && how->Brought) how->Brought();
            // latest_ changes on this thread only: overtaken now means overtaken for good.
            if (reads && !overtaken(generation)) answered(how, generation, until, first, found);
        };
    });
}

TListedDisc::TRead TListedDisc::read(uint64_t generation) {
    TRead found;
    found.Ready = session_.CR_IsUnitReady();
    if (!found.Ready || overtaken(generation)) return found;
    found.Result = session_.ReadDiscInfo(found.Disc);
    if (found.Result == 0)
        found.CdText = Rip::TDiscNames::FromCdText(session_, found.Disc.TrackCount);
    return found;
}

void TListedDisc::answered(const std::shared_ptr<const TListing>& how, uint64_t generation,
                           std::chrono::steady_clock::time_point until, bool first,
                           const TRead& found) {
    // A real drive answers "becoming ready" for the seconds it spins a new disc up: it is
    // asked again, from the drive thread, until it is ready or the time is up.
    if (!found.Ready && how->WaitForDisc && std::chrono::steady_clock::now() < until) {
        if (first && how->NotYet) {
            waiting_ = false;
            setBusy(false);
            how->NotYet();
        }
        QTimer::singleShot(kAskAgainMs, this, [this, how, generation, until] {
            if (!overtaken(generation)) ask(how, generation, until, false);
        });
        return;
    }
    show(*how, found);
}

void TListedDisc::show(const TListing& how, const TRead& found) {
    waiting_ = false;
    setBusy(false);
    if (how.OnlyUnlisted && loaded_) return;
    if (how.Before) how.Before(found.Ready);
    if (!found.Ready && before_) {
        loaded_ = before_->Loaded;
        disc_ = before_->Disc;
        names_ = before_->Names;
        session_.Disc() = before_->Record;
        before_.reset();
        emit Listed();
    }
    if (found.Ready) {
        // A table that cannot be read lists nothing, and says so: a later arrival lists the
        // disc.
        clear();
        if (found.Result == 0) {
            session_.Disc() = found.Disc;
            loaded_ = true;
            // Names found for this disc before (listed again, or back from another drive)
            // stay; else its CD-Text gives them, if it has any.
            const TDiscIds ids = DiscIdsOf(found.Disc);
            if (ids.Valid) disc_ = ids.MusicBrainz;
            const auto known = kept_.find(disc_);
            names_ = known != kept_.end() ? known->second : found.CdText;
            if (!disc_.empty() && !names_.Empty()) kept_[disc_] = names_;
            emit Listed();
        }
    }
    if (how.After) how.After(found.Ready);
}

void TListedDisc::Relist(int driveIndex) {
    TListing how;
    how.First = [driveIndex](CDRipIntf::TCDSession& session) { session.SelectCDROM(driveIndex); };
    how.Brought = [this] { emit DriveChanged(); };
    List(std::move(how));
}

namespace {
TListedDisc::TListing arrival(TListedDiscView& view) {
    TListedDisc::TListing how;
    how.WaitForDisc = true;
    how.OnlyUnlisted = true;
    how.Before = [&view](bool ready) {
        // Never ready in all that time: the notice is dropped.
        if (ready) view.SetStatus(QStringLiteral("Media is Loaded."));
    };
    return how;
}
}  // namespace

void TListedDisc::Arrive() {
    // The listing under way waits for this very disc.
    if (loaded_ || (busy_ && waiting_)) return;
    List(arrival(view_));
}

void TListedDisc::OpenTray() {
    if (stopped_) return;
    // Whatever a listing under way finds is the disc going out.
    ++latest_;
    waiting_ = false;
    setBusy(false);
    worker_.Run([this]() -> CDRipIntf::TDriveWorker::TOutcome {
        session_.CR_EjectCD(1);
        return {};
    });
}

void TListedDisc::CloseTray() {
    // Also where no notice tells of the disc that came in (a drive udev does not see).
    TListing how = arrival(view_);
    how.First = [](CDRipIntf::TCDSession& session) { session.CR_EjectCD(0); };
    List(std::move(how));
}

void TListedDisc::Remove() {
    // A listing under way would list what is no longer there.
    ++latest_;
    before_.reset();
    waiting_ = false;
    setBusy(false);
    // Another disc may come next: it is looked up anew, and its names are its own. The
    // discs in the other drives keep theirs.
    if (loaded_) musicBrainz_.Forget(Ids());
    kept_.erase(disc_);
    art_.erase(disc_);
    view_.SetStatus(QStringLiteral("Media is Removed."));
    clear();
}

void TListedDisc::Stop() {
    stopped_ = true;
    ++latest_;
    waiting_ = false;
    setBusy(false);
    worker_.DropWaiting();
}

bool TListedDisc::Ready() {
    if (!session_.CR_IsUnitReady()) {
        view_.SetStatus(QStringLiteral("Error : No Disc in Drive."));
        return false;
    }
    if (!loaded_) {
        view_.SetStatus(QStringLiteral("Error : No Disc Information Available."));
        return false;
    }
    if (session_.Disc().DiscType == 0) {
        view_.SetStatus(QStringLiteral("Error : Data Disc Loaded."));
        return false;
    }
    return true;
}

QString TListedDisc::DiscTypeMessage() const {
    switch (session_.Disc().DiscType) {
        case 1:
            return QStringLiteral("An Audio Disc is Loaded in (1st) Drive.");
        case 2:
            return QStringLiteral("A Composite Disc is Loaded in (1st) Drive.");
        default:
            return QStringLiteral("A Data Disc is Loaded in (1st) Drive.");
    }
}

void TListedDisc::LookUp() {
    if (!Ready()) return;
    const TDiscIds ids = Ids();
    if (!ids.Valid) {
        view_.SetStatus(QStringLiteral("Error : No Audio Track to Look Up."));
        return;
    }
    view_.SetStatus(QStringLiteral("Looking Up Disc Online..."));
    // A second click while the answer is out waits for the same answer, once.
    const int said = view_.StatusCount();
    const auto [out, fresh] = lookupsOut_.try_emplace(ids.MusicBrainz, said);
    out->second = said;
    if (!fresh) return;
    musicBrainz_.Look(ids, [this, disc = ids.MusicBrainz](const Rip::TMusicBrainzResult& result) {
        int said = -1;
        if (const auto waiting = lookupsOut_.find(disc); waiting != lookupsOut_.end()) {
            said = waiting->second;
            lookupsOut_.erase(waiting);
        }
        lookedUp(disc, result, said);
    });
}

void TListedDisc::lookedUp(const std::string& disc, const Rip::TMusicBrainzResult& result,
                           int said) {
    // The disc went, or another is listed: its names would land on the wrong tracks. A
    // status line still saying the lookup is out says it ended, unless it has said
    // something newer since (the disc's removal, another listing).
    const auto dropped = [this, said] {
        if (view_.StatusCount() == said)
            view_.SetStatus(
                QStringLiteral("Online Look Up Dropped - the disc is no longer listed."));
    };
    if (view_.Closing()) return;
    if (disc != disc_) {
        dropped();
        return;
    }
    using TKind = Rip::TMusicBrainzResult::TKind;
    if (result.Kind == TKind::Failed) {
        view_.SetStatus(QStringLiteral("Online Look Up Failed - ") + result.Reason +
                        QLatin1Char('.'));
        return;
    }
    if (result.Kind == TKind::NotFound || result.Releases.empty()) {
        view_.SetStatus(QStringLiteral("Disc not Found Online."));
        return;
    }
    size_t pick = 0;
    if (result.Releases.size() > 1) {
        QStringList labels;
        for (const Rip::TMusicBrainzRelease& r : result.Releases) labels << r.Label();
        const std::optional<int> chosen = services_.ChooseItem(
            view_.DialogOwner(), QStringLiteral("Look Up Disc Online"),
            QStringLiteral("This disc is part of several releases. Choose yours:"), labels);
        if (!chosen || *chosen < 0 || *chosen >= labels.size()) {
            view_.SetStatus(QStringLiteral("Online Look Up Canceled."));
            return;
        }
        // The dialog waited for the user: the disc may have gone meanwhile.
        if (view_.Closing()) return;
        if (disc != disc_) {
            dropped();
            return;
        }
        pick = static_cast<size_t>(*chosen);
    }
    const Rip::TMusicBrainzRelease& release = result.Releases[pick];
    const Rip::TDiscNames names = Rip::TDiscNames::FromRelease(release, session_.Disc().TrackCount);
    kept_[disc] = names;
    // A batch started while the answer was out: the names wait for its end.
    if (view_.NamesWait()) {
        fetchArt(disc, release.Id, QString());
        return;
    }
    names_ = names;
    emit NamesChanged();
    const QString found =
        QStringLiteral("Disc Found Online: ") + release.Label() + QLatin1Char('.');
    view_.SetStatus(found);
    fetchArt(disc, release.Id, found);
}

void TListedDisc::fetchArt(const std::string& disc, const QString& release, const QString& found) {
    if (art_.count(disc) || release.isEmpty()) return;
    const int said = view_.StatusCount();
    coverArt_.Fetch(release, [this, disc, found, said](const Rip::TCoverArtResult& result) {
        if (view_.Closing()) return;
        // Kept for the disc while it stays, also when another drive's is listed now.
        if (!result.Art.Empty()) {
            if (kept_.count(disc)) art_[disc] = result.Art;
            return;
        }
        // Said only while the status line still shows what it showed as the fetch went out
        // (what was found, mostly): over anything newer, a batch's progress or the disc's
        // removal, a word about the art would come out of turn.
        if (disc != disc_ || view_.StatusCount() != said) return;
        view_.SetStatus(found.isNull() ? result.Status : found + QLatin1Char(' ') + result.Status);
    });
}

const Rip::TCoverArt& TListedDisc::CoverArt() const {
    static const Rip::TCoverArt none;
    const auto found = art_.find(disc_);
    return loaded_ && found != art_.end() ? found->second : none;
}

void TListedDisc::ShowWaitingNames() {
    const auto found = kept_.find(disc_);
    if (!loaded_ || found == kept_.end()) return;
    names_ = found->second;
    emit NamesChanged();
}
