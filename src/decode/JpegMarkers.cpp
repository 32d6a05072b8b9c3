#include "decode/JpegMarkers.h"

#include "decode/DecodeError.h"
#include "decode/Exif.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void broken(const std::string& why, DecodeFault fault = DecodeFault::Damaged) { throw DecodeError(why, fault); }

// The source front to back in large pieces, with a look at each byte.
class Bytes {
public:
    Bytes(ByteSource& source, const DecodeControl& control) : source_(source), control_(control) { source_.seek(0); }

    // The next byte, or -1 at the end of the data.
    int next()
    {
        if (pos_ == end_ && !fill())
            return -1;
        return buffer_[pos_++];
    }
    bool skip(std::size_t n)
    {
        while (n > 0) {
            if (pos_ == end_ && !fill())
                return false;
            const std::size_t part = std::min(n, end_ - pos_);
            pos_ += part;
            n -= part;
        }
        return true;
    }
    bool read(std::uint8_t* out, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i) {
            const int b = next();
            if (b < 0)
                return false;
            out[i] = std::uint8_t(b);
        }
        return true;
    }
    // Past entropy-coded data to the marker that ends it: its code, or -1
    // at the end of the data. Stuffed zeros and restart markers belong to
    // the data.
    int skipEntropyData()
    {
        for (;;) {
            if (pos_ == end_ && !fill())
                return -1;
            const void* ff = std::memchr(buffer_.data() + pos_, 0xFF, end_ - pos_);
            if (!ff) {
                pos_ = end_;
                continue;
            }
            pos_ = std::size_t(static_cast<const std::uint8_t*>(ff) - buffer_.data()) + 1;
            int code = next();
            while (code == 0xFF)
                code = next();
            if (code < 0)
                return -1;
            if (code != 0x00 && !(code >= 0xD0 && code <= 0xD7))
                return code;
        }
    }

private:
    bool fill()
    {
        control_.checkCancelled();
        pos_ = 0;
        end_ = source_.read(buffer_.data(), buffer_.size());
        return end_ > 0;
    }

    ByteSource& source_;
    const DecodeControl& control_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(64 * 1024);
    std::size_t pos_ = 0, end_ = 0;
};

struct Component {
    int id = 0;
    int h = 1;
    int v = 1;
};

std::string hex(int code)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", code & 0xFF);
    return text;
}

bool isFrameMarker(int code) { return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC; }

class Walker {
public:
    Walker(ByteSource& source, JpegExtent extent, const DecodeControl& control)
        : in_(source, control), extent_(extent), budget_(control.budget())
    {
    }

    JpegLayout walk()
    {
        const int a = in_.next(), b = in_.next();
        if (a < 0)
            broken("Empty input file", DecodeFault::Empty);
        if (a != 0xFF || b != 0xD8)
            broken("Not a JPEG file: starts with " + hex(std::max(a, 0)) + " " + hex(std::max(b, 0)));
        int code = nextMarker();
        for (;;) {
            if (code < 0) {
                // Data cut short after its scans is the decoder's to report.
                if (layout_.scans == 0)
                    broken("Premature end of JPEG file", DecodeFault::CutShort);
                break;
            }
            if (code == 0xD9) {
                if (layout_.scans == 0)
                    broken("JPEG datastream contains no image", DecodeFault::NoPicture);
                layout_.ended = true;
                break;
            }
            if (code == 0xD8)
                broken("Invalid JPEG file structure: two SOI markers");
            if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
                code = nextMarker();
                continue;
            }
            const std::size_t length = segmentLength(code);
            if (isFrameMarker(code)) {
                readFrame(code, length);
            } else if (code == 0xDA) {
                readScan(length);
                if (extent_ == JpegExtent::Header)
                    break;
                code = in_.skipEntropyData();
                continue;
            } else if (code == 0xE1 && !exifSeen_ && layout_.scans == 0) {
                readApp1(length);
            } else if (!in_.skip(length)) {
                broken("Premature end of JPEG file", DecodeFault::CutShort);
            }
            code = nextMarker();
        }
        return layout_;
    }

private:
    // The code of the marker that must come next; -1 at the end of the data.
    int nextMarker()
    {
        int b = in_.next();
        if (b < 0)
            return -1;
        if (b != 0xFF) {
            std::size_t extraneous = 1;
            while ((b = in_.next()) >= 0 && b != 0xFF)
                ++extraneous;
            if (b < 0)
                return -1;
            int code = in_.next();
            while (code == 0xFF)
                code = in_.next();
            broken("Corrupt JPEG data: " + std::to_string(extraneous) + " extraneous bytes before marker " + hex(code));
        }
        int code = in_.next();
        while (code == 0xFF)
            code = in_.next();
        return code;
    }

    std::size_t segmentLength(int code)
    {
        const int hi = in_.next(), lo = in_.next();
        if (hi < 0 || lo < 0)
            broken("Premature end of JPEG file", DecodeFault::CutShort);
        const int length = (hi << 8 | lo) - 2;
        if (length < 0)
            broken("Bogus marker length in marker " + hex(code));
        return std::size_t(length);
    }

    void readFrame(int code, std::size_t length)
    {
        if (layout_.width || layout_.height || !components_.empty())
            broken("Invalid JPEG file structure: two SOF markers");
        std::vector<std::uint8_t> s(length);
        if (!in_.read(s.data(), length))
            broken("Premature end of JPEG file", DecodeFault::CutShort);
        if (length < 6)
            broken("Bogus marker length in marker " + hex(code));
        layout_.height = s[1] << 8 | s[2];
        layout_.width = s[3] << 8 | s[4];
        layout_.components = s[5];
        layout_.progressive = code == 0xC2 || code == 0xC6 || code == 0xCA || code == 0xCE;
        if (length != 6 + std::size_t(layout_.components) * 3)
            broken("Bogus marker length in marker " + hex(code));
        if (layout_.width <= 0 || layout_.height <= 0 || layout_.components <= 0)
            broken("Empty JPEG image (DNL not supported)");
        for (int i = 0; i < layout_.components; ++i) {
            Component c;
            c.id = s[6 + i * 3];
            c.h = s[7 + i * 3] >> 4;
            c.v = s[7 + i * 3] & 15;
            if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4)
                broken("Bogus sampling factors");
            maxH_ = std::max(maxH_, c.h);
            maxV_ = std::max(maxV_, c.v);
            components_.push_back(c);
        }
    }

    // The blocks one component has, as libjpeg counts them for a scan.
    std::uint64_t blocksOf(const Component& c) const
    {
        const std::uint64_t across = (std::uint64_t(layout_.width) * std::uint64_t(c.h) + std::uint64_t(maxH_) * 8 - 1) / (std::uint64_t(maxH_) * 8);
        const std::uint64_t down = (std::uint64_t(layout_.height) * std::uint64_t(c.v) + std::uint64_t(maxV_) * 8 - 1) / (std::uint64_t(maxV_) * 8);
        return across * down;
    }

    void readScan(std::size_t length)
    {
        if (components_.empty())
            broken("Invalid JPEG file structure: SOS before SOF");
        std::vector<std::uint8_t> s(length);
        if (!in_.read(s.data(), length))
            broken("Premature end of JPEG file", DecodeFault::CutShort);
        const std::size_t count = length > 0 ? s[0] : 0;
        if (count < 1 || count > 4 || length != 4 + count * 2)
            broken("Bogus marker length in marker 0xda");
        // The whole file is read to decode it: a picture too large for that
        // is said to be so before its scans are counted, as libjpeg's decoder
        // says it before it reads them.
        if (extent_ == JpegExtent::WholeFile && std::uint64_t(layout_.width) * std::uint64_t(layout_.height) * 4 > maxPictureBytes)
            broken(pictureTooLargeText(layout_.width, layout_.height), DecodeFault::TooLarge);
        ++layout_.scans;
        for (std::size_t i = 0; i < count; ++i) {
            const auto c = std::find_if(components_.begin(), components_.end(), [&](const Component& k) { return k.id == s[1 + i * 2]; });
            if (c == components_.end())
                broken("Invalid component ID " + std::to_string(s[1 + i * 2]) + " in SOS");
            layout_.scanBlocks += blocksOf(*c);
        }
        if (layout_.scans > budget_.maxScans)
            broken("Too many scans in the JPEG file (more than " + std::to_string(budget_.maxScans) + ")");
        if (layout_.scanBlocks > budget_.maxScanBlocks)
            broken("Too many scans in the JPEG file for a picture of " + std::to_string(layout_.width) + " x " +
                   std::to_string(layout_.height));
    }

    // The first APP1 segment that holds EXIF data gives the orientation; XMP
    // and others that come before it are passed over.
    void readApp1(std::size_t length)
    {
        std::vector<std::uint8_t> payload(length);
        if (!in_.read(payload.data(), length))
            broken("Premature end of JPEG file", DecodeFault::CutShort);
        if (length >= 6 && std::memcmp(payload.data(), "Exif\0\0", 6) == 0) {
            exifSeen_ = true;
            layout_.orientation = exifOrientation(payload.data(), payload.size());
        }
    }

    Bytes in_;
    JpegExtent extent_;
    DecodeBudget budget_;
    JpegLayout layout_;
    std::vector<Component> components_;
    int maxH_ = 1, maxV_ = 1;
    bool exifSeen_ = false;
};

} // namespace

JpegLayout readJpegLayout(ByteSource& source, JpegExtent extent, const DecodeControl& control)
{
    return Walker(source, extent, control).walk();
}
