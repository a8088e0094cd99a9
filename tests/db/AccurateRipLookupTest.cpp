// The AccurateRip lookup against a server of the test's own on 127.0.0.1: where it asks,
// what each kind of answer becomes, and that a disc is asked for once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <map>
#include <memory>
#include <optional>

#include "AccurateRipLookup.h"
#include "PumpUntil.h"
#include "TinyHttpServer.h"

namespace {

CDRipIntf::TDiscIds discIds() {
    CDRipIntf::TDiscIds ids;
    ids.Valid = true;
    ids.AudioTracks = 1;
    ids.AccurateRipId1 = 0x00015f90;
    ids.AccurateRipId2 = 0x000493e1;
    ids.CddbId = 0x0c025803;
    ids.AccurateRip = "dBAR-001-00015f90-000493e1-0c025803";
    return ids;
}
const QString kPath = "/db/0/9/f/dBAR-001-00015f90-000493e1-0c025803.bin";

QByteArray oneBlock() {
    QByteArray b(1, 1);
    for (uint32_t v : {0x00015f90u, 0x000493e1u, 0x0c025803u})
        for (int k = 0; k < 4; ++k) b.append(char(uint8_t(v >> (8 * k))));
    b.append(char(17));
    b.append(QByteArray("\x44\x33\x22\x11\0\0\0\0", 8));
    return b;
}

Rip::TAccurateRipResult lookUp(Rip::TAccurateRipLookup& lookup) {
    Rip::TAccurateRipResult result;
    bool done = false;
    lookup.Look(discIds(), [&](const Rip::TAccurateRipResult& r) {
        result = r;
        done = true;
    });
    EXPECT_TRUE(pumpUntil([&] { return done; }));
    return result;
}

}  // namespace

TEST(AccurateRipLookup, AsksWhereTheDiscIsFiledAndReadsTheAnswer) {
    EXPECT_EQ(Rip::TAccurateRipLookup::UrlFor("http://h/a/", discIds()).toString(),
              "http://h/a/0/9/f/dBAR-001-00015f90-000493e1-0c025803.bin");
    TinyHttpServer server;
    server.answers[kPath] = {200, oneBlock()};
    Rip::TAccurateRipLookup lookup(server.Base());
    const auto r = lookUp(lookup);
    ASSERT_EQ(r.Kind, Rip::TAccurateRipResult::TKind::Found);
    ASSERT_EQ(r.Blocks.size(), 1u);
    EXPECT_EQ(r.Blocks[0].Tracks.at(0).Checksum, 0x11223344u);
    EXPECT_EQ(r.Blocks[0].Tracks.at(0).Confidence, 17);
    // Asked once while the disc stays: the second answer is the first.
    EXPECT_EQ(lookUp(lookup).Blocks.size(), 1u);
    EXPECT_EQ(server.asked, QStringList({kPath}));
    // A disc taken out is asked for anew; a lookup still out as it went still answers.
    lookup.Forget(discIds());
    bool answered = false;
    lookup.Look(discIds(), [&](const Rip::TAccurateRipResult& later) {
        answered = later.Kind == Rip::TAccurateRipResult::TKind::Found;
    });
    lookup.Forget(discIds());
    EXPECT_EQ(lookUp(lookup).Kind, Rip::TAccurateRipResult::TKind::Found);
    EXPECT_TRUE(answered);
    EXPECT_EQ(server.asked.size(), 2);
}

// The window's callbacks look the disc up again, or forget it, as they are answered.
TEST(AccurateRipLookup, ACallbackMayLookAgainOrForgetTheDisc) {
    using K = Rip::TAccurateRipResult::TKind;
    TinyHttpServer server;
    server.answers[kPath] = {500, "oops"};
    Rip::TAccurateRipLookup lookup(server.Base());
    QStringList said;
    std::optional<K> again;
    lookup.Look(discIds(), [&](const Rip::TAccurateRipResult& first) {
        said << "first";
        EXPECT_EQ(first.Kind, K::NotChecked);
        server.answers[kPath] = {200, oneBlock()};
        // Not kept, so asked anew from within the answer.
        lookup.Look(discIds(), [&](const Rip::TAccurateRipResult& r) { again = r.Kind; });
    });
    lookup.Look(discIds(), [&](const Rip::TAccurateRipResult& second) {
        said << "second";
        EXPECT_EQ(second.Kind, K::NotChecked);
    });
    ASSERT_TRUE(pumpUntil([&] { return again.has_value(); }));
    EXPECT_EQ(said, QStringList({"first", "second"}));
    EXPECT_EQ(*again, K::Found);
    EXPECT_EQ(server.asked.size(), 2);

    // Answered at once from the kept answer, which the callback's Forget must not take away.
    size_t blocks = 0;
    lookup.Look(discIds(), [&](const Rip::TAccurateRipResult& kept) {
        lookup.Forget(discIds());
        blocks = kept.Blocks.size();
    });
    EXPECT_EQ(blocks, 1u);
    EXPECT_EQ(lookUp(lookup).Kind, K::Found);
    EXPECT_EQ(server.asked.size(), 3);
}

TEST(AccurateRipLookup, EveryOtherAnswerIsSaidPlainly) {
    struct Case {
        const char* name;
        TinyHttpServer::Answer answer;
        Rip::TAccurateRipResult::TKind kind;
    };
    using K = Rip::TAccurateRipResult::TKind;
    for (const Case& c :
         {Case{"not in the database", {404, {}}, K::NotInDatabase},
          Case{"server error", {500, "oops"}, K::NotChecked},
          Case{"a web page", {200, "<html><body>moved</body></html>"}, K::NotChecked},
          Case{"cut short", {200, oneBlock().left(20)}, K::NotChecked},
          Case{"no answer", {200, {}, true}, K::NotChecked}}) {
        SCOPED_TRACE(c.name);
        TinyHttpServer server;
        server.answers[kPath] = c.answer;
        Rip::TAccurateRipLookup lookup(server.Base(), 500);
        const auto r = lookUp(lookup);
        EXPECT_EQ(r.Kind, c.kind);
        EXPECT_EQ(r.Reason.isEmpty(), c.kind != K::NotChecked);
    }
    // Nobody listening.
    Rip::TAccurateRipLookup nowhere("http://127.0.0.1:1/db", 500);
    const auto r = lookUp(nowhere);
    EXPECT_EQ(r.Kind, K::NotChecked);
    EXPECT_EQ(r.Reason, "the database could not be reached");
}

// The classification is the lookups' shared one: a database given as https:// whose
// certificate cannot be checked is said as such, its answer not taken; trusted, it is.
TEST(AccurateRipLookup, OverHttpsACertificateThatCannotBeCheckedIsSaid) {
    const TestCertificate tls = TestCertificate::Make();
    ASSERT_FALSE(tls.certificate.isNull());
    TinyHttpServer server(tls);
    server.answers[kPath] = {200, oneBlock()};
    Rip::TAccurateRipLookup lookup(server.Base());
    const auto r = lookUp(lookup);
    EXPECT_EQ(r.Kind, Rip::TAccurateRipResult::TKind::NotChecked);
    EXPECT_EQ(r.Reason, "the database's certificate could not be checked");
    EXPECT_TRUE(r.Blocks.empty());
    lookup.TrustOnly({tls.certificate});
    EXPECT_EQ(lookUp(lookup).Kind, Rip::TAccurateRipResult::TKind::Found);
}
