// The compiled screensaver's player, run as a user runs it: full screen on a
// 1920 x 1080 X server (Xvfb) of its own, timed and weighed from outside.
//
// - First picture: from the player's start to the moment its first picture,
//   a 1920 x 1080 photo (shown whole at 0, 0), stands on the screen, read
//   back from the server every millisecond (target: at most 100 ms).
// - Memory: peak resident size while the player shows ten 12-megapixel
//   photos one after the other, a new one every second (target: 40 MiB).
// - Size: the player file, and the shared libraries it needs.
//
// The previous player (Qt) is measured beside it in the same run when
// GLIMMER_BENCH_QT_PLAYER names its file; both carry the same image store.
#include "BenchSupport.h"
#include "decode/ByteSource.h"
#include "decode/Picture.h"

#include <benchmark/benchmark.h>

#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int ScreenWidth = 1920, ScreenHeight = 1080;
constexpr std::uint32_t Background = 0x00FF00FF;   // magenta, 0x00BBGGRR

std::string folder;                 // a temporary folder of this run
std::string newPlayer, qtPlayer;    // player files
std::string display;                // ":N" of our Xvfb
pid_t xvfb = 0;

// ------------------------------------------------------------ files

// A photo-like picture: smooth light and colour with fine grain, so that it
// costs what a camera's photo costs to decode.
Bytes EncodePhoto(int width, int height, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> grain(-12, 12);
    const double fx = 2.0 + seed % 5, fy = 1.5 + seed % 3;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(std::size_t(width) * 3);
    while (c.next_scanline < c.image_height) {
        const double y = double(c.next_scanline) / height;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            const double l = 0.5 + 0.5 * std::sin(6.28 * (fx * u + fy * y));
            auto clamp = [](int v) { return (unsigned char)std::clamp(v, 0, 255); };
            row[std::size_t(x) * 3] = clamp(int(60 + 150 * l * u) + grain(rng));
            row[std::size_t(x) * 3 + 1] = clamp(int(40 + 160 * l * (1 - y)) + grain(rng));
            row[std::size_t(x) * 3 + 2] = clamp(int(80 + 120 * (1 - l)) + grain(rng));
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes b(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&c);
    return b;
}

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

// The image store as the compiler writes it: the 235-byte settings record,
// then each picture's bytes.
Bytes Store(const std::vector<Bytes>& pictures, bool floatMode, int seconds, int times)
{
    Bytes b(235, 0);
    put32(b, 0, Background);
    b[4] = floatMode ? 1 : 0;
    put32(b, 5, 990);
    put32(b, 9, 2);
    put32(b, 13, std::uint32_t(seconds));
    put32(b, 17, std::uint32_t(times));
    put32(b, 21, std::uint32_t(pictures.size()));
    for (std::size_t k = 0; k < pictures.size(); ++k) {
        const std::size_t slot = 25 + 21 * k;
        const std::string name = "PHOTO" + std::to_string(k) + ".JPG";
        b[slot] = std::uint8_t(name.size());
        std::memcpy(&b[slot + 1], name.data(), name.size());
        put32(b, slot + 13, std::uint32_t(b.size()));
        put32(b, slot + 17, std::uint32_t(pictures[k].size()));
        b.insert(b.end(), pictures[k].begin(), pictures[k].end());
    }
    return b;
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A screensaver: the player's bytes followed by the store.
std::string Screensaver(const std::string& player, const Bytes& store, const std::string& name)
{
    Bytes b = ReadFile(player);
    b.insert(b.end(), store.begin(), store.end());
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    ::chmod(path.c_str(), 0755);
    return path;
}

// ------------------------------------------------------------ processes

pid_t Spawn(const std::vector<std::string>& args, bool quiet = true)
{
    return SpawnWith(args, {"DISPLAY=" + display, "QT_QPA_PLATFORM"}, !quiet, !quiet);
}

void End(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

bool StartXvfb()
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const std::string fd = std::to_string(fds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> a = {"Xvfb", "-displayfd", fd, "-screen", "0", std::to_string(ScreenWidth) + "x" + std::to_string(ScreenHeight) + "x24",
                                  "-nolisten", "tcp", "-noreset", "-br"};
    std::vector<char*> argv;
    for (std::string& s : a)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const int r = posix_spawnp(&xvfb, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (r != 0)
        return false;
    char buf[32] = {};
    const ssize_t n = ::read(fds[0], buf, sizeof buf - 1);
    ::close(fds[0]);
    if (n <= 0)
        return false;
    display = ":" + std::to_string(std::atoi(buf));
    return true;
}

// ------------------------------------------------------------ measures

long StatusKb(pid_t pid, const char* key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::strlen(key)));
    return -1;
}

// Milliseconds from the player's start until the middle of the screen
// shows the photo's own pixels; -1 when it never did (within 10 s).
double FirstPictureMs(const std::string& scr, const PixelBuffer& expected)
{
    Display* d = XOpenDisplay(display.c_str());
    if (!d)
        return -1;
    const Window root = DefaultRootWindow(d);
    constexpr int Box = 64;
    const int bx = ScreenWidth / 2 - Box / 2, by = ScreenHeight / 2 - Box / 2;
    const auto t0 = Clock::now();
    const pid_t pid = Spawn({scr});
    double ms = -1;
    while (pid > 0 && std::chrono::duration<double>(Clock::now() - t0).count() < 10) {
        if (XImage* image = XGetImage(d, root, bx, by, Box, Box, AllPlanes, ZPixmap)) {
            int near = 0;
            for (int y = 0; y < Box; ++y)
                for (int x = 0; x < Box; ++x) {
                    const unsigned long p = XGetPixel(image, x, y);
                    const std::uint32_t e = expected.row(by + y)[bx + x];
                    const int dr = int((p >> 16) & 0xFF) - int((e >> 16) & 0xFF), dg = int((p >> 8) & 0xFF) - int((e >> 8) & 0xFF),
                              db = int(p & 0xFF) - int(e & 0xFF);
                    near += std::abs(dr) <= 6 && std::abs(dg) <= 6 && std::abs(db) <= 6;
                }
            XDestroyImage(image);
            if (near >= Box * Box * 9 / 10) {
                ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    End(pid);
    XCloseDisplay(d);
    return ms;
}

// Peak resident size in KiB while the screensaver runs for `seconds`.
long PeakResidentKb(const std::string& scr, int seconds)
{
    const pid_t pid = Spawn({scr});
    long peak = -1;
    const auto t0 = Clock::now();
    while (std::chrono::duration<double>(Clock::now() - t0).count() < seconds) {
        peak = std::max(peak, StatusKb(pid, "VmHWM:"));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    peak = std::max(peak, StatusKb(pid, "VmHWM:"));
    End(pid);
    return peak;
}

int SharedLibraries(const std::string& file)
{
    const std::string command = "ldd '" + file + "' 2>/dev/null | grep -c '=>'";
    FILE* p = ::popen(command.c_str(), "r");
    int n = -1;
    if (p) {
        if (std::fscanf(p, "%d", &n) != 1)
            n = -1;
        ::pclose(p);
    }
    return n;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

struct Figures {
    double firstMs = -1;
    double peakMiB = -1;
    long sizeBytes = -1;
    int libraries = -1;
};
Figures x11Figures, qtFigures;

std::string screenPhotoScr, screenPhotoQtScr, photosScr, photosQtScr;
PixelBuffer screenPhotoPixels;

void BM_PlayerFirstPicture(benchmark::State& state)
{
    std::vector<double> mine, qt;
    for (auto _ : state) {
        // Alternating, so that neither has the warmer machine.
        const bool qtFirst = !qtPlayer.empty() && mine.size() % 2 == 1;
        if (qtFirst)
            qt.push_back(FirstPictureMs(screenPhotoQtScr, screenPhotoPixels));
        const double t = FirstPictureMs(screenPhotoScr, screenPhotoPixels);
        if (t < 0) {
            state.SkipWithError("the X11 player never showed its picture");
            return;
        }
        mine.push_back(t);
        if (!qtPlayer.empty() && !qtFirst)
            qt.push_back(FirstPictureMs(screenPhotoQtScr, screenPhotoPixels));
        state.SetIterationTime(t / 1000);
    }
    x11Figures.firstMs = Median(mine);
    qtFigures.firstMs = Median(qt);
    state.counters["x11_ms"] = x11Figures.firstMs;
    state.counters["qt_ms"] = qtFigures.firstMs;
}
BENCHMARK(BM_PlayerFirstPicture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

void BM_PlayerPeakMemoryTenPhotos(benchmark::State& state)
{
    for (auto _ : state) {
        x11Figures.peakMiB = double(PeakResidentKb(photosScr, 13)) / 1024;
        if (!qtPlayer.empty())
            qtFigures.peakMiB = double(PeakResidentKb(photosQtScr, 13)) / 1024;
        state.SetIterationTime(13);
    }
    state.counters["x11_MiB"] = x11Figures.peakMiB;
    state.counters["qt_MiB"] = qtFigures.peakMiB;
}
BENCHMARK(BM_PlayerPeakMemoryTenPhotos)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void Describe(const char* name, const Figures& f)
{
    std::printf("  %-16s %8ld bytes, %2d shared libraries; first picture %6.1f ms; peak resident %6.1f MiB\n", name, f.sizeBytes,
                f.libraries, f.firstMs, f.peakMiB);
}

} // namespace

int main(int argc, char** argv)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string here = n > 0 ? std::string(self, std::size_t(n)) : std::string();
    newPlayer = here.substr(0, here.rfind('/')) + "/../bin/GLIMMER.BIN";
    if (::access(newPlayer.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "%s not found: build the player first\n", newPlayer.c_str());
        return 1;
    }
    if (const char* qt = std::getenv("GLIMMER_BENCH_QT_PLAYER"); qt && *qt)
        qtPlayer = qt;
    char tmpl[] = "/tmp/glimmer-playerbench.XXXXXX";
    if (!::mkdtemp(tmpl))
        return 1;
    folder = tmpl;
    if (!StartXvfb()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }

    // One screen-sized photo; ten 12-megapixel ones.
    const Bytes screenPhoto = EncodePhoto(ScreenWidth, ScreenHeight, 1);
    {
        MemorySource source(screenPhoto.data(), screenPhoto.size());
        screenPhotoPixels = decodePicture(source, PictureFormat::Jpeg, 0, DecodeControl());
    }
    const Bytes one = Store({screenPhoto}, false, 60, 1);
    std::vector<Bytes> photos;
    for (unsigned k = 0; k < 10; ++k)
        photos.push_back(EncodePhoto(4000, 3000, 10 + k));
    const Bytes ten = Store(photos, false, 1, 1);
    screenPhotoScr = Screensaver(newPlayer, one, "SCREEN.SCR");
    photosScr = Screensaver(newPlayer, ten, "PHOTOS.SCR");
    x11Figures.sizeBytes = long(ReadFile(newPlayer).size());
    x11Figures.libraries = SharedLibraries(newPlayer);
    if (!qtPlayer.empty()) {
        screenPhotoQtScr = Screensaver(qtPlayer, one, "SCREENQT.SCR");
        photosQtScr = Screensaver(qtPlayer, ten, "PHOTOSQT.SCR");
        qtFigures.sizeBytes = long(ReadFile(qtPlayer).size());
        qtFigures.libraries = SharedLibraries(qtPlayer);
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    End(xvfb);
    std::system(("rm -rf '" + folder + "'").c_str());
    std::printf("\nPlayers on a 1920 x 1080 screen (ten photos of %zu bytes on average):\n", ten.size() / 10);
    Describe("X11 (GLIMMER.BIN)", x11Figures);
    if (!qtPlayer.empty())
        Describe("Qt (previous)", qtFigures);
    else
        std::printf("  (set GLIMMER_BENCH_QT_PLAYER to the previous player's file to measure it beside)\n");
    std::printf("Player first picture: %.1f ms (target at most 100)\n", x11Figures.firstMs);
    std::printf("Player peak resident: %.1f MiB (target at most 40)\n", x11Figures.peakMiB);
    return 0;
}
