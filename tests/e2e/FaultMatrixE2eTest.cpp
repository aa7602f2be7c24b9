// The fault matrix of the meter's line, end to end: each single action and the periodic print
// against a meter that is silent, answers short, long, in pieces, late, with garbage, with a
// wrong checksum or a device error, a port that does not exist, and a meter unplugged in the
// middle of an exchange. For each: the action's text, no wait beyond the three attempts, nothing
// logged for a failed read, and the program works as before once the meter does.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "FaultSupport.h"

namespace virel::e2e {
namespace {

constexpr int kPort = VIREL_FAULT_PORT;
const std::wstring kPortText = L"COM" + std::to_wstring(kPort);

const char kReadOk[] = "Считывание текущих значений произведено успешно";
const char kReadFailed[] = "Не удалось произвести чтение текущих измерений";
const char kClearOk[] = "Очистка текущих значений произведена успешно";
const char kClearFailed[] = "Не удалось произвести очистку текущих измерений";
const char kBadChecksum[] = "Приняты данные, но не совпадает CRC - данные игнорированы";
const char kDeviceError[] =
    "Приняты данные с информацией о внутренней ошибке прибора ВИРЕЛ-1 под номером ";
const char kLogWritten[] = "Обновлены данные в файле ";

// The three attempts end a failing action after 4 to 5.5 s; a loaded machine gets room.
constexpr double kMostMs = 7500;

enum class Outcome { Ok, Failed, BadChecksum, DeviceError };

struct TFault {
    const char* name;
    const char* control;  // the meter's behaviour
    Outcome record;       // FPR, RPR and RD
    Outcome clear;        // RES (its answer is no record)
    int sends;            // how often the command goes out
    double leastMs;       // the action lasts at least this long
    bool noPort = false;  // a port name with nothing behind it
    bool unplug = false;  // the meter vanishes during the exchange
};

const TFault kFaults[] = {
    {"Silence", "silent=1\n", Outcome::Failed, Outcome::Failed, 3, 3900},
    {"FourteenBytes", "reply-length=14\n", Outcome::Failed, Outcome::Failed, 1, 0},
    {"SixteenBytes", "reply-length=16\n", Outcome::Failed, Outcome::Failed, 1, 0},
    // Pieces 300 ms apart: below the 500 ms of silence that ends a read.
    {"PiecesBelowReadTimeout", "split=2:300\n", Outcome::Ok, Outcome::Ok, 1, 0},
    // Pieces 700 ms apart: the read ends after the first piece, a cut reply.
    {"PiecesAboveReadTimeout", "split=2:700\n", Outcome::Failed, Outcome::Failed, 1, 0},
    // After the first attempt's second: the second attempt takes it.
    {"ReplyLaterThanTheAttempt", "late=1300\n", Outcome::Ok, Outcome::Ok, 2, 1000},
    {"ReplyLaterThanEveryAttempt", "late=6000\n", Outcome::Failed, Outcome::Failed, 3, 3900},
    {"GarbageFirst", "garbage=FF 00 13\n", Outcome::Failed, Outcome::Failed, 1, 0},
    {"WrongChecksum", "bad-checksum=1\n", Outcome::BadChecksum, Outcome::Ok, 1, 0},
    {"DeviceError", "device-error=7\n", Outcome::DeviceError, Outcome::Ok, 1, 0},
    {"PortThatDoesNotExist", "", Outcome::Failed, Outcome::Failed, 0, 3500, true},
    // The answer would come in the third attempt; the meter is gone long before.
    {"MeterUnpluggedDuringTheExchange", "delay=4000\n", Outcome::Failed, Outcome::Failed, 1, 3500,
     false, true},
};

// Test names show the fault by its name (not its bytes).
void PrintTo(const TFault& fault, std::ostream* out) {
    *out << fault.name;
}

enum class Action { EndOfMeasurement, Reset, ReadRecord };

std::string Name(Action a) {
    switch (a) {
        case Action::EndOfMeasurement:
            return "EndOfMeasurement";
        case Action::Reset:
            return "Reset";
        case Action::ReadRecord:
            return "ReadRecord";
    }
    return "?";
}

void PrintTo(Action action, std::ostream* out) {
    *out << Name(action);
}

class FaultProgram {
public:
    FaultProgram() {
        // What an earlier case left on its way (late answers, pieces) must not land here.
        WaitForQuietMeter(program);
        meter = std::make_unique<TMeter>();
        SetWindowTextW(face.CB_ComPort(), kPortText.c_str());
    }
    ~FaultProgram() { meter->Set(""); }

    void Run(Action action) {
        switch (action) {
            case Action::EndOfMeasurement:
                program.Click(face.BitBtn1());
                break;
            case Action::Reset:
                program.Click(face.BitBtn3());
                break;
            case Action::ReadRecord:
                face.SpE_Num().SetText(L"17");
                program.Click(face.BitBtn4());
                break;
        }
    }
    std::vector<std::uint8_t> Command(Action action) const {
        switch (action) {
            case Action::EndOfMeasurement:
                return Bytes({0x01, 0x46, 0x50, 0x52});
            case Action::Reset:
                return Bytes({0x03, 0x52, 0x45, 0x53});
            case Action::ReadRecord:
                return Bytes({0x04, 0x52, 0x44, 17});
        }
        return {};
    }
    std::vector<std::string> Fields() {
        return {program.FieldText(face.LE_DevNumber()), program.FieldText(face.LE_MeasureNumber()),
                program.FieldText(face.LE_Time()), program.FieldText(face.LE_Dose())};
    }
    // Starts the unplugging: the meter's process ends about half a second from now.
    void UnplugSoon() { ASSERT_TRUE(RunUnix("sleep 0.5; " + MeterStopCommand(kPort), false)); }
    // Plugs a meter in again (a new pseudo-terminal behind the same port name).
    void PlugIn() {
        ASSERT_TRUE(RunUnix(MeterStartCommand(kPort)));
        meter = std::make_unique<TMeter>();
    }

    std::unique_ptr<TMeter> meter = std::make_unique<TMeter>();
    TRunningProgram program;
    app::TFace& face = program.Face();
};

// --- The single actions -----------------------------------------------------------------

class SingleAction : public ::testing::TestWithParam<std::tuple<Action, TFault>> {};

TEST_P(SingleAction, ReportsTheFaultInTimeAndWorksAgainAfterwards) {
    const auto [action, fault] = GetParam();
    FaultProgram p;
    const std::vector<std::string> before = p.Fields();
    p.meter->Set(fault.control);
    if (fault.noPort) SetWindowTextW(p.face.CB_ComPort(), L"COM200");
    if (fault.unplug) p.UnplugSoon();

    const double start = NowMs();
    p.Run(action);
    const double elapsed = NowMs() - start;

    const Outcome outcome = action == Action::Reset ? fault.clear : fault.record;
    const bool lastReadOk = p.program.program->Operations().state.LastReadOk;
    switch (outcome) {
        case Outcome::Ok:
            EXPECT_EQ(p.program.Status(), action == Action::Reset ? kClearOk : kReadOk);
            if (action != Action::Reset) {
                EXPECT_TRUE(lastReadOk);
            }
            break;
        case Outcome::Failed:
            EXPECT_EQ(p.program.Status(), action == Action::Reset ? kClearFailed : kReadFailed);
            EXPECT_EQ(p.Fields(), before);
            EXPECT_FALSE(lastReadOk);
            break;
        case Outcome::BadChecksum:
            EXPECT_EQ(p.program.Status(), kBadChecksum);
            EXPECT_EQ(p.Fields(), before);
            EXPECT_FALSE(lastReadOk);
            break;
        case Outcome::DeviceError:
            EXPECT_EQ(p.program.Status(), std::string(kDeviceError) + "7");
            EXPECT_NE(p.Fields(), before);  // the record is shown all the same
            EXPECT_TRUE(lastReadOk);
            break;
    }
    EXPECT_TRUE(p.program.boxes.empty());
    EXPECT_LE(elapsed, kMostMs);
    EXPECT_GE(elapsed, fault.leastMs);
    if (!fault.unplug) {
        EXPECT_EQ(p.meter->CountReceived(p.Command(action)), fault.sends);
    }
    EXPECT_FALSE(p.program.program->CommPort().IsConnected());

    // The meter mended (or back), the same action works.
    WaitForQuietMeter(p.program);
    if (fault.unplug) p.PlugIn();
    if (fault.noPort) SetWindowTextW(p.face.CB_ComPort(), kPortText.c_str());
    p.meter->Set("");
    p.Run(action);
    EXPECT_EQ(p.program.Status(), action == Action::Reset ? kClearOk : kReadOk);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Action, TFault>>& info) {
    return Name(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Faults, SingleAction,
                         ::testing::Combine(::testing::Values(Action::EndOfMeasurement,
                                                              Action::Reset, Action::ReadRecord),
                                            ::testing::ValuesIn(kFaults)),
                         CaseName);

// --- The periodic print -----------------------------------------------------------------

class PeriodicPrint : public ::testing::TestWithParam<TFault> {};

TEST_P(PeriodicPrint, LogsNothingForAFailedReadAndGoesOnAfterwards) {
    const TFault& fault = GetParam();
    FaultProgram p;
    p.face.RxSpE_AutoTime().SetValue(5);
    p.program.SetChecked(p.face.CB_ReadToFile(), true);
    TickUntilPrinted(p.program);
    ASSERT_EQ(LineCount(p.program.LogFileBytes()), 1u) << p.program.Status();
    const std::string firstLine = p.program.LogFileBytes();

    p.meter->Set(fault.control);
    if (fault.noPort) SetWindowTextW(p.face.CB_ComPort(), L"COM200");
    if (fault.unplug) p.UnplugSoon();
    const double start = NowMs();
    TickUntilPrinted(p.program);
    const double elapsed = NowMs() - start;

    const std::string log = p.program.LogFileBytes();
    switch (fault.record) {
        case Outcome::Ok:
            EXPECT_EQ(LineCount(log), 2u);
            EXPECT_EQ(p.program.Status().rfind(kLogWritten, 0), 0u) << p.program.Status();
            break;
        case Outcome::Failed:
            EXPECT_EQ(log, firstLine);
            EXPECT_EQ(p.program.Status(), kReadFailed);
            break;
        case Outcome::BadChecksum:
            EXPECT_EQ(log, firstLine);
            EXPECT_EQ(p.program.Status(), kBadChecksum);
            break;
        case Outcome::DeviceError:
            ADD_FAILURE() << "see the device error case below";
            break;
    }
    EXPECT_TRUE(p.program.boxes.empty());
    EXPECT_LE(elapsed, kMostMs);

    // No print while the meter's last late bytes come in: they would be its reply.
    p.program.SetChecked(p.face.CB_ReadToFile(), false);
    WaitForQuietMeter(p.program);
    p.program.SetChecked(p.face.CB_ReadToFile(), true);
    if (fault.unplug) p.PlugIn();
    if (fault.noPort) SetWindowTextW(p.face.CB_ComPort(), kPortText.c_str());
    p.meter->Set("");
    const std::size_t lines = LineCount(p.program.LogFileBytes());
    TickUntilPrinted(p.program);
    EXPECT_EQ(LineCount(p.program.LogFileBytes()), lines + 1);
    EXPECT_EQ(p.program.Status().rfind(kLogWritten, 0), 0u) << p.program.Status();
}

std::vector<TFault> PeriodicFaults() {
    std::vector<TFault> faults;
    for (const TFault& f : kFaults)
        if (f.record != Outcome::DeviceError) faults.push_back(f);
    return faults;
}

INSTANTIATE_TEST_SUITE_P(Faults, PeriodicPrint, ::testing::ValuesIn(PeriodicFaults()),
                         [](const ::testing::TestParamInfo<TFault>& info) {
                             return std::string(info.param.name);
                         });

// A device error: the line is written as usual and the status names both the line and the error.
TEST(PeriodicPrintDeviceError, LineIsWrittenAsUsualAndTheStatusNamesTheError) {
    FaultProgram p;
    p.face.RxSpE_AutoTime().SetValue(5);
    p.program.SetChecked(p.face.CB_ReadToFile(), true);
    p.meter->Set("device-error=7\n");
    TickUntilPrinted(p.program);

    const std::string log = p.program.LogFileBytes();
    ASSERT_EQ(LineCount(log), 1u);
    const std::string line = log.substr(0, log.size() - 2);
    // The line keeps its format: time, device number, measurement number, dose.
    EXPECT_EQ(line, p.program.FieldText(p.face.LE_Time()) + " " +
                        p.program.FieldText(p.face.LE_DevNumber()) + " " +
                        p.program.FieldText(p.face.LE_MeasureNumber()) + " " +
                        p.program.FieldText(p.face.LE_Dose()));
    EXPECT_NE(p.program.Status().find(kLogWritten + line), std::string::npos) << p.program.Status();
    EXPECT_NE(p.program.Status().find(std::string(kDeviceError) + "7"), std::string::npos)
        << p.program.Status();
}

}  // namespace
}  // namespace virel::e2e
