// The players read the settings record with their own Qt-free code; the
// program reads project files with SaverSettings. Both must bring a damaged
// record into range alike and read names alike.
#include "common/Settings.h"
#include "project/SaverSettings.h"

#include <gtest/gtest.h>
#include <random>

namespace {
// Records of every kind: random bytes, and values near each range's bounds.
SettingsBytes randomRecord(std::mt19937& rng, int round)
{
    SettingsBytes b{};
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& x : b)
        x = std::uint8_t(byte(rng));
    if (round % 2) {
        const std::int32_t near[] = {-1, 0, 1, 2, 14, 15, 16, 59, 60, 61, 898, 899, 999, 1000, 10, 11, INT32_MIN, INT32_MAX};
        std::uniform_int_distribution<int> pick(0, int(std::size(near)) - 1);
        for (int at : {5, 9, 13, 17, 21}) {
            const auto v = std::uint32_t(near[pick(rng)]);
            for (int i = 0; i < 4; ++i)
                b[std::size_t(at + i)] = std::uint8_t(v >> (8 * i));
        }
        b[4] = std::uint8_t(pick(rng) % 3);
        for (int k = 0; k < 10; ++k)
            b[std::size_t(25 + 21 * k)] = std::uint8_t(pick(rng) + 3);   // name lengths around 12
    }
    return b;
}
} // namespace

TEST(PlayerSettingsAgreement, NormalizeAndNamesMatchTheProgramsOwnOnManyRecords)
{
    std::mt19937 rng(20240517);
    for (int round = 0; round < 20000; ++round) {
        const SettingsBytes b = randomRecord(rng, round);
        SaverSettings qt = SaverSettings::Decode(b);
        player::SaverSettings plain = player::SaverSettings::Decode(b.data());
        ASSERT_EQ(qt.Normalize(), plain.Normalize()) << round;
        ASSERT_EQ(qt.BackgroundColor, plain.BackgroundColor);
        ASSERT_EQ(qt.DisplayMode, plain.DisplayMode);
        ASSERT_EQ(qt.FloatSpeed, plain.FloatSpeed) << round;
        ASSERT_EQ(qt.ChangeEvery, plain.ChangeEvery);
        ASSERT_EQ(qt.DisplaySeconds, plain.DisplaySeconds);
        ASSERT_EQ(qt.DisplayTimes, plain.DisplayTimes);
        ASSERT_EQ(qt.ImageCount, plain.ImageCount);
        for (int k = 1; k <= 10; ++k) {
            const ImageEntry& q = qt.Slot(k);
            const player::ImageEntry& p = plain.Slot(k);
            ASSERT_EQ(q.NameLength, p.NameLength);
            ASSERT_EQ(q.Offset, p.Offset);
            ASSERT_EQ(q.Size, p.Size);
            ASSERT_EQ(q.Name().toStdString(), player::SlotNameText(p.Name())) << round << " slot " << k;
        }
    }
}

TEST(PlayerSettingsAgreement, NamesOfEveryKindReadAlike)
{
    // Bytes that are UTF-8 or nearly: every two-byte prefix of the hard cases.
    const std::vector<std::string> names = {"\xEF\xBB\xBF" "A.JPG", "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xEF\xBF\xBE",
                                            "\xE0\xA0\x80", "\xE0\x9F\xBF", "\xF0\x90\x80\x80", "\xF0\x8F\xBF\xBF",
                                            "\xC2\x80", "\xC1\xBF", "\xED\x9F\xBF", "\xED\xA0\x80", std::string("A\0B", 3)};
    for (const std::string& n : names)
        EXPECT_EQ(SlotNameText(n.data(), int(n.size())).toStdString(), player::SlotNameText(n)) << n;
}
