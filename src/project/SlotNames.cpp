#include "project/SlotNames.h"

#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {
bool isLatin1(const QString& s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}
} // namespace

QByteArray slotNameBytes(const QString& name)
{
    if (isLatin1(name)) {
        QByteArray latin1 = name.toLatin1();
        if (!readsAsUtf8(std::string_view(latin1.constData(), std::size_t(latin1.size()))))
            return latin1;
    }
    return name.toUtf8();
}

QString slotNameText(const char* bytes, int length)
{
    const QByteArray b(bytes, length);
    if (!readsAsUtf8(std::string_view(bytes, std::size_t(length))))
        return QString::fromLatin1(b);
    // A leading byte-order mark stays part of the name, as it is of the file's.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return utf8(b);
}

QString fitSlotName(const QString& name)
{
    if (fitsSlot(name))
        return name;
    // A name is never shorter in bytes than in UTF-16 units, so no fitting
    // beginning is longer than 12 units.
    QString best;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
    for (qsizetype end = characters.toNextBoundary(); end > 0 && end <= MaxNameLength; end = characters.toNextBoundary()) {
        const QString head = name.left(end);
        if (fitsSlot(head))
            best = head;
    }
    return best;
}

QString slotName(const ImageEntry& entry)
{
    const std::string bytes = entry.NameBytes();
    return slotNameText(bytes.data(), int(bytes.size()));
}

void setSlotName(ImageEntry& entry, const QString& name)
{
    const QByteArray bytes = slotNameBytes(fitSlotName(name));
    entry.SetNameBytes(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}
