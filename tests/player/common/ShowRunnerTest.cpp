// The show as the X11 and Wayland players run it, one a monitor.
#include "Bytes.h"
#include "common/ShowRunner.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace player;

TEST(ShowRunner, ShowsBegunAtOnceOnMonitorsOfOneSizeTakeTheirOwnPlaces)
{
    const Bytes bmp = bitmapFile(20, 20, 200, 10, 30);
    Bytes b = storeOf(1, std::int32_t(bmp.size()));
    std::copy(bmp.begin(), bmp.end(), b.begin() + 235);
    const StoreView store = readImageStore(b.data(), b.size());
    std::mutex m;
    std::condition_variable decoded;
    const auto wake = [&] {
        std::lock_guard lock(m);
        decoded.notify_all();
    };
    ShowRunner left(store, wake), right(store, wake);
    const std::int64_t now = nowMs();
    left.setArea(1000, 1000, now);
    right.setArea(1000, 1000, now);
    std::unique_lock lock(m);
    decoded.wait_for(lock, std::chrono::seconds(5), [&] {
        for (ShowRunner* r : {&left, &right})
            r->run(nowMs(), [](const std::string&, bool) {});
        return left.frame().visible && right.frame().visible;
    });
    ASSERT_TRUE(left.frame().visible && right.frame().visible);
    EXPECT_NE(left.frame().rect, right.frame().rect);
}
