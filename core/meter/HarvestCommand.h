#pragma once
// The harvest started from the command line, for the Windows Task Scheduler:
//   VIREL1_Service.exe /harvest [/port COMn] [/speed 4800|9600]
// What its arguments mean, what its exit code says, its one summary line, and what it runs
// with instead of the window: a view that shows nothing and an Esc key that is never down (a
// key pressed at the desktop must not cancel a harvest nobody watches).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/DateTimeFormat.h"
#include "core/Regional.h"
#include "core/meter/DeviceSeams.h"
#include "core/meter/FaceView.h"
#include "core/meter/Harvest.h"
#include "core/meter/PortChoice.h"

namespace virel {

namespace texts {
// Why the command line is refused (%1: the switch or value as typed), then how it is written.
inline constexpr char kCommandUnknownSwitch[] = "Неизвестный ключ «%1»";
inline constexpr char kCommandNoValue[] = "После ключа «%1» не указано значение";
inline constexpr char kCommandRepeated[] = "Ключ «%1» указан дважды";
inline constexpr char kCommandBadPort[] = "«%1» не является именем порта (COM1–COM255)";
inline constexpr char kCommandBadSpeed[] = "Скорость «%1» не поддерживается (4800 или 9600)";
inline constexpr char kCommandUsage[] =
    ". Запуск без окна: VIREL1_Service.exe /harvest [/port COMn] [/speed 4800|9600]";
// The records were read but the journal (its path follows) could not take them; where they
// went follows after a full stop and a space.
inline constexpr char kHarvestJournalUnwritable[] = "Архив прочитан, но журнал доз ";
inline constexpr char kHarvestJournalUnwritable2[] = " недоступен для записи";
}  // namespace texts

// The process's exit code.
enum class THarvestExit : int {
    Done = 0,
    // Nothing harvested: the meter did not answer, the port could not be opened, or the
    // records read came from two meters (a cable swapped mid-read; nothing is kept then).
    NothingHarvested = 1,
    // The records were read but the journal could not take them: they went to a journal in the
    // user's own folder (the summary names it), as the window saves them at exit.
    JournalUnwritable = 2,
    // Done, but the meter may have overwritten records before they were read.
    MayHaveOverwritten = 3,
    // The command line could not be understood: nothing was done.
    BadArguments = 4,
    // The records read are in the journal, but some of the 256 could not be read (the summary
    // says how many): a scheduled task must not show success while records are missing.
    Incomplete = 5,
};

struct THarvestCommand {
    bool requested = false;              // "/harvest" is among the arguments
    std::optional<TLinePort> port;       // "/port COMn": the stored port otherwise
    std::optional<std::uint32_t> speed;  // "/speed 4800|9600": the stored speed otherwise
    bool trace = false;                  // "/trace": the exchanges go to the trace file
    std::string error;                   // not empty: why the arguments are refused (one line)
};

// The arguments after the program's name. Switches begin with "/" or "-", in any case; a value
// is the next argument. Without "/harvest" nothing else is looked at: the window starts as
// before, whatever else is there.
THarvestCommand ParseHarvestCommand(const std::vector<std::string>& arguments);

THarvestExit HarvestExitOf(const THarvestResult& result);

// A harvest whose records the journal took only when asked again, after the harvest itself had
// them held: `added` of them were new, `alerts` of those over an alert level. The gap is judged
// as the harvest judges it.
void KeptAfterAll(THarvestResult& result, std::size_t added, std::size_t alerts = 0);

// The summary line: the window's status text (HarvestSummary), how many of the new records are
// over an alert level when any are, and, when records may have been overwritten, the warning
// (HarvestGapWarning). When the journal could not take the records:
// the journal's path and `heldMessage`, where they went (HeldRecordsMessage).
std::string HarvestCommandSummary(const THarvestResult& result, const std::string& port,
                                  const RegionalFormats& formats, const std::string& journalPath,
                                  const std::string& heldMessage);

// The line of the harvest file: "YYYY-MM-DD HH:MM:SS " and the summary.
std::string HarvestFileLine(const DateTime& now, const std::string& summary);

// The harvest's own window: none. Every call shows nothing; the record number field is a
// text kept here, as the reading loop writes and reads it back.
class THeadlessView final : public IFaceView {
public:
    void SetStatusText(const std::string&) override {}
    void SetSpeedText(const std::string&) override {}
    void ShowRecord(const RecordTexts&) override {}
    std::string ArchiveNumberText() const override { return archiveNumber_; }
    void SetArchiveNumberText(const std::string& text) override { archiveNumber_ = text; }
    void GaugeSetProgress(int) override {}
    void GaugeSetMaxValue(int) override {}
    void ShowProgress() override {}
    void CloseProgress() override {}
    void SetMeterActionsEnabled(bool) override {}
    void ProcessMessages() override {}
    void BringToForeground() override {}
    void ReportError(const std::string&) override {}

private:
    std::string archiveNumber_;
};

class TNoEscape final : public IKeyState {
public:
    bool EscapeDown() override { return false; }
};

}  // namespace virel
