#pragma once
// The journal window's own count of the central registry's queue. The program's pusher counts
// the queue only when its own process wrote to the journal, or once a minute; rows that another
// process added (a /harvest of the Task Scheduler) or took off (a /push) would show late. So the
// window, which looks at the file every second anyway, counts the queue again whenever the file
// changed, and its figures replace the pusher's in the link's line. A count that fails (the file
// busy or not open) keeps the figures shown and is tried again at the next look.
#include <cstddef>
#include <optional>

#include "registry/PushSchedule.h"

namespace virel {

// The queue as the window's connection counts it: waiting rows, rows the server refused.
struct TQueueFigures {
    std::size_t waiting = 0;
    std::size_t refused = 0;
};

// Counts the queue on the window's connection; none when it cannot now.
class IQueueCounter {
public:
    virtual ~IQueueCounter() = default;
    [[nodiscard]] virtual std::optional<TQueueFigures> Count() = 0;
};

class TQueueWatch {
public:
    // One look of the window's timer; `changed`: the file changed since the last look (any
    // connection's commit, any process's). Counts when it changed, when the last count failed,
    // and at the first look. True when the figures shown changed.
    bool Look(bool changed, IQueueCounter& counter);
    // The pusher's state as the line shows it: with the window's figures when it has them.
    TLinkState Shown(TLinkState link) const;
    const std::optional<TQueueFigures>& Figures() const { return figures_; }
    // No registry to show: no figures, and a count at the next look.
    void Reset() {
        due_ = true;
        figures_.reset();
    }

private:
    bool due_ = true;  // a count is owed: the first look, or the last one failed
    std::optional<TQueueFigures> figures_;
};

}  // namespace virel
