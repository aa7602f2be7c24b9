// Costs of the device operations on a real port against the simulated meter: one end of
// measurement, a silent meter's failure, and (with the spreadsheet server registered) the
// whole archive export. Not a test: it prints figures. bench/device-bench.sh runs it.
//
//   DeviceBench print  <com number> <speed index 0|1> <count>
//   DeviceBench silent <com number> <speed index 0|1>
//   DeviceBench export <com number> <speed index 0|1>
//   DeviceBench file   <com number> <speed index 0|1> <output .xlsx path>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "app/ArchiveFiles.h"
#include "app/CommPortLink.h"
#include "app/PlatformClock.h"
#include "app/PlatformLogFile.h"
#include "automation/ExcelApp.h"
#include "core/DeviceOperations.h"
#include "core/Utf16.h"
#include "serial/CPDrv.h"

namespace {

using namespace virel;

double NowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

double CpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

// The main window reduced to its texts: no windows, no message loop to run.
class TBenchView final : public IFaceView {
public:
    std::string port = "COM1", speed = "4800";
    std::string status, archiveNumber = "0";
    std::map<Field, std::string> fields;
    void SetStatusText(const std::string& text) override { status = text; }
    std::string StatusText() const override { return status; }
    void SetFieldText(Field f, const std::string& text) override { fields[f] = text; }
    std::string FieldText(Field f) const override {
        auto it = fields.find(f);
        return it == fields.end() ? std::string() : it->second;
    }
    bool PrintOnDevice() const override { return false; }
    bool ReadToFile() const override { return false; }
    std::string ArchiveNumberText() const override { return archiveNumber; }
    void SetArchiveNumberText(const std::string& text) override { archiveNumber = text; }
    std::int64_t AutoTimeValue() const override { return 60; }
    std::string SpeedText() const override { return speed; }
    std::string PortText() const override { return port; }
    void SetSpeedText(const std::string& text) override { speed = text; }
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

// Time spent reading replies.
class TTimedLink final : public IDeviceLink {
public:
    explicit TTimedLink(IDeviceLink& real) : real_(real) {}
    double readMs = 0;
    unsigned long long bytesRead = 0;
    bool Open(std::uint32_t speed, int port) override { return real_.Open(speed, port); }
    void Close() override { real_.Close(); }
    bool SendString(const std::string& bytes) override { return real_.SendString(bytes); }
    std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) override {
        const double start = NowMs();
        const std::uint32_t got = real_.ReadData(buffer, count);
        readMs += NowMs() - start;
        bytesRead += got;
        return got;
    }
    std::uint32_t ReadDataIdle(std::uint8_t* buffer, std::uint32_t count,
                               std::uint32_t idleMs) override {
        const double start = NowMs();
        const std::uint32_t got = real_.ReadDataIdle(buffer, count, idleMs);
        readMs += NowMs() - start;
        bytesRead += got;
        return got;
    }
    std::uint32_t LineSpeed() const override { return real_.LineSpeed(); }

private:
    IDeviceLink& real_;
};

// The file export's dialog answered with a fixed file; the file written as the program does.
class TBenchFiles final : public IArchiveFiles {
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: DeviceBench print|silent|export <com> <speed 0|1> [count]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int com = std::atoi(argv[2]);
    const int speedIndex = std::atoi(argv[3]);
    const int count = mode != "file" && argc > 4 ? std::atoi(argv[4]) : 20;
    const int baud = speedIndex == 0 ? 4800 : 9600;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    TBenchView view;
    view.port = "COM" + std::to_string(com);
    view.speed = std::to_string(baud);
    TCPDrv port(nullptr);
    ApplyCommPortDesign(port);
    app::TCommPortLink realLink(port);
    TTimedLink link(realLink);
    app::TPlatformClock clock;
    app::TPlatformKeyState keys;
    app::TPlatformLogFileSystem logFiles;
    TDeviceOperations ops(
        view, link, clock, keys, logFiles, [] { return std::make_unique<TExcelApp>(); },
        RegionalFormats{}, ".\\");

    TBenchFiles files(argc > 4 ? argv[4] : "bench-archive.xlsx");
    ops.SetArchiveFiles(&files);
    const int runs = mode == "print" ? count : 1;
    int ok = 0;
    const double cpu0 = CpuMs(), wall0 = NowMs();
    for (int i = 0; i < runs; ++i) {
        if (mode == "export")
            ops.ReadToExcelExecute();
        else if (mode == "file")
            ops.SaveArchiveToFileExecute();
        else
            ops.PrintExecute();
        ok += ops.State().LastReadOk ? 1 : 0;
    }
    const double wall = NowMs() - wall0, cpu = CpuMs() - cpu0;

    if (mode == "file") {
        // As for the spreadsheet: 256 records and the end of measurement, 19 bytes each.
        const double lineMs = 257.0 * 19 * 10 * 1000 / baud;
        std::printf(
            "file export at %d baud: %.1f s wall (%.2f x the line-rate limit %.2f s),"
            " %.1f s processor; %.1f s in reads; %.0f ms writing the xlsx;"
            " status \"%s\"\n",
            baud, wall / 1000, wall / lineMs, lineMs / 1000, cpu / 1000, link.readMs / 1000,
            files.writeMs, view.status.c_str());
    } else if (mode == "export") {
        // 256 records plus the end of measurement, 19 bytes each way at 10 bits per byte.
        const double lineMs = 257.0 * 19 * 10 * 1000 / baud;
        std::printf(
            "export at %d baud: %.1f s wall, %.1f s processor; %.1f s in reads (%.0f%%);"
            " line-rate limit %.2f s; status \"%s\"\n",
            baud, wall / 1000, cpu / 1000, link.readMs / 1000, 100 * link.readMs / wall,
            lineMs / 1000, view.status.c_str());
    } else {
        std::printf(
            "%s at %d baud: %d of %d read; %.0f ms wall and %.0f ms processor per"
            " exchange; %.0f ms of it in reads; line-rate limit %.1f ms\n",
            mode.c_str(), baud, ok, runs, wall / runs, cpu / runs, link.readMs / runs,
            19.0 * 10 * 1000 / baud);
    }
    CoUninitialize();
    return 0;
}
