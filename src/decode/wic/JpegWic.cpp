// JPEG for the Windows player, behind the same two functions as Jpeg.cpp
// (which it replaces in that build): the Windows Imaging Component decodes,
// every Windows has it, and no libjpeg can be built for Windows here. What
// our libjpeg decoder decides itself is decided the same way: the size and
// the EXIF orientation from the markers (JpegMarkers), and the budget
// checked before a pixel is decoded. A picture shown halved is decoded at
// that size where the decoder can scale (Windows' own JPEG decoder can, as
// libjpeg can on Linux); elsewhere RowShrinker halves full-size rows. Either
// way the picture has the size it has on Linux.
#include "decode/DecodeError.h"
#include "decode/Jpeg.h"
#include "decode/JpegMarkers.h"
#include "decode/Transform.h"

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

// A COM pointer released when it goes.
template <class T>
class Com {
public:
    Com() = default;
    ~Com()
    {
        if (p_)
            p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

// COM on the thread that decodes (the show's worker), once per thread.
class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComApartment()
    {
        if (ok_)
            CoUninitialize();
    }

private:
    bool ok_;
};

void enterCom()
{
    thread_local ComApartment apartment;
}

// A ByteSource as the stream WIC reads from; exceptions of the source are
// kept and raised again once WIC has returned.
class SourceStream final : public IStream {
public:
    SourceStream(ByteSource& source, std::exception_ptr& failure) : source_(source), failure_(failure) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
            *out = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return ULONG(n);
    }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG n, ULONG* got) override
    {
        try {
            const std::size_t read = source_.read(buffer, n);
            pos_ += read;
            if (got)
                *got = ULONG(read);
            return read == n ? S_OK : S_FALSE;
        } catch (...) {
            if (!failure_)
                failure_ = std::current_exception();
            if (got)
                *got = 0;
            return STG_E_READFAULT;
        }
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* at) override
    {
        try {
            const std::uint64_t size = source_.size();
            std::int64_t base = 0;
            if (origin == STREAM_SEEK_CUR)
                base = std::int64_t(pos_);
            else if (origin == STREAM_SEEK_END)
                base = std::int64_t(size);
            else if (origin != STREAM_SEEK_SET)
                return STG_E_INVALIDFUNCTION;
            const std::int64_t target = base + move.QuadPart;
            if (target < 0)
                return STG_E_INVALIDFUNCTION;
            source_.seek(std::uint64_t(target));
            pos_ = std::min<std::uint64_t>(std::uint64_t(target), size);
            if (at)
                at->QuadPart = pos_;
            return S_OK;
        } catch (...) {
            if (!failure_)
                failure_ = std::current_exception();
            return STG_E_SEEKERROR;
        }
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override
    {
        try {
            std::memset(stat, 0, sizeof *stat);
            stat->type = STGTY_STREAM;
            stat->cbSize.QuadPart = source_.size();
            stat->grfMode = STGM_READ;
            return S_OK;
        } catch (...) {
            if (!failure_)
                failure_ = std::current_exception();
            return STG_E_ACCESSDENIED;
        }
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    ~SourceStream() = default;
    ByteSource& source_;
    std::exception_ptr& failure_;
    std::uint64_t pos_ = 0;
    LONG refs_ = 1;
};

std::string tooLarge(const JpegLayout& l)
{
    return pictureTooLargeText(l.width, l.height);
}

// A failed WIC call: the source's own exception when it caused it.
void check(HRESULT hr, const char* step, const std::exception_ptr& failure)
{
    if (SUCCEEDED(hr))
        return;
    if (failure)
        std::rethrow_exception(failure);
    char text[96];
    std::snprintf(text, sizeof text, "The JPEG picture could not be decoded (%s: error 0x%08lX)", step, static_cast<unsigned long>(hr));
    throw DecodeError(text);
}

// Rows decoded at a time: few enough to cost little memory beside the picture.
constexpr int bandRows = 16;

// A decoder's own scaling (IWICBitmapSourceTransform), which this
// mingw-w64's headers lack: declared here as Windows defines it.
struct ScalingSource : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height, WICPixelFormatGUID* format,
                                                 WICBitmapTransformOptions transform, UINT stride, UINT bufferSize,
                                                 BYTE* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};
const IID scalingSourceId = {0x3b16811b, 0x6a43, 0x4ec9, {0xb7, 0x13, 0x3d, 0x5a, 0x0c, 0x13, 0xb9, 0x40}};

// The decoders scale by 1/2, 1/4 and 1/8, as JPEG's blocks allow.
constexpr int mostDecoderHalvings = 3;

// The frame decoded at a halved size by the decoder itself, halved further
// by the shrinker where the decoder stops, into `out`. False, with nothing
// done, where the decoder cannot give exactly our size in pixels we read.
bool decodeScaled(IWICBitmapFrameDecode* frame, const JpegLayout& l, int halvings, const DecodeControl& control,
                  const std::exception_ptr& failure, PixelBuffer& out)
{
    Com<ScalingSource> scaling;
    if (halvings == 0 || FAILED(frame->QueryInterface(scalingSourceId, reinterpret_cast<void**>(scaling.out()))) ||
        !scaling.get())
        return false;
    int k = std::min(halvings, mostDecoderHalvings);
    UINT width = 0, height = 0;
    for (; k > 0; --k) {
        width = UINT(scaledLength(l.width, k));
        height = UINT(scaledLength(l.height, k));
        UINT w = width, h = height;
        if (SUCCEEDED(scaling->GetClosestSize(&w, &h)) && w == width && h == height)
            break;
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    if (k == 0 || FAILED(scaling->GetClosestPixelFormat(&format)))
        return false;
    const bool fourBytes = IsEqualGUID(format, GUID_WICPixelFormat32bppBGR) || IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA);
    if (!fourBytes && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        return false;
    const UINT stride = (width * (fourBytes ? 4 : 3) + 3) & ~3u;
    std::vector<std::uint8_t> pixels(std::size_t(stride) * height);
    control.checkCancelled();
    check(scaling->CopyPixels(nullptr, width, height, &format, WICBitmapTransformRotate0, stride, UINT(pixels.size()),
                              pixels.data()),
          "scaled pixels", failure);
    control.checkCancelled();
    RowShrinker shrinker(out, int(width), int(height), halvings - k);
    for (UINT y = 0; y < height; ++y) {
        const std::uint8_t* from = pixels.data() + std::size_t(y) * stride;
        std::uint32_t* to = shrinker.rowFor(int(y));
        // Blue, green, red in that order; opaque whatever the fourth byte says.
        for (UINT x = 0; x < width; ++x, from += fourBytes ? 4 : 3)
            to[x] = 0xFF000000u | std::uint32_t(from[2]) << 16 | std::uint32_t(from[1]) << 8 | from[0];
        shrinker.commit(int(y));
    }
    shrinker.finish();
    return true;
}

} // namespace

JpegHeader readJpegHeader(ByteSource& source, const DecodeControl& control)
{
    const JpegLayout l = readJpegLayout(source, JpegExtent::Header, control);
    return {l.width, l.height, l.components, l.orientation};
}

JpegPicture decodeJpeg(ByteSource& source, int halvings, const DecodeControl& control, std::uint64_t reserveBytes)
{
    // The scans are counted and the budget checked before WIC sees a byte.
    const JpegLayout l = readJpegLayout(source, JpegExtent::WholeFile, control);
    const std::uint64_t full = std::uint64_t(l.width) * std::uint64_t(l.height) * 4;
    if (full > maxPictureBytes)
        throw DecodeError(tooLarge(l));
    const int width = scaledLength(l.width, halvings);
    const int height = scaledLength(l.height, halvings);
    const std::uint64_t band = std::uint64_t(l.width) * 4 * bandRows;
    // WIC may hold the whole picture at full size while it decodes (Wine's
    // does): counted as ours.
    const std::uint64_t need = full + std::uint64_t(width) * std::uint64_t(height) * 4 + band +
                               RowShrinker::workBytes(l.width, halvings) + reserveBytes;
    if (need > control.budget().maxBytes)
        throw DecodeError(tooLarge(l));

    enterCom();
    std::exception_ptr failure;
    source.seek(0);
    Com<IWICImagingFactory> factory;
    check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(factory.out())),
          "imaging component", failure);
    Com<IStream> stream;
    *stream.out() = new SourceStream(source, failure);
    Com<IWICBitmapDecoder> decoder;
    check(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.out()), "decoder",
          failure);
    Com<IWICBitmapFrameDecode> frame;
    check(decoder->GetFrame(0, frame.out()), "frame", failure);
    UINT w = 0, h = 0;
    check(frame->GetSize(&w, &h), "size", failure);
    if (int(w) != l.width || int(h) != l.height)
        throw DecodeError("The JPEG picture could not be decoded (its frame is " + std::to_string(w) + " x " + std::to_string(h) +
                          ", its header says " + std::to_string(l.width) + " x " + std::to_string(l.height) + ")");
    JpegPicture result;
    result.orientation = l.orientation;
    result.pixels = PixelBuffer::allocate(width, height);
    if (decodeScaled(frame.get(), l, halvings, control, failure, result.pixels))
        return result;

    Com<IWICFormatConverter> converter;
    check(factory->CreateFormatConverter(converter.out()), "converter", failure);
    check(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                WICBitmapPaletteTypeCustom),
          "conversion", failure);

    RowShrinker shrinker(result.pixels, l.width, l.height, halvings);
    const UINT stride = UINT(l.width) * 4;
    std::vector<std::uint8_t> rows(std::size_t(stride) * bandRows);
    for (int y = 0; y < l.height; y += bandRows) {
        control.checkCancelled();
        const int n = std::min(bandRows, l.height - y);
        const WICRect rect{0, y, l.width, n};
        check(converter->CopyPixels(&rect, stride, stride * UINT(n), rows.data()), "pixels", failure);
        for (int i = 0; i < n; ++i) {
            // 32bppBGR leaves the fourth byte undefined: ours is opaque.
            const auto* from = reinterpret_cast<const std::uint32_t*>(rows.data() + std::size_t(i) * stride);
            std::uint32_t* to = shrinker.rowFor(y + i);
            for (int x = 0; x < l.width; ++x)
                to[x] = from[x] | 0xFF000000u;
            shrinker.commit(y + i);
        }
    }
    shrinker.finish();
    return result;
}
