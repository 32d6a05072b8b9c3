#pragma once
// The short name a picture gets in the project folder when its own name does
// not fit a slot, in the familiar short-name style: up to six letters or
// digits of the name in capitals, "~", a number, and the extension, with
// ".JPEG" and ".JPE" made ".JPG": IMG_20230514_123456.jpg becomes IMG_20~1.JPG.
// Fewer letters are taken where more would not fit the slot's 12 bytes
// (ОТПУСК 2023.JPG becomes ОТП~1.JPG), and never part of a character.
#include <QString>

#include <functional>

constexpr int MaxShortNameNumber = 999999;

// The short name of `name` with the number `number` (1 to MaxShortNameNumber).
QString shortNameWith(const QString& name, int number);

// The number in `shortName` when it is one of the short names of `name`
// (letter case aside), else 0.
int shortNameNumber(const QString& name, const QString& shortName);

// The short name of `name` with the lowest number that `taken` does not
// hold; empty when every number is taken.
QString shortNameFor(const QString& name, const std::function<bool(const QString&)>& taken);
