#include "images/ShortName.h"

#include "project/SlotNames.h"

#include <QList>

#include <algorithm>
#include <string>

namespace {

// What of a name a short name keeps: letters and digits (of any script) and
// the "_" and "-" that short names have always allowed, in capitals.
std::u32string keptCapitals(const QString& part)
{
    std::u32string out;
    for (const char32_t c : part.toUcs4())
        if (QChar::isLetter(c) || QChar::isDigit(c) || c == U'_' || c == U'-')
            out += QChar::toUpper(c);
    return out;
}

QString head(const std::u32string& s, std::size_t n)
{
    return QString::fromUcs4(s.data(), qsizetype(std::min(n, s.size())));
}

struct NameParts {
    std::u32string base;
    QString ext;   // with its dot, or empty
};

NameParts split(const QString& name)
{
    // Composed, so that a letter and its accent stay one character.
    const QString n = name.normalized(QString::NormalizationForm_C);
    const qsizetype dot = n.lastIndexOf(QLatin1Char('.'));
    NameParts p;
    p.base = keptCapitals(dot < 0 ? n : n.left(dot));
    std::u32string ext = dot < 0 ? std::u32string() : keptCapitals(n.mid(dot + 1));
    // Every JPEG name ends in ".JPG", the one the picker lists everywhere.
    if (ext == U"JPEG" || ext == U"JPE")
        ext = U"JPG";
    std::size_t k = std::min<std::size_t>(3, ext.size());
    while (k > 0 && slotNameBytes(head(ext, k)).size() > 3)
        --k;
    if (k > 0)
        p.ext = QLatin1Char('.') + head(ext, k);
    return p;
}

QString shortName(const NameParts& p, int number)
{
    const QString tail = QLatin1Char('~') + QString::number(number) + p.ext;
    // As in 8.3 names, the letters and "~N" together take at most eight
    // places; fewer letters when more would not fit the slot's bytes.
    const qsizetype places = 8 - (tail.size() - p.ext.size());
    std::size_t k = std::min<std::size_t>({6, std::size_t(std::max<qsizetype>(0, places)), p.base.size()});
    while (k > 0 && !fitsSlot(head(p.base, k) + tail))
        --k;
    return head(p.base, k) + tail;
}

} // namespace

QString shortNameWith(const QString& name, int number) { return shortName(split(name), number); }

int shortNameNumber(const QString& name, const QString& shortName)
{
    const qsizetype tilde = shortName.lastIndexOf(QLatin1Char('~'));
    if (tilde < 0)
        return 0;
    qsizetype end = tilde + 1;
    while (end < shortName.size() && shortName[end].isDigit() && shortName[end].unicode() < 128)
        ++end;
    bool ok = false;
    const int number = shortName.mid(tilde + 1, end - tilde - 1).toInt(&ok);
    if (!ok || number < 1 || number > MaxShortNameNumber)
        return 0;
    return shortNameWith(name, number).compare(shortName, Qt::CaseInsensitive) == 0 ? number : 0;
}

QString shortNameFor(const QString& name, const std::function<bool(const QString&)>& taken)
{
    const NameParts p = split(name);
    for (int number = 1; number <= MaxShortNameNumber; ++number) {
        const QString candidate = shortName(p, number);
        if (!taken(candidate))
            return candidate;
    }
    return QString();
}
