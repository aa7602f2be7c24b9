// The notice "Высокая доза" against the simulated meter: a record above the journal's level for
// every record, taken by "Завершение измерения", shows the notice at once while the main window
// keeps the foreground and its buttons work; "Принято" with a note is kept in the journal.
#include <gtest/gtest.h>

#include "E2eSupport.h"
#include "app/platform/PlatformClock.h"
#include "journal/Alerts.h"
#include "storage/ProgramSettings.h"
#include "storage/RegSettingsStore.h"

namespace virel::e2e {
namespace {

const char kReadOk[] = "Считывание текущих значений произведено успешно";

// Before the program starts: no stored settings but the journal's level for every record (in
// whole mGy·cm²).
struct TLowRecordLevel {
    explicit TLowRecordLevel(std::int32_t milli) {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring name = path;
        name = name.substr(name.find_last_of(L"\\/") + 1);
        name = name.substr(0, name.find_last_of(L'.'));
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + name).c_str());
        EXPECT_TRUE(ProgramSettings().Write(kStoredRecordAlertLevel, milli));
    }
};

std::string TextOf(HWND control) {
    // The notice's controls are its thread's: WM_GETTEXT is sent there and answered by its loop.
    wchar_t text[1024] = L"";
    SendMessageW(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    return Narrow(text);
}

template <std::int32_t kLevelMilli>
class AlertNoticeAt : public ::testing::Test {
protected:
    // The main window's thread pumps while the notice's thread works; true once `done` holds.
    template <class TDone>
    bool PumpUntil(TDone done, DWORD milliseconds) {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        while (!done()) {
            if (GetTickCount64() >= end) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            program.Pump();
        }
        return true;
    }

    TMeter meter;
    TLowRecordLevel level{kLevelMilli};
    TRunningProgram program{false};
    app::TFace& face = program.Face();
};
// 1 mGy·cm²: every dose the meter sends is above it.
using AlertNotice = AlertNoticeAt<1>;
// 1979 Gy·cm²: three records of the test archive are above it (1991.82, 1984.54 and 1980.83
// Gy·cm²; the next is 1977.77).
using AlertHarvest = AlertNoticeAt<1'979'000>;

TEST_F(AlertNotice, ARecordAboveTheLevelShowsTheNoticeWithoutTakingTheMainWindowsFocus) {
    const HWND notice = program.program->AlertNotice().Window();
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(IsWindowVisible(notice)) << "a new journal has no alerts";
    EXPECT_EQ(TextOf(notice), "Высокая доза");
    const LONG_PTR exStyle = GetWindowLongPtrW(notice, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    SetForegroundWindow(face.Handle());
    program.Pump();
    ASSERT_EQ(GetForegroundWindow(), face.Handle());

    program.Click(face.BitBtn1());
    ASSERT_EQ(program.Status(), kReadOk);
    const double pressed = NowMs();
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(notice) != FALSE; }, 5000));
    EXPECT_LT(NowMs() - pressed, 1000.0);
    EXPECT_EQ(GetForegroundWindow(), face.Handle()) << "the notice took the foreground";
    EXPECT_EQ(GetActiveWindow(), face.Handle());

    app::TAlertWindow& window = *program.program->AlertNotice().Object();
    EXPECT_EQ(TextOf(window.CountLabel()), "Оповещений: 1");
    const std::vector<std::uint8_t> record = meter.Sent();
    ASSERT_EQ(record.size(), 15u);
    const std::string line = TextOf(window.Lines());
    EXPECT_EQ(line.rfind("Прибор №" + std::to_string(record[0] * 256 + record[1]) + ", запись №" +
                             std::to_string(record[2] * 256 + record[3]) + ", ",
                         0),
              0u)
        << line;
    EXPECT_NE(line.find("(порог для всех записей: 0.001 Гр·см²)"), std::string::npos) << line;
    EXPECT_EQ(TextOf(window.AcknowledgeButton()), "Принято");
    EXPECT_EQ(TextOf(window.AnnotateButton()), "Указать исследование...");

    // The main window's buttons still work, and the second alert joins the same window.
    program.Click(face.BitBtn1());
    EXPECT_EQ(program.Status(), kReadOk);
    EXPECT_TRUE(PumpUntil([&] { return TextOf(window.CountLabel()) == "Оповещений: 2"; }, 3000));
    EXPECT_EQ(GetForegroundWindow(), face.Handle());

    // "Принято" with a note: both shown alerts kept as acknowledged, and the notice goes.
    SendMessageW(window.Note(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"повтор снимка"));
    SendMessageW(notice, WM_COMMAND, MAKEWPARAM(app::TAlertWindow::kIdAcknowledge, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window.AcknowledgeButton()));
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(notice) == FALSE; }, 3000));

    wchar_t user[257];
    DWORD size = std::size(user);
    ASSERT_TRUE(GetUserNameW(user, &size));
    // A connection of the test's own reads the file as another program would.
    app::TPlatformClock clock;
    TJournal journal(program.program->Journal().Path(), clock);
    ASSERT_TRUE(journal.Open().error.empty());
    const std::vector<TAlertRow> alerts = TAlerts(journal).InPeriod({{2000, 1, 1}, {2099, 12, 31}});
    ASSERT_EQ(alerts.size(), 2u);
    for (const TAlertRow& alert : alerts) {
        EXPECT_TRUE(alert.acknowledged);
        EXPECT_EQ(alert.acknowledgedBy, Narrow(user));
        EXPECT_TRUE(alert.acknowledgedAt && alert.acknowledgedAt->size() == 19u);
        EXPECT_EQ(alert.note, "повтор снимка");
        EXPECT_EQ(alert.level, TAlertLevel::Record);
    }
}

// The archive collected into the journal: its three records over the level are one notice that
// counts them, and the main window keeps the foreground.
TEST_F(AlertHarvest, ThreeRecordsOverTheLevelAreOneNoticeCountingThree) {
    const HWND notice = program.program->AlertNotice().Window();
    ASSERT_NE(notice, nullptr);
    SetForegroundWindow(face.Handle());
    program.Pump();
    SendMessageW(face.Handle(), WM_COMMAND, app::kActHarvest, 0);
    program.Pump();
    ASSERT_EQ(program.Status().rfind("В журнал добавлено 256 новых записей из 256", 0), 0u)
        << program.Status();
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(notice) != FALSE; }, 5000));
    app::TAlertWindow& window = *program.program->AlertNotice().Object();
    EXPECT_TRUE(PumpUntil([&] { return TextOf(window.CountLabel()) == "Оповещений: 3"; }, 3000))
        << TextOf(window.CountLabel());
    EXPECT_EQ(GetForegroundWindow(), face.Handle()) << "the notice took the foreground";

    app::TPlatformClock clock;
    TJournal journal(program.program->Journal().Path(), clock);
    ASSERT_TRUE(journal.Open().error.empty());
    const std::vector<TAlertRow> alerts = TAlerts(journal).InPeriod({{2000, 1, 1}, {2099, 12, 31}});
    ASSERT_EQ(alerts.size(), 3u);
    for (const TAlertRow& alert : alerts) {
        EXPECT_GT(alert.dose, 1979.0);
        EXPECT_DOUBLE_EQ(alert.levelValue, 1979.0);
        EXPECT_FALSE(alert.acknowledged);
    }
}

}  // namespace
}  // namespace virel::e2e
