// The disc's CD-Text through the C ABI: from cue sheets (libcue) in UTF-8 and Latin-1, from
// drives read through libcdio, and that the two libraries' functions named cdtext_get never
// stand in for each other.
#include <cdio/cdio.h>
#include <dlfcn.h>
#include <stdio.h>

#include <memory>
#include <set>
#include <string>

#include "cdrip3_fixture.h"

namespace {

using cdrip3test::Cdrip3Test;
using testdisc::SheetText;

constexpr int32_t kFields[] = {CR_CDTEXT_TITLE, CR_CDTEXT_PERFORMER, CR_CDTEXT_SONGWRITER,
                               CR_CDTEXT_GENRE, CR_CDTEXT_DATE};

// The text of these tests' three-track disc: the second track has no songwriter, the third
// no text at all.
std::vector<SheetText> discText(const std::string& band) {
    return {{"Ace of Spades", band, "Kilmister", "Hard Rock", "1980"},
            {.title = "Love Me Like a Reptile", .performer = band, .songwriter = "Clarke"},
            {.title = "Shoot You in the Back", .performer = "Taylor"},
            {}};
}

testdisc::DiscPlan planWith(std::optional<std::vector<SheetText>> text) {
    testdisc::DiscPlan plan = testdisc::audioDisc({40, 50, 30});
    plan.cdText = std::move(text);
    return plan;
}

// Every field of every entry of the active drive's table, plus the entry past the end.
std::vector<std::vector<std::string>> allText() {
    std::vector<std::vector<std::string>> out;
    for (int32_t track = 0; track <= CR_GetNumTocEntries() + 1; ++track) {
        std::vector<std::string> fields;
        for (int32_t f : kFields) {
            const char* text = CR_GetCDText(track, f);
            if (!text) {
                ADD_FAILURE() << "null text for track " << track << ", field " << f;
                return out;
            }
            fields.emplace_back(text);
        }
        out.push_back(std::move(fields));
    }
    return out;
}

// What allText gives for discText(band), the band already in UTF-8.
std::vector<std::vector<std::string>> expectedText(const std::string& band) {
    return {{"Ace of Spades", band, "Kilmister", "Hard Rock", "1980"},
            {"Love Me Like a Reptile", band, "Clarke", "", ""},
            {"Shoot You in the Back", "Taylor", "", "", ""},
            {"", "", "", "", ""},
            {"", "", "", "", ""}};  // past the last track
}

const std::vector<std::vector<std::string>> kNoText(5, std::vector<std::string>(5));

class CdText : public Cdrip3Test {
protected:
    std::string writeDisc(const std::string& name, std::optional<std::vector<SheetText>> text) {
        const std::string cue = home_.file("discs/" + name);
        testdisc::writeImage(planWith(std::move(text)), cue);
        return cue;
    }
};

TEST_F(CdText, SheetsInUtf8AndLatin1BothDeliverUtf8) {
    const std::string utf8 = writeDisc("utf8.cue", discText("Mot\xC3\xB6rhead"));
    const std::string latin1 = writeDisc("latin1.cue", discText("Mot\xF6rhead"));
    useDrives({utf8, latin1});

    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    EXPECT_EQ(allText(), expectedText("Mot\xC3\xB6rhead"));
    CR_SetActiveCDROM(1);
    EXPECT_STREQ(CR_GetCDText(0, CR_CDTEXT_TITLE), "");  // that text was the other disc's
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    EXPECT_EQ(allText(), expectedText("Mot\xC3\xB6rhead"));

    const std::initializer_list<std::pair<int32_t, int32_t>> outside = {
        {-1, CR_CDTEXT_TITLE}, {0, -1}, {0, 5}, {1, 99}};
    for (const auto& [track, field] : outside) {
        const char* text = CR_GetCDText(track, field);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, "") << track << ", " << field;
    }
}

TEST_F(CdText, NoTextWithoutCdTextOrTableAndTheTextFollowsTheDisc) {
    const std::string plain = writeDisc("plain.cue", std::vector<SheetText>{});
    const std::string changing = writeDisc("changing.cue", discText("Motorhead"));
    // Full CD-Text, but track 2 starts where track 1 does: the sheet parses, the disc is
    // refused.
    const std::string garbled = home_.file("discs/garbled.cue");
    std::string sheet = testdisc::cueSheet(planWith(discText("Motorhead")), "changing.cue");
    const size_t index = sheet.find("INDEX 01 00:00:40");
    ASSERT_NE(index, std::string::npos) << sheet;
    disctest::writeText(garbled, sheet.replace(index, 17, "INDEX 01 00:00:00"));
    useDrives({plain, changing, garbled});

    EXPECT_EQ(allText(), std::vector(2, std::vector<std::string>(5))) << "no table, no text";
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    EXPECT_EQ(allText(), kNoText);

    CR_SetActiveCDROM(1);
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    EXPECT_STREQ(CR_GetCDText(0, CR_CDTEXT_TITLE), "Ace of Spades");
    // Another disc in the same drive: its text comes with its table, not before.
    CR_EjectCD(1);
    EXPECT_STREQ(CR_GetCDText(0, CR_CDTEXT_TITLE), "");
    testdisc::writeImage(
        planWith(std::vector<SheetText>{{.title = "Overkill"}, {.title = "Damage Case"}}),
        changing);
    CR_EjectCD(0);
    EXPECT_STREQ(CR_GetCDText(0, CR_CDTEXT_TITLE), "");
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    EXPECT_STREQ(CR_GetCDText(0, CR_CDTEXT_TITLE), "Overkill");
    EXPECT_STREQ(CR_GetCDText(1, CR_CDTEXT_TITLE), "Damage Case");
    EXPECT_STREQ(CR_GetCDText(0, CR_CDTEXT_PERFORMER), "");

    // A refused sheet is still a disc in a ready drive whose table fails, as before; it
    // has no text, and the last disc's text is gone with its table.
    CR_SetActiveCDROM(2);
    EXPECT_EQ(CR_IsUnitReady(), 1);
    EXPECT_EQ(CR_ReadToc(), CDRIP3_ERROR);
    EXPECT_EQ(CR_GetNumTocEntries(), 0);
    EXPECT_STREQ(CR_GetCDText(0, CR_CDTEXT_TITLE), "");
    EXPECT_STREQ(CR_GetCDText(1, CR_CDTEXT_TITLE), "");
}

// The file a function was loaded from.
std::string libraryOf(const void* function) {
    Dl_info info{};
    return function && dladdr(function, &info) && info.dli_fname ? info.dli_fname : "";
}

// The dynamic symbols a shared object takes from others, as nm lists them.
std::set<std::string> importsOf(const std::string& library) {
    std::set<std::string> out;
    const std::string command = "nm -D --undefined-only '" + library + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> nm(popen(command.c_str(), "r"), pclose);
    if (!nm) return out;
    char line[512];
    while (fgets(line, sizeof line, nm.get())) {
        std::string name(line);  // "    U name@version"
        name.erase(0, name.find_last_of(' ') + 1);
        name.erase(std::min(name.find('@'), name.find('\n')));
        out.insert(name);
    }
    return out;
}

// libcue's cdtext_get(Pti, const Cdtext*) and libcdio's cdtext_get(const cdtext_t*,
// cdtext_field_t, track_t) share a name. This process loads libcdio ahead of libcue (the
// test itself links libcdio), so a call by name would reach libcdio's with libcue's
// arguments: the same sheet read by both must still give the same text.
TEST_F(CdText, LibcueAndLibcdioEachReadTheirOwnText) {
    ASSERT_NE(libraryOf(dlsym(RTLD_DEFAULT, "cdtext_get")).find("libcdio"), std::string::npos)
        << "the process no longer loads libcdio first; the check below proves nothing";
    const std::string cue = writeDisc("both.cue", discText("Mot\xF6rhead"));
    // libcdio reads the same sheet as a device, as a drive's CD-Text.
    CdIo_t* direct = cdio_open(cue.c_str(), DRIVER_UNKNOWN);
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(cdio_get_num_tracks(direct), 3);
    cdio_destroy(direct);
    useDrives({cue}, {cue});
    ASSERT_EQ(CR_GetNumCDROM(), 2);

    std::vector<std::vector<std::string>> byDrive[2];
    for (int32_t drive : {0, 1}) {
        CR_SetActiveCDROM(drive);
        ASSERT_EQ(CR_ReadToc(), CDRIP3_OK) << CR_GetCDROMIDByIndex(drive);
        byDrive[drive] = allText();
    }
    // Drive 0 is the device (libcdio), drive 1 the image (libcue). libcdio's sheet reader
    // knows neither genre nor date, and takes a sheet's bytes as Latin-1.
    auto expected = expectedText("Mot\xC3\xB6rhead");
    EXPECT_EQ(byDrive[1], expected);
    for (auto& fields : expected) fields[CR_CDTEXT_GENRE] = fields[CR_CDTEXT_DATE] = "";
    EXPECT_EQ(byDrive[0], expected);

    // Neither library of ours asks the dynamic linker for cdtext_get by name.
    const std::string drives = libraryOf(reinterpret_cast<void*>(&svdrives::DriveModel::instance));
    const std::string cdrip3 = libraryOf(reinterpret_cast<void*>(&CR_GetCDText));
    for (const std::string& lib : {drives, cdrip3}) {
        const std::set<std::string> imports = importsOf(lib);
        ASSERT_FALSE(imports.empty()) << "nm could not read " << lib;
        EXPECT_FALSE(imports.count("cdtext_get")) << lib;
    }
    EXPECT_TRUE(importsOf(drives).count("cdtext_get_const"));
}

}  // namespace
