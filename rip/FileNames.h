// The names of the files a batch writes: "<album> <recording name><extension>", made to fit
// the folder they go to, and never the same twice within one batch.
#pragma once

#include <QString>
#include <vector>

#include "RipReport.h"

namespace Rip {

// What the folder's file system allows in a name.
struct TFolderRules {
    long NameMax = 255;  // bytes of one name, as pathconf(_PC_NAME_MAX) gives it
    // FAT and exFAT (USB sticks, memory cards): they refuse \ : * ? " < > |, hold at most
    // 255 UTF-16 units a name, and see names that differ only in case as one.
    bool Fat = false;

    // The rules of the file system directory is on; a folder that cannot be asked (it does
    // not exist yet) gets the common Linux ones.
    static TFolderRules Of(const QString& directory);
};

// "<album> <name><tail>" cut to fit rules: the name part first, the album part only when that
// is not enough, each at a character boundary; the tail (extension, suffix) is never cut. On
// FAT the characters it refuses become "-". An empty name leaves "<album><tail>".
QString FitFileName(const QString& album, const QString& name, const QString& tail,
                    const TFolderRules& rules);

// <directory>/<album>.log, cut to fit the folder as the files' names are; "Untitled
// Album.log" for an empty album.
QString RipReportPath(const TBatchRecord& batch);

// <directory>/<album>.cue, likewise.
QString CueSheetPath(const TBatchRecord& batch);

// The report and the other files named after the album alone: "<album><extension>",
// "Untitled Album<extension>" for an empty album.
QString AlbumFileName(const QString& album, const QString& extension, const TFolderRules& rules);

// One batch's file names. A name that an earlier track of the same batch already took gets
// " (N)" before the extension, N the track's number: two tracks of a disc whose titles
// repeat would otherwise write one file, the second over the first. A file left by an
// earlier batch is not taken; it is replaced, as a user who rips again expects.
class TBatchFileNames {
public:
    using TRulesOf = TFolderRules (*)(const QString& directory);
    // rulesOf tells each folder's rules; tests stand in for the file system with it.
    explicit TBatchFileNames(TRulesOf rulesOf = TFolderRules::Of) : rulesOf_(rulesOf) {}

    // The name (without folder) track writes in directory.
    QString Take(const QString& directory, const QString& album, const QString& name,
                 const QString& extension, int track);

private:
    struct TTaken {
        QString Directory;
        QString Name;
        bool Fat = false;
    };
    bool taken(const QString& directory, const QString& name) const;

    TRulesOf rulesOf_;
    std::vector<TTaken> taken_;
};

}  // namespace Rip
