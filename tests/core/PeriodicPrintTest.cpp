#include <gtest/gtest.h>

#include "core/meter/DeviceTexts.h"
#include "core/Errors.h"
#include "core/meter/PeriodicPrint.h"
#include "core/TextCodec.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::Bytes;
using fakes::OpsRig;
using fakes::Record;

const std::string kLogPath = std::string(OpsRig::kProgramDir) + "VIREL1_Service.txt";
const std::string kLine1 = "05.03.2007 14:35:00 42 7 258.45";

class PeriodicPrintTest : public ::testing::Test {
protected:
    // Ticks until `count` ticks have been delivered; returns the tick numbers (1-based count
    // of delivered ticks) at which an end of measurement was sent.
    std::vector<int> Tick(int count) {
        std::vector<int> printed;
        for (int i = 0; i < count; ++i) {
            const auto sent = rig.link.sent.size();
            rig.ops->TimerTimer();
            ++delivered;
            if (rig.link.sent.size() != sent) printed.push_back(delivered);
        }
        return printed;
    }
    std::string Log() const {
        const auto it = rig.files.files.find(kLogPath);
        return it == rig.files.files.end() ? std::string() : it->second;
    }

    OpsRig rig;
    int delivered = 0;
};

TEST_F(PeriodicPrintTest, FirstPrintAtTickNMinusOneThenEveryN) {
    rig.view.readToFile = true;
    rig.view.autoTime = 60;
    EXPECT_EQ(Tick(180), (std::vector<int>{59, 119, 179}));
    EXPECT_EQ(rig.ops->State().TimerTicks, 181);
    EXPECT_EQ(rig.link.sent, std::vector<std::string>(3, commands::kFpr));
}

TEST_F(PeriodicPrintTest, CounterRunsWhileOffAndAChangedIntervalAppliesAtOnce) {
    rig.view.autoTime = 10;
    EXPECT_TRUE(Tick(12).empty());  // TimerTicks 13
    EXPECT_EQ(rig.ops->State().TimerTicks, 13);
    rig.view.readToFile = true;
    EXPECT_EQ(Tick(10), (std::vector<int>{19}));  // counter 20
    rig.view.autoTime = 7;
    EXPECT_EQ(Tick(10), (std::vector<int>{27}));  // counter 28
    rig.view.readToFile = false;
    EXPECT_TRUE(Tick(30).empty());
}

TEST_F(PeriodicPrintTest, IntervalBelowFiveCountsAsFive) {
    rig.view.readToFile = true;
    for (const std::int64_t interval : {3, 0, -7}) {
        SCOPED_TRACE(interval);
        rig.view.autoTime = interval;
        const auto printed = Tick(10);
        ASSERT_EQ(printed.size(), 2u);
        EXPECT_EQ(printed[1] - printed[0], 5);
    }
}

TEST_F(PeriodicPrintTest, PrintOnDeviceSendsRpr) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    rig.view.printOnDevice = true;
    Tick(4);
    EXPECT_EQ(rig.link.sent, std::vector<std::string>{commands::kRpr});
}

TEST_F(PeriodicPrintTest, FailedReadWritesNoLine) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    rig.link.answer = nullptr;
    Tick(4);
    EXPECT_EQ(rig.link.sent.size(), 3u);
    EXPECT_EQ(rig.files.calls, 0);
    EXPECT_EQ(rig.view.status, texts::kStatusReadFailed);
}

TEST_F(PeriodicPrintTest, FirstSuccessCreatesTheFileThenLinesAreAppended) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    Tick(4);
    EXPECT_EQ(Log(), kLine1 + "\r\n");
    EXPECT_EQ(rig.view.status, texts::kStatusLogWritten + kLine1);
    rig.link.answer = [](const std::string&) {
        // Midnight: the time text is the date alone, so the line has four items.
        return Bytes(Record(
            {0x00, 0x05, 0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x24, 0x00, 0x00, 0x00, 0x00, 0x00}));
    };
    Tick(5);
    EXPECT_EQ(Log(), kLine1 + "\r\n" + "01.01.2024 5 1 0.0\r\n");
    EXPECT_EQ(rig.files.files.size(), 1u);
}

TEST_F(PeriodicPrintTest, InvalidTimeStampLeavesTheTimeFieldEmptyAndTheStatusSaysSo) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    const auto invalidTime = [](const std::string&) {
        return Bytes(Record(
            {0x00, 0x2A, 0x00, 0x08, 0x10, 0x09, 0x31, 0x02, 0x08, 0x00, 0x00, 0x0C, 0x07, 0x00}));
    };
    rig.link.answer = OpsRig::DefaultAnswer;
    Tick(4);
    rig.link.answer = invalidTime;
    Tick(5);
    // Not the previous record's time: the time field of the line is empty.
    EXPECT_EQ(Log(), kLine1 + "\r\n" + " 42 8 12.7\r\n");
    EXPECT_EQ(rig.view.status, std::string(texts::kStatusInvalidTime) + ". " +
                                   texts::kStatusLogWritten + " 42 8 12.7");
}

TEST_F(PeriodicPrintTest, DeviceErrorIsNamedBesideTheLineWrittenAndTheLineKeepsItsFormat) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    rig.link.answer = [](const std::string&) {
        return Bytes(Record(
            {0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00, 0x01, 0x02, 0x2D, 0x11}));
    };
    Tick(4);
    EXPECT_EQ(Log(), kLine1 + "\r\n");
    EXPECT_EQ(rig.view.status,
              std::string(texts::kStatusDeviceError) + "17. " + texts::kStatusLogWritten + kLine1);
    // Also when the line could not be written.
    rig.files.locked = true;
    Tick(5);
    EXPECT_EQ(rig.view.status,
              std::string(texts::kStatusDeviceError) + "17. " + texts::kStatusLogFailed);
    // The next clean record says only what was written.
    rig.files.locked = false;
    rig.link.answer = OpsRig::DefaultAnswer;
    Tick(5);
    EXPECT_EQ(Log(), kLine1 + "\r\n" + kLine1 + "\r\n" + kLine1 + "\r\n");
    EXPECT_EQ(rig.view.status, texts::kStatusLogWritten + kLine1);
}

TEST_F(PeriodicPrintTest, LinesStartOnALineOfTheirOwn) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    const std::pair<std::string, std::string> cases[] = {
        {"old 2 no end", "old 2 no end\r\n"},
        {"old\r", "old\r\n"},
        {"unix\n", "unix\n\r\n"},
        {"\n", "\n\r\n"},
        {"", ""},
        {"good\r\n", "good\r\n"},
    };
    for (const auto& [before, after] : cases) {
        SCOPED_TRACE(before);
        rig.files.files[kLogPath] = before;
        Tick(5);
        EXPECT_EQ(Log(), after + kLine1 + "\r\n");
    }
    // Kept lines go after the line end too, and the line end is written once.
    rig.files.files[kLogPath] = "tail";
    rig.files.locked = true;
    Tick(5);
    rig.files.locked = false;
    Tick(5);
    EXPECT_EQ(Log(), "tail\r\n" + kLine1 + "\r\n" + kLine1 + "\r\n");
}

TEST_F(PeriodicPrintTest, LineIsCodePage1251) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    rig.formats.shortDate = "d MMMM yyyy";
    rig.formats.longMonthNames[2] = "марта";
    Tick(4);
    EXPECT_EQ(Log(), std::string("5 \xEC\xE0\xF0\xF2\xE0 2007 14:35:00 42 7 258.45\r\n"));
    EXPECT_EQ(rig.view.status,
              std::string(texts::kStatusLogWritten) + "5 марта 2007 14:35:00 42 7 258.45");
}

TEST_F(PeriodicPrintTest, UnwritableFileKeepsLinesAndWritesThemInOrderLater) {
    rig.files.files[kLogPath] = "old line\r\n";
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    rig.files.locked = true;
    int measure = 0;
    rig.link.answer = [&](const std::string&) {
        ++measure;
        return Bytes(Record({0x00, 0x01, 0x00, static_cast<std::uint8_t>(measure), 0x00, 0x00, 0x01,
                             0x01, 0x24, 0x00, 0x00, 0x01, 0x00, 0x00}));
    };
    Tick(4);
    EXPECT_EQ(rig.view.status, texts::kStatusLogFailed);
    Tick(5);
    EXPECT_EQ(rig.view.status, texts::kStatusLogFailed);
    EXPECT_EQ(Log(), "old line\r\n");
    EXPECT_EQ(rig.ops->LogFile().KeptLines(), 2u);
    rig.files.locked = false;
    Tick(5);
    EXPECT_EQ(Log(),
              "old line\r\n01.01.2024 1 1 1.0\r\n01.01.2024 1 2 1.0\r\n01.01.2024 1 3 1.0\r\n");
    EXPECT_EQ(rig.view.status, std::string(texts::kStatusLogWritten) + "01.01.2024 1 3 1.0");
    EXPECT_EQ(rig.ops->LogFile().KeptLines(), 0u);
}

TEST_F(PeriodicPrintTest, MissingDirectoryReportsAndCreatesNothing) {
    rig.files.canCreate = false;
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    Tick(4);
    EXPECT_EQ(rig.view.status, texts::kStatusLogFailed);
    EXPECT_TRUE(rig.files.files.empty());
    rig.files.canCreate = true;
    Tick(5);
    EXPECT_EQ(Log(), kLine1 + "\r\n" + kLine1 + "\r\n");
}

TEST_F(PeriodicPrintTest, WriteErrorGoesToTheErrorReportAndTheLineIsKept) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    rig.files.throwOnWrite = true;
    Tick(4);
    EXPECT_EQ(rig.view.errors, std::vector<std::string>{"write failed"});
    EXPECT_EQ(rig.view.status, texts::kStatusLogFailed);
    EXPECT_EQ(rig.ops->LogFile().KeptLines(), 1u);
    rig.files.throwOnWrite = false;
    Tick(5);
    EXPECT_EQ(Log(), kLine1 + "\r\n" + kLine1 + "\r\n");
}

TEST_F(PeriodicPrintTest, WhileItsErrorBoxIsOpenLaterTicksOpenNoOther) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    rig.files.throwOnWrite = true;
    // The box's modal loop lets the timer tick on: 30 ticks, 6 prints, while it is open.
    int ticksInBox = 0;
    rig.view.onReportError = [&] {
        if (ticksInBox > 0) return;  // a second box: counted below, not ticked in
        for (ticksInBox = 0; ticksInBox < 30; ++ticksInBox) rig.ops->TimerTimer();
    };
    Tick(4);
    EXPECT_EQ(rig.view.errors.size(), 1u);
    EXPECT_EQ(rig.link.sent.size(), 7u) << "the prints went on";
    EXPECT_EQ(rig.ops->LogFile().KeptLines(), 7u);
    EXPECT_EQ(rig.view.status, texts::kStatusLogFailed);

    // Closed: the next failure is reported again; once the file takes lines, all of them land.
    rig.view.onReportError = nullptr;
    Tick(5);
    EXPECT_EQ(rig.view.errors.size(), 2u);
    rig.files.throwOnWrite = false;
    Tick(5);
    std::string expected;
    for (int i = 0; i < 9; ++i) expected += kLine1 + "\r\n";
    EXPECT_EQ(Log(), expected);
}

TEST_F(PeriodicPrintTest, EscDuringThePrintGoesToTheErrorReport) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    Tick(3);
    rig.keys.escape = true;
    Tick(1);
    EXPECT_EQ(rig.view.errors, std::vector<std::string>{texts::kStatusCancelled});
    EXPECT_EQ(rig.files.calls, 0);
    EXPECT_FALSE(rig.link.open);
}

TEST(LogFile, KeepsAtMostTheNewestTenThousandLines) {
    fakes::FakeLogFiles files;
    files.locked = true;
    TLogFile log(files, "x.txt");
    for (int i = 0; i < 10'005; ++i) EXPECT_FALSE(log.AppendLine(std::to_string(i)));
    EXPECT_EQ(log.KeptLines(), TLogFile::kMaxKeptLines);
    files.locked = false;
    EXPECT_TRUE(log.AppendLine("last"));
    const std::string& text = files.files["x.txt"];
    EXPECT_EQ(text.substr(0, 6), "5\r\n6\r\n");
    EXPECT_EQ(text.substr(text.size() - 20), "10003\r\n10004\r\nlast\r\n");
    EXPECT_EQ(log.KeptLines(), 0u);
}

// At exit the kept lines get one more chance in the log, then go to the user's own file.
class KeptLinesAtExitTest : public ::testing::Test {
protected:
    KeptLinesAtExitTest() {
        files.files["log.txt"] = "old\r\n";
        files.refused.insert("log.txt");
        for (const char* line : {"a", "b", "c"}) EXPECT_FALSE(log.AppendLine(line));
    }
    fakes::FakeLogFiles files;
    TLogFile log{files, "log.txt"};
};

TEST_F(KeptLinesAtExitTest, GoToTheOtherFileAndTheMessageNamesIt) {
    files.files["user.txt"] = "from last time";
    const KeptLinesAtExit result = log.SaveKeptLines("user.txt");
    EXPECT_EQ(result.outcome, KeptLinesAtExit::Outcome::Saved);
    EXPECT_EQ(result.lines, 3u);
    EXPECT_EQ(files.files["user.txt"], "from last time\r\na\r\nb\r\nc\r\n");
    EXPECT_EQ(files.files["log.txt"], "old\r\n");
    EXPECT_EQ(log.KeptLines(), 0u);
    EXPECT_EQ(KeptLinesMessage(result),
              "Не удалось записать данные обновления в файл VIREL1_Service.txt (строк: 3); они "
              "сохранены в файле user.txt");
}

TEST_F(KeptLinesAtExitTest, TheLogItselfWhenItTakesThemNow) {
    files.refused.clear();
    const KeptLinesAtExit result = log.SaveKeptLines("user.txt");
    EXPECT_EQ(result.outcome, KeptLinesAtExit::Outcome::Written);
    EXPECT_EQ(files.files["log.txt"], "old\r\na\r\nb\r\nc\r\n");
    EXPECT_EQ(files.files.count("user.txt"), 0u);
    EXPECT_EQ(KeptLinesMessage(result), "");
}

TEST_F(KeptLinesAtExitTest, AWriteErrorInTheLogStillLeavesTheOtherFile) {
    files.refused.clear();
    files.throwOnWrite = true;
    // Both appends throw: counted as lost, and nothing escapes at exit.
    const KeptLinesAtExit result = log.SaveKeptLines("user.txt");
    EXPECT_EQ(result.outcome, KeptLinesAtExit::Outcome::Lost);
    EXPECT_EQ(files.calls, 3 + 2);
}

TEST_F(KeptLinesAtExitTest, LostWhenNeitherTakesThemAndTheMessageCountsThem) {
    files.refused.insert("user.txt");
    for (const std::string other : {"user.txt", ""}) {
        SCOPED_TRACE(other);
        TLogFile again{files, "log.txt"};
        for (const char* line : {"a", "b"}) EXPECT_FALSE(again.AppendLine(line));
        const KeptLinesAtExit result = again.SaveKeptLines(other);
        EXPECT_EQ(result.outcome, KeptLinesAtExit::Outcome::Lost);
        EXPECT_EQ(KeptLinesMessage(result),
                  "Не удалось ни записать данные обновления в файл VIREL1_Service.txt, ни "
                  "сохранить их в другом файле; потеряно строк: 2");
    }
}

TEST(KeptLinesAtExit, NothingKeptNothingSaid) {
    fakes::FakeLogFiles files;
    TLogFile log{files, "log.txt"};
    EXPECT_TRUE(log.AppendLine("a"));
    const KeptLinesAtExit result = log.SaveKeptLines("user.txt");
    EXPECT_EQ(result.outcome, KeptLinesAtExit::Outcome::None);
    EXPECT_EQ(KeptLinesMessage(result), "");
    EXPECT_EQ(files.calls, 1);
}

TEST(KeptLinesAtExit, LinesDroppedBeyondTheLimitAreCountedAsLost) {
    fakes::FakeLogFiles files;
    files.locked = true;
    TLogFile log{files, "log.txt"};
    for (std::size_t i = 0; i < TLogFile::kMaxKeptLines + 4; ++i) log.AppendLine("x");
    EXPECT_EQ(log.DroppedLines(), 4u);
    const KeptLinesAtExit lost = log.SaveKeptLines("user.txt");
    EXPECT_EQ(KeptLinesMessage(lost),
              "Не удалось ни записать данные обновления в файл VIREL1_Service.txt, ни "
              "сохранить их в другом файле; потеряно строк: 10004");
    KeptLinesAtExit saved = lost;
    saved.outcome = KeptLinesAtExit::Outcome::Saved;
    saved.savedTo = "u.txt";
    EXPECT_EQ(KeptLinesMessage(saved),
              "Не удалось записать данные обновления в файл VIREL1_Service.txt (строк: 10000); "
              "они сохранены в файле u.txt\n"
              "Старые строки данных обновления, не уместившиеся в памяти, потеряны: 4");
}

TEST(TextCodec, EncodesCyrillicAndPunctuationOfCodePage1251) {
    EXPECT_EQ(Utf8ToCp1251("abc 09"), "abc 09");
    EXPECT_EQ(Utf8ToCp1251("АЯаяЁё"), "\xC0\xDF\xE0\xFF\xA8\xB8");
    EXPECT_EQ(Utf8ToCp1251("№ – — « » € ™ ђ ї"), "\xB9 \x96 \x97 \xAB \xBB \x88 \x99 \x90 \xBF");
    EXPECT_EQ(Utf8ToCp1251("日本 é"), "?? ?");  // no byte for them
    EXPECT_EQ(Utf8ToCp1251("😀"), "?");
}

TEST(TextCodec, MalformedUtf8BecomesQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("\x80"), "?");
    EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");              // truncated
    EXPECT_EQ(Utf8ToCp1251("\xC0\xAF"), "??");           // overlong
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "??");       // surrogate: ED A0 go together
    EXPECT_EQ(Utf8ToCp1251("\xD0z\xD0\x90"), "?z\xC0");  // bad continuation, then А
}

TEST(TextCodec, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = Cp1251ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1251(utf8), all);
    EXPECT_EQ(Cp1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
    EXPECT_EQ(Cp1251ToUtf8("\xB9"), "№");
}

}  // namespace
}  // namespace virel
