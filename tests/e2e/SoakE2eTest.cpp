// The periodic print left running: the real program ends the measurement every 5 s against the
// simulated meter for VIREL_SOAK_MINUTES minutes (2 by default; scripts/soak.sh runs 60). Every
// record the meter sent is in the log file once and in order, and what the program holds
// (private memory, handles, GDI and USER objects, sampled every minute) stays flat. The figures
// are printed as "soak:" lines.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "ProcessFigures.h"
#include "tests/support/RunningExe.h"
#include "tests/support/StoredSettings.h"

#ifndef VIREL_PROGRAM_PATH
#error "build with the path of VIREL1_Service.exe"
#endif

namespace virel::e2e {
namespace {

// The copy runs from a directory of its own (its log file lands there) and keeps its settings
// under a key of its own, so it disturbs no other test of the program.
const wchar_t kCopyName[] = L"VIREL1_Soak.exe";
const wchar_t kCopyKey[] = L"Software\\VIREL1_Soak";

int Minutes() {
    const char* text = std::getenv("VIREL_SOAK_MINUTES");
    const int minutes = text ? std::atoi(text) : 0;
    return minutes > 0 ? minutes : 2;
}

void Store(const wchar_t* name, const wchar_t* value) {
    StoreText(std::wstring(kCopyKey) + L"\\TFace", name, value);
}

std::vector<std::string> Lines(const std::string& bytes, bool& allEnded) {
    std::vector<std::string> lines;
    allEnded = true;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            allEnded = false;
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

int Bcd(std::uint8_t b) {
    return (b >> 4) * 10 + (b & 0x0F);
}

// The log line a record must give, up to the time format's leading zero of the hour.
struct TExpectedLine {
    std::string date, dev, measure, dose;
    int hour = 0, minute = 0;
};

TExpectedLine FromRecord(const std::vector<std::uint8_t>& r) {
    TExpectedLine e;
    char date[16];
    std::snprintf(date, sizeof date, "%02d.%02d.%04d", Bcd(r[6]), Bcd(r[7]), 2000 + Bcd(r[8]));
    e.date = date;
    e.dev = std::to_string(r[0] * 256 + r[1]);
    e.measure = std::to_string(r[2] * 256 + r[3]);
    e.dose = std::to_string(r[10] * 256 + r[11]) + "." + std::to_string(r[12]);
    e.hour = Bcd(r[5]);
    e.minute = Bcd(r[4]);
    return e;
}

void Print(const std::string& minute, const TProcessFigures& f, std::size_t lines) {
    std::printf("soak: %6s %12llu %8u %6u %6u %7zu\n", minute.c_str(),
                static_cast<unsigned long long>(f.privateBytes / 1024), f.handles, f.gdiObjects,
                f.userObjects, lines);
    std::fflush(stdout);
}

TEST(Soak, PeriodicPrintEveryFiveSecondsLogsEveryRecordOnceAndStaysFlat) {
    const int minutes = Minutes();
    const std::size_t expected = static_cast<std::size_t>(minutes) * 12;

    // The program's own directory and settings: COM1 (the meter), 9600 baud, interval 5.
    const std::wstring dir =
        Widen(VIREL_E2E_WORK) + L"\\soak-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(Widen(VIREL_E2E_WORK).c_str(), nullptr);
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring copy = dir + L"\\" + kCopyName;
    ASSERT_TRUE(CopyFileW(L"" VIREL_PROGRAM_PATH, copy.c_str(), FALSE));
    const std::wstring logPath = dir + L"\\VIREL1_Service.txt";
    DeleteFileW(logPath.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kCopyKey);
    Store(L"CB_ComPort_Text", L"COM1");
    Store(L"CB_Spead_ItemIndex", L"1");
    Store(L"RxSpE_AutoTime_Value", L"5");
    Store(L"CB_PrintOnDevice_Checked", L"False");

    TMeter meter;
    TRunningExe exe(copy);
    ASSERT_NE(exe.Face(), nullptr) << "no main window";
    ASSERT_EQ(WindowText(exe.Control(kIdAutoTime)), L"5");
    // The operator ticks the periodic print (it is never stored).
    SendMessageW(exe.Control(kIdReadToFile), BM_CLICK, 0, 0);
    ASSERT_EQ(SendMessageW(exe.Control(kIdReadToFile), BM_GETCHECK, 0, 0), BST_CHECKED);

    std::printf("soak: %d minutes, %zu prints expected\n", minutes, expected);
    std::printf("soak: minute   private KB  handles    GDI   USER   lines\n");
    std::vector<TProcessFigures> samples{MeasureProcess(exe.Process(), exe.ProcessId())};
    Print("0", samples.back(), 0);
    const ULONGLONG start = GetTickCount64();
    // Ticks delayed on a loaded machine make the prints come a little later: 10% to spare.
    const ULONGLONG deadline =
        start + static_cast<ULONGLONG>(minutes) * 60000 + std::max(60000, minutes * 6000);
    ULONGLONG nextSample = start + 60000;
    bool ended = true;
    std::size_t lines = 0;
    while (lines < expected && GetTickCount64() < deadline && exe.Running()) {
        Sleep(250);
        lines = Lines(ReadFileBytes(logPath), ended).size();
        if (lines == 0 && GetTickCount64() - start > 30000) break;  // not printing at all
        if (GetTickCount64() >= nextSample) {
            samples.push_back(MeasureProcess(exe.Process(), exe.ProcessId()));
            Print(std::to_string(samples.size() - 1), samples.back(), lines);
            nextSample += 60000;
        }
    }
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    const TProcessFigures last = MeasureProcess(exe.Process(), exe.ProcessId());
    ASSERT_TRUE(exe.Running()) << "the program ended by itself";
    EXPECT_TRUE(exe.Close());

    // Every record the meter sent is one line, in the order sent; nothing more, nothing less.
    const std::vector<std::string> log = Lines(ReadFileBytes(logPath), ended);
    EXPECT_TRUE(ended) << "the last line has no line end";
    EXPECT_EQ(log.size(), expected);
    std::vector<std::vector<std::uint8_t>> records;
    for (const TLineEvent& e : meter.Events()) {
        if (e.direction == "TX" && e.bytes.size() == 15) records.push_back(e.bytes);
    }
    const int fprs = meter.CountReceived(Bytes({0x01, 0x46, 0x50, 0x52}));
    EXPECT_EQ(fprs, static_cast<int>(expected));
    EXPECT_EQ(records.size(), log.size());
    for (std::size_t i = 0; i < std::min(records.size(), log.size()); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1) + ": " + log[i]);
        const TExpectedLine want = FromRecord(records[i]);
        const std::vector<std::string> w = Words(log[i]);
        ASSERT_GE(w.size(), 4u);
        EXPECT_EQ(w[0], want.date);
        EXPECT_EQ(w[w.size() - 3], want.dev);
        EXPECT_EQ(w[w.size() - 2], want.measure);
        EXPECT_EQ(w[w.size() - 1], want.dose);
        if (w.size() == 5) {
            int hour = -1, minute = -1;
            std::sscanf(w[1].c_str(), "%d:%d", &hour, &minute);
            EXPECT_EQ(hour, want.hour);
            EXPECT_EQ(minute, want.minute);
        }
        // The meter counts its measurements: one more each time (from 1 again at midnight).
        if (i > 0) {
            const std::string previous = Words(log[i - 1])[Words(log[i - 1]).size() - 2];
            EXPECT_TRUE(want.measure == std::to_string(std::stoi(previous) + 1) ||
                        want.measure == "1");
        }
    }

    // Flat: after the first minute's warm-up, nothing grows.
    const TProcessFigures base = samples.size() > 1 ? samples[1] : samples[0];
    samples.push_back(last);
    Print("end", last, log.size());
    std::uint64_t privatePeak = 0;
    std::uint32_t handlePeak = 0, gdiPeak = 0, userPeak = 0;
    for (std::size_t i = samples.size() > 2 ? 1 : 0; i < samples.size(); ++i) {
        privatePeak = std::max(privatePeak, samples[i].privateBytes);
        handlePeak = std::max(handlePeak, samples[i].handles);
        gdiPeak = std::max(gdiPeak, samples[i].gdiObjects);
        userPeak = std::max(userPeak, samples[i].userObjects);
    }
    std::printf(
        "soak: %zu prints in %.0f s; after the first minute private +%lld KB, handles "
        "+%d, GDI +%d, USER +%d (peaks over the first-minute sample)\n",
        log.size(), seconds, static_cast<long long>(privatePeak - base.privateBytes) / 1024,
        static_cast<int>(handlePeak - base.handles), static_cast<int>(gdiPeak - base.gdiObjects),
        static_cast<int>(userPeak - base.userObjects));
    EXPECT_GT(base.privateBytes, 0u);
    EXPECT_GT(base.gdiObjects, 0u);
    EXPECT_GT(base.userObjects, 0u);
    EXPECT_LE(privatePeak - base.privateBytes, 1024u * 1024u);
    EXPECT_LE(handlePeak - base.handles, 4u);
    EXPECT_LE(gdiPeak - base.gdiObjects, 2u);
    EXPECT_LE(userPeak - base.userObjects, 0u);

    RegDeleteTreeW(HKEY_CURRENT_USER, kCopyKey);
}

}  // namespace
}  // namespace virel::e2e
