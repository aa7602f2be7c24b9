#pragma once
// The program's pusher to the central registry: a thread of its own with its own connection to
// the journal file, owned by the program (not by the journal window: records go also while that
// window is closed). TPushSchedule (registry/PushSchedule.h) decides; this thread waits for its
// wake-ups (a capture or an annotation through IQueueWaker, new settings, the end of a pause,
// or the program's end), and counts or pushes the queue as the schedule says. Nothing here
// ever waits for the server on a window's thread.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "registry/PushSchedule.h"
#include "win/Scopes.h"

namespace virel::app {

class TRegistryPusher final : public IRegistryLink {
public:
    // How long the program's end waits for a push in flight before it goes without it.
    static constexpr DWORD kStopWaitMs = 2000;

    using TLoadSettings = std::function<TRegistrySettings()>;
    using TPush = std::function<TPushResult(TPushQueue&, const TRegistrySettings&)>;
    // `journalPath`: the journal the pusher opens for itself; `load`: the stored settings, read
    // on the pusher's thread at start and after SettingsChanged; `push`: one push (PushWaiting).
    TRegistryPusher(std::string journalPath, TLoadSettings load, TPush push);
    ~TRegistryPusher() override;  // Stop()
    TRegistryPusher(const TRegistryPusher&) = delete;
    TRegistryPusher& operator=(const TRegistryPusher&) = delete;

    // Starts the thread, which pushes at once what waits from before.
    void Start();
    // Ends the thread: at once when it waits, within kStopWaitMs when a push is in flight. A push
    // still going after that is left to the process's end: its batch leaves the local queue
    // only after the server's commit, and pushing it again adds nothing.
    void Stop();

    TLinkState State() const override;
    void Wake() override;
    void SettingsChanged() override;

private:
    struct TShared;
    static DWORD WINAPI ThreadMain(void* shared);

    // Shared with the thread, which keeps it alive if it is left running at the end.
    std::shared_ptr<TShared> shared_;
    win::THandle thread_;
};

}  // namespace virel::app
