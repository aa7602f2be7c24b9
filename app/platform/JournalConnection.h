#pragma once
// A connection of its own to the dose journal's file, for the one thread that opens it (the
// journal window's, a report's): each thread that reads or writes the file opens its own and
// uses it there only. The journal stamps what it writes with the system's clock.
#include <functional>
#include <memory>
#include <string>

#include "app/platform/PlatformClock.h"
#include "journal/Journal.h"

namespace virel::app {

struct TJournalConnection {
    explicit TJournalConnection(const std::string& path) : journal(path, clock) {}
    TJournalConnection(const TJournalConnection&) = delete;
    TJournalConnection& operator=(const TJournalConnection&) = delete;

    TPlatformClock clock;
    TJournal journal;
};

// Opens a connection to one journal file, for the thread that calls it.
using TOpenJournal = std::function<std::unique_ptr<TJournalConnection>()>;

}  // namespace virel::app
