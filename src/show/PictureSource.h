#pragma once
// Where the show gets its pictures: the preview reads them from the project
// folder, the compiled screensaver's player from its own file. The show asks
// by slot name only.
#include <QString>
#include <memory>

class TStream;

class TPictureSource {
public:
    virtual ~TPictureSource() = default;
    // True when a picture of that name is there to load.
    virtual bool Exists(const QString& name) = 0;
    // The named picture's bytes as a stream from their first byte; throws
    // when they cannot be opened.
    virtual std::unique_ptr<TStream> Open(const QString& name) = 0;
};

// Pictures as files, named relative to the current folder (the project
// folder). A slot name holds a bare file name: one that would reach outside
// the folder, or names a link, a pipe or a device, is not there.
class TFolderPictureSource : public TPictureSource {
public:
    bool Exists(const QString& name) override;
    std::unique_ptr<TStream> Open(const QString& name) override;
};

// True when the file name's extension, upper-cased, is ".JPG": only that
// extension is decoded as JPEG; every other file is read as a bitmap.
bool IsJpegName(const QString& name);
