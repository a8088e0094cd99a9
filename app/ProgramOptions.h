// The program's own options: those the CD library's settings file (drives, images, read
// offsets) has no place for, kept in $XDG_CONFIG_HOME/Sonvale/Sonvale.conf
// (~/.config/Sonvale/Sonvale.conf) through QSettings. The program makes one at start-up and
// hands it to what needs it; it is read once, as it is made, and written at each change.
#pragma once

#include <QString>

class TProgramOptions {
public:
    // The options file at path; by default the program's own.
    explicit TProgramOptions(QString path = DefaultPath());

    // $XDG_CONFIG_HOME/Sonvale/Sonvale.conf, or ~/.config/... when XDG_CONFIG_HOME is unset
    // or not absolute, as the environment says now.
    static QString DefaultPath();
    const QString& Path() const { return path_; }

    // Every track a batch writes a file for is read twice, a test read before the copy.
    bool TestAndCopy() const { return testAndCopy_; }
    // Sets the option and saves it. False when the file could not be written: the option
    // then holds until the program ends.
    bool SetTestAndCopy(bool on);
    // MP3 and Ogg Vorbis files get full tags and ReplayGain; off, they stay as the encoders
    // write them. Set as Test and Copy is.
    bool FullTags() const { return fullTags_; }
    bool SetFullTags(bool on);

private:
    bool save(const QString& key, bool on);

    QString path_;
    bool testAndCopy_ = false;
    bool fullTags_ = false;
};
