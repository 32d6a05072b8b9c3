#pragma once
// The registry of picture formats: which graphic class loads a file, picked
// by the file's extension.
#include <QString>
#include <functional>
#include <memory>

class TGraphic;

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

struct TFileFormat {
    QString Extension;     // lower case, without the dot
    QString Description;
    TGraphicFactory Create;
};

// Enters a graphic class for an extension; the newest entry wins.
void RegisterFileFormat(const QString& extension, const QString& description, TGraphicFactory create);
// The newest entry for the extension (any case, without the dot), or nullptr.
const TFileFormat* FindFileFormat(const QString& extension);
// A new graphic for the file name's extension; throws
// "Unknown picture file extension (.%s)" when none is registered.
std::unique_ptr<TGraphic> NewGraphicForFile(const QString& name);
