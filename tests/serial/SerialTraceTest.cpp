// The exchange trace between TCPDrv and a fake device: what a service engineer reads for one
// exchange, for failures of the port, and that the component behaves exactly as without it.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "FakeSerialBackend.h"
#include "core/DateTimeFormat.h"
#include "core/meter/PortChoice.h"
#include "serial/SerialTrace.h"

namespace virel::test {
namespace {

// The trace's clocks follow the fake device's millisecond clock; lines are kept in memory.
struct FakeTraceLog {
    std::shared_ptr<FakeDevice> device;
    std::vector<std::string> lines;
    TSystemError error{2, "Не удается найти указанный файл."};
    bool failWrites = false;
};

class FakeEnvironment final : public ITraceEnvironment {
public:
    explicit FakeEnvironment(std::shared_ptr<FakeTraceLog> log) : log_(std::move(log)) {}
    std::int64_t LocalNowMs() override {
        return ToMilliseconds(DateTime{2026, 12, 6, 14, 35, 0, 0}) + log_->device->now;
    }
    std::int64_t MonotonicUs() override {
        return static_cast<std::int64_t>(log_->device->now) * 1000;
    }
    TSystemError LastError() override { return log_->error; }
    void WriteLine(const std::string& line) override {
        if (log_->failWrites) throw std::runtime_error("disk full");
        log_->lines.push_back(line);
    }

private:
    std::shared_ptr<FakeTraceLog> log_;
};

// The rest of `text` after `prefix`, or a marker that fails any comparison.
std::string After(const std::string& text, const std::string& prefix) {
    if (text.compare(0, prefix.size(), prefix) != 0) return "<not " + prefix + "> " + text;
    return text.substr(prefix.size());
}

const std::string kFpr(
    "\x01"
    "FPR",
    4);

class SerialTrace : public ::testing::Test {
protected:
    SerialTrace() {
        log->device = dev;
        dev->now = 0;
    }
    std::unique_ptr<ISerialBackend> Traced() {
        return std::make_unique<TSerialTraceBackend>(dev->MakeBackend(),
                                                     std::make_unique<FakeEnvironment>(log),
                                                     "ВИРЕЛ1 Сервис 1.0.0: трассировка обмена");
    }
    // The lines without their stamps (checked once, in the first test).
    std::vector<std::string> Events() const {
        std::vector<std::string> events;
        for (const auto& line : log->lines) events.push_back(line.substr(24));
        return events;
    }

    std::shared_ptr<FakeDevice> dev = std::make_shared<FakeDevice>();
    std::shared_ptr<FakeTraceLog> log = std::make_shared<FakeTraceLog>();
};

TEST_F(SerialTrace, OneExchangeFromOpeningToClosing) {
    {
        TCPDrv port(nullptr, Traced());
        UseTestLine(port);
        port.SetBaudRate(br4800);
        port.SetPort(pnCOM1);
        ASSERT_TRUE(port.Connect());
        dev->step = 1;
        // The command goes out at 5 ms; the reply comes in two pieces, 35 and 66 ms later.
        dev->now = 5;
        ASSERT_TRUE(port.SendString(kFpr));
        const std::vector<std::uint8_t> reply = {0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03,
                                                 0x07, 0x00, 0x01, 0x02, 0x2D, 0x00, 0xB9};
        dev->ArriveAt(40, {reply.begin(), reply.begin() + 8});
        dev->ArriveAt(71, {reply.begin() + 8, reply.end()});
        std::uint8_t buffer[300];
        ASSERT_EQ(port.ReadData(buffer, 280), 15u);
        port.Disconnect();
    }
    ASSERT_GE(log->lines.size(), 2u);
    EXPECT_EQ(log->lines.front(),
              "2026-12-06 14:35:00.000 ВИРЕЛ1 Сервис 1.0.0: трассировка обмена");
    EXPECT_EQ(log->lines[1], "2026-12-06 14:35:00.000 COM1: открыт \\\\.\\COM1");

    const std::vector<std::string> want = {
        "ВИРЕЛ1 Сервис 1.0.0: трассировка обмена",
        "COM1: открыт \\\\.\\COM1",
        "COM1: параметры линии: 4800 бит/с, 8 бит данных, чётность: нет, стоп-бит: 1, DTR: вкл., "
        "RTS: выкл., XON/XOFF: нет",
        "COM1: очистка буферов приёма и передачи",
        "COM1: очереди: приём 256, передача 256 байт",
        "COM1: тайм-ауты, мс: ReadInterval 1, ReadTotalMultiplier 0, ReadTotalConstant 1, "
        "WriteTotalMultiplier 0, WriteTotalConstant 10",
        "COM1: передача 01 46 50 52 (байт: 4, за 0.0 мс)",
        "COM1: приём 00 2A 00 07 35 14 05 03 07 00 01 02 2D 00 B9 (байт: 15, первый через 34.0 мс "
        "после передачи, последний через 65.0 мс, частей: 2)",
        "COM1: закрыт",
        "трассировка окончена",
    };
    EXPECT_EQ(Events(), want);
}

TEST_F(SerialTrace, BytesThatNoCommandAskedForAreTimedFromTheOpening) {
    TCPDrv port(nullptr, Traced());
    UseTestLine(port);
    port.SetPort(pnCOM2);
    dev->now = 1000;
    ASSERT_TRUE(port.Connect());
    log->lines.clear();
    dev->now = 1200;
    dev->Queue({0x55, 0xAA});
    std::uint8_t buffer[2];
    EXPECT_EQ(port.ReadData(buffer, 2), 2u);
    port.Disconnect();
    const std::vector<std::string> want = {
        "COM2: приём 55 AA (байт: 2, первый через 200.0 мс после открытия, последний через "
        "200.0 мс, частей: 1)",
        "COM2: закрыт"};
    EXPECT_EQ(Events(), want);
}

TEST_F(SerialTrace, NoReplyIsWrittenWithTheTimeWaited) {
    TCPDrv port(nullptr, Traced());
    UseTestLine(port);
    port.SetPort(pnCOM2);
    ASSERT_TRUE(port.Connect());
    log->lines.clear();
    dev->step = 1;
    std::uint8_t buffer[300];
    port.SendString(kFpr);
    port.ReadData(buffer, 280);
    port.SendString(kFpr);
    port.ReadData(buffer, 280);
    port.Disconnect();
    const std::vector<std::string> events = Events();
    ASSERT_EQ(events.size(), 5u);
    const std::string sent = "COM2: передача 01 46 50 52 (байт: 4, за 0.0 мс)";
    EXPECT_EQ(events[0], sent);
    // The read's 500 ms idle time-out and a little more, on the fake clock.
    const std::string silence = After(events[1], "COM2: ответа нет (");
    EXPECT_GT(std::stod(silence), 500.0) << events[1];
    EXPECT_LT(std::stod(silence), 510.0) << events[1];
    EXPECT_EQ(After(silence, silence.substr(0, silence.find(' '))), " мс после передачи)");
    EXPECT_EQ(events[2], sent);
    EXPECT_EQ(After(events[3], "COM2: ответа нет (").substr(0, 1), "5") << events[3];
    EXPECT_EQ(events[4], "COM2: закрыт");
}

TEST_F(SerialTrace, FailedCallsWithTheSystemsCodeAndTextRepeatsCounted) {
    TCPDrv port(nullptr, Traced());
    UseTestLine(port);
    port.SetPort(pnCOM2);
    dev->ports->existing.erase(PortPath(2));
    log->lines.clear();
    EXPECT_FALSE(port.Connect());
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(
        Events()[0],
        "COM2: не открыт \\\\.\\COM2 — CreateFile, ошибка 2: Не удается найти указанный файл.");

    // A port whose every query fails: one line, then how often the same failure repeated.
    dev->ports->existing.insert(PortPath(2));
    ASSERT_TRUE(port.Connect());
    log->lines.clear();
    log->error = {22, "Устройство не опознает команду."};
    dev->failClearError = true;
    dev->step = 1;
    std::uint8_t buffer[300];
    EXPECT_EQ(port.ReadData(buffer, 280), 0u);
    port.Disconnect();
    const std::vector<std::string> events = Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], "COM2: ClearCommError, ошибка 22: Устройство не опознает команду.");
    const std::string repeats = After(events[1], "COM2: ClearCommError, та же ошибка ещё ");
    EXPECT_GE(std::stol(repeats), 1) << events[1];
    EXPECT_EQ(After(repeats, std::to_string(std::stol(repeats))), " раз");
    EXPECT_EQ(events[2], "COM2: закрыт");

    // A refused line setting closes the port again (the component's rule), all traced.
    log->lines.clear();
    dev->failSetState = true;
    log->error = {87, "Параметр задан неверно."};
    EXPECT_FALSE(port.Connect());
    const std::vector<std::string> refused = Events();
    ASSERT_EQ(refused.size(), 3u);
    EXPECT_EQ(refused[0], "COM2: открыт \\\\.\\COM2");
    EXPECT_NE(After(refused[1], "COM2: параметры линии: 9600 бит/с")
                  .find(" — SetCommState, ошибка 87: Параметр задан неверно."),
              std::string::npos)
        << refused[1];
    EXPECT_EQ(refused[2], "COM2: закрыт");
}

// The count of repeated failures belongs to the port and the time of the repeats: not to the
// port that failed next, nor to the end of the trace.
TEST_F(SerialTrace, RepeatsAreCountedPerPortAndStampedWithTheLastOfThem) {
    const std::string notFound = " — CreateFile, ошибка 2: Не удается найти указанный файл.";
    {
        TCPDrv port(nullptr, Traced());
        UseTestLine(port);
        dev->ports->existing.erase(PortPath(7));
        port.SetPort(pnCOM7);
        dev->now = 100;
        EXPECT_FALSE(port.Connect());
        dev->now = 300;
        EXPECT_FALSE(port.Connect());
        port.SetPortName("\\\\.\\COM255");
        dev->now = 700;
        EXPECT_FALSE(port.Connect());
        // Repeated again, then the program ends: the count is written at the end, but as
        // COM255's, at the time of its repeat.
        dev->now = 900;
        EXPECT_FALSE(port.Connect());
        dev->now = 1500;
    }
    const std::vector<std::string> want = {
        "2026-12-06 14:35:00.000 ВИРЕЛ1 Сервис 1.0.0: трассировка обмена",
        "2026-12-06 14:35:00.100 COM7: не открыт \\\\.\\COM7" + notFound,
        "2026-12-06 14:35:00.300 COM7: CreateFile, та же ошибка ещё 1 раз",
        "2026-12-06 14:35:00.700 COM255: не открыт \\\\.\\COM255" + notFound,
        "2026-12-06 14:35:00.900 COM255: CreateFile, та же ошибка ещё 1 раз",
        "2026-12-06 14:35:01.500 трассировка окончена",
    };
    EXPECT_EQ(log->lines, want);
}

// A port text the program refuses never reaches the system, so the trace says it was refused and
// why, under no port's name; a count of repeats pending before it is written first.
TEST_F(SerialTrace, ARefusedPortTextIsWrittenWithWhy) {
    {
        auto backend = std::make_unique<TSerialTraceBackend>(
            dev->MakeBackend(), std::make_unique<FakeEnvironment>(log), "start");
        TSerialTraceBackend& trace = *backend;
        TCPDrv port(nullptr, std::move(backend));
        UseTestLine(port);
        dev->ports->existing.erase(PortPath(7));
        port.SetPort(pnCOM7);
        dev->now = 100;
        EXPECT_FALSE(port.Connect());
        dev->now = 200;
        EXPECT_FALSE(port.Connect());
        dev->now = 400;
        trace.NoteRefusedPort("COM256", PortTextRefusal("COM256"));
        dev->now = 500;
        trace.NoteRefusedPort("", PortTextRefusal(""));
    }
    const std::vector<std::string> tail(log->lines.end() - 4, log->lines.end() - 1);
    const std::vector<std::string> want = {
        "2026-12-06 14:35:00.200 COM7: CreateFile, та же ошибка ещё 1 раз",
        "2026-12-06 14:35:00.400 порт «COM256» не открыт: номер порта вне 1–255",
        "2026-12-06 14:35:00.500 порт «» не открыт: имя порта не указано",
    };
    EXPECT_EQ(tail, want);
}

// A port whose every query fails, two in turn: each port's failure is written, and its count is
// stamped with its last repeat, not with the closing that writes it a second later.
TEST_F(SerialTrace, EachPortsCountIsStampedWithItsLastRepeatNotWithTheClosing) {
    TCPDrv port(nullptr, Traced());
    UseTestLine(port);
    log->error = {22, "Устройство не опознает команду."};
    dev->failClearError = true;
    std::uint8_t buffer[300];
    for (const TPortNumber number : {pnCOM2, pnCOM3}) {
        port.SetPort(number);
        ASSERT_TRUE(port.Connect());
        dev->step = 1;
        EXPECT_EQ(port.ReadData(buffer, 280), 0u);
        dev->now += 1000;  // the port stays open a second longer
        port.Disconnect();
    }
    const std::string failed = "ClearCommError, ошибка 22: Устройство не опознает команду.";
    const std::string repeated = "ClearCommError, та же ошибка ещё ";
    std::vector<std::string> seen;  // the failures and closings, each port's in turn
    for (const std::string& line : log->lines) {
        if (line.find("ClearCommError") != std::string::npos || line.ends_with("закрыт"))
            seen.push_back(line);
    }
    ASSERT_EQ(seen.size(), 6u) << ::testing::PrintToString(log->lines);
    for (const std::string name : {"COM2", "COM3"}) {
        const std::size_t at = name == "COM2" ? 0 : 3;
        EXPECT_EQ(seen[at].substr(24), name + ": " + failed);
        EXPECT_TRUE(After(seen[at + 1].substr(24), name + ": " + repeated).ends_with(" раз"))
            << seen[at + 1];
        EXPECT_EQ(seen[at + 2].substr(24), name + ": закрыт");
        // Stamps of equal length compare as texts.
        EXPECT_LE(seen[at].substr(0, 23), seen[at + 1].substr(0, 23));
        EXPECT_LT(seen[at + 1].substr(0, 23), seen[at + 2].substr(0, 23))
            << "the count is stamped with the closing: " << seen[at + 1];
    }
}

TEST_F(SerialTrace, LongStreamsAreSplitIntoLinesOfAtMost256Bytes) {
    TCPDrv port(nullptr, Traced());
    UseTestLine(port);
    port.SetInBufSize(1024);
    port.SetPort(pnCOM1);
    ASSERT_TRUE(port.Connect());
    log->lines.clear();
    dev->step = 1;
    dev->Queue(Bytes(600));
    std::vector<std::uint8_t> buffer(600);
    EXPECT_EQ(port.ReadData(buffer.data(), 600), 600u);
    port.Disconnect();
    const std::vector<std::string> events = Events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(After(events[0], "COM1: приём 00 01 02").find("(байт: 256,") != std::string::npos,
              true)
        << events[0];
    EXPECT_EQ(After(events[1], "COM1: приём 00 01 02").find("(байт: 256,") != std::string::npos,
              true)
        << events[1];
    EXPECT_NE(After(events[2], "COM1: приём 00 01 02").find("(байт: 88,"), std::string::npos)
        << events[2];
    EXPECT_EQ(events[3], "COM1: закрыт");
}

TEST_F(SerialTrace, TheComponentBehavesAsWithoutTheTrace) {
    // The same script of calls against two fake devices, one behind the trace, one not.
    auto script = [](TCPDrv& port, FakeDevice& device) {
        UseTestLine(port);
        port.SetPort(pnCOM1);
        port.Connect();
        device.step = 1;
        device.ArriveAt(device.now + 20, Bytes(15));
        port.SendString(kFpr);
        std::uint8_t buffer[300];
        const std::uint32_t got = port.ReadData(buffer, 280);
        device.Queue(Bytes(3));
        device.TimerTick();  // polling takes what came after the read
        port.Disconnect();
        return got;
    };
    auto plainDevice = std::make_shared<FakeDevice>();
    plainDevice->now = 0;
    std::uint32_t plainGot = 0;
    {
        TCPDrv plain(nullptr, plainDevice->MakeBackend());
        plainGot = script(plain, *plainDevice);
    }
    std::uint32_t tracedGot = 0;
    log->failWrites = true;  // even a trace that cannot write changes nothing
    {
        TCPDrv traced(nullptr, Traced());
        tracedGot = script(traced, *dev);
    }
    EXPECT_EQ(tracedGot, 15u);
    EXPECT_EQ(tracedGot, plainGot);
    EXPECT_EQ(dev->calls, plainDevice->calls);
    EXPECT_EQ(dev->written, plainDevice->written);
    EXPECT_EQ(dev->readRequests, plainDevice->readRequests);
    EXPECT_EQ(dev->tickCalls, plainDevice->tickCalls);
    EXPECT_TRUE(log->lines.empty());
}

TEST(SerialTraceFile, NotWrittenMessageNamesEachFileTriedWithTheSystemsReason) {
    EXPECT_EQ(TraceNotWrittenMessage(
                  {{"C:\\Program Files\\V\\VIREL1_Service.trace.txt", "Отказано в доступе."},
                   {"C:\\Users\\o\\AppData\\Roaming\\VIREL1_Service\\"
                    "VIREL1_Service.trace.txt",
                    "Системе не удается найти указанный путь."}}),
              "Не удалось записать трассировку обмена:\r\n"
              "\"C:\\Program Files\\V\\VIREL1_Service.trace.txt\": Отказано в доступе.\r\n"
              "\"C:\\Users\\o\\AppData\\Roaming\\VIREL1_Service\\VIREL1_Service.trace.txt\": "
              "Системе не удается найти указанный путь.\r\n\r\n"
              "Программа работает без трассировки.");
    // No application data folder: the one file tried.
    EXPECT_EQ(TraceNotWrittenMessage({{"D:\\V\\VIREL1_Service.trace.txt", "Диск заполнен."}}),
              "Не удалось записать трассировку обмена:\r\n"
              "\"D:\\V\\VIREL1_Service.trace.txt\": Диск заполнен.\r\n\r\n"
              "Программа работает без трассировки.");
}

TEST(SerialTraceSwitch, SlashOrDashTraceInAnyCaseOrTheVariableSetToOne) {
    EXPECT_FALSE(SerialTraceRequested({}, nullptr));
    EXPECT_TRUE(SerialTraceRequested({"/trace"}, nullptr));
    EXPECT_TRUE(SerialTraceRequested({"other", "-TRACE"}, nullptr));
    EXPECT_TRUE(SerialTraceRequested({"/Trace"}, "0"));
    EXPECT_FALSE(SerialTraceRequested({"/traces", "trace", "/t"}, nullptr));
    EXPECT_TRUE(SerialTraceRequested({}, "1"));
    EXPECT_FALSE(SerialTraceRequested({}, "0"));
    EXPECT_FALSE(SerialTraceRequested({}, ""));
    EXPECT_FALSE(SerialTraceRequested({}, "yes"));
}

}  // namespace
}  // namespace virel::test
