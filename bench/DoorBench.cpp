// What it costs to judge a photo at the door of a project (Locate's Copy,
// the slot editor's Select): its headers read and its data walked to the end
// marker without a decode (checkPicture), against a decode at 1/8, the
// cheapest decode that would also find a file cut short.
//
// For a 12-megapixel and a 48-megapixel photo-like JPEG, read from a file in
// the page cache, the two are timed in turn. Printed: both times and their
// ratio for the 48-megapixel photo (target: at most 0.10, the door no more
// than a tenth of the cheapest decode).
#include "decode/Jpeg.h"
#include "decode/PictureCheck.h"
#include "picture/JPEGBitmap.h"
#include "toolkit/Streams.h"

#include "BenchSupport.h"

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

namespace {

QString photo12, photo48;
InTurn turn12, turn48;

// Smooth colour fields with fine grain: a photo's work for the coder.
QImage MakePhoto(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int((seed >> 24) & 15) - 8;
            row[x] = qRgb(std::clamp(60 + 150 * x / width + grain, 0, 255),
                          std::clamp(40 + 120 * y / height + ((x / 37 + y / 29) & 1) * 20 + grain, 0, 255),
                          std::clamp(180 - 100 * (x + y) / (width + height) + grain, 0, 255));
        }
    }
    return image;
}

QString WritePhoto(const QTemporaryDir& folder, int width, int height)
{
    const QString path = folder.filePath(QStringLiteral("PHOTO%1.JPG").arg(width));
    TJPEGBitmap photo;
    photo.SetImage(MakePhoto(width, height));
    photo.SaveToFile(path);
    return path;
}

void Door(const QString& path)
{
    THandleStream stream(path, TFileStream::fmOpenRead);
    TStreamSource source(stream);
    benchmark::DoNotOptimize(checkPicture(source, pictureKindOf(source)).width);
}

void EighthDecode(const QString& path)
{
    THandleStream stream(path, TFileStream::fmOpenRead);
    TStreamSource source(stream);
    benchmark::DoNotOptimize(decodeJpeg(source, 3, DecodeControl()).pixels.width());
}

void BM_Door12AgainstEighthDecode(benchmark::State& state)
{
    turn12 = TimeInTurn(state, "door", [] { Door(photo12); }, "eighth", [] { EighthDecode(photo12); });
}

void BM_Door48AgainstEighthDecode(benchmark::State& state)
{
    turn48 = TimeInTurn(state, "door", [] { Door(photo48); }, "eighth", [] { EighthDecode(photo48); });
}

BENCHMARK(BM_Door12AgainstEighthDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Door48AgainstEighthDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir folder;
    photo12 = WritePhoto(folder, 4032, 3024);
    photo48 = WritePhoto(folder, 8000, 6000);
    std::printf("Photos: 12.2 MP, %lld bytes; 48 MP, %lld bytes of JPEG\n", QFileInfo(photo12).size(),
                QFileInfo(photo48).size());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nDoor 12 MP: %.2f ms, its decode at 1/8 %.1f ms, ratio %.3f\n", turn12.FirstMs, turn12.SecondMs,
                turn12.Ratio());
    std::printf("Door 48 MP: %.2f ms, its decode at 1/8 %.1f ms, ratio %.3f (target at most 0.10)\n", turn48.FirstMs,
                turn48.SecondMs, turn48.Ratio());
    return 0;
}
