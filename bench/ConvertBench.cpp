// What it costs to bring a 12-megapixel photo of today's formats into a
// project: a HEIC as a phone writes it and a PNG as a screenshot tool or an
// editor writes it, each made into a JPEG at quality 92 (photoToJpeg).
//
// Printed for each: the time of the whole conversion against the time its
// library alone takes to decode the file (libheif's heif_decode_image, Qt's
// QImageReader::read) (target: at most 1.8 times: laying the picture over
// the background and coding the JPEG cost less than the decode), and the
// peak memory of one conversion against that of the library's decode alone,
// each measured in a child process from the kernel's peak resident size
// (target: at most 1.25 times: the picture is made RGB in place and coded
// row by row, with no second picture).
#include "picture/PhotoConverter.h"

#include "BenchSupport.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <libheif/heif.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int PhotoWidth = 4032;   // 12.2 megapixels, a phone camera's size
constexpr int PhotoHeight = 3024;

QString heicPath, pngPath;

// Smooth colour fields with fine grain: a photo's work for the coders.
QImage MakePhoto()
{
    QImage image(PhotoWidth, PhotoHeight, QImage::Format_RGB888);
    std::uint32_t seed = 12345;
    for (int y = 0; y < PhotoHeight; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < PhotoWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int((seed >> 24) & 15) - 8;
            row[3 * x] = uchar(std::clamp(60 + 150 * x / PhotoWidth + grain, 0, 255));
            row[3 * x + 1] = uchar(std::clamp(40 + 120 * y / PhotoHeight + ((x / 37 + y / 29) & 1) * 20 + grain, 0, 255));
            row[3 * x + 2] = uchar(std::clamp(180 - 100 * (x + y) / (PhotoWidth + PhotoHeight) + grain, 0, 255));
        }
    }
    return image;
}

bool WriteHeic(const QImage& photo, const QString& path)
{
    heif_context* ctx = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    bool ok = heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code == heif_error_Ok &&
              heif_image_create(PhotoWidth, PhotoHeight, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code ==
                  heif_error_Ok &&
              heif_image_add_plane(image, heif_channel_interleaved, PhotoWidth, PhotoHeight, 8).code == heif_error_Ok;
    if (ok) {
        int stride = 0;
        uint8_t* p = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < PhotoHeight; ++y)
            std::memcpy(p + y * stride, photo.constScanLine(y), std::size_t(PhotoWidth) * 3);
        heif_encoder_set_lossy_quality(encoder, 80);
        heif_encoder_set_parameter(encoder, "preset", "ultrafast");
        ok = heif_context_encode_image(ctx, image, encoder, nullptr, nullptr).code == heif_error_Ok &&
             heif_context_write_to_file(ctx, QFile::encodeName(path).constData()).code == heif_error_Ok;
    }
    if (image)
        heif_image_release(image);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(ctx);
    return ok;
}

void Convert(const QString& path)
{
    const QByteArray jpeg = photoToJpeg(path, 0x00800000, QStringLiteral("PHOTO"));
    benchmark::DoNotOptimize(jpeg.constData());
}

void DecodeHeicAlone()
{
    heif_context* ctx = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    heif_context_read_from_file(ctx, QFile::encodeName(heicPath).constData(), nullptr);
    heif_context_get_primary_image_handle(ctx, &handle);
    heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr);
    benchmark::DoNotOptimize(image);
    heif_image_release(image);
    heif_image_handle_release(handle);
    heif_context_free(ctx);
}

void DecodePngAlone()
{
    QImageReader reader(pngPath);
    const QImage image = reader.read();
    benchmark::DoNotOptimize(image.constBits());
}

void BM_ConvertHeic(benchmark::State& state)
{
    for (auto _ : state)
        Convert(heicPath);
}
void BM_DecodeHeicAlone(benchmark::State& state)
{
    for (auto _ : state)
        DecodeHeicAlone();
}
void BM_ConvertPng(benchmark::State& state)
{
    for (auto _ : state)
        Convert(pngPath);
}
void BM_DecodePngAlone(benchmark::State& state)
{
    for (auto _ : state)
        DecodePngAlone();
}

BENCHMARK(BM_DecodeHeicAlone)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(3);
BENCHMARK(BM_ConvertHeic)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(3);
BENCHMARK(BM_DecodePngAlone)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(3);
BENCHMARK(BM_ConvertPng)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(3);

// The growth of the peak resident size over one run of `work`, in a fresh
// child process (its peak reset first; big blocks kept out of the heap, so
// that no freed memory of the parent hides a new allocation).
long PeakKbOf(void (*work)())
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        const long before = StatusKb("VmRSS:");
        if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        work();
        const long peak = StatusKb("VmHWM:") - before;
        if (write(fds[1], &peak, sizeof peak) != sizeof peak)
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    long peak = -1;
    if (read(fds[0], &peak, sizeof peak) != sizeof peak)
        peak = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return peak;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir folder;
    heicPath = folder.path() + "/IMG_4512.HEIC";
    pngPath = folder.path() + "/Screenshot.png";
    {
        const QImage photo = MakePhoto();
        if (!WriteHeic(photo, heicPath) || !photo.save(pngPath, "PNG")) {
            std::fprintf(stderr, "ConvertBench: cannot make the photos\n");
            return 1;
        }
    }
    std::printf("Photos: %d x %d (%.1f megapixels): HEIC %lld bytes, PNG %lld bytes\n", PhotoWidth, PhotoHeight,
                double(PhotoWidth) * PhotoHeight / 1e6, QFile(heicPath).size(), QFile(pngPath).size());
    // Memory first, while this process has freed nothing big yet.
    const long heicKb = PeakKbOf([] { Convert(heicPath); });
    const long heicAloneKb = PeakKbOf(DecodeHeicAlone);
    const long pngKb = PeakKbOf([] { Convert(pngPath); });
    const long pngAloneKb = PeakKbOf(DecodePngAlone);

    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto print = [&](const char* format, const char* convert, const char* decode, long peakKb, long aloneKb) {
        const double c = reporter.Median[convert], d = reporter.Median[decode];
        std::printf("Convert %s: %.0f ms, decode alone %.0f ms: ratio %.2f (target <= 1.8)\n", format, c, d,
                    d > 0 ? c / d : 0.0);
        std::printf("Convert %s memory: peak %.1f MiB, decode alone %.1f MiB: ratio %.2f (target <= 1.25)\n", format,
                    peakKb / 1024.0, aloneKb / 1024.0, aloneKb > 0 ? double(peakKb) / aloneKb : 0.0);
    };
    print("HEIC", "BM_ConvertHeic", "BM_DecodeHeicAlone", heicKb, heicAloneKb);
    print("PNG", "BM_ConvertPng", "BM_DecodePngAlone", pngKb, pngAloneKb);
    return 0;
}
