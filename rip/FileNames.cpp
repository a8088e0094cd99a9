#include "FileNames.h"

#include <sys/statfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTextBoundaryFinder>

namespace Rip {

namespace {

// statfs's f_type of the FAT family; exFAT's is not in every kernel's headers.
constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;
// FAT keeps long names as UTF-16, at most this many units.
constexpr int kFatNameUnits = 255;

bool fits(const QString& name, const TFolderRules& rules) {
    if (rules.Fat && name.size() > kFatNameUnits) return false;
    return name.toUtf8().size() <= rules.NameMax;
}

QString forFolder(QString text, const TFolderRules& rules) {
    if (!rules.Fat) return text;
    for (QChar& c : text)
        if (QStringView(u"\\:*?\"<>|").contains(c)) c = QLatin1Char('-');
    return text;
}

// The longest start of text, ending at a character boundary (an accent stays with its
// letter, a pair of surrogates whole), for which fitsWith holds; blanks it would end on go.
template <typename Fits>
QString longestStart(const QString& text, Fits fitsWith) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    std::vector<qsizetype> ends;
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary())
        ends.push_back(at);
    for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
        const QString start = text.left(*end).trimmed();
        if (!start.isEmpty() && fitsWith(start)) return start;
    }
    return {};
}

}  // namespace

TFolderRules TFolderRules::Of(const QString& directory) {
    TFolderRules rules;
    const QByteArray path = QFile::encodeName(directory);
    if (const long max = pathconf(path.constData(), _PC_NAME_MAX); max > 0) rules.NameMax = max;
    struct statfs fs {};
    if (statfs(path.constData(), &fs) == 0)
        rules.Fat = long(fs.f_type) == kMsdosMagic || long(fs.f_type) == kExfatMagic;
    return rules;
}

QString FitFileName(const QString& album, const QString& name, const QString& tail,
                    const TFolderRules& rules) {
    const QString a = forFolder(album, rules);
    const QString n = forFolder(name, rules);
    const QString t = forFolder(tail, rules);
    const auto join = [&t](const QString& albumPart, const QString& namePart) {
        return namePart.isEmpty() ? albumPart + t : albumPart + QLatin1Char(' ') + namePart + t;
    };
    if (const QString whole = join(a, n); fits(whole, rules)) return whole;
    const QString shortName =
        longestStart(n, [&](const QString& part) { return fits(join(a, part), rules); });
    if (!shortName.isEmpty()) return join(a, shortName);
    return join(longestStart(a, [&](const QString& part) { return fits(join(part, {}), rules); }),
                {});
}

QString AlbumFileName(const QString& album, const QString& extension, const TFolderRules& rules) {
    return FitFileName(album.isEmpty() ? QStringLiteral("Untitled Album") : album, QString(),
                       extension, rules);
}

QString RipReportPath(const TBatchRecord& batch) {
    return batch.Directory + QLatin1Char('/') +
           AlbumFileName(batch.Album, QStringLiteral(".log"), TFolderRules::Of(batch.Directory));
}

QString CueSheetPath(const TBatchRecord& batch) {
    return batch.Directory + QLatin1Char('/') +
           AlbumFileName(batch.Album, QStringLiteral(".cue"), TFolderRules::Of(batch.Directory));
}

bool TBatchFileNames::taken(const QString& directory, const QString& name) const {
    for (const TTaken& t : taken_)
        if (t.Directory == directory &&
            name.compare(t.Name, t.Fat ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0)
            return true;
    return false;
}

QString TBatchFileNames::Take(const QString& directory, const QString& album, const QString& name,
                              const QString& extension, int track) {
    const TFolderRules rules = rulesOf_(directory);
    const QString folder = QDir::cleanPath(directory);
    QString chosen = FitFileName(album, name, extension, rules);
    // A title such as "Song (3)" on another track may hold the first choice as well.
    for (int k = 1; taken(folder, chosen); ++k) {
        const QString suffix = k == 1 ? QStringLiteral(" (%1)").arg(track)
                                      : QStringLiteral(" (%1-%2)").arg(track).arg(k);
        chosen = FitFileName(album, name, suffix + extension, rules);
    }
    taken_.push_back({folder, chosen, rules.Fat});
    return chosen;
}

}  // namespace Rip
