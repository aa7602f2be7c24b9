// Costs of the device operations on a real port against the simulated meter, each run through
// the busy read loop that ReadData replaced (BenchSupport.h) and through ReadData itself: one
// end of measurement, a silent meter's failure, a port that cannot be opened (an unplugged USB
// adapter), the whole archive into an xlsx file, and (with the spreadsheet server registered)
// the whole archive export. Not a test: it prints figures. bench/device-bench.sh runs it.
//
//   DeviceBench print    <com number> <speed index 0|1> <count>
//   DeviceBench silent   <com number> <speed index 0|1>
//   DeviceBench noport   <com number> <speed index 0|1>   (the window names COM40 instead)
//   DeviceBench file     <com number> <speed index 0|1> <output .xlsx path>
//   DeviceBench export   <com number> <speed index 0|1>
//   DeviceBench harvest  <com number> <speed index 0|1> <rounds> <folder>
//       the file export and the harvest without a window (into a new journal in <folder>
//       each round), taking turns, through ReadData
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/platform/CommPortLink.h"
#include "app/platform/FileExportPlatform.h"
#include "app/platform/PlatformClock.h"
#include "app/platform/PlatformKeyState.h"
#include "app/platform/PlatformLogFile.h"
#include "app/platform/PortLock.h"
#include "automation/ExcelApp.h"
#include "bench/BenchSupport.h"
#include "core/Utf16.h"
#include "core/meter/DeviceOperations.h"
#include "core/meter/HarvestCommand.h"
#include "forms/JournalSettings.h"
#include "journal/Journal.h"
#include "journal/JournalSink.h"
#include "serial/CPDrv.h"

namespace {

using namespace virel;
using namespace virel::bench;

// The main window reduced to its texts: no windows, no message loop to run.
class TBenchView final : public IFaceView {
public:
    std::string status, archiveNumber = "0";
    RecordTexts shown;
    void SetStatusText(const std::string& text) override { status = text; }
    void SetSpeedText(const std::string&) override {}
    void ShowRecord(const RecordTexts& texts) override { shown = texts; }
    std::string ArchiveNumberText() const override { return archiveNumber; }
    void SetArchiveNumberText(const std::string& text) override { archiveNumber = text; }
    void SetMeterActionsEnabled(bool) override {}
    void GaugeSetProgress(int) override {}
    void GaugeSetMaxValue(int) override {}
    void ShowProgress() override {}
    void CloseProgress() override {}
    void ProcessMessages() override {}
    void BringToForeground() override {}
    void ReportError(const std::string& message) override {
        std::fprintf(stderr, "error: %s\n", message.c_str());
    }
};

// The program's link with its reads done by the busy loop, as before ReadData waited (and so
// without the pause on a closed port either).
class TBusyLink final : public IDeviceLink {
public:
    TBusyLink(app::TCommPortLink& link, TCPDrv& port, ISerialBackend& device)
        : link_(link), port_(port), device_(device) {}
    bool Open(const TLineSettings& line) override { return link_.Open(line); }
    void Close() override { link_.Close(); }
    bool SendString(const std::string& bytes) override { return link_.SendString(bytes); }
    std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) override {
        return BusyReadData(port_, device_, buffer, count);
    }
    std::uint32_t ReadDataIdle(std::uint8_t* buffer, std::uint32_t count,
                               std::uint32_t idleMs) override {
        return BusyReadData(port_, device_, buffer, count, idleMs);
    }
    std::uint32_t LineSpeed() const override { return link_.LineSpeed(); }

private:
    app::TCommPortLink& link_;
    TCPDrv& port_;
    ISerialBackend& device_;
};

// Time spent reading replies.
class TTimedLink final : public IDeviceLink {
public:
    explicit TTimedLink(IDeviceLink& real) : real_(real) {}
    double readMs = 0;
    double guardMs = 0;  // the part of readMs spent in reads with a short idle time
    bool Open(const TLineSettings& line) override { return real_.Open(line); }
    void Close() override { real_.Close(); }
    bool SendString(const std::string& bytes) override { return real_.SendString(bytes); }
    std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) override {
        const double start = NowMs();
        const std::uint32_t got = real_.ReadData(buffer, count);
        readMs += NowMs() - start;
        return got;
    }
    std::uint32_t ReadDataIdle(std::uint8_t* buffer, std::uint32_t count,
                               std::uint32_t idleMs) override {
        const double start = NowMs();
        const std::uint32_t got = real_.ReadDataIdle(buffer, count, idleMs);
        readMs += NowMs() - start;
        guardMs += NowMs() - start;
        return got;
    }
    std::uint32_t LineSpeed() const override { return real_.LineSpeed(); }

private:
    IDeviceLink& real_;
};

// The file export's dialog answered with a fixed file; the file written as the program does.
class TBenchFiles final : public IFileExportPlatform {
public:
    explicit TBenchFiles(std::string path) : path_(std::move(path)) {}
    double writeMs = 0;
    std::optional<TArchiveFileChoice> ChooseFile(const std::string&) override {
        return ArchiveFileChoiceFor(path_, TArchiveFileType::Xlsx);
    }
    std::optional<std::string> Write(const TArchiveFileChoice& choice,
                                     const TArchiveSheet& sheet) override {
        const double start = NowMs();
        auto failure =
            app::WriteArchiveFile(Widen(choice.path), choice.type, sheet, RegionalFormats{});
        writeMs += NowMs() - start;
        return failure;
    }
    bool AskForAnotherName(const std::string&, const std::string& reason) override {
        std::fprintf(stderr, "not written: %s\n", reason.c_str());
        return false;
    }

private:
    std::string path_;
};

struct TRun {
    int ok = 0, runs = 0;
    double wallMs = 0, cpuMs = 0, readMs = 0;
    std::string status;
};

// The harvest as /harvest runs it (a view that shows nothing, the journal in a file) against
// the file export, round by round, on the same port; each harvest into a new journal, so that
// all 256 records are new and written each time.
int HarvestBench(int com, int baud, int rounds, const std::string& folder) {
    TCPDrv port(nullptr, CreateSerialBackend());
    app::ApplyCommPortDesign(port);
    app::TCommPortLink link(port);
    app::TPlatformClock clock;
    app::TPlatformKeyState keys;
    app::TNamedPortLock portLock;
    app::TPlatformLogFileSystem logFiles;
    const RegionalFormats formats;
    const TLineSettings line{TLinePort("COM" + std::to_string(com)),
                             static_cast<std::uint32_t>(baud)};

    TBenchView view;
    TBenchFiles files(folder + "\\bench-harvest.xlsx");
    TNoJournal none;
    TDeviceOperations exportOps(
        view, link, clock, keys, portLock, logFiles, ".\\VIREL1_Service.txt",
        [] { return std::unique_ptr<ISpreadsheet>(); }, files, none, formats);

    const std::string journalPath = folder + "\\bench-harvest.db";
    THeadlessView quiet;
    TNoEscape noEscape;
    TExchange exchange(link, clock, noEscape, portLock);
    TRun fileRun, harvestRun;
    std::string harvestSummary;
    for (int i = 0; i < rounds; ++i) {
        double cpu0 = ProcessCpuMs(), wall0 = NowMs();
        exportOps.fileExport.SaveToFileExecute({line, false});
        fileRun.wallMs += NowMs() - wall0;
        fileRun.cpuMs += ProcessCpuMs() - cpu0;
        fileRun.status = view.status;

        for (const char* suffix : {"", "-wal", "-shm"})
            DeleteFileW(Widen(journalPath + suffix).c_str());
        cpu0 = ProcessCpuMs();
        wall0 = NowMs();
        {
            // As RunHarvestCommand puts it together: the journal opened, then the reading.
            TJournal journal(journalPath, clock);
            static_cast<void>(journal.Open());
            TNoQueueWaker noPusher;
            TNoAlertWaker noNotice;
            TJournalSink sink(journal, clock, noPusher, noNotice, kDefaultRecordAlertLevel);
            FaceState state;
            TMeterActions actions(quiet, exchange, formats, state, sink);
            TJournalHarvest harvest(quiet, actions, exchange, state, sink, formats);
            harvest.GiveUpOnSilentMeter(true);
            harvestSummary = HarvestSummary(harvest.Harvest(line), line.port.Text());
        }
        harvestRun.wallMs += NowMs() - wall0;
        harvestRun.cpuMs += ProcessCpuMs() - cpu0;
    }
    std::printf("harvest against the file export at %d baud, %d round(s), mean per round:\n", baud,
                rounds);
    std::printf("  file export: %.2f s wall, %.2f s processor; status \"%s\"\n",
                fileRun.wallMs / rounds / 1000, fileRun.cpuMs / rounds / 1000,
                fileRun.status.c_str());
    std::printf("  harvest:     %.2f s wall, %.2f s processor; \"%s\"\n",
                harvestRun.wallMs / rounds / 1000, harvestRun.cpuMs / rounds / 1000,
                harvestSummary.c_str());
    std::printf("  harvest / file export: %.3f\n", harvestRun.wallMs / fileRun.wallMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: DeviceBench print|silent|noport|file|export <com>"
                     " <speed 0|1> [count | xlsx path]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int com = std::atoi(argv[2]);
    const int speedIndex = std::atoi(argv[3]);
    const int count = mode != "file" && argc > 4 ? std::atoi(argv[4]) : 20;
    const int baud = speedIndex == 0 ? 4800 : 9600;
    if (mode == "harvest") return HarvestBench(com, baud, count, argc > 5 ? argv[5] : ".");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    TBenchView view;
    // A port that no device stands behind, for the case of an unplugged adapter.
    const TPrintSettings settings{
        {TLinePort(mode == "noport" ? "COM40" : "COM" + std::to_string(com)),
         static_cast<std::uint32_t>(baud)},
        false};
    auto pass = std::make_unique<TPassBackend>(CreateSerialBackend());
    TPassBackend& device = *pass;
    TCPDrv port(nullptr, std::move(pass));
    app::ApplyCommPortDesign(port);
    app::TCommPortLink waitLink(port);
    TBusyLink busyLink(waitLink, port, device);
    TTimedLink timed[2] = {TTimedLink(busyLink), TTimedLink(waitLink)};
    app::TPlatformClock clock;
    app::TPlatformKeyState keys;
    app::TNamedPortLock portLock;
    app::TPlatformLogFileSystem logFiles;
    // The file export writes one file per loop: <path without .xlsx>-busy.xlsx and -wait.xlsx.
    std::string base = mode == "file" && argc > 4 ? argv[4] : "bench-archive.xlsx";
    if (base.size() > 5 && base.compare(base.size() - 5, 5, ".xlsx") == 0)
        base.resize(base.size() - 5);
    TBenchFiles files[2] = {TBenchFiles(base + "-busy.xlsx"), TBenchFiles(base + "-wait.xlsx")};
    const RegionalFormats formats;
    TNoJournal journal;
    auto makeOps = [&](IDeviceLink& link, IFileExportPlatform& platform) {
        return std::make_unique<TDeviceOperations>(
            view, link, clock, keys, portLock, logFiles, ".\\VIREL1_Service.txt",
            [] { return std::make_unique<TExcelApp>(); }, platform, journal, formats);
    };
    std::unique_ptr<TDeviceOperations> ops[2] = {makeOps(timed[0], files[0]),
                                                 makeOps(timed[1], files[1])};

    // The two loops take turns, run by run, so that both see the same machine.
    TRun run[2];
    const int runs = mode == "print" ? count : 1;
    for (int i = 0; i < runs; ++i) {
        for (int loop = 0; loop < 2; ++loop) {
            const double cpu0 = ProcessCpuMs(), wall0 = NowMs();
            if (mode == "export") {
                ops[loop]->sheetExport.ReadToExcelExecute(settings);
            } else if (mode == "file") {
                ops[loop]->fileExport.SaveToFileExecute(settings);
            } else {
                ops[loop]->actions.PrintExecute(settings);
            }
            run[loop].wallMs += NowMs() - wall0;
            run[loop].cpuMs += ProcessCpuMs() - cpu0;
            run[loop].ok += ops[loop]->state.LastReadOk ? 1 : 0;
            ++run[loop].runs;
            run[loop].status = view.status;
        }
    }
    for (int loop = 0; loop < 2; ++loop) run[loop].readMs = timed[loop].readMs;

    const char* names[2] = {"busy", "wait"};
    if (mode == "file") {
        // As for the spreadsheet: 256 records and the end of measurement, 19 bytes each.
        const double lineMs = 257.0 * 19 * 10 * 1000 / baud;
        std::printf("file export at %d baud (line-rate limit %.2f s):\n", baud, lineMs / 1000);
        for (int loop = 0; loop < 2; ++loop) {
            const TRun& r = run[loop];
            std::printf(
                "  %s: %.1f s wall (%.2f x the limit), %.1f s processor; %.1f s in reads (%.1f s"
                " of them in the guards after the replies); %.0f ms writing the xlsx; status"
                " \"%s\"\n",
                names[loop], r.wallMs / 1000, r.wallMs / lineMs, r.cpuMs / 1000, r.readMs / 1000,
                timed[loop].guardMs / 1000, files[loop].writeMs, r.status.c_str());
        }
    } else if (mode == "export") {
        // 256 records plus the end of measurement, 19 bytes each way at 10 bits per byte.
        const double lineMs = 257.0 * 19 * 10 * 1000 / baud;
        std::printf("export at %d baud (line-rate limit %.2f s):\n", baud, lineMs / 1000);
        for (int loop = 0; loop < 2; ++loop) {
            const TRun& r = run[loop];
            std::printf(
                "  %s: %.1f s wall, %.1f s processor (%.0f %% of one core); %.1f s in"
                " reads; status \"%s\"\n",
                names[loop], r.wallMs / 1000, r.cpuMs / 1000, 100 * r.cpuMs / r.wallMs,
                r.readMs / 1000, r.status.c_str());
        }
    } else {
        std::printf("%s at %d baud, %d run(s) per loop:\n", mode.c_str(), baud, runs);
        for (int loop = 0; loop < 2; ++loop) {
            const TRun& r = run[loop];
            std::printf(
                "  %s: %d of %d read; %.0f ms wall and %.1f ms processor per exchange"
                " (%.1f %% of one core); %.0f ms of it in reads\n",
                names[loop], r.ok, r.runs, r.wallMs / r.runs, r.cpuMs / r.runs,
                100 * r.cpuMs / r.wallMs, r.readMs / r.runs);
        }
    }
    CoUninitialize();
    return 0;
}
