#include "ListedDisc.h"

#include <QStringList>
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
      musicBrainz_(musicBrainz) {}

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

void TListedDisc::Load() {
    CDRipIntf::TDiscInfo& disc = session_.Disc();
    // A table that cannot be read lists nothing, and says so: a later arrival lists the disc.
    clear();
    if (session_.ReadDiscInfo(disc) != 0) return;
    loaded_ = true;
    // Names found for this disc before (listed again, or back from another drive) stay;
    // else its CD-Text gives them, if it has any.
    const TDiscIds ids = DiscIdsOf(disc);
    if (ids.Valid) disc_ = ids.MusicBrainz;
    const auto known = kept_.find(disc_);
    names_ = known != kept_.end() ? known->second
                                  : Rip::TDiscNames::FromCdText(session_, disc.TrackCount);
    if (!disc_.empty() && !names_.Empty()) kept_[disc_] = names_;
    emit Listed();
}

void TListedDisc::Relist() {
    clear();
    if (session_.CR_IsUnitReady()) Load();
}

void TListedDisc::Arrive() {
    if (loaded_) return;
    bool ready = session_.CR_IsUnitReady();
    if (!ready) {
        services_.Sleep(300);
        ready = session_.CR_IsUnitReady();
    }
    if (ready) {
        view_.SetStatus(QStringLiteral("Media is Loaded."));
        Load();
    }
}

void TListedDisc::Remove() {
    // Another disc may come next: it is looked up anew, and its names are its own. The
    // discs in the other drives keep theirs.
    if (loaded_) musicBrainz_.Forget(Ids());
    kept_.erase(disc_);
    view_.SetStatus(QStringLiteral("Media is Removed."));
    clear();
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
    if (view_.NamesWait()) return;
    names_ = names;
    emit NamesChanged();
    view_.SetStatus(QStringLiteral("Disc Found Online: ") + release.Label() + QLatin1Char('.'));
}

void TListedDisc::ShowWaitingNames() {
    const auto found = kept_.find(disc_);
    if (!loaded_ || found == kept_.end()) return;
    names_ = found->second;
    emit NamesChanged();
}
