// The library's settings file as someone edited it by hand: the input is the file. The
// library takes in whatever it can, hands every drive parameters and a read offset within
// their ranges, rips an image drive with what the file gave it, and saves a file that reads
// back as itself: saving what was loaded from a saved file changes nothing.
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cdrip3.h"
#include "drivemodel.h"
#include "fuzzcheck.h"
#include "inifile.h"

namespace {

constexpr uint32_t kDiscSectors = 40;

int32_t field(const CR_DRIVEPARAMS& p, int offset) {
    int32_t v;
    std::memcpy(&v, p.bytes + offset, 4);
    return v;
}

// A home with a config folder, and one image drive whose section the file may hold.
const std::string& home() {
    static const std::string dir = [] {
        const std::string d = fuzzsupport::scratchFolder();
        std::vector<uint8_t> audio(size_t(kDiscSectors) * svdrives::kSectorBytes);
        for (size_t i = 0; i < audio.size(); ++i) audio[i] = uint8_t(i * 13 + 5);
        fuzzsupport::writeFile(d + "/disc.bin", audio.data(), audio.size());
        const std::string sheet =
            "FILE \"disc.bin\" BINARY\n"
            "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
            "  TRACK 02 AUDIO\n    INDEX 01 00:00:25\n";
        fuzzsupport::writeFile(d + "/disc.cue", sheet.data(), sheet.size());
        CHECK(mkdir((d + "/config").c_str(), 0755) == 0);
        CHECK(mkdir((d + "/config/fuzz").c_str(), 0755) == 0);
        setenv("HOME", d.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (d + "/config").c_str(), 1);
        setenv("CDRIP3_IMAGES", (d + "/disc.cue").c_str(), 1);
        setenv("CDRIP3_DEVICES", "", 1);
        unsetenv("CDRIP3_FAULTS");
        return d;
    }();
    return dir;
}

const std::string kName = "fuzz/Tolvane.ini";

std::string initAndSave() {
    svdrives::DriveModel::instance().resetForTests();
    CHECK(CR_Init(kName.c_str()) == CDRIP3_OK);
    CHECK(CR_SaveSettings() == CDRIP3_OK);
    std::string text;
    CHECK(cdrip3::readFile(CR_GetSettingsFileName(), &text));
    return text;
}

// Rips the first sectors of the active drive as the program would.
void ripSome(const CR_DRIVEPARAMS& p) {
    CHECK(CR_ReadToc() == CDRIP3_OK);
    int32_t bufferSize = 0;
    CHECK(CR_OpenRipper(&bufferSize, 0, 29) == CDRIP3_OK);
    CHECK(bufferSize == field(p, CR_OFS_SECTORS_PER_READ) * svdrives::kSectorBytes);
    std::vector<uint8_t> buf(static_cast<size_t>(bufferSize));
    int32_t total = 0;
    for (int guard = 0; guard < 100; ++guard) {
        int32_t bytes = -1, abort = 0;
        const int32_t rc = CR_RipChunk(buf.data(), &bytes, &abort);
        if (rc == CDRIP3_RIPPING_DONE) break;
        CHECK(rc == CDRIP3_OK && bytes > 0 && bytes <= bufferSize);
        total += bytes;
    }
    CHECK(total == 30 * svdrives::kSectorBytes);
    CHECK(CR_CloseRipper() == CDRIP3_OK);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = home() + "/config/" + kName;
    fuzzsupport::writeFile(path, data, size);

    svdrives::DriveModel::instance().resetForTests();
    CHECK(CR_Init(kName.c_str()) == CDRIP3_OK);
    const int32_t drives = CR_GetNumCDROM();
    CHECK(drives >= 1);
    bool imageSeen = false;
    for (int32_t i = 0; i < drives; ++i) {
        CR_SetActiveCDROM(i);
        CHECK(CR_GetActiveCDROM() == i);
        const std::string name = CR_GetCDROMIDByIndex(i);
        CR_DRIVEPARAMS p;
        CHECK(CR_GetCDROMParameters(&p) == CDRIP3_OK);
        // The block names its drive, cut to fit and zero-terminated.
        CHECK(p.bytes[255] == 0);
        CHECK(std::strncmp(reinterpret_cast<const char*>(p.bytes), name.c_str(), 255) == 0);
        const int32_t perRead = field(p, CR_OFS_SECTORS_PER_READ);
        CHECK(perRead >= 1 && perRead <= 200);
        CHECK(field(p, CR_OFS_RIP_MODE) == 0 || field(p, CR_OFS_RIP_MODE) == 1);
        const int32_t paranoia = field(p, CR_OFS_PARANOIA_MODE);
        CHECK(paranoia >= 0 && paranoia <= 0xFF);
        const int32_t retries = field(p, CR_OFS_RETRIES);
        CHECK(retries >= 0 && retries <= 1000);
        const int32_t offset = CR_GetReadOffset();
        CHECK(offset >= -CR_MAX_READ_OFFSET && offset <= CR_MAX_READ_OFFSET);
        if (name == "Image: disc.cue") {
            imageSeen = true;
            ripSome(p);
        }
    }
    CHECK(imageSeen);

    // Saved once, the file is in the library's own form; from then on it is stable.
    CHECK(CR_SaveSettings() == CDRIP3_OK);
    std::string saved;
    CHECK(cdrip3::readFile(path, &saved));
    const std::string again = initAndSave();
    if (again != saved) {
        fprintf(stderr, "saved:\n");
        fwrite(saved.data(), 1, saved.size(), stderr);
        fprintf(stderr, "\nsaved again:\n");
        fwrite(again.data(), 1, again.size(), stderr);
    }
    CHECK(again == saved);
    return 0;
}
