// A disc-id answer of the MusicBrainz database from anywhere: large JSON, read into the
// releases that hold the disc. Whatever it says, the reader refuses it only when it is
// not an object with a list of releases, finds no more releases than the list holds, and
// gives what its header promises: texts of one line of whole characters (they go to the
// status line, the release list and the file names), tracks in position order, one per
// position from 1 to 99, and no length or medium position below what the header allows.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cstdint>

#include "MusicBrainzAnswer.h"
#include "fuzzcheck.h"

namespace {

// The disc the seed answers are for.
const char* const kDisc = "lwHl8fGzJyLXQR33ug60E8jhf4k-";

bool oneLineOfWholeCharacters(const QString& text) {
    if (!text.isValidUtf16()) return false;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto releases = Rip::ParseMusicBrainzReleases(json, QString::fromLatin1(kDisc));

    const QJsonDocument doc = QJsonDocument::fromJson(json);
    const bool listed = doc.isObject() && doc.object().value("releases").isArray();
    CHECK(releases.has_value() == listed);
    if (!releases) return 0;
    CHECK(releases->size() <= size_t(doc.object().value("releases").toArray().size()));

    for (const Rip::TMusicBrainzRelease& r : *releases) {
        for (const QString* text : {&r.Id, &r.Title, &r.Artist, &r.Date, &r.Country, &r.Format})
            CHECK(oneLineOfWholeCharacters(*text));
        CHECK(oneLineOfWholeCharacters(r.Label()));
        CHECK(r.Media >= 1 && r.MediumPosition >= 1);
        CHECK(r.Tracks.size() <= 99);
        int previous = 0;
        for (const Rip::TMusicBrainzTrack& t : r.Tracks) {
            CHECK(t.Position > previous && t.Position <= 99);
            previous = t.Position;
            CHECK(t.LengthMs >= 0);
            CHECK(oneLineOfWholeCharacters(t.Title) && oneLineOfWholeCharacters(t.Artist));
        }
    }
    return 0;
}
