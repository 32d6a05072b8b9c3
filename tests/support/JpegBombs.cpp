#include "JpegBombs.h"

#include <algorithm>
#include <cstdint>

namespace {

void marker(QByteArray& b, int code) { b.append(char(0xFF)).append(char(code)); }

void segment(QByteArray& b, int code, const QByteArray& payload)
{
    marker(b, code);
    const int n = int(payload.size()) + 2;
    b.append(char(n >> 8)).append(char(n & 0xFF));
    b += payload;
}

// Entropy-coded bits, most significant first, with a zero byte stuffed after
// every 0xFF and the last byte padded with ones.
class Bits {
public:
    void put(std::uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = (byte_ << 1) | ((value >> i) & 1);
            if (++filled_ == 8)
                flush();
        }
    }
    QByteArray take()
    {
        if (filled_)
            put(0xFF, 8 - filled_);
        return std::move(out_);
    }

private:
    void flush()
    {
        out_.append(char(byte_));
        if (byte_ == 0xFF)
            out_.append('\0');
        byte_ = 0;
        filled_ = 0;
    }
    QByteArray out_;
    std::uint32_t byte_ = 0;
    int filled_ = 0;
};

// Huffman tables: DC has one symbol (difference 0, code "0"); AC has the 15
// end-of-band runs EOBr (symbol r << 4: 2^r blocks plus r more bits), each
// coded in 4 bits as r itself.
QByteArray tables()
{
    QByteArray dc(1, char(0x00));   // class 0, table 0
    QByteArray counts(16, '\0');
    counts[0] = 1;
    dc += counts + QByteArray(1, char(0x00));
    QByteArray ac(1, char(0x10));   // class 1, table 0
    counts.fill('\0');
    counts[3] = 15;
    ac += counts;
    for (int r = 0; r <= 14; ++r)
        ac.append(char(r << 4));
    return dc + ac;
}

// `blocks` empty blocks as end-of-band runs of at most 32767.
void emptyBlocks(Bits& bits, long blocks)
{
    while (blocks > 0) {
        const long run = std::min<long>(blocks, 32767);
        int r = 0;
        while ((2L << r) <= run)
            ++r;
        bits.put(std::uint32_t(r), 4);
        bits.put(std::uint32_t(run - (1L << r)), r);
        blocks -= run;
    }
}

} // namespace

QByteArray FlatProgressiveJpeg(int width, int height, int components, const QVector<BombScan>& scans)
{
    QByteArray b;
    marker(b, 0xD8);
    QByteArray dqt(1, '\0');
    dqt += QByteArray(64, char(1));
    segment(b, 0xDB, dqt);
    QByteArray sof;
    sof.append(char(8)).append(char(height >> 8)).append(char(height & 0xFF)).append(char(width >> 8)).append(char(width & 0xFF));
    sof.append(char(components));
    for (int c = 0; c < components; ++c)
        sof.append(char(c + 1)).append(char(0x11)).append('\0');
    segment(b, 0xC2, sof);
    segment(b, 0xC4, tables());
    const long blocks = long((width + 7) / 8) * long((height + 7) / 8);
    for (const BombScan& s : scans) {
        QByteArray sos(1, char(s.components.size()));
        for (int c : s.components)
            sos.append(char(c + 1)).append(char(0x00));
        sos.append(char(s.Ss)).append(char(s.Se)).append(char((s.Ah << 4) | s.Al));
        segment(b, 0xDA, sos);
        Bits bits;
        if (s.Ss == 0) {
            // DC: a first scan codes a zero difference per block of each
            // component; a refinement is one raw bit per block.
            for (long i = 0; i < blocks; ++i)
                for (int c = 0; c < s.components.size(); ++c)
                    bits.put(0, 1);
        } else {
            emptyBlocks(bits, blocks);
        }
        b += bits.take();
    }
    marker(b, 0xD9);
    return b;
}

QByteArray ManyScansBomb(int width, int height)
{
    QVector<BombScan> scans{{{0}, 0, 0, 0, 0}};
    for (int k = 1; k <= 63; ++k) {
        scans.push_back({{0}, k, k, 0, 13});
        for (int al = 12; al >= 0; --al)
            scans.push_back({{0}, k, k, al + 1, al});
    }
    return FlatProgressiveJpeg(width, height, 1, scans);
}

QByteArray DcOnlyBomb(int width, int height)
{
    return FlatProgressiveJpeg(width, height, 4, {{{0, 1, 2, 3}, 0, 0, 0, 0}});
}
