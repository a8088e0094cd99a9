// The cover art client against a server of the test's own: what it asks, and which answers
// give an image to use and what the others say.
#include <gtest/gtest.h>

#include "CoverArt.h"
#include "PumpUntil.h"
#include "TestImage.h"
#include "TinyHttpServer.h"

namespace {

Rip::TCoverArtResult fetch(Rip::TCoverArtLookup& lookup, const QString& release) {
    bool done = false;
    Rip::TCoverArtResult result;
    lookup.Fetch(release, [&](const Rip::TCoverArtResult& r) {
        result = r;
        done = true;
    });
    EXPECT_TRUE(pumpUntil([&] { return done; }));
    return result;
}

}  // namespace

TEST(CoverArt, AJpegOrPngIsUsedAndEveryOtherAnswerIsSaid) {
    qputenv("SONVALE_COVERART_URL", "http://127.0.0.1:9/art/");
    EXPECT_EQ(Rip::TCoverArtLookup::UrlFor(Rip::TCoverArtLookup::DefaultBase(), "r 1").toEncoded(),
              "http://127.0.0.1:9/art/release/r%201/front-500");
    qunsetenv("SONVALE_COVERART_URL");
    EXPECT_EQ(Rip::TCoverArtLookup::DefaultBase(), "https://coverartarchive.org");

    TinyHttpServer server;
    const QByteArray jpeg = TestImage("JPEG"), png = TestImage("PNG");
    ASSERT_FALSE(jpeg.isEmpty() || png.isEmpty());
    const QString kept = server.Base() + "/kept/cover.png";
    server.answers["/db/release/jpeg/front-500"] = {200, jpeg};
    server.answers["/db/release/png/front-500"] = {200, png};
    server.answers["/db/release/moved/front-500"] = {307, "", false, kept.toUtf8()};
    server.answers["/db/kept/cover.png"] = {200, png};
    server.answers["/db/release/html/front-500"] = {200, "<html><body>Not here</body></html>"};
    server.answers["/db/release/cut/front-500"] = {200, jpeg.left(jpeg.size() / 3)};
    server.answers["/db/release/hangs/front-500"] = {200, "", true};
    server.answers["/db/release/endless/front-500"] = {200, png + QByteArray(17 << 20, '\0')};
    Rip::TCoverArtLookup lookup(server.Base(), 500);

    struct Case {
        QString release, mime, extension, status;
    };
    for (const Case& c :
         {Case{"jpeg", "image/jpeg", ".jpg", {}}, Case{"png", "image/png", ".png", {}},
          Case{"moved", "image/png", ".png", {}},
          Case{"absent", {}, {}, "No Cover Art for this Release."},
          Case{"html", {}, {}, "Cover Art not Used - it is not a JPEG or PNG Image."},
          Case{"cut", {}, {}, "Cover Art not Used - the image is broken."},
          Case{"hangs", {}, {}, "Cover Art not Fetched - no answer in time."},
          Case{"endless", {}, {}, "Cover Art not Fetched - the answer was too large."}}) {
        SCOPED_TRACE(c.release.toStdString());
        const Rip::TCoverArtResult r = fetch(lookup, c.release);
        EXPECT_EQ(r.Status, c.status);
        EXPECT_EQ(r.Art.Mime, c.mime);
        EXPECT_EQ(r.Art.Extension, c.extension);
        EXPECT_EQ(r.Art.Empty(), c.mime.isEmpty());
        if (!r.Art.Empty()) {
            EXPECT_TRUE(r.Art.Bytes == (c.mime == "image/jpeg" ? jpeg : png));
        }
    }
    EXPECT_TRUE(server.asked.contains("/db/kept/cover.png"));
}
