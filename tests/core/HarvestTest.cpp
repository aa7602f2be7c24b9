// The dose journal as the device side feeds it: every record accepted kept once with where it
// came from, and the harvest of the whole archive in one batch with its summary and warnings.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/DateTimeFormat.h"
#include "core/meter/DeviceTexts.h"
#include "core/Errors.h"
#include "core/meter/Harvest.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::OpsRig;

// Archive record n as meter `device` sends it, measured on day `day` of February 2010.
std::string RecordOf(std::uint8_t n, std::uint8_t device, std::uint8_t day = 1) {
    const auto full = OpsRig::RecordForNumber(n);
    std::vector<std::uint8_t> bytes(full.begin(), full.begin() + 14);
    bytes[1] = device;
    bytes[6] = static_cast<std::uint8_t>((day / 10) << 4 | day % 10);
    return fakes::Bytes(fakes::Record(bytes));
}

bool IsRd(const std::string& command) {
    return command.size() == 4 && command.compare(0, 3, "\x04RD") == 0;
}

class Capture : public ::testing::Test {
protected:
    OpsRig rig;
};

TEST_F(Capture, EveryAcceptedRecordIsKeptOnceWithItsSource) {
    // The end of measurement's record and the same record read again from the archive.
    rig.link.answer = [](const std::string& command) {
        if (IsRd(command)) return OpsRig::DefaultAnswer(commands::kFpr);
        return OpsRig::DefaultAnswer(command);
    };
    rig.ops->PrintExecute();
    rig.view.archiveNumber = "3";
    rig.ops->ReadArcNExecute();
    ASSERT_EQ(rig.journal.rows.size(), 1u) << "one measurement, one row";
    EXPECT_EQ(rig.journal.rows[0].source, TRecordSource::Print);
    EXPECT_EQ(rig.journal.rows[0].record.raw[1], 0x2A);
    EXPECT_EQ(rig.journal.clockNotes.size(), 1u) << "the clock is looked at by the end of measurement";

    // Another record read by RD, then one equal but for its dose: both new.
    rig.link.answer = OpsRig::DefaultAnswer;
    rig.ops->ReadArcNExecute();
    rig.link.answer = [](const std::string& command) {
        std::string bytes = OpsRig::DefaultAnswer(command);
        bytes[12] = static_cast<char>(bytes[12] + 1);
        bytes[14] = static_cast<char>(bytes[14] + 1);
        return bytes;
    };
    rig.ops->ReadArcNExecute();
    ASSERT_EQ(rig.journal.rows.size(), 3u);
    EXPECT_EQ(rig.journal.rows[1].source, TRecordSource::Record);
    EXPECT_EQ(rig.journal.clockNotes.size(), 1u) << "an archive record's time is no clock";
}

TEST_F(Capture, ARecordWhoseChecksumDoesNotMatchIsNeverKept) {
    rig.link.answer = [](const std::string& command) {
        std::string bytes = OpsRig::DefaultAnswer(command);
        bytes.back() = static_cast<char>(bytes.back() ^ 0x01);
        return bytes;
    };
    rig.ops->PrintExecute();
    rig.ops->ReadArcNExecute();
    EXPECT_TRUE(rig.journal.rows.empty());
    EXPECT_TRUE(rig.journal.clockNotes.empty());
}

TEST_F(Capture, ARecordWithAMeterErrorOrAnImpossibleTimeIsKeptAsItIs) {
    rig.link.answer = [](const std::string&) {
        return fakes::Bytes(fakes::Record(
            {0x00, 0x2A, 0x00, 0x08, 0x10, 0x09, 0x31, 0x02, 0x08, 0x00, 0x00, 0x0C, 0x07, 0x03}));
    };
    rig.ops->PrintExecute();
    ASSERT_EQ(rig.journal.rows.size(), 1u);
    EXPECT_EQ(rig.journal.rows[0].record.deviceError, 3);
    EXPECT_FALSE(rig.journal.rows[0].record.TimeIsValid());
}

TEST_F(Capture, BothExportsKeepWhatTheyRead) {
    rig.fileExport.choices.push_back(TArchiveFileChoice{"C:\\a.csv", TArchiveFileType::Csv});
    rig.ops->SaveArchiveToFileExecute();
    rig.ops->ReadToExcelExecute();
    EXPECT_EQ(rig.journal.rows.size(), 1u + 256u) << "the end of measurement's and the archive";
    EXPECT_EQ(std::count_if(rig.journal.rows.begin(), rig.journal.rows.end(),
                            [](const auto& kept) { return kept.source == TRecordSource::Export; }),
              256);
}

class Harvest : public ::testing::Test {
protected:
    Harvest() { rig.view.portText = "COM3"; }
    OpsRig rig;
};

TEST_F(Harvest, ReadsTheArchiveAtTheQuickPaceAndKeepsItInOneBatch) {
    rig.ops->HarvestExecute();
    ASSERT_EQ(rig.link.sent.size(), 256u) << "no end of measurement: an examination may be running";
    EXPECT_EQ(rig.link.sent[0], commands::Rd(0));
    EXPECT_EQ(std::count(rig.link.readSizes.begin(), rig.link.readSizes.end(), 15u), 256);
    EXPECT_EQ(rig.journal.batchesWritten, 1);
    EXPECT_EQ(rig.journal.rows.size(), 256u);
    EXPECT_EQ(rig.journal.rows[0].source, TRecordSource::Harvest);
    EXPECT_EQ(rig.view.status, "В журнал добавлено 256 новых записей из 256");
    EXPECT_TRUE(rig.view.errors.empty()) << "a first harvest warns of nothing";
    EXPECT_TRUE(rig.view.meterActionsEnabled);
    EXPECT_FALSE(rig.ops->State().ExportRunning);

    // Again: nothing new, nothing doubled.
    rig.ops->HarvestExecute();
    EXPECT_EQ(rig.journal.rows.size(), 256u);
    EXPECT_EQ(rig.view.status, "В журнал добавлено 0 новых записей из 256");
}

TEST_F(Harvest, AllNewWhileTheJournalHeldTheMeterWarnsOfOverwrittenRecordsWithBothTimes) {
    // Journaled earlier: meter 42's record of 01.01.2010, older than any read now.
    rig.link.answer = [](const std::string&) {
        const auto full = OpsRig::RecordForNumber(7);
        std::vector<std::uint8_t> bytes(full.begin(), full.begin() + 14);
        bytes[2] = 0x7F;  // another measurement number: not one of the 256
        bytes[7] = 0x01;  // January
        return fakes::Bytes(fakes::Record(bytes));
    };
    rig.ops->PrintExecute();
    ASSERT_EQ(rig.journal.rows.size(), 1u);
    rig.link.answer = [](const std::string& command) {
        return IsRd(command) ? RecordOf(static_cast<std::uint8_t>(command[3]), 42, 2)
                             : OpsRig::DefaultAnswer(command);
    };
    rig.ops->HarvestExecute();
    EXPECT_EQ(rig.view.status, "В журнал добавлено 256 новых записей из 256");
    ASSERT_EQ(rig.view.errors.size(), 1u);
    const std::string& box = rig.view.errors[0];
    EXPECT_NE(box.find("прибора №42"), std::string::npos) << box;
    EXPECT_NE(box.find("(01.01.2010 7:07:00)"), std::string::npos) << box;
    EXPECT_NE(box.find("(02.02.2010)"), std::string::npos) << box;  // midnight: the date alone
}

TEST_F(Harvest, APortThatDoesNotOpenEndsItAtOnce) {
    rig.link.canOpen = false;
    const auto start = rig.clock.now;
    rig.ops->HarvestExecute();
    EXPECT_LT(rig.clock.now - start, 100);
    EXPECT_TRUE(rig.link.sent.empty());
    EXPECT_EQ(rig.view.status, "Архив не собран в журнал: не удалось открыть порт COM3");
    EXPECT_TRUE(rig.journal.rows.empty());
}

TEST_F(Harvest, NoRecordReadOrRecordsOfTwoMetersKeepNothing) {
    rig.link.answer = [](const std::string&) { return std::string(); };
    rig.ops->HarvestExecute();
    EXPECT_EQ(rig.view.status, texts::kHarvestNothingRead);

    rig.link.answer = [](const std::string& command) {
        const auto n = static_cast<std::uint8_t>(command[3]);
        return RecordOf(n, n < 100 ? 42 : 43);
    };
    rig.ops->HarvestExecute();
    EXPECT_TRUE(rig.journal.rows.empty());
    ASSERT_EQ(rig.view.errors.size(), 1u);
    EXPECT_EQ(rig.view.errors[0],
              "Прочитаны записи разных приборов (№42 и №43). Архив не собран в журнал");
}

TEST_F(Harvest, EscKeepsNothingAndSaysSo) {
    rig.view.onProcessMessages = [this] {
        if (rig.view.messagePasses == 30) throw Exception(texts::kExchangeAborted);
    };
    EXPECT_THROW(rig.ops->HarvestExecute(), Exception);
    EXPECT_TRUE(rig.journal.rows.empty());
    EXPECT_FALSE(rig.journal.batchOpen);
    EXPECT_EQ(rig.view.status, texts::kHarvestNotDone);
    EXPECT_TRUE(rig.view.meterActionsEnabled);
}

TEST_F(Harvest, RecordsMissingAndAJournalThatCannotBeWrittenAreSaid) {
    rig.link.answer = [](const std::string& command) {
        return command == commands::Rd(9) ? std::string() : OpsRig::DefaultAnswer(command);
    };
    rig.journal.unwritable = true;
    rig.ops->HarvestExecute();
    EXPECT_EQ(rig.view.status,
              std::string("В журнал добавлено 255 новых записей из 256; не прочитано записей: 1 "
                          "из 256") +
                  texts::kHarvestHeld);
}

// The warning of overwritten records: only when nothing read overlaps what the journal held of
// the meter and the oldest read is later than the newest held, to the minute.
TEST(HarvestGap, OnlyAllNewRecordsAllLaterThanTheJournalsNewestMayHaveBeenOverwritten) {
    const DateTime held2025{2025, 4, 1, 9, 30, 0, 0};
    struct TCase {
        const char* what;
        std::size_t read;
        std::size_t added;
        std::optional<DateTime> newestJournaled;
        std::optional<DateTime> oldestRead;
        bool warned;
    };
    const TCase cases[] = {
        {"all new, later", 256, 256, held2025, DateTime{2025, 4, 2, 8, 0, 0, 0}, true},
        {"all new, a minute later", 256, 256, held2025, DateTime{2025, 4, 1, 9, 31, 0, 0}, true},
        {"all new, the same minute", 256, 256, held2025, DateTime{2025, 4, 1, 9, 30, 59, 0}, false},
        {"all new, older than the journal", 256, 256, held2025, DateTime{2011, 3, 10, 5, 2, 0, 0},
         false},
        {"one read was journaled", 256, 255, held2025, DateTime{2025, 4, 2, 8, 0, 0, 0}, false},
        {"an incomplete read, all new, later", 200, 200, held2025, DateTime{2025, 4, 2, 8, 0, 0, 0},
         true},
        {"no record of the meter journaled", 256, 256, std::nullopt,
         DateTime{2025, 4, 2, 8, 0, 0, 0}, false},
        {"no record read has a valid time", 256, 256, held2025, std::nullopt, false},
    };
    for (const TCase& c : cases) {
        THarvestResult result;
        result.meter = 42;
        result.read = c.read;
        result.added = c.added;
        result.newestJournaled = c.newestJournaled;
        result.oldestRead = c.oldestRead;
        EXPECT_EQ(MayHaveOverwritten(result), c.warned) << c.what;
        result.held = true;  // new ones held in memory are judged alike
        EXPECT_EQ(MayHaveOverwritten(result), c.warned) << c.what << ", held";
    }
    THarvestResult nothing;
    nothing.outcome = THarvestResult::Outcome::NothingRead;
    nothing.newestJournaled = held2025;
    nothing.oldestRead = DateTime{2025, 4, 2, 8, 0, 0, 0};
    EXPECT_FALSE(MayHaveOverwritten(nothing));
}

}  // namespace
}  // namespace virel
