// What Wine costs the Windows player by itself, for scripts/wine-figures:
//   window    a bare full-screen window in one colour (0x906030, BGR), until
//             a key or the process is ended
//   wic FILE  FILE decoded whole by the Windows Imaging Component, as any
//             program would, into one 32-bit buffer; prints
//             "wic MS WxH PEAK-KiB"
//   ours FILE HALVINGS  FILE decoded as the player decodes it (decodeJpeg,
//             over WIC); prints "ours MS WxH PEAK-KiB"
// Each is a process of its own, so that its peak resident size (Wine's
// VmHWM) is that one thing's.
#include "decode/ByteSource.h"
#include "decode/Jpeg.h"

#include <windows.h>
#include <psapi.h>
#include <wincodec.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

unsigned long long peakKiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize / 1024 : 0;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_KEYDOWN || msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int bareWindow()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = CreateSolidBrush(0x906030);
    wc.lpszClassName = L"Baseline";
    RegisterClassW(&wc);
    CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Baseline", WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                    GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, wc.hInstance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

int wicWhole(const wchar_t* file)
{
    const auto start = std::chrono::steady_clock::now();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    UINT w = 0, h = 0;
    std::vector<BYTE> pixels;
    const bool ok =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateDecoderFromFilename(file, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->GetSize(&w, &h)) && (pixels.resize(std::size_t(w) * h * 4), true) &&
        SUCCEEDED(converter->CopyPixels(nullptr, w * 4, UINT(pixels.size()), pixels.data()));
    const double ms = msSince(start);
    for (IUnknown* p : {static_cast<IUnknown*>(converter), static_cast<IUnknown*>(frame), static_cast<IUnknown*>(decoder),
                        static_cast<IUnknown*>(factory)})
        if (p)
            p->Release();
    std::printf(ok ? "wic %.1f %ux%u %llu\n" : "wic failed\n", ms, w, h, peakKiB());
    return ok ? 0 : 1;
}

int ours(const char* file, int halvings)
{
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto start = std::chrono::steady_clock::now();
    MemorySource source(bytes.data(), bytes.size());
    const JpegPicture picture = decodeJpeg(source, halvings, DecodeControl{});
    std::printf("ours %.1f %dx%d %llu\n", msSince(start), picture.pixels.width(), picture.pixels.height(), peakKiB());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "window")
        return bareWindow();
    if (mode == "wic" && argc > 2) {
        const std::string name = argv[2];
        return wicWhole(std::wstring(name.begin(), name.end()).c_str());
    }
    if (mode == "ours" && argc > 3)
        return ours(argv[2], std::atoi(argv[3]));
    std::printf("usage: wine_baseline window | wic FILE | ours FILE HALVINGS\n");
    return 2;
}
