#include "images/ShortNamedCopy.h"

#include "images/ShortName.h"
#include "project/SlotNames.h"
#include "toolkit/FileTwins.h"
#include "toolkit/Files.h"

#include <QSet>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

QString shortNameInProjectFolder(const QString& folder, const QString& name,
                                 const std::function<bool(const QString&)>& samePicture)
{
    // Only names with a "~" can be short names; the rest of a big folder
    // need not be kept.
    QStringList entries = FolderEntries(folder);
    entries.removeIf([](const QString& e) { return !e.contains(QLatin1Char('~')); });

    std::vector<std::pair<int, QString>> own;
    for (const QString& e : entries)
        if (const int number = shortNameNumber(name, e))
            own.emplace_back(number, e);
    std::sort(own.begin(), own.end());
    for (const auto& [number, e] : own)
        if (samePicture(folder + e))
            return e;

    QSet<QString> taken;
    for (const QString& e : entries)
        taken.insert(e.toCaseFolded());
    const QString free = shortNameFor(name, [&taken](const QString& c) { return taken.contains(c.toCaseFolded()); });
    if (free.isEmpty())
        throw EGlimmerError(QStringLiteral("The project folder has no short name left for %1").arg(name));
    return free;
}

QString makeShortNamedTwin(const QString& folder, const QString& name)
{
    // Opened once and checked: an ordinary file, not a link. The twin is
    // made from what was opened, whatever its name leads to by then, so a
    // stranger who swaps the picture for a link to another file meanwhile
    // gets nothing of that file into the folder.
    std::unique_ptr<TFileStream> source;
    try {
        source = std::make_unique<TFileStream>(folder + name, TFileStream::fmOpenRead, TFileStream::NoLinks);
    } catch (const EInOutError&) {
        throw EGlimmerError(QStringLiteral("Cannot open file %1").arg(name));
    }
    const QString twin =
        shortNameInProjectFolder(folder, name, [&](const QString& other) { return SameFileContents(*source, other); });
    const QString destination = folder + twin;
    if (PlainFileExists(destination))
        return twin;
    try {
        MakeTwin(*source, destination);
    } catch (const EInOutError&) {
        throw EGlimmerError(QStringLiteral("Cannot create file %1").arg(destination));
    }
    return twin;
}
