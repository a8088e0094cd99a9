// The MusicBrainz lookup: what it reads from the database's answers, and, against a
// server of the test's own on 127.0.0.1, how it asks, what each kind of answer becomes
// and that it keeps to one request a second.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslSocket>

#include "MusicBrainzAnswers.h"
#include "MusicBrainzLookup.h"
#include "PumpUntil.h"
#include "TinyHttpServer.h"

namespace {

using Kind = Rip::TMusicBrainzResult::TKind;

const QString kDisc = "lwHl8fGzJyLXQR33ug60E8jhf4k-";
const QString kOtherDisc = "Wn8eRBtZLDvSQFyS6.MkWZdIZLo-";

using namespace mbanswers;

QByteArray answer(QJsonArray releases) {
    return mbanswers::answer(kDisc, std::move(releases));
}

// One release of a single CD holding kDisc.
QByteArray ourSingle() {
    return answer({release("r1", "Songs", credit({{"Band", ""}}), "1999", "GB",
                           {medium(1, kDisc, {track(1, "One", 180000)})})});
}

CDRipIntf::TDiscIds idsOf(const QString& disc) {
    CDRipIntf::TDiscIds ids;
    ids.Valid = true;
    ids.AudioTracks = 1;
    ids.MusicBrainz = disc.toStdString();
    return ids;
}

QString pathOf(const TinyHttpServer& server, const QString& disc) {
    return Rip::TMusicBrainzLookup::UrlFor(server.Base(), disc.toStdString()).path();
}

struct TAsked {
    bool done = false;
    Rip::TMusicBrainzResult result;
};

void look(Rip::TMusicBrainzLookup& lookup, const QString& disc, TAsked& asked) {
    lookup.Look(idsOf(disc), [&asked](const Rip::TMusicBrainzResult& r) {
        asked.result = r;
        asked.done = true;
    });
}

Rip::TMusicBrainzResult lookUp(Rip::TMusicBrainzLookup& lookup, const QString& disc = kDisc) {
    TAsked asked;
    look(lookup, disc, asked);
    EXPECT_TRUE(pumpUntil([&] { return asked.done; }));
    return asked.result;
}

}  // namespace

TEST(MusicBrainzReleases, ReadsTheNamesAndTheTracksInOrder) {
    const auto releases = Rip::ParseMusicBrainzReleases(
        answer({release("r1", "Duets", credit({{"Ann", " feat. "}, {"Bo", ""}}), "1999-03-22", "GB",
                        {medium(1, kDisc,
                                {track(2, "Second", QJsonValue::Null, credit({{"Cy", ""}})),
                                 track(1, "First", 241000)})})}),
        kDisc);
    ASSERT_TRUE(releases);
    ASSERT_EQ(releases->size(), 1u);
    const Rip::TMusicBrainzRelease& r = releases->front();
    EXPECT_EQ(r.Id, "r1");
    EXPECT_EQ(r.Title, "Duets");
    EXPECT_EQ(r.Artist, "Ann feat. Bo");
    EXPECT_EQ(r.Date, "1999-03-22");
    EXPECT_EQ(r.Country, "GB");
    EXPECT_EQ(r.Format, "CD");
    EXPECT_EQ(r.Label(), "Ann feat. Bo \u2013 Duets (1999-03-22, GB, CD)");
    ASSERT_EQ(r.Tracks.size(), 2u);
    // A track without a credit of its own is the release's artist's; a length the database
    // lacks is 0.
    EXPECT_EQ(r.Tracks[0].Position, 1);
    EXPECT_EQ(r.Tracks[0].Title, "First");
    EXPECT_EQ(r.Tracks[0].Artist, "Ann feat. Bo");
    EXPECT_EQ(r.Tracks[0].LengthMs, 241000);
    EXPECT_EQ(r.Tracks[1].Position, 2);
    EXPECT_EQ(r.Tracks[1].Title, "Second");
    EXPECT_EQ(r.Tracks[1].Artist, "Cy");
    EXPECT_EQ(r.Tracks[1].LengthMs, 0);
}

TEST(MusicBrainzReleases, KeepsOfEachReleaseOnlyTheMediumThatIsThisDisc) {
    const auto releases = Rip::ParseMusicBrainzReleases(
        answer({release("single", "Songs", credit({{"Band", ""}}), "1999", "GB",
                        {medium(1, kDisc, {track(1, "One", 1000)})}),
                // The same disc id on another release, as the database's answer may hold
                // when a disc id was attached wrongly: not ours, so left out.
                release("elsewhere", "Other", credit({{"Band", ""}}), "2001", "US",
                        {medium(1, kOtherDisc, {track(1, "Else", 1000)})}),
                release("double", "Songs & More", credit({{"Band", ""}}), QJsonValue::Null,
                        QJsonValue::Undefined,
                        {medium(1, kOtherDisc, {track(1, "Disc one", 1000)}),
                         medium(2, kDisc, {track(1, "Disc two", 2000)}, "Enhanced CD")}),
                release("bare", "Untitled", {}, "", "", {medium(1, kDisc, {}, "")})}),
        kDisc);
    ASSERT_TRUE(releases);
    ASSERT_EQ(releases->size(), 3u);
    EXPECT_EQ((*releases)[0].Label(), "Band \u2013 Songs (1999, GB, CD)");
    const Rip::TMusicBrainzRelease& two = (*releases)[1];
    EXPECT_EQ(two.Label(), "Band \u2013 Songs & More (Enhanced CD)");
    EXPECT_EQ(two.MediumPosition, 2);
    EXPECT_EQ(two.Media, 2);
    ASSERT_EQ(two.Tracks.size(), 1u);
    EXPECT_EQ(two.Tracks[0].Title, "Disc two");
    EXPECT_EQ((*releases)[2].Label(), "Untitled");

    // No release holds the disc: an answer, but nothing in it.
    const auto none = Rip::ParseMusicBrainzReleases(ourSingle(), kOtherDisc);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

// Anyone may answer in the database's name: what it says goes to the status line, the
// release list and the file names, so it comes out as the reader's header promises.
TEST(MusicBrainzReleases, WhatAnAnswerMaySayComesOutAsTheHeaderPromises) {
    const QByteArray json = R"({"releases": [{"id": "r\u0000", "title": "Two\nLines\u2028",
        "artist-credit": [{"name": "Half \ud800 pair \udc00", "joinphrase": "\u0007"}],
        "date": "1999\r", "country": "\u001bGB", "media": [
          {"position": 1, "discs": [{"id": "other"}]},
          {"position": 0, "format": "C\u0085D", "discs": [{"id": ")" +
                            kDisc.toUtf8() + R"("}], "tracks": [
            {"position": 2, "title": "Second", "length": -5},
            {"position": 1, "title": "First", "length": 1000},
            {"position": 0, "title": "Nought"}, {"position": -3, "title": "Below"},
            {"position": 100, "title": "Past a disc"},
            {"position": 1, "title": "First again"},
            {"position": 3, "title": "Whole \ud83c\udfb5 pair"}]}]}]})";
    const auto releases = Rip::ParseMusicBrainzReleases(json, kDisc);
    ASSERT_TRUE(releases);
    ASSERT_EQ(releases->size(), 1u);
    const Rip::TMusicBrainzRelease& r = releases->front();
    EXPECT_EQ(r.Id, "r ");
    EXPECT_EQ(r.Title, "Two Lines ");
    EXPECT_EQ(r.Artist, "Half \uFFFD pair \uFFFD ");
    EXPECT_EQ(r.Label(), "Half \uFFFD pair \uFFFD  \u2013 Two Lines  (1999 ,  GB, C D)");
    // A medium numbered below 1 is numbered by its place among the release's.
    EXPECT_EQ(r.MediumPosition, 2);
    EXPECT_EQ(r.Media, 2);
    // One track per position a disc can have, the first the answer gives; no length below 0.
    ASSERT_EQ(r.Tracks.size(), 3u);
    EXPECT_EQ(r.Tracks[0].Title, "First");
    EXPECT_EQ(r.Tracks[0].LengthMs, 1000);
    EXPECT_EQ(r.Tracks[1].Position, 2);
    EXPECT_EQ(r.Tracks[1].LengthMs, 0);
    EXPECT_EQ(r.Tracks[2].Title, "Whole \U0001F3B5 pair");
}

TEST(MusicBrainzReleases, AnswersThatAreNotTheDatabasesAreRefused) {
    for (const char* body :
         {"", "<html><body>moved</body></html>", "[]", R"({"error": "Invalid discid."})",
          R"({"releases": 3})", R"({"releases": [{"id": "r1", "media": [)"}) {
        SCOPED_TRACE(body);
        EXPECT_FALSE(Rip::ParseMusicBrainzReleases(body, kDisc));
    }
    EXPECT_FALSE(Rip::ParseMusicBrainzReleases(ourSingle().left(40), kDisc));
}

TEST(MusicBrainzLookup, AsksForTheDiscNamingItselfAndReadsTheAnswer) {
    qputenv("SONVALE_MUSICBRAINZ_URL", "http://127.0.0.1:9/mb");
    EXPECT_EQ(Rip::TMusicBrainzLookup::DefaultBase(), "http://127.0.0.1:9/mb");
    qunsetenv("SONVALE_MUSICBRAINZ_URL");
    EXPECT_EQ(Rip::TMusicBrainzLookup::DefaultBase(), "https://musicbrainz.org");

    TinyHttpServer server;
    server.answers["/db/ws/2/discid/" + kDisc] = {200, ourSingle()};
    Rip::TMusicBrainzLookup lookup(server.Base() + "/");
    const auto r = lookUp(lookup);
    ASSERT_EQ(r.Kind, Kind::Found);
    ASSERT_EQ(r.Releases.size(), 1u);
    EXPECT_EQ(r.Releases[0].Tracks.at(0).Title, "One");
    ASSERT_EQ(server.requests.size(), 1u);
    const TinyHttpServer::Request& sent = server.requests[0];
    EXPECT_EQ(sent.query, "inc=recordings+artist-credits&fmt=json");
    EXPECT_EQ(QString::fromUtf8(sent.headers.at("user-agent")),
              "Sonvale/" SONVALE_VERSION " ( https://www.sonvale.example/ )");

    // Asked once while the disc stays, whatever other disc goes; asked anew once it went.
    EXPECT_EQ(lookUp(lookup).Kind, Kind::Found);
    lookup.Forget(idsOf("another-disc"));
    EXPECT_EQ(lookUp(lookup).Kind, Kind::Found);
    EXPECT_EQ(server.asked.size(), 1);
    lookup.Forget(idsOf(kDisc));
    EXPECT_EQ(lookUp(lookup).Kind, Kind::Found);
    EXPECT_EQ(server.asked.size(), 2);
}

TEST(MusicBrainzLookup, EveryOtherAnswerIsSaidPlainly) {
    struct Case {
        const char* name;
        TinyHttpServer::Answer answer;
        Kind kind;
        QString reason;
    };
    for (const Case& c :
         {Case{"not in the database", {404, R"({"error": "Not Found"})"}, Kind::NotFound, ""},
          Case{"on no release of its own", {200, answer({})}, Kind::NotFound, ""},
          Case{"rate-limited",
               {503, "slow down"},
               Kind::Failed,
               "the database is busy, try again later"},
          Case{"server error", {500, "oops"}, Kind::Failed, "the database answered 500"},
          Case{"a web page",
               {200, "<html><body>moved</body></html>"},
               Kind::Failed,
               "the answer was not the database's"},
          Case{"no releases",
               {200, R"({"id": "x", "sectors": 1})"},
               Kind::Failed,
               "the answer was not the database's"},
          Case{"no answer", {200, {}, true}, Kind::Failed, "no answer in time"}}) {
        SCOPED_TRACE(c.name);
        TinyHttpServer server;
        server.answers[pathOf(server, kDisc)] = c.answer;
        Rip::TMusicBrainzLookup lookup(server.Base(), 300);
        const auto r = lookUp(lookup);
        EXPECT_EQ(r.Kind, c.kind);
        EXPECT_EQ(r.Reason, c.reason);
        EXPECT_TRUE(r.Releases.empty());
    }
    Rip::TMusicBrainzLookup nowhere("http://127.0.0.1:1/db", 300);
    const auto r = lookUp(nowhere);
    EXPECT_EQ(r.Kind, Kind::Failed);
    EXPECT_EQ(r.Reason, "the database could not be reached");
}

// Clock times here are lower bounds only: a slow machine may take longer, never less.
TEST(MusicBrainzLookup, KeepsASecondBetweenRequestsWithoutHoldingTheThread) {
    TinyHttpServer server;
    server.answers[pathOf(server, kDisc)] = {503, "slow down"};
    server.answers[pathOf(server, kOtherDisc)] = {200, ourSingle()};
    Rip::TMusicBrainzLookup lookup(server.Base());
    QElapsedTimer clock;
    clock.start();
    TAsked first, second;
    look(lookup, kDisc, first);
    look(lookup, kOtherDisc, second);
    // The first is answered while the second still waits its turn: the thread was free.
    ASSERT_TRUE(pumpUntil([&] { return first.done; }));
    EXPECT_EQ(server.asked.size(), 1);
    EXPECT_FALSE(second.done);
    ASSERT_TRUE(pumpUntil([&] { return server.asked.size() == 2; }));
    EXPECT_GE(clock.elapsed(), 1000);
    ASSERT_TRUE(pumpUntil([&] { return second.done; }));
    EXPECT_EQ(second.result.Kind, Kind::NotFound);

    // A lookup that failed is asked again, in the next free second.
    EXPECT_EQ(first.result.Kind, Kind::Failed);
    TAsked again;
    look(lookup, kDisc, again);
    ASSERT_TRUE(pumpUntil([&] { return again.done; }));
    EXPECT_EQ(server.asked, QStringList({pathOf(server, kDisc), pathOf(server, kOtherDisc),
                                         pathOf(server, kDisc)}));
    EXPECT_GE(clock.elapsed(), 2000);
}

// The database is asked over HTTPS. A certificate the machine cannot check (one made here,
// as a fresh machine without the authorities' certificates sees the real one) is said as
// such, and the server's answer behind it, a good one, is not taken; trusted, it is.
TEST(MusicBrainzLookup, AnAnswerBehindACertificateThatCannotBeCheckedIsNotTaken) {
    ASSERT_TRUE(QSslSocket::supportsSsl()) << "no TLS backend";
    const TestCertificate tls = TestCertificate::Make();
    ASSERT_FALSE(tls.certificate.isNull());
    ASSERT_FALSE(tls.key.isNull());
    TinyHttpServer server(tls);
    server.answers[pathOf(server, kDisc)] = {200, ourSingle()};
    const QByteArray before = qgetenv("SONVALE_MUSICBRAINZ_URL");
    qputenv("SONVALE_MUSICBRAINZ_URL", server.Base().toUtf8());
    Rip::TMusicBrainzLookup lookup;
    qputenv("SONVALE_MUSICBRAINZ_URL", before);

    const auto r = lookUp(lookup);
    EXPECT_EQ(r.Kind, Kind::Failed);
    EXPECT_EQ(r.Reason, "the database's certificate could not be checked");
    EXPECT_TRUE(r.Releases.empty());
    EXPECT_TRUE(server.asked.isEmpty());

    lookup.TrustOnly({tls.certificate});
    const auto trusted = lookUp(lookup);
    ASSERT_EQ(trusted.Kind, Kind::Found);
    EXPECT_EQ(trusted.Releases.at(0).Tracks.at(0).Title, "One");
    EXPECT_EQ(server.asked, QStringList({pathOf(server, kDisc)}));
}
