// The journal window's count of the registry's queue: looked at every second by the window's
// timer, counted again when the file changed (here another process's harvest or push), kept
// while the file is busy, and shown in place of the pusher's figures.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "forms/QueueWatch.h"

namespace virel {
namespace {

// The window's connection: the queue as it stands, or busy for the next counts.
class TFakeQueue final : public IQueueCounter {
public:
    std::optional<TQueueFigures> Count() override {
        ++counts;
        if (busy > 0) {
            --busy;
            return std::nullopt;
        }
        return figures;
    }
    TQueueFigures figures;
    int busy = 0;
    int counts = 0;
};

TEST(QueueWatch, CountsAtTheFirstLookThenOnlyWhenTheFileChanged) {
    TFakeQueue queue;
    queue.figures = {3, 1};
    TQueueWatch watch;
    EXPECT_TRUE(watch.Look(false, queue)) << "the first look counts";
    EXPECT_EQ(queue.counts, 1);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(watch.Look(false, queue));
    EXPECT_EQ(queue.counts, 1) << "an unchanged file is not counted again";
    queue.figures = {260, 1};
    EXPECT_TRUE(watch.Look(true, queue));
    EXPECT_EQ(watch.Figures()->waiting, 260u);
    EXPECT_FALSE(watch.Look(true, queue)) << "changed, counted, the same figures";
    EXPECT_EQ(queue.counts, 3);
}

TEST(QueueWatch, TheLineShowsTheWindowsFiguresInPlaceOfThePushersOnceItHasThem) {
    TLinkState link;
    link.configured = true;
    link.waiting = 0;
    link.refused = 2;
    link.refusedReason = "22P05";
    link.outcome = TPushOutcome::Unreachable;
    link.reason = "connection refused";
    TQueueWatch watch;
    EXPECT_EQ(LinkStateText(watch.Shown(link), {}), LinkStateText(link, {}))
        << "before its first count the pusher's figures";
    TFakeQueue queue;
    queue.figures = {257, 3};
    ASSERT_TRUE(watch.Look(false, queue));
    EXPECT_EQ(LinkStateText(watch.Shown(link), {}),
              "Центральный журнал: отправок ещё не было, ждут отправки: 257, не принято "
              "сервером: 3 (22P05); сервер не отвечает: connection refused");
    link.configured = false;
    EXPECT_EQ(LinkStateText(watch.Shown(link), {}), "") << "no registry, no line";
}

// The window's timer on a fake clock: another process changes the queue at any moment; the
// line follows within 2 s even when the file is busy at the first look after the change.
TEST(QueueWatch, AnotherProcesssChangeShowsWithinTwoSecondsOfTheWindowsTicks) {
    constexpr std::int64_t kTickMs = 1000;  // the window's refresh timer
    for (const int busyLooks : {0, 1}) {
        for (std::int64_t changeAt = 0; changeAt < 3000; changeAt += 250) {
            TFakeQueue queue;
            queue.figures = {0, 0};
            TQueueWatch watch;
            bool changedSinceLook = false;
            bool changed = false;
            std::optional<std::int64_t> shownAt;
            for (std::int64_t now = 0; now <= 10'000 && !shownAt; now += 250) {
                if (now == changeAt + 250 && !changed) {  // a harvest commits 256 rows
                    queue.figures = {256, 0};
                    queue.busy = busyLooks;
                    changedSinceLook = changed = true;
                }
                if (now % kTickMs != 0) continue;
                watch.Look(changedSinceLook, queue);
                changedSinceLook = false;
                if (changed && watch.Figures() && watch.Figures()->waiting == 256) shownAt = now;
            }
            ASSERT_TRUE(shownAt) << "change at " << changeAt + 250 << " ms";
            EXPECT_LE(*shownAt - (changeAt + 250), 2000)
                << "busy looks " << busyLooks << ", change at " << changeAt + 250 << " ms";
        }
    }
}

}  // namespace
}  // namespace virel
