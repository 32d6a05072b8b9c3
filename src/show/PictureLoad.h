#pragma once
// Pictures for the screen are decoded on a worker thread, so that a key, a
// mouse button, SIGTERM or the end of the program can stop a long decode at
// once: the window's own thread keeps handling input while it waits.
#include "picture/ShownPicture.h"

#include <atomic>
#include <functional>
#include <memory>

class TStream;

// Decodes `stream`'s picture for `area` by `rule`, as its first bytes say
// (`jpeg`: what the name suggests). Waits quietly for a short while (a photo
// is usually done by then); after that `whenSlow` runs (the view shows its
// empty window so that a key can end it) and this thread's event loop runs
// until the decode is done or `stop` is set: whoever ends the window sets
// it, and the decode then stops too. Throws what the decode threw, and
// DecodeCancelled when it was stopped (also when the program is ending).
TShownPicture LoadForScreen(std::unique_ptr<TStream> stream, bool jpeg, QSize area, FitRule rule,
                            std::atomic<bool>& stop, const std::function<void()>& whenSlow = {});

// The same for a photo of another format (PhotoConverter: PNG, HEIC, ...),
// as Locate's View shows it before it is brought in: over `background`,
// halved by `rule`. A photo whose decode is stopped finishes unseen.
TShownPicture LoadPhotoForScreen(const QString& fileName, quint32 background, QSize area, FitRule rule,
                                 std::atomic<bool>& stop, const std::function<void()>& whenSlow = {});
