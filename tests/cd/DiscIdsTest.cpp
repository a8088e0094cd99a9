// A disc's ids from its table: the AccurateRip sums and name, and the CDDB-style and
// MusicBrainz ids libdiscid makes, checked against their formulas worked by hand here.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <vector>

#include "DiscIds.h"

using namespace CDRipIntf;

namespace {

struct Track {
    uint32_t start;
    bool audio;
};

TDiscInfo discOf(const std::vector<Track>& tracks, uint32_t leadOut) {
    TDiscInfo disc;
    disc.TrackCount = static_cast<int16_t>(tracks.size());
    for (size_t i = 0; i < tracks.size(); ++i) {
        TTrackEntry& e = disc.Entry(static_cast<int>(i + 1));
        e.TrackNumber = static_cast<uint8_t>(i + 1);
        e.Audio = tracks[i].audio ? 1 : 0;
        e.StartSector = tracks[i].start;
    }
    disc.LeadOutSector = leadOut;
    return disc;
}

// The MusicBrainz id by its definition: SHA-1 of the upper-case hex of the first and last
// track numbers, the lead-out and 99 track offsets (all counted from the lead-in), in
// base64 with ".", "_" and "-" for "+", "/" and "=".
std::string musicBrainzId(int first, int last, uint32_t leadOut,
                          const std::vector<uint32_t>& starts) {
    const auto hex = [](uint32_t v, int digits) {
        return QByteArray::number(v, 16).rightJustified(digits, '0');
    };
    QByteArray text = hex(uint32_t(first), 2) + hex(uint32_t(last), 2) + hex(leadOut + 150, 8);
    for (size_t k = 0; k < 99; ++k) text += hex(k < starts.size() ? starts[k] + 150 : 0, 8);
    const QByteArray digest =
        QCryptographicHash::hash(text.toUpper(), QCryptographicHash::Sha1).toBase64();
    std::string id = digest.toStdString();
    for (char& c : id) c = c == '+' ? '.' : c == '/' ? '_' : c == '=' ? '-' : c;
    return id;
}

}  // namespace

TEST(DiscIds, AnAudioDisc) {
    // Starts 0, 15000, 30000; lead-out 45000.
    const TDiscIds ids = DiscIdsOf(discOf({{0, true}, {15000, true}, {30000, true}}, 45000));
    ASSERT_TRUE(ids.Valid);
    // id1 = 0 + 15000 + 30000 + 45000; id2 = 1*1 + 15000*2 + 30000*3 + 45000*4.
    EXPECT_EQ(ids.AccurateRipId1, 90000u);
    EXPECT_EQ(ids.AccurateRipId2, 300001u);
    // Digit sums of 2, 202 and 402 seconds: 2 + 4 + 6 = 12; 600 seconds; 3 tracks.
    EXPECT_EQ(ids.CddbId, 0x0c025803u);
    EXPECT_EQ(ids.AccurateRip, "dBAR-003-00015f90-000493e1-0c025803");
    EXPECT_EQ(ids.MusicBrainz, musicBrainzId(1, 3, 45000, {0, 15000, 30000}));
    EXPECT_EQ(ids.MusicBrainz.size(), 28u);
}

TEST(DiscIds, CdExtraAndDataOnlyDiscs) {
    // Two audio tracks, then the data track of the second session after its gap.
    const TDiscIds ids = DiscIdsOf(discOf({{0, true}, {15000, true}, {41400, false}}, 50000));
    ASSERT_TRUE(ids.Valid);
    EXPECT_EQ(ids.AudioTracks, 2);
    // The real lead-out counts for AccurateRip: 0 + 15000 + 50000; 1 + 30000 + 150000.
    EXPECT_EQ(ids.AccurateRipId1, 65000u);
    EXPECT_EQ(ids.AccurateRipId2, 180001u);
    // Every track for CDDB: 2 + 4 + (554: 14) = 20; 666 seconds; 3 tracks.
    EXPECT_EQ(ids.CddbId, 0x14029a03u);
    EXPECT_EQ(ids.AccurateRip, "dBAR-002-0000fde8-0002bf21-14029a03");
    // MusicBrainz ends the audio a session gap before the data track.
    EXPECT_EQ(ids.MusicBrainz, musicBrainzId(1, 2, 41400 - 11400, {0, 15000}));

    EXPECT_FALSE(DiscIdsOf(discOf({{0, false}}, 20000)).Valid);
    EXPECT_FALSE(DiscIdsOf(TDiscInfo{}).Valid);
}
