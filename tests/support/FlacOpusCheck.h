// Files read back from the outside: FLAC by the flac package's own tools, Opus by
// libopusfile, loudness by loudgain, MP3 tags by mutagen; none shares code with what wrote
// them.
#pragma once

#include <opusfile.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace flaccheck {

// What a tool of the flac package printed, or nothing when it failed.
inline std::optional<QByteArray> Tool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

// The file's audio as the flac tool decodes it, 16-bit little-endian stereo.
inline std::optional<QByteArray> Audio(const std::string& file) {
    return Tool("flac", {"-d", "-s", "-c", "--force-raw-format", "--endian=little", "--sign=signed",
                         QString::fromStdString(file)});
}

// The flac tool's own test of the file: every frame's CRC and the audio's MD5.
inline bool Tests(const std::string& file) {
    return Tool("flac", {"-t", "-s", QString::fromStdString(file)}).has_value();
}

// The file's comments as metaflac exports them, one NAME=value line each.
inline QString Tags(const std::string& file) {
    const auto tags = Tool("metaflac", {"--export-tags-to=-", QString::fromStdString(file)});
    return tags ? QString::fromUtf8(*tags) : QString();
}

}  // namespace flaccheck

namespace opuscheck {

constexpr int kRate = 48000;  // libopusfile always decodes at Opus's own rate

struct Decoded {
    bool opened = false;
    int channels = 0;
    int64_t total = -1;                       // samples per channel the stream says it holds
    std::vector<int16_t> pcm;                 // interleaved, at kRate
    std::map<std::string, std::string> tags;  // the first value of each comment's name
    size_t frames() const { return channels ? pcm.size() / size_t(channels) : 0; }
    double seconds() const { return double(frames()) / kRate; }
};

inline Decoded decode(const std::string& path) {
    Decoded d;
    int error = 0;
    OggOpusFile* file = op_open_file(path.c_str(), &error);
    if (!file) return d;
    d.opened = true;
    d.channels = op_channel_count(file, -1);
    d.total = op_pcm_total(file, -1);
    if (const OpusTags* tags = op_tags(file, -1))
        for (int i = 0; i < tags->comments; ++i) {
            const std::string entry(tags->user_comments[i], size_t(tags->comment_lengths[i]));
            const size_t equals = entry.find('=');
            if (equals != std::string::npos)
                d.tags.emplace(entry.substr(0, equals), entry.substr(equals + 1));
        }
    std::vector<int16_t> buffer(size_t(5760 * d.channels));
    for (;;) {
        const int got = op_read(file, buffer.data(), int(buffer.size()), nullptr);
        if (got <= 0) break;
        d.pcm.insert(d.pcm.end(), buffer.begin(), buffer.begin() + got * d.channels);
    }
    op_free(file);
    return d;
}

}  // namespace opuscheck

namespace gaincheck {

// loudgain's ReplayGain 2.0 (reference -18 LUFS) and true peak of each file, in order, then
// of them as an album; empty when loudgain failed.
struct Gain {
    double gain = 0;  // dB
    double peak = 0;  // ratio
};
inline std::vector<Gain> Loudgain(const std::vector<std::string>& files) {
    QStringList arguments = {"-a", "-O", "-q"};
    for (const std::string& f : files) arguments << QString::fromStdString(f);
    const auto out = flaccheck::Tool("loudgain", arguments);
    std::vector<Gain> gains;
    if (!out) return gains;
    for (const QString& line : QString::fromUtf8(*out).split('\n', Qt::SkipEmptyParts)) {
        const QStringList cells = line.split('\t');
        if (cells.size() < 9 || cells[0] == "File") continue;
        gains.push_back({cells[8].split(' ')[0].toDouble(), cells[3].toDouble()});
    }
    if (gains.size() != files.size() + 1) gains.clear();
    return gains;
}

// The highest sample of the file, either sign, as a ratio of full scale, as sox's stat
// measures it (loudgain's peak is the true peak between the samples); -1 when sox failed.
inline double SamplePeak(const std::string& file) {
    QProcess sox;
    sox.start("sox", {QString::fromStdString(file), "-n", "stat"});
    if (!sox.waitForFinished(30000) || sox.exitCode() != 0) return -1;
    double peak = -1;
    for (const QString& line : QString::fromUtf8(sox.readAllStandardError()).split('\n'))
        if (line.startsWith("Maximum amplitude:") || line.startsWith("Minimum amplitude:"))
            peak = std::max(peak, std::abs(line.section(':', 1).trimmed().toDouble()));
    return peak;
}

// The value of a Vorbis comment in metaflac's export, or "" when absent.
inline QString Field(const QString& tags, const QString& name) {
    for (const QString& line : tags.split('\n'))
        if (line.startsWith(name + '=')) return line.mid(name.size() + 1);
    return {};
}

}  // namespace gaincheck

namespace mp3tags {

// An MP3 file's ID3 tags as mutagen reads them: "version" and one "FRAME=text" line each
// (TXXX frames as "TXXX:DESCRIPTION=text"); empty when the file has no ID3 tag.
inline QString Read(const std::string& file) {
    const auto out = flaccheck::Tool(
        // Debian's interpreter, which has Debian's mutagen, whatever else is on the PATH.
        "/usr/bin/python3", {"-c",
                             "import sys\n"
                             "from mutagen.id3 import ID3, ID3NoHeaderError\n"
                             "try: t = ID3(sys.argv[1])\n"
                             "except ID3NoHeaderError: sys.exit(0)\n"
                             "print('version=%d.%d' % t.version[:2])\n"
                             "for k, f in sorted(t.items()): print('%s=%s' % (k, f))\n",
                             QString::fromStdString(file)});
    return out ? QString::fromUtf8(*out) : QStringLiteral("mutagen failed");
}

}  // namespace mp3tags
