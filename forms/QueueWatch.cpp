#include "forms/QueueWatch.h"

namespace virel {

bool TQueueWatch::Look(bool changed, IQueueCounter& counter) {
    if (!changed && !due_) return false;
    const std::optional<TQueueFigures> counted = counter.Count();
    due_ = !counted;
    if (!counted) return false;
    const bool differs = !figures_ || figures_->waiting != counted->waiting ||
                         figures_->refused != counted->refused;
    figures_ = counted;
    return differs;
}

TLinkState TQueueWatch::Shown(TLinkState link) const {
    if (!figures_) return link;
    link.waiting = figures_->waiting;
    link.refused = figures_->refused;
    return link;
}

}  // namespace virel
