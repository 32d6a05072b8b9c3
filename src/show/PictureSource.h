#pragma once
// Where the show gets its pictures: the preview reads them from the project
// folder, the compiled screensaver's player from its own file. The show asks
// by slot name only.
#include "engine/ShowEngine.h"
#include "project/SlotNames.h"

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

// A source's pictures as the show engine asks for them: by slot number.
class TSlotPictures : public ShowPictures {
public:
    TSlotPictures(const SaverSettings& settings, TPictureSource& source) : settings_(settings), source_(source) {}
    bool exists(int slot) override;
    std::unique_ptr<ByteSource> open(int slot) override;
    PictureFormat format(int slot) override;

private:
    const SaverSettings& settings_;   // not owned
    TPictureSource& source_;
};

// True when the file name's extension, upper-cased, is ".JPG": what the name
// suggests. The first bytes decide (pictureFormatOf); the name only says
// which decoder names the fault of a file that is neither.
bool isJpegName(const QString& name);
