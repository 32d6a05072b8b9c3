#pragma once
// The settings record (record/SaverSettings.h) as the program's windows
// handle it: slot names as QString, fitted to a slot without cutting a
// character in two.
#include "record/SaverSettings.h"

#include <QByteArray>
#include <QString>

// The bytes a slot keeps for `name` (see slotNameText in the record).
QByteArray slotNameBytes(const QString& name);
QString slotNameText(const char* bytes, int length);
inline bool fitsSlot(const QString& name) { return slotNameBytes(name).size() <= MaxNameLength; }
// The longest beginning of `name` whose bytes fit a slot, never ending inside
// a character.
QString fitSlotName(const QString& name);

// The name of slot `entry`, never more than 12 bytes whatever the length
// byte says.
QString slotName(const ImageEntry& entry);
// Keeps the longest beginning of `name` that fits (fitSlotName); bytes after
// it keep what they held.
void setSlotName(ImageEntry& entry, const QString& name);

// "The graphic NAME was not found." (the record's missingGraphicText), the
// name as it is, whatever bytes it stands for.
inline QString missingGraphicText(const QString& name)
{
    return QString::fromStdString(missingGraphicText(std::string_view("%1"))).arg(name);
}
