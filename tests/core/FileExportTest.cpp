// The archive into a file: the dialog first, the records read as for the spreadsheet at the
// quick pace, the file written once at the end, and what happens when it cannot be written.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/DateTimeFormat.h"
#include "core/meter/DeviceTexts.h"
#include "core/Errors.h"
#include "core/export/FileExport.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::OpsRig;

// Archive record n as meter `device` sends it.
std::string RecordOfMeter(std::uint8_t n, std::uint8_t device) {
    const auto full = OpsRig::RecordForNumber(n);
    std::vector<std::uint8_t> bytes(full.begin(), full.begin() + 14);
    bytes[1] = device;
    return fakes::Bytes(fakes::Record(bytes));
}

class FileExportTest : public ::testing::Test {
protected:
    FileExportTest() {
        rig.clock.now = ToMilliseconds(DateTime{2026, 12, 6, 10, 15, 0, 0});
        rig.view.archiveNumber = "17";
        files.choices.push_back(TArchiveFileChoice{"C:\\Docs\\a.xlsx", TArchiveFileType::Xlsx});
    }
    int Count(const std::string& event) const {
        return static_cast<int>(std::count(rig.view.events.begin(), rig.view.events.end(), event));
    }

    OpsRig rig;
    fakes::FakeFileExportPlatform& files = rig.fileExport;
};

TEST_F(FileExportTest, ReadsEveryRecordAtTheQuickPaceAndWritesTheFileOnce) {
    rig.ops->SaveArchiveToFileExecute();

    EXPECT_EQ(files.proposed, (std::vector<std::string>{"Архив ВИРЕЛ1 06.12.2026"}));
    ASSERT_EQ(files.writes, (std::vector<std::string>{"C:\\Docs\\a.xlsx"}));
    ASSERT_TRUE(files.written);
    EXPECT_EQ(files.written->title, "Архив ВИРЕЛ1 №42 на 06.12.2026");
    for (int n = 0; n < 256; ++n) {
        const auto& record = files.written->records[static_cast<std::size_t>(n)];
        ASSERT_TRUE(record) << n;
        EXPECT_EQ(record->measureNumber, 1000 + n);
        EXPECT_EQ(record->doseWhole, n);
    }
    // The end of measurement, then RD 0..255, each reply read up to its 15 bytes first.
    ASSERT_EQ(rig.link.sent.size(), 257u);
    EXPECT_EQ(rig.link.sent[0], commands::kFpr);
    EXPECT_EQ(rig.link.sent[256], commands::Rd(255));
    EXPECT_EQ(std::count(rig.link.readSizes.begin(), rig.link.readSizes.end(), 15u), 257);
    EXPECT_EQ(rig.link.opens, 257);
    EXPECT_EQ(rig.link.closes, 257);

    EXPECT_EQ(rig.view.statusHistory.front(), texts::kStatusReading);
    EXPECT_EQ(rig.view.status, std::string(texts::kStatusFileSaved) + "C:\\Docs\\a.xlsx");
    EXPECT_EQ(rig.view.archiveNumber, "255");
    EXPECT_EQ(Count("show"), 1);
    EXPECT_FALSE(rig.view.progressShown);
    EXPECT_EQ(rig.view.gaugeProgress, 255);
    EXPECT_EQ(rig.view.messagePasses, 256);
    EXPECT_FALSE(rig.ops->State().BatchReading);
    EXPECT_FALSE(rig.ops->State().ExportRunning);
}

TEST_F(FileExportTest, CancelledDialogDoesNothingAtAll) {
    files.choices.clear();
    rig.ops->SaveArchiveToFileExecute();
    EXPECT_EQ(files.proposed.size(), 1u);
    EXPECT_TRUE(rig.link.sent.empty());
    EXPECT_TRUE(rig.view.statusHistory.empty());
    EXPECT_EQ(rig.view.archiveNumber, "17");
    EXPECT_TRUE(files.writes.empty());
}

TEST_F(FileExportTest, RecordsThatDoNotArriveLeaveTheirRowsEmpty) {
    rig.link.answer = [](const std::string& command) {
        if (command == commands::Rd(1) || command == commands::Rd(5)) return std::string();
        if (command == commands::Rd(7)) return OpsRig::DefaultAnswer(command).substr(0, 14);
        if (command == commands::Rd(9)) {  // the meter reports its error 4
            auto bytes = OpsRig::RecordForNumber(9);
            bytes.pop_back();
            bytes[13] = 4;
            return fakes::Bytes(fakes::Record(bytes));
        }
        return OpsRig::DefaultAnswer(command);
    };
    rig.ops->SaveArchiveToFileExecute();
    ASSERT_TRUE(files.written);
    const auto& records = files.written->records;
    EXPECT_FALSE(records[1]);
    EXPECT_FALSE(records[5]);
    EXPECT_FALSE(records[7]);
    EXPECT_TRUE(records[6]);
    ASSERT_TRUE(records[9]);
    EXPECT_EQ(DeviceErrorCell(*records[9]), 4);
    const auto& history = rig.view.statusHistory;
    for (const char* failed : {"1", "5", "7"}) {
        EXPECT_NE(std::find(history.begin(), history.end(),
                            texts::kStatusRecordFailed + std::string(failed)),
                  history.end())
            << failed;
    }
}

TEST_F(FileExportTest, EscInTheProgressWindowEndsTheExportWithNothingWritten) {
    rig.view.onProcessMessages = [this] {
        if (rig.view.messagePasses == 10) throw Exception(texts::kExchangeAborted);
    };
    EXPECT_THROW(rig.ops->SaveArchiveToFileExecute(), Exception);
    EXPECT_TRUE(files.writes.empty());
    EXPECT_FALSE(rig.view.progressShown);
    EXPECT_FALSE(rig.ops->State().BatchReading);
    EXPECT_FALSE(rig.ops->State().ExportRunning);
    EXPECT_EQ(rig.link.sent.size(), 1u + 9u);
    EXPECT_EQ(rig.view.status, texts::kStatusFileNotSaved) << "not the last record's success";
    EXPECT_TRUE(rig.view.meterActionsEnabled) << "the actions come back however it ends";
}

TEST_F(FileExportTest, EscDuringAnExchangeEndsTheExportWithNothingWritten) {
    rig.link.onRead = [this] {
        if (rig.link.sent.size() == 4) rig.keys.escape = true;
    };
    EXPECT_THROW(rig.ops->SaveArchiveToFileExecute(), EProtocolCancel);
    EXPECT_TRUE(files.writes.empty());
    EXPECT_FALSE(rig.view.progressShown);
    EXPECT_FALSE(rig.ops->State().BatchReading);
    // The exchange's own text first, then what became of the export.
    const auto& history = rig.view.statusHistory;
    EXPECT_NE(std::find(history.begin(), history.end(), texts::kStatusCancelled), history.end());
    EXPECT_EQ(rig.view.status, texts::kStatusFileNotSaved);
    EXPECT_TRUE(rig.view.meterActionsEnabled);
}

TEST_F(FileExportTest, AFailedWriteOffersAnotherNameAndKeepsTheRecords) {
    files.failures = {"Отказано в доступе."};
    files.choices.push_back(TArchiveFileChoice{"D:\\b.csv", TArchiveFileType::Csv});
    rig.ops->SaveArchiveToFileExecute();
    EXPECT_EQ(files.asked, (std::vector<std::string>{"C:\\Docs\\a.xlsx | Отказано в доступе."}));
    // The name is proposed again without its folder and ending; nothing is read again.
    EXPECT_EQ(files.proposed, (std::vector<std::string>{"Архив ВИРЕЛ1 06.12.2026", "a"}));
    EXPECT_EQ(files.writes, (std::vector<std::string>{"C:\\Docs\\a.xlsx", "D:\\b.csv"}));
    ASSERT_TRUE(files.written);
    EXPECT_TRUE(files.written->records[255]);
    EXPECT_EQ(rig.link.sent.size(), 257u);
    EXPECT_EQ(rig.view.status, std::string(texts::kStatusFileSaved) + "D:\\b.csv");
}

TEST_F(FileExportTest, GivingUpAfterAFailedWriteSaysSo) {
    files.failures = {"Диск заполнен."};
    files.anotherName = false;
    rig.ops->SaveArchiveToFileExecute();
    EXPECT_EQ(files.asked.size(), 1u);
    EXPECT_EQ(files.proposed.size(), 1u);
    EXPECT_EQ(rig.view.status, texts::kStatusFileNotSaved);

    // Cancelling the second dialog gives up the same way.
    files.failures = {"Диск заполнен."};
    files.anotherName = true;
    files.choices = {TArchiveFileChoice{"C:\\Docs\\a.xlsx", TArchiveFileType::Xlsx}};
    rig.ops->SaveArchiveToFileExecute();
    EXPECT_EQ(files.proposed.size(), 3u);
    EXPECT_EQ(rig.view.status, texts::kStatusFileNotSaved);
}

TEST_F(FileExportTest, TheMeterActionsDoNothingWhileTheArchiveIsRead) {
    int nested = 0;
    rig.view.onProcessMessages = [&] {
        EXPECT_FALSE(rig.view.meterActionsEnabled);
        if (rig.view.messagePasses != 3) return;
        // The operator's buttons and keys between two records: a reset here would empty the
        // archive being read.
        rig.ops->PrintExecute();
        rig.ops->ClearExecute();
        rig.ops->ReadArcNExecute();
        rig.ops->SaveArchiveToFileExecute();
        rig.ops->ReadToExcelExecute();
        ++nested;
    };
    rig.ops->SaveArchiveToFileExecute();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(files.proposed.size(), 1u);
    EXPECT_TRUE(rig.sheet.calls.empty());
    EXPECT_EQ(std::count(rig.link.sent.begin(), rig.link.sent.end(), commands::kRes), 0);
    EXPECT_EQ(rig.link.sent.size(), 257u) << "nothing but the export's own commands";
    EXPECT_EQ(files.writes.size(), 1u);
    EXPECT_TRUE(rig.view.meterActionsEnabled);
    EXPECT_EQ(Count("actions off"), 1);
    EXPECT_EQ(Count("actions on"), 1);
}

TEST_F(FileExportTest, TheTitleNamesTheMeterWhoseArchiveWasRead) {
    // The window shows meter 42 from an earlier end of measurement; meter 43 is connected now
    // and does not answer its first end of measurement, but its archive does.
    rig.ops->PrintExecute();
    ASSERT_EQ(rig.view.FieldText(fakes::Field::DevNumber), "42");
    rig.link.answer = [](const std::string& command) -> std::string {
        if (command == commands::kFpr) return {};
        return RecordOfMeter(static_cast<std::uint8_t>(command[3]), 43);
    };
    rig.ops->SaveArchiveToFileExecute();
    ASSERT_TRUE(files.written);
    EXPECT_EQ(files.written->title, "Архив ВИРЕЛ1 №43 на 06.12.2026");
}

TEST_F(FileExportTest, RecordsOfTwoMetersLeaveTheFileUnwritten) {
    rig.link.answer = [](const std::string& command) -> std::string {
        if (command.size() != 4 || command.compare(0, 3, "\x04RD") != 0)
            return OpsRig::DefaultAnswer(command);
        const auto n = static_cast<std::uint8_t>(command[3]);
        return RecordOfMeter(n, n >= 65 ? 43 : 42);  // the cable swapped to another meter
    };
    rig.ops->SaveArchiveToFileExecute();
    EXPECT_TRUE(files.writes.empty());
    ASSERT_EQ(rig.view.errors.size(), 1u);
    EXPECT_EQ(rig.view.errors[0],
              "Прочитаны записи разных приборов (№42 и №43). Архив не сохранён в файл");
    EXPECT_EQ(rig.view.status, texts::kStatusFileNotSaved);
    EXPECT_TRUE(rig.view.meterActionsEnabled);
}

TEST_F(FileExportTest, APortThatDoesNotOpenStopsTheExportAtOnce) {
    rig.view.portText = "COM7";
    rig.link.canOpen = false;
    const auto start = rig.clock.now;
    rig.ops->SaveArchiveToFileExecute();
    EXPECT_LT(rig.clock.now - start, 100) << "no attempts on a port that is not there";
    EXPECT_TRUE(rig.link.sent.empty());
    EXPECT_TRUE(files.writes.empty());
    EXPECT_EQ(rig.view.status, std::string(texts::kStatusFileNoPort) + "COM7");
    EXPECT_EQ(rig.view.messagePasses, 0);
    EXPECT_TRUE(rig.view.meterActionsEnabled);
}

TEST_F(FileExportTest, NoRecordReadWritesNoFile) {
    // Every reply with a checksum that does not match.
    rig.link.answer = [](const std::string& command) {
        std::string bytes = OpsRig::DefaultAnswer(command);
        bytes.back() = static_cast<char>(bytes.back() ^ 0x01);
        return bytes;
    };
    rig.ops->SaveArchiveToFileExecute();
    EXPECT_TRUE(files.writes.empty());
    EXPECT_EQ(rig.view.status, texts::kStatusFileNothingRead);
}

TEST_F(FileExportTest, RecordsNotReadAreCountedInTheStatus) {
    rig.link.answer = [](const std::string& command) {
        if (command == commands::Rd(200)) return std::string();
        return OpsRig::DefaultAnswer(command);
    };
    rig.ops->SaveArchiveToFileExecute();
    ASSERT_EQ(files.writes.size(), 1u);
    EXPECT_EQ(rig.view.status,
              "Архив сохранён в файл C:\\Docs\\a.xlsx; не прочитано записей: 1 из 256");
}

}  // namespace
}  // namespace virel
