#include "images/ShortNamedCopy.h"

#include "images/SMfindf.h"
#include "images/ShortName.h"
#include "project/SaverSettings.h"
#include "toolkit/FileTwins.h"
#include "toolkit/Files.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

QString NameInProjectFolder(const QString& folder, const QString& name, const QString& source)
{
    if (FitsSlot(name))
        return name;
    // Only names with a "~" can be short names; the rest of a big folder
    // need not be kept.
    QStringList entries = FolderEntries(folder);
    entries.removeIf([](const QString& e) { return !e.contains(QLatin1Char('~')); });

    std::vector<std::pair<int, QString>> own;
    for (const QString& e : entries)
        if (const int number = ShortNameNumber(name, e))
            own.emplace_back(number, e);
    std::sort(own.begin(), own.end());
    for (const auto& [number, e] : own)
        if (SameFileContents(source, folder + e))
            return e;

    QSet<QString> taken;
    for (const QString& e : entries)
        taken.insert(e.toCaseFolded());
    const QString free = ShortNameFor(name, [&taken](const QString& c) { return taken.contains(c.toCaseFolded()); });
    if (free.isEmpty())
        throw EGlimmerError(QStringLiteral("The project folder has no short name left for %1").arg(name));
    return free;
}

QString MakeShortNamedTwin(const QString& folder, const QString& name)
{
    const QString source = ResolveName(folder + name);
    const QString twin = NameInProjectFolder(folder, name, source);
    const QString destination = folder + twin;
    if (FileExists(destination))
        return twin;
    if (!LinkFile(source, destination)) {
        if (errno == EEXIST)
            throw EGlimmerError(QStringLiteral("Cannot create file %1").arg(destination));
        // No hard links here (or not for this file): a copy does as well.
        CopyPictureFile(source, name, destination);
    }
    return twin;
}
