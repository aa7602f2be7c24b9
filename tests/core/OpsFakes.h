#pragma once
// Fakes for the device operations' tests: the serial link driven by a fake
// clock, the Esc key, the log file system and the spreadsheet.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/Errors.h"
#include "core/export/Spreadsheet.h"
#include "core/meter/DeviceOperations.h"
#include "core/meter/Exchange.h"
#include "core/meter/LogFile.h"
#include "core/meter/PortLock.h"
#include "tests/core/FakeFaceView.h"

namespace virel::fakes {

// Local time in milliseconds, moved only by the test and by the fake link's reads.
class FakeClock : public IClock {
public:
    std::int64_t LocalNowMs() override { return now; }
    std::int64_t now = 1'700'000'000'000;
};

class FakeKeys : public IKeyState {
public:
    bool EscapeDown() override {
        ++checks;
        if (escapeAtCheck && checks == *escapeAtCheck) return true;
        return escape;
    }
    bool escape = false;
    std::optional<int> escapeAtCheck;  // Esc seen only at this check (1-based)
    int checks = 0;
};

// A meter on the other end of the line. Each ReadData call takes time on the fake clock the
// way the real one does: 500 ms of silence after the last byte, or at once on a closed port.
class FakeLink : public IDeviceLink {
public:
    explicit FakeLink(FakeClock& clock) : clock_(clock) {}

    bool Open(const TLineSettings& line) override {
        ++opens;
        baud = static_cast<int>(line.speed);
        const int portNumber = line.port.Number().value_or(0);
        if (!open) port = portNumber;
        if (portNumber == 0) open = false;  // no port named: nothing opens
        refusedBusy = false;
        if (portNumber != 0 && !open && busyOpens > 0) {
            // Another program holds the port for this many tries.
            --busyOpens;
            refusedBusy = true;
            return false;
        }
        if (!canOpen || portNumber == 0) return false;
        open = true;
        return true;
    }
    void Close() override {
        ++closes;
        open = false;
    }
    bool OpenRefusedAsBusy() const override { return refusedBusy; }
    void Pause(std::uint32_t ms) override {
        pauses.push_back(ms);
        clock_.now += ms;
    }
    bool SendString(const std::string& bytes) override {
        sent.push_back(bytes);
        if (sendThrows > 0) {
            --sendThrows;
            throw std::runtime_error("send failed");
        }
        if (!open) return false;
        // The meter answers a command after `answerDelayMs`; the reply is queued then.
        if (answer) {
            const auto reply = answer(bytes);
            if (!reply.empty()) pending.push_back({clock_.now + answerDelayMs, reply});
        }
        return true;
    }
    std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) override {
        ++reads;
        readSizes.push_back(count);
        if (onRead) onRead();
        if (readThrows > 0) {
            --readThrows;
            throw std::bad_alloc();
        }
        // A closed port answers at once; real time still passes between the calls.
        if (!open) {
            clock_.now += 1;
            return 0;
        }
        // Nothing due: the read lasts the 500 ms of silence (+1 tick, as the driver's "more than").
        if (pending.empty() || pending.front().first > clock_.now + 500) {
            clock_.now += 501;
            return 0;
        }
        const auto due = pending.front().first;
        std::string reply = pending.front().second;
        pending.pop_front();
        if (due > clock_.now) clock_.now = due;
        clock_.now += 501;
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(reply.size(), count));
        std::memcpy(buffer, reply.data(), n);
        return n;
    }

    FakeClock& clock_;
    std::function<std::string(const std::string&)> answer;
    std::int64_t answerDelayMs = 100;
    std::deque<std::pair<std::int64_t, std::string>> pending;
    std::vector<std::string> sent;
    std::vector<std::uint32_t> readSizes;
    bool canOpen = true;
    bool open = false;
    int busyOpens = 0;         // this many opens find the port held by another program
    bool refusedBusy = false;  // the last open did
    std::vector<std::uint32_t> pauses;
    int sendThrows = 0;  // this many sends throw
    int readThrows = 0;  // this many reads throw
    std::function<void()> onRead;
    int opens = 0;
    int closes = 0;
    int reads = 0;
    int baud = 9600;
    int port = 2;
};

// The port's lock shared with other programs: another program holds it for the next
// `heldElsewhere` tries, or the system gives none. Counts what this program holds.
class FakePortLock : public IPortLock {
public:
    TPortLockTry TryAcquire(int portNumber) override {
        tries.push_back(portNumber);
        if (onTry) onTry();
        if (unavailable) return TPortLockTry::Unavailable;
        if (heldElsewhere > 0) {
            --heldElsewhere;
            return TPortLockTry::Held;
        }
        if (!held.insert(portNumber).second) ++acquiredTwice;
        ++acquires;
        return TPortLockTry::Acquired;
    }
    void Release(int portNumber) override {
        releases.push_back(portNumber);
        if (held.erase(portNumber) == 0) ++releasedUnheld;
    }
    std::set<int> held;  // ports whose lock this program holds now
    int heldElsewhere = 0;
    bool unavailable = false;
    std::function<void()> onTry;
    std::vector<int> tries;
    std::vector<int> releases;
    int acquires = 0;
    int acquiredTwice = 0;   // a try for a lock this program held already
    int releasedUnheld = 0;  // a release of a lock it did not hold
};

// Log files in memory: path -> contents, with switches for each failure.
class FakeLogFiles : public ILogFileSystem {
public:
    AppendResult Append(const std::string& path, const std::string& bytes) override {
        ++calls;
        if (throwOnWrite) throw Exception("write failed");
        if (locked || refused.count(path) > 0) return AppendResult::NotWritten;
        const auto it = files.find(path);
        if (it == files.end()) {
            if (!canCreate) return AppendResult::NotWritten;
            files[path] = bytes;
            return AppendResult::Created;
        }
        it->second += bytes;
        return AppendResult::Appended;
    }
    std::string Tail(const std::string& path, std::size_t count) override {
        const auto it = files.find(path);
        if (it == files.end() || locked) return {};
        const std::string& text = it->second;
        return text.substr(text.size() - std::min(count, text.size()));
    }
    std::map<std::string, std::string> files;
    bool locked = false;
    std::set<std::string> refused;  // these paths cannot be opened or created
    bool canCreate = true;
    bool throwOnWrite = false;
    int calls = 0;
};

// A spreadsheet program: records every call; any call can be made to fail.
class FakeSpreadsheet : public ISpreadsheet {
public:
    struct Shared {
        bool running = false;   // an instance is already running
        bool canCreate = true;  // the server is registered
        bool addFails = false;
        std::optional<int> failAtCell;  // the n-th SetCellValue throws (1-based)
        int cellCalls = 0;
        int instances = 0;
        int releases = 0;
        std::vector<std::string> calls;
        std::map<std::pair<int, int>, std::string> cells;
        std::map<std::pair<int, int>, int> fontSizes;
    };
    explicit FakeSpreadsheet(Shared& shared) : s_(shared) {}

    bool AttachRunning() override {
        s_.calls.push_back("attach");
        return s_.running;
    }
    void CreateNew() override {
        s_.calls.push_back("create");
        if (!s_.canCreate) throw Exception("Invalid class string");
        ++s_.instances;
    }
    void AddWorkbook() override {
        s_.calls.push_back("add");
        if (s_.addFails) throw Exception("Add failed");
    }
    void SetCellValue(int row, int column, const std::string& text) override {
        ++s_.cellCalls;
        s_.calls.push_back("cell " + std::to_string(row) + "," + std::to_string(column));
        if (s_.failAtCell && s_.cellCalls == *s_.failAtCell) {
            throw Exception("Call was rejected by callee");
        }
        s_.cells[{row, column}] = text;
    }
    void SetCellFontSize(int row, int column, int size) override {
        s_.calls.push_back("font " + std::to_string(row) + "," + std::to_string(column));
        s_.fontSizes[{row, column}] = size;
    }
    void Release() override {
        s_.calls.push_back("release");
        ++s_.releases;
    }

private:
    Shared& s_;
};

// The file export's dialog, file system and operator, scripted.
class FakeFileExportPlatform : public IFileExportPlatform {
public:
    std::optional<TArchiveFileChoice> ChooseFile(const std::string& name) override {
        proposed.push_back(name);
        if (choices.empty()) return std::nullopt;
        auto choice = choices.front();
        choices.erase(choices.begin());
        return choice;
    }
    std::optional<std::string> Write(const TArchiveFileChoice& choice,
                                     const TArchiveSheet& sheet) override {
        writes.push_back(choice.path);
        if (!failures.empty()) {
            auto reason = failures.front();
            failures.erase(failures.begin());
            return reason;
        }
        written = sheet;
        return std::nullopt;
    }
    bool AskForAnotherName(const std::string& path, const std::string& reason) override {
        asked.push_back(path + " | " + reason);
        return anotherName;
    }

    std::vector<std::optional<TArchiveFileChoice>> choices;
    std::vector<std::string> failures;  // reasons of the next writes that fail
    bool anotherName = true;
    std::vector<std::string> proposed, writes, asked;
    std::optional<TArchiveSheet> written;
};

// The window's choices, as TFace gathers them as an action starts.
inline TFaceChoices WindowChoices(const FakeFaceView& view) {
    return {view.portText, view.speedText, view.printOnDevice};
}

// The line those choices give an action: a speed box naming no known speed shows the default
// first.
inline TLineSettings WindowLine(FakeFaceView& view) {
    return LineOfChoices(WindowChoices(view), view);
}

// The journal, in memory: identity by the 14 data bytes, as the real one.
class FakeJournal : public IRecordJournal {
public:
    struct TKept {
        MeasurementRecord record;
        TRecordSource source;
    };
    void Keep(const MeasurementRecord& record, TRecordSource source) override {
        if (batchOpen) {
            batch.push_back({record, source});
            return;
        }
        Add({record, source});
    }
    void BeginBatch() override {
        batchOpen = true;
        batch.clear();
    }
    TBatchResult EndBatch() override {
        batchOpen = false;
        TBatchResult result;
        if (unwritable) {
            // As the journal does: the new ones are held and counted, none that it has.
            for (const TKept& kept : batch) result.added += Holds(kept) ? 0 : 1;
            result.held = result.added > 0;
            return result;
        }
        for (const TKept& kept : batch) result.added += Add(kept) ? 1 : 0;
        result.alerts = batchAlerts;
        ++batchesWritten;
        batch.clear();
        return result;
    }
    void DiscardBatch() override {
        batchOpen = false;
        batch.clear();
    }
    void NoteClock(const MeasurementRecord& record) override { clockNotes.push_back(record); }
    std::optional<DateTime> NewestTimeOf(int device) override {
        std::optional<DateTime> newest;
        for (const TKept& kept : rows) {
            if (kept.record.deviceNumber != device || !kept.record.TimeIsValid()) continue;
            if (!newest || ToMilliseconds(kept.record.time) > ToMilliseconds(*newest))
                newest = kept.record.time;
        }
        return newest;
    }
    bool Holds(const TKept& kept) const {
        for (const TKept& row : rows)
            if (row.record.raw == kept.record.raw) return true;
        return false;
    }
    bool Add(const TKept& kept) {
        if (Holds(kept)) return false;
        rows.push_back(kept);
        return true;
    }

    std::vector<TKept> rows;
    std::vector<TKept> batch;
    std::vector<MeasurementRecord> clockNotes;
    bool batchOpen = false;
    bool unwritable = false;
    int batchesWritten = 0;
    std::size_t batchAlerts = 0;  // the alerts a written batch says it raised
};

// The main window's side of the actions, as TFace does it: each action runs the window's
// command (the device operations) with the window's choices as it starts.
class FakeFace {
public:
    FakeFace(FakeFaceView& view, TDeviceOperations& ops) : view_(view), ops_(ops) {}

    // Like the window's, the meter actions do nothing while they are switched off.
    void PrintExecute() {
        if (view_.meterActionsEnabled) Commands().PrintExecute(WindowChoices(view_));
    }
    void ClearExecute() {
        if (view_.meterActionsEnabled) Commands().ClearExecute(WindowChoices(view_));
    }
    void ReadArcNExecute() {
        if (view_.meterActionsEnabled)
            Commands().ReadArcNExecute(WindowChoices(view_), view_.archiveNumber);
    }
    void ReadToExcelExecute() {
        if (view_.meterActionsEnabled) Commands().ReadToExcelExecute(WindowChoices(view_));
    }
    void SaveArchiveToFileExecute() {
        if (view_.meterActionsEnabled) Commands().SaveToFileExecute(WindowChoices(view_));
    }
    void HarvestExecute() {
        if (view_.meterActionsEnabled) Commands().HarvestExecute(WindowChoices(view_));
    }
    bool TimerTimer() {
        return Commands().TimerTimer({view_.readToFile, view_.autoTime}, WindowChoices(view_));
    }

    const FaceState& State() const { return ops_.state; }
    const TLogFile& LogFile() const { return ops_.log; }

private:
    // The window sees the operations only as its commands.
    IFaceCommands& Commands() { return ops_; }

    FakeFaceView& view_;
    TDeviceOperations& ops_;
};

// The operations wired to all the fakes, with Russian regional formats and a meter that
// answers every command correctly (tests replace `link.answer` to change that).
struct OpsRig {
    static constexpr char kProgramDir[] = "C:\\Virel\\";
    static constexpr char kLogPath[] = "C:\\Virel\\VIREL1_Service.txt";

    OpsRig() {
        link.answer = [](const std::string& command) { return DefaultAnswer(command); };
        device = std::make_unique<TDeviceOperations>(
            view, link, clock, keys, portLock, files, kLogPath,
            [this] { return std::make_unique<FakeSpreadsheet>(sheet); }, fileExport, journal,
            formats);
        ops = std::make_unique<FakeFace>(view, *device);
    }

    // FPR/RPR: record 1 (device 42, measurement 7, 05.03.2007 14:35, dose 258.45); RES: 3 bytes;
    // RD n: device 42, measurement n + 1000, 01.02.2010 hh:mm from n, dose n.5.
    static std::string DefaultAnswer(const std::string& command) {
        if (command == commands::kFpr || command == commands::kRpr) {
            return Bytes(Record({0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00, 0x01,
                                 0x02, 0x2D, 0x00}));
        }
        if (command == commands::kRes) return std::string("\x03OK", 3);
        if (command.size() == 4 && command.compare(0, 3, "\x04RD") == 0) {
            return Bytes(RecordForNumber(static_cast<std::uint8_t>(command[3])));
        }
        return {};
    }

    static std::vector<std::uint8_t> RecordForNumber(std::uint8_t n) {
        const unsigned measure = 1000u + n;
        const auto bcd = [](unsigned v) {
            return static_cast<std::uint8_t>((v / 10) << 4 | v % 10);
        };
        return Record({0x00, 0x2A, static_cast<std::uint8_t>(measure >> 8),
                       static_cast<std::uint8_t>(measure & 0xFF), bcd(n % 60), bcd(n % 24), 0x01,
                       0x02, 0x10, 0x00, 0x00, n, 0x05, 0x00});
    }

    FakeFaceView view;
    FakeClock clock;
    FakeLink link{clock};
    FakeKeys keys;
    FakePortLock portLock;
    FakeLogFiles files;
    FakeSpreadsheet::Shared sheet;
    FakeFileExportPlatform fileExport;
    FakeJournal journal;
    RegionalFormats formats;  // dd.MM.yyyy and H:mm:ss
    std::unique_ptr<TDeviceOperations> device;
    std::unique_ptr<FakeFace> ops;
};

}  // namespace virel::fakes
