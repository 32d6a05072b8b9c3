#pragma once
// Legal progressive JPEG files that cost far more to decode than their size
// suggests ("decompression bombs"), written byte by byte: every coefficient
// is zero, so a scan of millions of blocks takes a few bytes (runs of empty
// blocks) and the pictures are flat grey.
#include <QByteArray>
#include <QVector>

struct BombScan {
    QVector<int> components;   // indices into the frame's components
    int Ss, Se, Ah, Al;        // spectral band and successive approximation
};

// A progressive frame of width x height with `components` components (each
// sampled 1 x 1) and the given scans, in order.
QByteArray FlatProgressiveJpeg(int width, int height, int components, const QVector<BombScan>& scans);

// Greyscale, one DC scan, then every AC coefficient alone in 14 scans of
// successive approximation: 883 scans in all.
QByteArray ManyScansBomb(int width, int height);

// Four components and one DC scan (a bit per block), nothing more: small,
// yet the coefficients of the whole picture must be kept.
QByteArray DcOnlyBomb(int width, int height);
