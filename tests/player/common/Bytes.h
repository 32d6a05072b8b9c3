#pragma once
// Hand-made files for the players' shared code: bytes put at the offsets the
// formats define, little- or big-endian.
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline void put(Bytes& b, std::size_t at, std::uint64_t value, int width, bool little = true)
{
    if (b.size() < at + std::size_t(width))
        b.resize(at + std::size_t(width));
    for (int i = 0; i < width; ++i)
        b[at + std::size_t(little ? i : width - 1 - i)] = std::uint8_t(value >> (8 * i));
}

// A literal is written whole, NUL bytes included.
template <std::size_t N>
void putText(Bytes& b, std::size_t at, const char (&s)[N])
{
    if (b.size() < at + N - 1)
        b.resize(at + N - 1);
    for (std::size_t i = 0; i + 1 < N; ++i)
        b[at + i] = std::uint8_t(s[i]);
}

inline void putText(Bytes& b, std::size_t at, const std::string& s)
{
    if (b.size() < at + s.size())
        b.resize(at + s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        b[at + i] = std::uint8_t(s[i]);
}

// A settings record: the values of a new project, `count` slots named
// A.BMP, B.JPG, ... each with `size` bytes after the record.
inline Bytes storeOf(int count, std::int32_t size = 10)
{
    Bytes b(235, 0);
    put(b, 0, 0x00800000, 4);   // BackgroundColor
    b[4] = 0;                   // DisplayMode Random
    put(b, 5, 990, 4);          // FloatSpeed
    put(b, 9, 5, 4);            // ChangeEvery
    put(b, 13, 3, 4);           // DisplaySeconds
    put(b, 17, 2, 4);           // DisplayTimes
    put(b, 21, std::uint64_t(count), 4);
    for (int k = 0; k < count; ++k) {
        const std::size_t e = 25 + 21 * std::size_t(k);
        b[e] = 5;
        putText(b, e + 1, std::string(1, char('A' + k)) + (k % 2 ? ".JPG" : ".BMP"));
        put(b, e + 13, std::uint64_t(235 + size * k), 4);
        put(b, e + 17, std::uint64_t(size), 4);
    }
    b.resize(235 + std::size_t(size * count), 0x5A);
    return b;
}

// A 24-bit bitmap of w x h in one colour, written field by field.
inline Bytes bitmapFile(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    const std::size_t row = (std::size_t(w) * 3 + 3) / 4 * 4;
    Bytes f;
    putText(f, 0, "BM");
    put(f, 2, 54 + row * std::size_t(h), 4);
    put(f, 10, 54, 4);
    put(f, 14, 40, 4);
    put(f, 18, std::uint64_t(w), 4);
    put(f, 22, std::uint64_t(h), 4);
    put(f, 26, 1, 2);
    put(f, 28, 24, 2);
    f.resize(54 + row * std::size_t(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t at = 54 + row * std::size_t(y) + std::size_t(x) * 3;
            f[at] = b, f[at + 1] = g, f[at + 2] = r;
        }
    return f;
}
