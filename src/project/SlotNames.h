#pragma once
// The settings record (record/SaverSettings.h) as the program's windows
// handle it: slot names as QString, fitted to a slot without cutting a
// character in two.
#include "record/SaverSettings.h"

#include <QByteArray>
#include <QString>

// The bytes a slot keeps for `name` (see SlotNameText in the record).
QByteArray SlotNameBytes(const QString& name);
QString SlotNameText(const char* bytes, int length);
inline bool FitsSlot(const QString& name) { return SlotNameBytes(name).size() <= MaxNameLength; }
// The longest beginning of `name` whose bytes fit a slot, never ending inside
// a character.
QString FitSlotName(const QString& name);

// The name of slot `entry`, never more than 12 bytes whatever the length
// byte says.
QString SlotName(const ImageEntry& entry);
// Keeps the longest beginning of `name` that fits (FitSlotName); bytes after
// it keep what they held.
void SetSlotName(ImageEntry& entry, const QString& name);

// "The graphic NAME was not found." (the record's MissingGraphicText), the
// name as it is, whatever bytes it stands for.
inline QString MissingGraphicText(const QString& name)
{
    return QString::fromStdString(MissingGraphicText(std::string_view("%1"))).arg(name);
}
