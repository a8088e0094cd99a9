#include "FileTags.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <QFile>
#include <memory>

namespace Rip {

namespace {

TagLib::String text(const QString& s) {
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

// TagLib takes the path in the file system's encoding.
TagLib::FileName nameOf(const QByteArray& encoded) {
    return encoded.constData();
}

QString number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

bool saveMp3(TagLib::MPEG::File& file) {
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                     TagLib::File::DoNotDuplicate);
}

void setTxxx(TagLib::ID3v2::Tag& tag, const QString& name, const QString& value) {
    TagLib::ID3v2::UserTextIdentificationFrame* frame =
        TagLib::ID3v2::UserTextIdentificationFrame::find(&tag, text(name));
    if (!frame) {
        auto made =
            std::make_unique<TagLib::ID3v2::UserTextIdentificationFrame>(TagLib::String::UTF8);
        made->setDescription(text(name));
        frame = made.get();
        tag.addFrame(made.release());
    }
    frame->setText(text(value));
}

}  // namespace

bool WriteGainTags(const QString& path, TTaggedFormat format, const TGain& gain, bool album) {
    if (!gain.Valid) return false;
    const QByteArray encoded = QFile::encodeName(path);
    const QString kind = album ? QStringLiteral("ALBUM") : QStringLiteral("TRACK");
    const QString gainName = QStringLiteral("REPLAYGAIN_") + kind + QStringLiteral("_GAIN");
    const QString peakName = QStringLiteral("REPLAYGAIN_") + kind + QStringLiteral("_PEAK");
    const QString gainText = number(gain.ReplayGain(), 2) + QStringLiteral(" dB");
    const QString peakText = number(gain.Peak, 6);
    const auto xiph = [&](TagLib::Ogg::XiphComment* tag) {
        if (!tag) return false;
        tag->addField(text(gainName), text(gainText), true);
        tag->addField(text(peakName), text(peakText), true);
        return true;
    };
    switch (format) {
        case TTaggedFormat::Flac: {
            TagLib::FLAC::File file(nameOf(encoded), false);
            return file.isValid() && xiph(file.xiphComment(true)) && file.save();
        }
        case TTaggedFormat::Ogg: {
            TagLib::Ogg::Vorbis::File file(nameOf(encoded), false);
            return file.isValid() && xiph(file.tag()) && file.save();
        }
        case TTaggedFormat::Opus: {
            // Opus players take no peak and a gain of their own form.
            TagLib::Ogg::Opus::File file(nameOf(encoded), false);
            if (!file.isValid() || !file.tag()) return false;
            file.tag()->addField(text(QStringLiteral("R128_") + kind + QStringLiteral("_GAIN")),
                                 text(QString::number(gain.R128Q78())), true);
            return file.save();
        }
        case TTaggedFormat::Mp3: {
            TagLib::MPEG::File file(nameOf(encoded), false);
            if (!file.isValid()) return false;
            TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
            setTxxx(*tag, gainName, gainText);
            setTxxx(*tag, peakName, peakText);
            return saveMp3(file);
        }
    }
    return false;
}

bool WriteCoverArt(const QString& path, TTaggedFormat format, const TCoverArt& art) {
    if (art.Empty()) return false;
    const QByteArray encoded = QFile::encodeName(path);
    const TagLib::ByteVector bytes(art.Bytes.constData(), unsigned(art.Bytes.size()));
    // Owned by whatever it is added to.
    const auto picture = [&] {
        auto* p = new TagLib::FLAC::Picture;
        p->setType(TagLib::FLAC::Picture::FrontCover);
        p->setMimeType(text(art.Mime));
        p->setData(bytes);
        return p;
    };
    switch (format) {
        case TTaggedFormat::Flac: {
            TagLib::FLAC::File file(nameOf(encoded), false);
            if (!file.isValid()) return false;
            file.addPicture(picture());
            return file.save();
        }
        case TTaggedFormat::Ogg: {
            TagLib::Ogg::Vorbis::File file(nameOf(encoded), false);
            if (!file.isValid() || !file.tag()) return false;
            file.tag()->addPicture(picture());
            return file.save();
        }
        case TTaggedFormat::Opus: {
            TagLib::Ogg::Opus::File file(nameOf(encoded), false);
            if (!file.isValid() || !file.tag()) return false;
            file.tag()->addPicture(picture());
            return file.save();
        }
        case TTaggedFormat::Mp3: {
            TagLib::MPEG::File file(nameOf(encoded), false);
            if (!file.isValid()) return false;
            auto frame = std::make_unique<TagLib::ID3v2::AttachedPictureFrame>();
            frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
            frame->setMimeType(text(art.Mime));
            frame->setPicture(bytes);
            file.ID3v2Tag(true)->addFrame(frame.release());
            return saveMp3(file);
        }
    }
    return false;
}

bool WriteMp3Tags(const QString& path, const TComments& comments, const QString& date) {
    TagLib::MPEG::File file(nameOf(QFile::encodeName(path)), false);
    if (!file.isValid()) return false;
    QString track, total;
    TagLib::PropertyMap properties;
    for (const auto& [name, value] : comments) {
        if (name == QLatin1String("TRACKNUMBER"))
            track = value;
        else if (name == QLatin1String("TRACKTOTAL"))
            total = value;
        else if (name == QLatin1String("DATE"))
            continue;  // the Ogg files' is the user's locale's; ID3v2.4 wants ISO 8601
        else if (name == QLatin1String("ENCODER"))
            properties.replace("ENCODING", text(value));
        else
            properties.replace(text(name), text(value));
    }
    if (!track.isEmpty())
        properties.replace("TRACKNUMBER",
                           text(total.isEmpty() ? track : track + QLatin1Char('/') + total));
    if (!date.isEmpty()) properties.replace("DATE", text(date));
    file.ID3v2Tag(true)->setProperties(properties);
    return saveMp3(file);
}

}  // namespace Rip
