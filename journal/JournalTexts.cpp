#include "journal/JournalTexts.h"

namespace virel {

std::string JournalOpenMessage(const TOpenResult& result) {
    const std::string file = "«" + result.path + "»";
    switch (result.outcome) {
        case TOpenOutcome::Opened:
        case TOpenOutcome::Created:
            return {};
        case TOpenOutcome::Replaced:
            return texts::kJournalReplaced1 + file + texts::kJournalReplaced2 + "«" +
                   result.movedTo + "»" + texts::kJournalReplaced3;
        case TOpenOutcome::Newer:
            return texts::kJournalReplaced1 + file + texts::kJournalNewer;
        case TOpenOutcome::ReadOnly:
        case TOpenOutcome::Unavailable:
            return texts::kJournalReplaced1 + file + texts::kJournalUnwritable;
    }
    return {};
}

std::string HeldRecordsMessage(const THeldAtExit& result) {
    const std::size_t count = result.records + result.dropped;
    switch (result.outcome) {
        case THeldAtExit::Outcome::None:
        case THeldAtExit::Outcome::Written:
            return {};
        case THeldAtExit::Outcome::Saved:
            return texts::kJournalHeldSaved + std::to_string(result.records) +
                   texts::kJournalHeldSavedTo + result.savedTo;
        case THeldAtExit::Outcome::Lost:
            return texts::kJournalHeldLost + std::to_string(count);
    }
    return {};
}

}  // namespace virel
