// FLAC and Opus files read back from the outside: FLAC by the flac package's own tools, Opus
// by libopusfile, neither sharing code with the encoders that wrote them.
#pragma once

#include <opusfile.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
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
