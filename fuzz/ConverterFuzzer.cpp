// The photo converter on any bytes, as Locate hands it a file: readPhoto
// either gives RGB pixels within the cap and within what a JPEG can hold,
// or throws a message that names the file; photoToJpeg makes of a small
// picture a JPEG of the same size. The bytes go into one file under a
// name of another format's: the converter goes by content.
#include "FuzzSupport.h"

#include "picture/PhotoConverter.h"
#include "toolkit/Files.h"

#include <QImage>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {
QString photo;
const QString shown = QStringLiteral("photo.png");
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInit(argc, argv);
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/glimmer-converter-XXXXXX";
    if (!::mkdtemp(folder.data()))
        std::abort();
    photo = PathFromNative(QByteArray::fromStdString(folder)) + QStringLiteral("/") + shown;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(NativePath(photo).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, data, size) == ssize_t(size));
    ::close(fd);
    try {
        const QImage rgb = readPhoto(photo, 0x00604020, shown);
        FUZZ_CHECK(!rgb.isNull() && rgb.format() == QImage::Format_RGB888);
        FUZZ_CHECK(std::uint64_t(rgb.width()) * std::uint64_t(rgb.height()) <= MaxPhotoPixels);
        FUZZ_CHECK(rgb.width() <= 65500 && rgb.height() <= 65500);
        if (std::int64_t(rgb.width()) * rgb.height() <= 256 * 256) {
            const QImage back = QImage::fromData(photoToJpeg(photo, 0x00604020, shown), "JPEG");
            FUZZ_CHECK(back.size() == rgb.size());
        }
    } catch (const EGlimmerError& e) {
        FUZZ_CHECK(e.Text().startsWith(QStringLiteral("The picture ") + shown + QLatin1Char(' ')));
    }
    return 0;
}
