// The pusher's schedule with a fake clock and a fake server: when it pushes, how long it waits,
// what wakes it and what it publishes for the journal window's line. The tests do what the
// pusher's thread does: each step the schedule asks for, until it says to wait.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <stdexcept>

#include "core/DateTimeFormat.h"
#include "registry/PushSchedule.h"

namespace virel {
namespace {

using std::chrono::milliseconds;

TPushResult Result(TPushOutcome outcome, std::size_t pushed, std::size_t waiting,
                   std::string reason = {}) {
    TPushResult result;
    result.outcome = outcome;
    result.pushed = pushed;
    result.waiting = waiting;
    result.reason = std::move(reason);
    return result;
}

class FakePushClock : public IPushClock {
public:
    std::int64_t TickMs() override { return tick; }
    std::int64_t LocalNowMs() override { return local; }
    void Advance(std::int64_t ms) {
        tick += ms;
        local += ms;
    }
    std::int64_t tick = 1'000'000;
    std::int64_t local = ToMilliseconds({2026, 12, 8, 7, 15, 3, 0});
};

// The server and the local journal: each push takes the next scripted result (Done with
// everything pushed when none is left) and lasts `pushMs`; the journal's count is `waiting`.
class PushSchedule : public ::testing::Test {
protected:
    TPushResult Push(const TRegistrySettings& settings) {
        pushedWith.push_back(settings);
        pushTicks.push_back(clock.tick);
        clock.Advance(pushMs);
        if (throwNext) {
            throwNext = false;
            throw std::runtime_error("no memory");
        }
        if (results.empty()) {
            TPushResult done = Result(TPushOutcome::Done, waiting.value_or(0), 0);
            waiting = 0;
            return done;
        }
        TPushResult result = results.front();
        results.pop_front();
        waiting = result.waiting;
        refused += result.refused;
        return result;
    }
    TPushResult Down(std::size_t left) {
        return Result(TPushOutcome::Unreachable, 0, left, "08001 could not connect to server");
    }
    using TPushFunction = std::function<TPushResult(const TRegistrySettings&)>;
    // As the pusher's thread runs a wake: counts and pushes as the schedule says, until it says
    // to wait; how long.
    std::optional<milliseconds> Drive(TPushSchedule& s, TPushWake wake,
                                      const TRegistrySettings& with, TPushFunction push = {}) {
        if (!push) push = [this](const TRegistrySettings& given) { return Push(given); };
        TPushStep step = s.Wake(wake, with);
        for (int steps = 0; step.action != TPushStep::TAction::Wait; ++steps) {
            if (steps == 10) {
                ADD_FAILURE() << "the schedule never says to wait";
                return std::nullopt;
            }
            if (step.action == TPushStep::TAction::Count) {
                step = s.Counted(Count());
                continue;
            }
            try {
                step = s.Pushed(push(with));
            } catch (const std::exception& e) {
                step = s.PushThrew(e.what());
            }
        }
        return step.wait;
    }
    std::optional<milliseconds> Run(TPushWake wake) { return Drive(schedule, wake, settings); }
    std::optional<TPushSchedule::TQueueCount> Count() const {
        if (!waiting) return std::nullopt;
        return TPushSchedule::TQueueCount{*waiting, refused};
    }
    std::size_t Pushes() const { return pushTicks.size(); }

    FakePushClock clock;
    std::deque<TPushResult> results;
    std::vector<TRegistrySettings> pushedWith;
    std::vector<std::int64_t> pushTicks;
    std::optional<std::size_t> waiting = 0;  // none: the journal cannot be read
    std::size_t refused = 0;
    std::int64_t pushMs = 200;
    bool throwNext = false;
    TRegistrySettings settings{"DSN=virel", "Кабинет 3", "секрет"};
    TPushSchedule schedule{clock};
};

TEST_F(PushSchedule, NotConfiguredItNeverPushesWaitsOnlyForAWakeAndShowsNothing) {
    for (TRegistrySettings unset :
         {TRegistrySettings{"", "Кабинет 3", ""}, TRegistrySettings{"DSN=virel", "", ""},
          TRegistrySettings{"  ", " ", "секрет"}}) {
        waiting = 5;
        for (TPushWake wake :
             {TPushWake::Start, TPushWake::Capture, TPushWake::Settings, TPushWake::Pause})
            EXPECT_EQ(Drive(schedule, wake, unset), std::nullopt);
        EXPECT_FALSE(schedule.State().configured);
        EXPECT_EQ(LinkStateText(schedule.State(), RegionalFormats{}), "");
    }
    EXPECT_EQ(Pushes(), 0u);
}

TEST_F(PushSchedule, StartPushesAtOnceThenLooksAtTheQueueEveryMinute) {
    waiting = 3;
    EXPECT_EQ(Run(TPushWake::Start), TPushSchedule::kIdleLook);
    ASSERT_EQ(Pushes(), 1u);
    EXPECT_EQ(pushedWith[0].password, "секрет") << "the settings as given";
    TLinkState state = schedule.State();
    EXPECT_TRUE(state.configured);
    EXPECT_FALSE(state.pushing);
    EXPECT_EQ(state.waiting, 0u);
    EXPECT_EQ(state.lastPushMs, clock.local) << "stamped when the server took it";
    EXPECT_EQ(state.reason, "");
    EXPECT_EQ(LinkStateText(state, RegionalFormats{}),
              "Центральный журнал: отправлено 08.12.2026 7:15:03, ждут отправки: 0");

    // A minute on with nothing waiting: the server is not asked.
    clock.Advance(60'000);
    EXPECT_EQ(Run(TPushWake::Pause), TPushSchedule::kIdleLook);
    EXPECT_EQ(Pushes(), 1u);
    // Rows that came in by another way (a harvest of another process) go at the next look.
    waiting = 256;
    clock.Advance(60'000);
    EXPECT_EQ(Run(TPushWake::Pause), TPushSchedule::kIdleLook);
    EXPECT_EQ(Pushes(), 2u);
    EXPECT_EQ(schedule.State().waiting, 0u);
    EXPECT_EQ(schedule.State().lastPushMs, clock.local);
}

TEST_F(PushSchedule, ACaptureWakesAPushOnlyWhenSomethingWaits) {
    ASSERT_EQ(Run(TPushWake::Start), TPushSchedule::kIdleLook);
    ASSERT_EQ(Pushes(), 1u);
    clock.Advance(1'000);
    EXPECT_EQ(Run(TPushWake::Capture), TPushSchedule::kIdleLook) << "a record already there";
    EXPECT_EQ(Pushes(), 1u);
    waiting = 1;
    EXPECT_EQ(Run(TPushWake::Capture), TPushSchedule::kIdleLook);
    EXPECT_EQ(Pushes(), 2u);
    // The count cannot be read (the file busy): push anyway, the push tells.
    waiting = std::nullopt;
    EXPECT_EQ(Run(TPushWake::Capture), TPushSchedule::kIdleLook);
    EXPECT_EQ(Pushes(), 3u);
}

TEST_F(PushSchedule, AServerThatDoesNotAnswerIsAskedAgainAfterGrowingPausesUpToFiveMinutes) {
    waiting = 4;
    for (int i = 0; i < 9; ++i) results.push_back(Down(4));
    std::vector<std::int64_t> pauses;
    auto pause = Run(TPushWake::Start);
    while (Pushes() < 10) {
        ASSERT_TRUE(pause.has_value());
        pauses.push_back(pause->count());
        // The thread's wait ends a little late, as a real one may.
        clock.Advance(pause->count() + 15);
        pause = Run(TPushWake::Pause);
    }
    EXPECT_EQ(pauses, (std::vector<std::int64_t>{5'000, 10'000, 20'000, 40'000, 80'000, 160'000,
                                                 300'000, 300'000, 300'000}));
    // Each retry came when its pause was over, counted from the end of the failed push.
    for (std::size_t i = 1; i < pushTicks.size(); ++i)
        EXPECT_EQ(pushTicks[i] - pushTicks[i - 1], pushMs + pauses[i - 1] + 15) << i;
    // The last retry went through: a minute's look from now on, and the next failure starts
    // again from the first pause.
    EXPECT_EQ(pause, TPushSchedule::kIdleLook);
    EXPECT_EQ(schedule.State().reason, "");
    waiting = 1;
    results.push_back(Down(1));
    EXPECT_EQ(Run(TPushWake::Capture), milliseconds(5'000));
}

TEST_F(PushSchedule, CapturesDuringAPauseCountButDoNotAskTheServerBeforeItsTime) {
    waiting = 2;
    results.push_back(Down(2));
    results.push_back(Down(3));
    ASSERT_EQ(Run(TPushWake::Start), milliseconds(5'000));
    EXPECT_EQ(LinkStateText(schedule.State(), RegionalFormats{}),
              "Центральный журнал: отправок ещё не было, ждут отправки: 2; сервер не отвечает: "
              "08001 could not connect to server");

    clock.Advance(2'000);
    waiting = 3;
    EXPECT_EQ(Run(TPushWake::Capture), milliseconds(3'000)) << "the rest of the pause";
    EXPECT_EQ(Pushes(), 1u);
    EXPECT_EQ(schedule.State().waiting, 3u) << "the line counts the new record";
    EXPECT_EQ(schedule.State().outcome, TPushOutcome::Unreachable) << "and still says why";
    // A wait that ended early (a spurious wake) changes nothing either.
    clock.Advance(1'000);
    EXPECT_EQ(Run(TPushWake::Pause), milliseconds(2'000));
    EXPECT_EQ(Pushes(), 1u);
    clock.Advance(2'000);
    EXPECT_EQ(Run(TPushWake::Pause), milliseconds(10'000));
    EXPECT_EQ(Pushes(), 2u);
    // The server back: the next retry empties the queue.
    clock.Advance(10'000);
    EXPECT_EQ(Run(TPushWake::Pause), TPushSchedule::kIdleLook);
    EXPECT_EQ(schedule.State().waiting, 0u);
    EXPECT_EQ(schedule.State().reason, "");
}

TEST_F(PushSchedule, NewSettingsArePushedWithAtOnceAndBeginThePausesAnew) {
    waiting = 2;
    results = {Down(2), Down(2),
               Result(TPushOutcome::Refused, 0, 2, "28P01 password authentication failed")};
    ASSERT_EQ(Run(TPushWake::Start), milliseconds(5'000));
    clock.Advance(5'000);
    ASSERT_EQ(Run(TPushWake::Pause), milliseconds(10'000));
    clock.Advance(1'000);
    settings.password = "другой";
    EXPECT_EQ(Run(TPushWake::Settings), milliseconds(5'000)) << "pushed now, first pause again";
    ASSERT_EQ(Pushes(), 3u);
    EXPECT_EQ(pushedWith.back().password, "другой");
    const TLinkState state = schedule.State();
    EXPECT_EQ(state.outcome, TPushOutcome::Refused);
    EXPECT_EQ(state.waiting, 2u) << "the queue kept";
    EXPECT_EQ(LinkStateText(state, RegionalFormats{}),
              "Центральный журнал: отправок ещё не было, ждут отправки: 2; сервер отказал: 28P01 "
              "password authentication failed");
    // Unset again: no pushes, no pauses, no line.
    clock.Advance(1'000);
    EXPECT_EQ(Drive(schedule, TPushWake::Settings, {}), std::nullopt);
    EXPECT_EQ(Drive(schedule, TPushWake::Pause, {}), std::nullopt);
    EXPECT_EQ(Pushes(), 3u);
    EXPECT_EQ(LinkStateText(schedule.State(), RegionalFormats{}), "");
}

TEST_F(PushSchedule, APartialPushMovesTheLastPushOnAndAFailedOneKeepsIt) {
    waiting = 1200;
    results = {Result(TPushOutcome::Failed, 500, 700, "40001 could not serialize access\r\ndetail"),
               Down(700)};
    ASSERT_EQ(Run(TPushWake::Start), milliseconds(5'000));
    TLinkState state = schedule.State();
    const std::int64_t first = clock.local;
    EXPECT_EQ(state.lastPushMs, first) << "500 rows went";
    EXPECT_EQ(state.waiting, 700u);
    const RegionalFormats formats;
    EXPECT_EQ(LinkStateText(state, formats),
              "Центральный журнал: отправлено 08.12.2026 7:15:03, ждут отправки: 700; не "
              "отправлено: 40001 could not serialize access  detail")
        << "one line";
    clock.Advance(5'000);
    ASSERT_EQ(Run(TPushWake::Pause), milliseconds(10'000));
    EXPECT_EQ(schedule.State().lastPushMs, first) << "nothing went this time";
}

TEST_F(PushSchedule, APushThatThrowsIsAFailureWithItsReasonAndIsTriedAgain) {
    waiting = 1;
    throwNext = true;
    ASSERT_EQ(Run(TPushWake::Start), milliseconds(5'000));
    const TLinkState state = schedule.State();
    EXPECT_FALSE(state.pushing) << "not stuck in a push";
    EXPECT_EQ(state.outcome, TPushOutcome::Failed);
    EXPECT_EQ(state.reason, "no memory");
    clock.Advance(5'000);
    EXPECT_EQ(Run(TPushWake::Pause), TPushSchedule::kIdleLook);
    EXPECT_EQ(Pushes(), 2u);
}

TEST_F(PushSchedule, TheWindowSeesAPushInFlight) {
    waiting = 1;
    std::optional<TLinkState> during;
    TPushSchedule watched(clock);
    ASSERT_EQ(Drive(watched, TPushWake::Start, settings,
                    [&](const TRegistrySettings&) {
                        during = watched.State();
                        return Result(TPushOutcome::Done, 1, 0);
                    }),
              TPushSchedule::kIdleLook);
    ASSERT_TRUE(during.has_value());
    EXPECT_TRUE(during->pushing);
    EXPECT_EQ(LinkStateText(*during, RegionalFormats{}),
              "Центральный журнал: отправок ещё не было, ждут отправки: 1, идёт отправка")
        << "counted before the push";
    EXPECT_FALSE(watched.State().pushing);
}

TEST_F(PushSchedule, RowsTheServerRefusedForGoodAreCountedWithTheirReason) {
    waiting = 3;
    refused = 1;  // one from an earlier run of the program: no reason known any more
    TPushResult some = Result(TPushOutcome::Done, 1, 0);
    some.refused = 2;
    some.refusedReason = "22021 invalid byte sequence for encoding \"UTF8\"\n";
    results.push_back(some);
    ASSERT_EQ(Run(TPushWake::Start), TPushSchedule::kIdleLook);
    TLinkState state = schedule.State();
    EXPECT_EQ(state.refused, 3u) << "the earlier one and the two of this push";
    EXPECT_EQ(state.reason, "") << "the push itself went";
    EXPECT_EQ(LinkStateText(state, RegionalFormats{}),
              "Центральный журнал: отправлено 08.12.2026 7:15:03, ждут отправки: 0, не принято "
              "сервером: 3 (22021 invalid byte sequence for encoding \"UTF8\" )");
    // Counted again at the next capture: the number stays, the reason too.
    waiting = 0;
    EXPECT_EQ(Run(TPushWake::Capture), TPushSchedule::kIdleLook);
    EXPECT_EQ(schedule.State().refused, 3u);
    EXPECT_EQ(schedule.State().refusedReason, some.refusedReason);
    // At the next start the journal's count tells of the rows refused before, without a reason.
    TPushSchedule later(clock);
    results.push_back(Down(0));
    ASSERT_EQ(Drive(later, TPushWake::Start, settings), milliseconds(5'000));
    EXPECT_EQ(later.State().refused, 3u);
    EXPECT_EQ(LinkStateText(later.State(), RegionalFormats{}),
              "Центральный журнал: отправок ещё не было, ждут отправки: 0, не принято сервером: 3; "
              "сервер не отвечает: 08001 could not connect to server");
}

TEST_F(PushSchedule, AServerThatSaysTheRegistryIsNotConfiguredClearsTheLine) {
    waiting = 1;
    results.push_back(Result(TPushOutcome::NotConfigured, 0, 1, "no room"));
    EXPECT_EQ(Run(TPushWake::Start), std::nullopt);
    EXPECT_FALSE(schedule.State().configured);
}

// The steps themselves, as the pusher's thread is told them one at a time.
TEST_F(PushSchedule, TheThreadIsToldOneStepAtATime) {
    using TAction = TPushStep::TAction;
    TPushStep step = schedule.Wake(TPushWake::Start, settings);
    EXPECT_EQ(step.action, TAction::Count) << "the line's count first: nothing known yet";
    step = schedule.Counted(TPushSchedule::TQueueCount{3, 0});
    EXPECT_EQ(step.action, TAction::Push);
    EXPECT_TRUE(schedule.State().pushing);
    EXPECT_EQ(schedule.State().waiting, 3u);
    step = schedule.Pushed(Result(TPushOutcome::Done, 3, 0));
    EXPECT_EQ(step.action, TAction::Wait);
    EXPECT_EQ(step.wait, TPushSchedule::kIdleLook);
    EXPECT_FALSE(schedule.State().pushing);

    // A capture when all went: a look at the queue, and no push when it is empty.
    step = schedule.Wake(TPushWake::Capture, settings);
    EXPECT_EQ(step.action, TAction::Count);
    step = schedule.Counted(TPushSchedule::TQueueCount{0, 0});
    EXPECT_EQ(step.action, TAction::Wait);
    EXPECT_EQ(step.wait, TPushSchedule::kIdleLook);

    // A push that failed: a pause, in which a wait that ended early asks for nothing.
    step = schedule.Wake(TPushWake::Settings, settings);
    ASSERT_EQ(step.action, TAction::Push) << "the count is known now";
    step = schedule.Pushed(Down(1));
    EXPECT_EQ(step.action, TAction::Wait);
    EXPECT_EQ(step.wait, milliseconds(5'000));
    clock.Advance(1'000);
    step = schedule.Wake(TPushWake::Pause, settings);
    EXPECT_EQ(step.action, TAction::Wait);
    EXPECT_EQ(step.wait, milliseconds(4'000));
    EXPECT_EQ(Pushes(), 0u) << "the fake server was never asked";
}

}  // namespace
}  // namespace virel
