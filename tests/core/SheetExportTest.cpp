#include <gtest/gtest.h>

#include <algorithm>

#include "core/export/SheetExport.h"
#include "core/DateTimeFormat.h"
#include "core/meter/DeviceTexts.h"
#include "core/Errors.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::OpsRig;

class ArchiveExportTest : public ::testing::Test {
protected:
    ArchiveExportTest() {
        rig.clock.now = ToMilliseconds(DateTime{2026, 12, 6, 10, 15, 0, 0});
        rig.view.archiveNumber = "17";
    }
    const std::map<std::pair<int, int>, std::string>& Cells() const { return rig.sheet.cells; }
    std::size_t RdSent() const {
        return static_cast<std::size_t>(
            std::count_if(rig.link.sent.begin(), rig.link.sent.end(),
                          [](const std::string& c) { return c.size() == 4 && c[0] == '\x04'; }));
    }
    void ExpectNothingStarted() {
        EXPECT_EQ(rig.view.statusHistory,
                  (std::vector<std::string>{texts::kStatusReading, texts::kStatusNoSpreadsheet}));
        EXPECT_EQ(rig.view.archiveNumber, "17");
        EXPECT_TRUE(rig.link.sent.empty());
        EXPECT_TRUE(Cells().empty());
        EXPECT_EQ(std::count(rig.view.events.begin(), rig.view.events.end(), "show"), 0);
        EXPECT_FALSE(rig.ops->State().BatchReading);
    }

    OpsRig rig;
};

TEST_F(ArchiveExportTest, FullRunFillsRowsThreeTo258) {
    rig.ops->ReadToExcelExecute();
    const auto& cells = Cells();
    EXPECT_EQ(cells.at({1, 2}), "Архив ВИРЕЛ1 №42 на 06.12.2026");
    EXPECT_EQ(rig.sheet.fontSizes.at({1, 2}), 14);
    EXPECT_EQ(cells.at({2, 1}), texts::kHeaderTime);
    EXPECT_EQ(cells.at({2, 2}), texts::kHeaderMeasureNumber);
    EXPECT_EQ(cells.at({2, 3}), texts::kHeaderDose);
    EXPECT_EQ(cells.at({2, 4}), "Ошибка прибора");
    EXPECT_EQ(cells.count({1, 1}), 0u);
    EXPECT_EQ(cells.size(), 5u + 256u * 3u);
    EXPECT_EQ(cells.at({3, 1}), "01.02.2010");  // record 0: midnight, date alone
    EXPECT_EQ(cells.at({3, 2}), "1000");
    EXPECT_EQ(cells.at({3, 3}), "0.5");
    EXPECT_EQ(cells.at({258, 1}), "01.02.2010 15:15:00");  // record 255: 255 % 24, 255 % 60
    EXPECT_EQ(cells.at({258, 2}), "1255");
    EXPECT_EQ(cells.at({258, 3}), "255.5");
    // One end of measurement, then RD 0..255 in order.
    ASSERT_EQ(rig.link.sent.size(), 257u);
    EXPECT_EQ(rig.link.sent[0], commands::kFpr);
    for (int n = 0; n < 256; ++n) EXPECT_EQ(rig.link.sent[n + 1], commands::Rd(n));
    // At the usual pace: each reply read whole under the input time-out, no quick reads.
    ASSERT_EQ(rig.link.readSizes.size(), 257u);
    for (const auto size : rig.link.readSizes) EXPECT_EQ(size, kReadCount);
    // New instance: create, workbook, then cells; released once at the end.
    EXPECT_EQ(rig.sheet.calls[0], "attach");
    EXPECT_EQ(rig.sheet.calls[1], "create");
    EXPECT_EQ(rig.sheet.calls[2], "add");
    EXPECT_EQ(rig.sheet.calls[3], "cell 1,2");
    EXPECT_EQ(rig.sheet.calls[4], "font 1,2");
    EXPECT_EQ(rig.sheet.calls.back(), "release");
    EXPECT_EQ(rig.sheet.releases, 1);
    EXPECT_EQ(rig.view.status, texts::kStatusReadOk);
    EXPECT_EQ(rig.view.archiveNumber, "255");
    EXPECT_EQ(rig.view.gaugeProgress, 255);
    EXPECT_EQ(rig.view.gaugeMax, 255);
    EXPECT_FALSE(rig.view.progressShown);
    EXPECT_FALSE(rig.ops->State().BatchReading);
    EXPECT_EQ(rig.view.messagePasses, 256);
    EXPECT_EQ(rig.view.statusHistory.front(), texts::kStatusReading);
}

TEST_F(ArchiveExportTest, EventOrderAroundTheLoop) {
    rig.ops->ReadToExcelExecute();
    const auto& e = rig.view.events;
    const std::vector<std::string> start = {"foreground", "num 0",      "progress 0", "max 1",
                                            "progress 1", "close",  // end of measurement
                                            "progress 0", "max 255",    "show",       "num 0",
                                            "messages",   "progress 0", "num 1",      "messages",
                                            "progress 1"};
    ASSERT_GE(e.size(), start.size());
    EXPECT_EQ(std::vector<std::string>(e.begin(), e.begin() + start.size()), start);
    EXPECT_EQ(std::vector<std::string>(e.end() - 4, e.end()),
              (std::vector<std::string>{"num 255", "messages", "progress 255", "close"}));
}

TEST_F(ArchiveExportTest, DeviceErrorNumberGoesToColumnDOfItsRecordOnly) {
    rig.link.answer = [](const std::string& command) {
        const auto n = static_cast<std::uint8_t>(command.size() == 4 ? command[3] : 0);
        if (command.size() == 4 && command[0] == '\x04' && n % 100 == 7) {
            auto r = OpsRig::RecordForNumber(n);
            r[13] = static_cast<std::uint8_t>(n == 7 ? 1 : 255);
            r.pop_back();
            return fakes::Bytes(fakes::Record(r));
        }
        return OpsRig::DefaultAnswer(command);
    };
    rig.ops->ReadToExcelExecute();
    const auto& cells = Cells();
    EXPECT_EQ(cells.at({10, 4}), "1");     // record 7
    EXPECT_EQ(cells.at({110, 4}), "255");  // record 107
    EXPECT_EQ(cells.at({210, 4}), "255");  // record 207
    // Columns A to C as for every record; no other row has a column D.
    EXPECT_EQ(cells.at({10, 2}), "1007");
    EXPECT_EQ(cells.at({10, 3}), "7.5");
    EXPECT_EQ(cells.size(), 5u + 256u * 3u + 3u);
    EXPECT_EQ(cells.count({11, 4}), 0u);
}

TEST_F(ArchiveExportTest, InvalidTimeStampLeavesItsTimeCellEmpty) {
    rig.link.answer = [](const std::string& command) {
        if (command.size() == 4 && command[0] == '\x04' && command[3] == 9) {
            auto r = OpsRig::RecordForNumber(9);
            r[5] = 0x1A;  // hour: no decimal digit
            r.pop_back();
            return fakes::Bytes(fakes::Record(r));
        }
        return OpsRig::DefaultAnswer(command);
    };
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(Cells().at({11, 1}), "01.02.2010 8:08:00");  // record 8
    EXPECT_EQ(Cells().at({12, 1}), "");                    // record 9, not record 8's time
    EXPECT_EQ(Cells().at({12, 2}), "1009");
    EXPECT_EQ(Cells().at({12, 3}), "9.5");
    EXPECT_EQ(Cells().count({12, 4}), 0u);
}

TEST_F(ArchiveExportTest, OperatorsActionsBetweenRecordsLeaveTheProgressWindowAlone) {
    std::vector<std::string> during;
    rig.view.onProcessMessages = [&] {
        const int pass = rig.view.messagePasses;
        if (pass == 5) rig.ops->PrintExecute();
        if (pass == 6) rig.ops->ClearExecute();
        if (pass == 7) {
            rig.view.archiveNumber = "200";
            rig.ops->ReadArcNExecute();
        }
        if (pass == 8) {
            rig.keys.escapeAtCheck = rig.keys.checks + 1;
            EXPECT_THROW(rig.ops->PrintExecute(), EProtocolCancel);
        }
        if (pass >= 5 && pass <= 9) {
            EXPECT_TRUE(rig.view.progressShown) << pass;
            EXPECT_EQ(rig.view.gaugeMax, 255) << pass;
        }
    };
    rig.ops->ReadToExcelExecute();
    const auto& e = rig.view.events;
    const auto shown = std::find(e.begin(), e.end(), "show");
    ASSERT_NE(shown, e.end());
    // Between showing and the final close: only the export's own progress, no reset, no close.
    EXPECT_EQ(std::count(shown, e.end(), "close"), 1);
    EXPECT_EQ(std::count(shown, e.end(), "max 1"), 0);
    EXPECT_EQ(rig.view.gaugeProgress, 255);
    // Every record still landed in its own row.
    EXPECT_EQ(Cells().at({8, 2}), "1005");
    EXPECT_EQ(Cells().size(), 5u + 256u * 3u);
}

TEST_F(ArchiveExportTest, RunningInstanceIsUsedAsItIs) {
    rig.sheet.running = true;
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(rig.sheet.calls[0], "attach");
    EXPECT_EQ(rig.sheet.calls[1], "add");
    EXPECT_EQ(std::count(rig.sheet.calls.begin(), rig.sheet.calls.end(), "create"), 0);
}

TEST_F(ArchiveExportTest, MissingRecordsLeaveTheirRowsEmpty) {
    rig.link.answer = [](const std::string& command) {
        if (command.size() == 4 && command[0] == '\x04' && (command[3] & 1)) return std::string();
        return OpsRig::DefaultAnswer(command);
    };
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(Cells().count({4, 1}), 0u);  // record 1
    EXPECT_EQ(Cells().at({5, 2}), "1002");
    EXPECT_EQ(Cells().count({258, 3}), 0u);
    EXPECT_EQ(Cells().size(), 5u + 128u * 3u);
    EXPECT_EQ(rig.view.status, std::string(texts::kStatusRecordFailed) + "255");
    EXPECT_NE(std::find(rig.view.statusHistory.begin(), rig.view.statusHistory.end(),
                        std::string(texts::kStatusRecordFailed) + "1"),
              rig.view.statusHistory.end());
    EXPECT_EQ(rig.view.gaugeProgress, 255);
}

TEST_F(ArchiveExportTest, NoMeterTitleKeepsThePreviousDeviceNumber) {
    rig.link.answer = [](const std::string&) {
        return fakes::Bytes(fakes::Record(
            {0x00, 0x07, 0x00, 0x01, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00, 0x00, 0x01, 0x00, 0x00}));
    };
    rig.ops->PrintExecute();
    ASSERT_EQ(rig.view.FieldText(fakes::Field::DevNumber), "7");
    rig.link.answer = nullptr;
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(Cells().at({1, 2}), "Архив ВИРЕЛ1 №7 на 06.12.2026");
    EXPECT_EQ(Cells().size(), 5u);
    EXPECT_EQ(rig.view.status, std::string(texts::kStatusRecordFailed) + "255");
    EXPECT_EQ(rig.view.gaugeProgress, 255);
}

TEST_F(ArchiveExportTest, NoSpreadsheetProgram) {
    rig.sheet.canCreate = false;
    rig.ops->ReadToExcelExecute();
    ExpectNothingStarted();
    EXPECT_EQ(rig.sheet.releases, 1);
}

TEST_F(ArchiveExportTest, FactoryFailureIsNoSpreadsheetProgram) {
    TDeviceOperations device(
        rig.view, rig.link, rig.clock, rig.keys, rig.portLock, rig.files, OpsRig::kLogPath,
        []() -> std::unique_ptr<ISpreadsheet> {
            throw Exception("CoInitialize has not been called");
        },
        rig.fileExport, rig.journal, rig.formats);
    fakes::FakeFace(rig.view, device).ReadToExcelExecute();
    ExpectNothingStarted();
}

TEST_F(ArchiveExportTest, AddFailingEndsSetUp) {
    rig.sheet.addFails = true;
    rig.ops->ReadToExcelExecute();
    ExpectNothingStarted();
}

TEST_F(ArchiveExportTest, HeaderCellFailingEndsSetUpAfterTheEndOfMeasurement) {
    rig.sheet.failAtCell = 3;
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(rig.view.status, texts::kStatusNoSpreadsheet);
    EXPECT_EQ(rig.link.sent, std::vector<std::string>{commands::kFpr});
    EXPECT_EQ(rig.view.archiveNumber, "0");
    EXPECT_FALSE(rig.ops->State().BatchReading);
}

TEST_F(ArchiveExportTest, EscDuringTheEndOfMeasurementIsASetUpFailure) {
    rig.keys.escapeAtCheck = 1;
    EXPECT_NO_THROW(rig.ops->ReadToExcelExecute());
    EXPECT_EQ(rig.view.status, texts::kStatusNoSpreadsheet);
    EXPECT_FALSE(rig.link.open);
    EXPECT_EQ(RdSent(), 0u);
    EXPECT_EQ(std::count(rig.view.events.begin(), rig.view.events.end(), "show"), 0);
}

TEST_F(ArchiveExportTest, EscInTheProgressWindowEndsTheExport) {
    rig.view.onProcessMessages = [&] {
        if (rig.view.messagePasses == 11) throw Exception(texts::kExchangeAborted);
    };
    try {
        rig.ops->ReadToExcelExecute();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), texts::kExchangeAborted);
    }
    EXPECT_EQ(RdSent(), 10u);  // record 10 is not requested
    EXPECT_EQ(Cells().count({12, 1}), 1u);
    EXPECT_EQ(Cells().count({13, 1}), 0u);
    EXPECT_FALSE(rig.view.progressShown);
    EXPECT_FALSE(rig.ops->State().BatchReading);
    EXPECT_EQ(rig.sheet.releases, 1);
    EXPECT_EQ(rig.view.events.back(), "close");
}

TEST_F(ArchiveExportTest, EscDuringARecordEndsTheExportWithCancellation) {
    int rd = 0;
    rig.link.answer = [&](const std::string& command) {
        if (command[0] == '\x04' && ++rd == 5) rig.keys.escape = true;
        return OpsRig::DefaultAnswer(command);
    };
    EXPECT_THROW(rig.ops->ReadToExcelExecute(), EProtocolCancel);
    EXPECT_EQ(rig.view.status, texts::kStatusCancelled);
    EXPECT_EQ(Cells().count({6, 1}), 1u);  // record 3
    EXPECT_EQ(Cells().count({7, 1}), 0u);  // record 4 was cancelled
    EXPECT_FALSE(rig.link.open);
    EXPECT_FALSE(rig.ops->State().BatchReading);
    EXPECT_FALSE(rig.view.progressShown);
}

TEST_F(ArchiveExportTest, FailingCellCallMidExportEndsIt) {
    rig.sheet.failAtCell = 5 + 3 * 20 + 2;  // record 20, its second column
    EXPECT_THROW(rig.ops->ReadToExcelExecute(), Exception);
    EXPECT_EQ(RdSent(), 21u);
    EXPECT_EQ(Cells().count({23, 1}), 1u);
    EXPECT_EQ(Cells().count({23, 2}), 0u);
    EXPECT_FALSE(rig.ops->State().BatchReading);
    EXPECT_FALSE(rig.view.progressShown);
    EXPECT_EQ(rig.sheet.releases, 1);
}

TEST_F(ArchiveExportTest, SecondExportRequestedDuringTheFirstDoesNothing) {
    rig.view.onProcessMessages = [&] {
        if (rig.view.messagePasses == 3) {
            const auto statuses = rig.view.statusHistory.size();
            rig.ops->ReadToExcelExecute();
            EXPECT_EQ(rig.view.statusHistory.size(), statuses);
        }
    };
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(std::count(rig.sheet.calls.begin(), rig.sheet.calls.end(), "attach"), 1);
    EXPECT_EQ(rig.sheet.releases, 1);
    EXPECT_EQ(RdSent(), 256u);
    EXPECT_EQ(Cells().size(), 5u + 256u * 3u);

    // Afterwards an export runs again.
    rig.view.onProcessMessages = nullptr;
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(rig.sheet.releases, 2);
}

TEST_F(ArchiveExportTest, TimerTicksDuringTheExportDoNotPrintButCount) {
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    rig.view.onProcessMessages = [&] { rig.ops->TimerTimer(); };
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(rig.ops->State().TimerTicks, 1 + 256);
    EXPECT_EQ(std::count(rig.link.sent.begin(), rig.link.sent.end(), commands::kFpr), 1);
    EXPECT_EQ(rig.files.calls, 0);
    EXPECT_EQ(Cells().size(), 5u + 256u * 3u);
    // And after it, prints resume.
    rig.view.onProcessMessages = nullptr;
    for (int i = 0; i < 5; ++i) rig.ops->TimerTimer();
    EXPECT_EQ(rig.files.calls, 1);
}

TEST_F(ArchiveExportTest, RecordNumberTypedDuringTheMessagePassDoesNotShiftRows) {
    rig.view.onProcessMessages = [&] {
        if (rig.view.messagePasses == 6) rig.view.archiveNumber = "200";
    };
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(rig.link.sent[6], commands::Rd(5));
    EXPECT_EQ(Cells().at({8, 2}), "1005");
}

}  // namespace
}  // namespace virel
