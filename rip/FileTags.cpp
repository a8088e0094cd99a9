#include "FileTags.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <QFile>
#include <QSaveFile>
#include <limits>
#include <memory>

namespace Rip {

namespace {

TagLib::String text(const QString& s) {
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

QString number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

// One file's edit: what goes in, whichever tag of the format it goes into.
struct TEdit : TTrackTags {
    bool Album = false;  // Gain is the album's, not the track's

    QString gainName(const char* scheme) const {
        return QLatin1String(scheme) + (Album ? QStringLiteral("ALBUM") : QStringLiteral("TRACK")) +
               QStringLiteral("_GAIN");
    }
    QString peakName() const {
        return Album ? QStringLiteral("REPLAYGAIN_ALBUM_PEAK")
                     : QStringLiteral("REPLAYGAIN_TRACK_PEAK");
    }
    QString gainText() const { return number(Gain.ReplayGain(), 2) + QStringLiteral(" dB"); }
    QString peakText() const { return number(Gain.Peak, 6); }
};

// Owned by whatever it is added to.
TagLib::FLAC::Picture* pictureOf(const TCoverArt& art) {
    auto* p = new TagLib::FLAC::Picture;
    p->setType(TagLib::FLAC::Picture::FrontCover);
    p->setMimeType(text(art.Mime));
    p->setData(TagLib::ByteVector(art.Bytes.constData(), unsigned(art.Bytes.size())));
    return p;
}

// Ogg Vorbis, Opus and FLAC files keep their comments in the same form; only Opus players
// take no peak and a gain of their own form.
bool editXiph(TagLib::Ogg::XiphComment* tag, const TEdit& edit, bool opus) {
    if (!tag) return false;
    if (edit.Art) tag->addPicture(pictureOf(*edit.Art));
    if (!edit.Gain.Valid) return true;
    if (opus) {
        tag->addField(text(edit.gainName("R128_")), text(QString::number(edit.Gain.R128Q78())),
                      true);
    } else {
        tag->addField(text(edit.gainName("REPLAYGAIN_")), text(edit.gainText()), true);
        tag->addField(text(edit.peakName()), text(edit.peakText()), true);
    }
    return true;
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

// The texts as ID3v2.4 names them. They go in first: setting them replaces the tag's text
// frames, the gains' among them.
void setMp3Texts(TagLib::ID3v2::Tag& tag, const TComments& comments, const QString& date) {
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
    tag.setProperties(properties);
}

bool editMp3(TagLib::MPEG::File& file, const TEdit& edit) {
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    if (edit.Mp3Comments) setMp3Texts(*tag, *edit.Mp3Comments, edit.Date);
    if (edit.Art) {
        auto frame = std::make_unique<TagLib::ID3v2::AttachedPictureFrame>();
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setMimeType(text(edit.Art->Mime));
        frame->setPicture(
            TagLib::ByteVector(edit.Art->Bytes.constData(), unsigned(edit.Art->Bytes.size())));
        tag->addFrame(frame.release());
    }
    if (edit.Gain.Valid) {
        setTxxx(*tag, edit.gainName("REPLAYGAIN_"), edit.gainText());
        setTxxx(*tag, edit.peakName(), edit.peakText());
    }
    // An MP3 file that is tagged at all carries this tag and no other.
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                     TagLib::File::DoNotDuplicate);
}

bool edit(TagLib::IOStream& stream, TTaggedFormat format, const TEdit& edit) {
    switch (format) {
        case TTaggedFormat::Flac: {
            TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
            if (!file.isValid()) return false;
            // The cover as FLAC's own picture block, not as a comment.
            if (edit.Art) file.addPicture(pictureOf(*edit.Art));
            TEdit comments = edit;
            comments.Art = nullptr;
            return editXiph(file.xiphComment(true), comments, false) && file.save();
        }
        case TTaggedFormat::Ogg: {
            TagLib::Ogg::Vorbis::File file(&stream, false);
            return file.isValid() && editXiph(file.tag(), edit, false) && file.save();
        }
        case TTaggedFormat::Opus: {
            TagLib::Ogg::Opus::File file(&stream, false);
            return file.isValid() && editXiph(file.tag(), edit, true) && file.save();
        }
        case TTaggedFormat::Mp3: {
            TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
            return file.isValid() && editMp3(file, edit);
        }
    }
    return false;
}

// TagLib writes a file in place and does not check its writes: a tag that grows the file
// on a full disk would leave it cut, and its audio lost, with the save said to succeed. So
// the edit is made on the file's bytes in memory, and only written back once whole.
bool write(const QString& path, TTaggedFormat format, const TEdit& what) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) return false;
    const qint64 size = in.size();
    if (size <= 0 || size > std::numeric_limits<int>::max()) return false;
    TagLib::ByteVector original(unsigned(size), '\0');
    if (in.read(original.data(), size) != size) return false;
    in.close();
    TagLib::ByteVectorStream stream(original);
    if (!edit(stream, format, what)) return false;
    const TagLib::ByteVector& edited = *stream.data();
    if (edited.size() == original.size()) {
        // The tags fit where they were (a FLAC file's padding): only the bytes that changed
        // are written over, which needs no room on the disk.
        unsigned first = 0;
        while (first < edited.size() && edited[first] == original[first]) ++first;
        if (first == edited.size()) return true;
        unsigned end = edited.size();
        while (edited[end - 1] == original[end - 1]) --end;
        QFile out(path);
        return out.open(QIODevice::ReadWrite) && out.seek(first) &&
               out.write(edited.data() + first, end - first) == qint64(end - first) && out.flush();
    }
    // A file that grows is written anew beside the old one, which it replaces only once
    // all of it is on the disk: when it does not fit, the file stays as it was.
    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) &&
           out.write(edited.data(), edited.size()) == qint64(edited.size()) && out.commit();
}

}  // namespace

bool WriteTrackTags(const QString& path, TTaggedFormat format, const TTrackTags& tags) {
    TEdit edit;
    static_cast<TTrackTags&>(edit) = tags;
    if (format != TTaggedFormat::Mp3) edit.Mp3Comments = nullptr;
    if (edit.Art && edit.Art->Empty()) edit.Art = nullptr;
    // A silent track without a cover: the file stays as its encoder wrote it.
    if (!edit.Mp3Comments && !edit.Art && !edit.Gain.Valid) return true;
    return write(path, format, edit);
}

bool WriteAlbumGain(const QString& path, TTaggedFormat format, const TGain& gain) {
    if (!gain.Valid) return false;
    TEdit edit;
    edit.Gain = gain;
    edit.Album = true;
    return write(path, format, edit);
}

}  // namespace Rip
