// The operator's guide names every text the program can show: each status text and message,
// so that the operator can look up what it means, and each control and menu entry. A text added
// to the program without a word in the guide fails here.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "app/windows/Texts.h"
#include "core/Utf16.h"
#include "core/meter/DeviceTexts.h"
#include "core/meter/HarvestCommand.h"
#include "forms/AlertNotice.h"
#include "forms/AnnotationForm.h"
#include "forms/CatalogueForm.h"
#include "forms/JournalSettings.h"
#include "forms/JournalView.h"
#include "forms/RegistryForm.h"
#include "forms/ReportSources.h"
#include "forms/ReportView.h"
#include "journal/JournalTexts.h"
#include "registry/PushSchedule.h"
#include "reports/Audit.h"
#include "reports/DoseSheet.h"
#include "reports/ReportTables.h"
#include "serial/SerialTrace.h"
#include "storage/ProgramSettings.h"

#ifndef VIREL_GUIDE_PATH
#error "build with the path of the operator's guide"
#endif

namespace virel {
namespace {

// The guide with every run of spaces and line ends as one space: a text may wrap in the source.
std::string GuideText() {
    std::ifstream in(VIREL_GUIDE_PATH, std::ios::binary);
    std::ostringstream raw;
    raw << in.rdbuf();
    std::string text;
    for (const char c : raw.str()) {
        const bool space = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (space && !text.empty() && text.back() == ' ') continue;
        text += space ? ' ' : c;
    }
    return text;
}

// A text as the guide quotes it: without the spaces where a number or path follows.
std::string Quoted(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

// A caption as the operator reads it: without the "&" that marks its access key.
std::string Caption(const wchar_t* text) {
    std::string caption;
    for (const char c : Narrow(text)) {
        if (c != '&') caption += c;
    }
    return caption;
}

TEST(GuideTexts, EveryStatusTextAndMessageIsExplained) {
    const std::string guide = GuideText();
    ASSERT_FALSE(guide.empty()) << "no guide at " VIREL_GUIDE_PATH;
    const std::string_view notInteger = texts::kErrorNotInteger;
    for (const char* text : {texts::kStatusRequest,          texts::kStatusRequestRecord,
                             texts::kStatusClearing,         texts::kStatusReadOk,
                             texts::kStatusReadFailed,       texts::kStatusClearOk,
                             texts::kStatusClearFailed,      texts::kStatusCancelled,
                             texts::kStatusBadChecksum,      texts::kStatusDeviceError,
                             texts::kStatusInvalidTime,      texts::kStatusAlsoInvalidTime,
                             texts::kErrorRecordNumberRange, texts::kStatusLogWritten,
                             texts::kStatusLogFailed,        texts::kExitLinesSavedBefore,
                             texts::kExitLinesSavedAfter,    texts::kExitLinesLost,
                             texts::kExitLinesDropped,       texts::kStatusReading,
                             texts::kStatusNoSpreadsheet,    texts::kStatusRecordFailed,
                             texts::kExchangeAborted,        texts::kStatusFileSaved,
                             texts::kStatusFileNotSaved,     texts::kFileWriteFailed,
                             texts::kFileChooseAnother,      texts::kStatusFileRecordsMissing,
                             texts::kStatusFileNothingRead,  texts::kStatusFileNoPort,
                             texts::kHarvestAdded,           texts::kHarvestAddedOf,
                             texts::kHarvestHeld,            texts::kHarvestNoPort,
                             texts::kHarvestNothingRead,     texts::kHarvestNotDone,
                             texts::kJournalReplaced1,       texts::kJournalHeldSaved,
                             texts::kJournalHeldSavedTo,     texts::kJournalHeldLost}) {
        EXPECT_NE(guide.find(Quoted(text)), std::string::npos) << text;
    }
    // The boxes with numbers and times in them, up to the first.
    for (const char* text : {texts::kHarvestTwoMeters, texts::kHarvestGap}) {
        const std::string_view whole = text;
        EXPECT_NE(guide.find(whole.substr(0, whole.find("%1"))), std::string::npos) << text;
    }
    // The box when the records read come from two meters, up to its numbers.
    const std::string_view mixed = texts::kErrorMixedMeters;
    EXPECT_NE(guide.find(mixed.substr(0, mixed.find("%1"))), std::string::npos) << mixed;
    const std::string afterValue(notInteger.substr(notInteger.find("%s") + 3));
    EXPECT_NE(guide.find(afterValue), std::string::npos) << afterValue;
    EXPECT_NE(guide.find(Narrow(app::kUnknownError)), std::string::npos);
    // The box at start when "/trace" was asked for and no trace file can be written.
    for (const char* text : {kTraceNotWritten, kTraceOff}) {
        EXPECT_NE(guide.find(text), std::string::npos) << text;
    }
}

TEST(GuideTexts, TheHarvestWithoutAWindowIsExplained) {
    const std::string guide = GuideText();
    ASSERT_FALSE(guide.empty()) << "no guide at " VIREL_GUIDE_PATH;
    // How it is written (the usage after its full stop and space), its exit codes and a
    // scheduled task that runs it.
    const std::string_view usage = texts::kCommandUsage;
    EXPECT_NE(guide.find(usage.substr(2)), std::string::npos) << usage;
    for (const char* text : {"schtasks /create", "/harvest", "/port COM", "/speed"}) {
        EXPECT_NE(guide.find(text), std::string::npos) << text;
    }
    for (int code = 0; code <= 4; ++code) {
        const std::string row = "| " + std::to_string(code) + " |";
        EXPECT_NE(guide.find(row), std::string::npos) << "exit code " << code;
    }
    // Its own texts, up to the switch or value each names.
    for (const char* text : {texts::kCommandUnknownSwitch, texts::kCommandNoValue,
                             texts::kCommandRepeated, texts::kCommandBadPort,
                             texts::kCommandBadSpeed}) {
        const std::string_view whole = text;
        const std::size_t at = whole.find("%1");
        const std::string_view before = whole.substr(0, at);
        const std::string_view after = whole.substr(at + 2);
        EXPECT_NE(guide.find(before.empty() ? after : before), std::string::npos) << text;
    }
    EXPECT_NE(guide.find(Quoted(texts::kHarvestJournalUnwritable)), std::string::npos);
    EXPECT_NE(guide.find(texts::kHarvestJournalUnwritable2), std::string::npos);
}

TEST(GuideTexts, TheHarvestsCodeForRecordsNotReadIsExplained) {
    const std::string guide = GuideText();
    ASSERT_FALSE(guide.empty()) << "no guide at " VIREL_GUIDE_PATH;
    const std::string row =
        "| " + std::to_string(static_cast<int>(THarvestExit::Incomplete)) + " |";
    const std::size_t at = guide.find(row);
    ASSERT_NE(at, std::string::npos) << row;
    const std::string line = guide.substr(at, guide.find('\n', at) - at);
    // The summary's own words for the records not read, after its "; ".
    EXPECT_NE(line.find(std::string_view(texts::kStatusFileRecordsMissing).substr(2)),
              std::string::npos)
        << line;
}

TEST(GuideTexts, EveryControlMenuEntryAndWindowIsNamed) {
    const std::string guide = GuideText();
    ASSERT_FALSE(guide.empty()) << "no guide at " VIREL_GUIDE_PATH;
    for (const wchar_t* text :
         {app::kGroupComPort,       app::kGroupCurrent,       app::kReadToFile,
          app::kLabelAutoTime,      app::kGroupLast,          app::kLabelDevNumber,
          app::kLabelMeasureNumber, app::kLabelTime,          app::kLabelDose,
          app::kGroupService,       app::kPrintOnDevice,      app::kCheckBox1,
          app::kAboutCaption,       app::kReadToExcelCaption, app::kSaveToFileCaption,
          app::kExitCaption,        app::kPrintCaption,       app::kClearCaption,
          app::kReadArcNCaption,    app::kMenuService,        app::kSetTimeCaption,
          app::kProgressCaption}) {
        EXPECT_NE(guide.find(Caption(text)), std::string::npos) << Caption(text);
    }
    EXPECT_NE(guide.find(Caption(app::kHarvestCaption)), std::string::npos);
    EXPECT_NE(guide.find(Caption(app::kJournalCaption)), std::string::npos);
    // The journal's window: its caption, controls, columns, the words of the sources and its lines.
    for (const char* text :
         {texts::kJournalWindowCaption, texts::kJournalExport, texts::kJournalShown,
          texts::kJournalShownDose, texts::kJournalDoseUnit, texts::kClockDrift,
          texts::kJournalUnavailable, texts::kJournalHeaderTime, texts::kJournalHeaderMeter,
          texts::kJournalHeaderNumber, texts::kJournalHeaderDose, texts::kJournalHeaderError,
          texts::kJournalHeaderSource, texts::kSourcePrint, texts::kSourceRecord,
          texts::kSourceExport, texts::kSourceHarvest, texts::kJournalSheetTitle}) {
        std::string caption;
        for (const char c : std::string(text)) {
            if (c != '&') caption += c;
        }
        EXPECT_NE(guide.find(Quoted(caption)), std::string::npos) << text;
    }
    for (const char* text : {texts::kArchiveTitle, texts::kHeaderTime, texts::kHeaderMeasureNumber,
                             texts::kHeaderDose, texts::kHeaderDeviceError, texts::kArchiveFileName,
                             texts::kFilterXlsx, texts::kFilterCsv}) {
        EXPECT_NE(guide.find(Quoted(text)), std::string::npos) << text;
    }
}

// The record's dialog, the catalogue's and the journal's settings: their captions, fields,
// buttons and messages.
TEST(GuideTexts, TheExaminationsDialogsAreNamed) {
    const std::string guide = GuideText();
    ASSERT_FALSE(guide.empty()) << "no guide at " VIREL_GUIDE_PATH;
    const auto plain = [](const char* text) {
        std::string caption;
        for (const char c : std::string(text)) {
            if (c != '&') caption += c;
        }
        while (!caption.empty() && (caption.back() == ':' || caption.back() == ' ')) caption.pop_back();
        return caption;
    };
    for (const char* text :
         {texts::kAnnotationCaption, texts::kAnnotationPatient, texts::kAnnotationBirthYear,
          texts::kAnnotationKind, texts::kAnnotationImages, texts::kAnnotationOperator,
          texts::kAnnotationNote, texts::kAnnotationNoKind, texts::kAnnotationPatientHidden,
          texts::kBirthYearRange, texts::kImagesNotNumberEnd, texts::kJournalHeaderKind,
          texts::kJournalNewRecord, texts::kAnnotationSaved, texts::kCatalogueButton,
          texts::kCatalogueCaption, texts::kCatalogueHeaderAdult, texts::kCatalogueHeaderChild,
          texts::kCatalogueAdd, texts::kCatalogueEdit, texts::kCatalogueRemove,
          texts::kCatalogueImport, texts::kCatalogueExport, texts::kKindCaption, texts::kKindName,
          texts::kKindAdult, texts::kKindChild, texts::kKindInUseEnd, texts::kCatalogueNotImported,
          texts::kCatalogueFileName, texts::kJournalSettingsButton, texts::kJournalSettingsCaption,
          texts::kSettingsUnit, texts::kSettingsPatient, texts::kSettingsSalt, texts::kPatientTyped,
          texts::kPatientSha256, texts::kPatientNone, texts::kSettingsSaltEmpty}) {
        EXPECT_NE(guide.find(plain(text)), std::string::npos) << text;
    }
    // The report window, the dose sheet and the journal window's menu.
    for (const char* text :
         {texts::kJournalMenu, texts::kReportMenu, texts::kReportCaption, texts::kReportSource,
          texts::kReportSourceHere, texts::kReportUnit, texts::kReportSave, texts::kReportClose,
          texts::kReportComputing, texts::kReportFailed, texts::kReportRecords, texts::kReportSaved,
          texts::kReportNotSaved, texts::kReportFileName, texts::kDoseSheetCopy,
          texts::kDoseSheetCopied, texts::kDoseSheetNothing, texts::kDoseSheetNotCopied,
          texts::kDoseSheetDate, texts::kDoseSheetExamination, texts::kDoseSheetDap,
          texts::kDoseSheetEffective}) {
        EXPECT_NE(guide.find(plain(text)), std::string::npos) << text;
    }
    for (const TDoseUnit unit : {TDoseUnit::cGy, TDoseUnit::mGy})
        EXPECT_NE(guide.find(JournalDoseHeader(unit)), std::string::npos) << JournalDoseHeader(unit);
    EXPECT_NE(guide.find(kJournalSettingsSection), std::string::npos);
    for (const std::string_view name :
         {kStoredDoseUnit.place.name, kStoredPatientForm.place.name, kStoredPatientSalt.place.name})
        EXPECT_NE(guide.find(name), std::string::npos) << name;
}

// The central registry's dialog and the journal window's line about the link: every caption,
// field, message and part of the line, and where the settings are kept.
TEST(GuideTexts, TheCentralJournalsDialogAndLineAreExplained) {
    const std::string guide = GuideText();
    ASSERT_FALSE(guide.empty()) << "no guide at " VIREL_GUIDE_PATH;
    const auto plain = [](const char* text) {
        std::string caption;
        for (const char c : std::string(text)) {
            if (c != '&') caption += c;
        }
        while (!caption.empty() && (caption.back() == ':' || caption.back() == ' ')) caption.pop_back();
        return caption;
    };
    for (const char* text :
         {texts::kRegistryButton, texts::kRegistryCaption, texts::kRegistryConnection,
          texts::kRegistryRoom, texts::kRegistryPassword, texts::kRegistryPasswordStored,
          texts::kRegistryForget, texts::kRegistryCheck, texts::kRegistryChecking,
          texts::kRegistryWorks, texts::kRegistryFails, texts::kRegistryHalfGiven,
          texts::kRegistryNotStored, texts::kLinkPrefix, texts::kLinkLastPush,
          texts::kLinkNeverPushed, texts::kLinkWaiting, texts::kLinkPushing,
          texts::kLinkRefusedRows,         texts::kReportSourceAllRooms,
          texts::kReportSourceThisRoom,
          texts::kLinkUnreachable, texts::kLinkRefused, texts::kLinkFailed}) {
        EXPECT_NE(guide.find(plain(text)), std::string::npos) << text;
    }
    for (const char* text : {"TCentralJournal", "`Connection`", "`Room`", "`Password`",
                             "CryptProtectData"}) {
        EXPECT_NE(guide.find(text), std::string::npos) << text;
    }
}

// The audit against the reference levels: its tables, marks and the local levels' catalogue,
// the button and its lines, and the switch that writes it without a window.
TEST(GuideTexts, TheAuditAndTheLocalLevelsAreExplained) {
    const std::string guide = GuideText();
    ASSERT_FALSE(guide.empty()) << "no guide at " VIREL_GUIDE_PATH;
    const auto plain = [](std::string text) {
        std::string caption;
        for (const char c : text) {
            if (c != '&') caption += c;
        }
        while (!caption.empty() && caption.back() == ' ') caption.pop_back();
        return caption;
    };
    for (const std::string& text :
         {std::string(kAuditSheet), std::string(kRoomsAuditSheet), std::string(kLocalLevelsSheet),
          AuditMarkText(TAuditMark::Above), AuditMarkText(TAuditMark::FewRecords),
          std::string(kLevelsCatalogueHeader), std::string(texts::kReportSaveLevels),
          std::string(texts::kReportLevelsSaved), std::string(texts::kReportLevelsNotSaved),
          std::string(texts::kReportLevelsFileName), std::string("/levels"),
          std::string("Медиана, % РДУ"), std::string("Превышение")}) {
        EXPECT_NE(guide.find(plain(text)), std::string::npos) << text;
    }
}

TEST(GuideTexts, TheHighDoseNoticeAndWhatToDoWithItAreExplained) {
    const std::string guide = GuideText();
    ASSERT_FALSE(guide.empty()) << "no guide at " VIREL_GUIDE_PATH;
    for (const char* text :
         {texts::kAlertCaption, texts::kAlertAnnotate, texts::kAlertAcknowledge,
          texts::kAlertLevelRecord, texts::kAlertLevelKind, texts::kAlertsOnly}) {
        EXPECT_NE(guide.find(text), std::string::npos) << text;
    }
    for (const char* text : {texts::kAlertCount, texts::kAlertMore, texts::kAlertNotKept}) {
        EXPECT_NE(guide.find(Quoted(text)), std::string::npos) << text;
    }
    std::string note = Caption(Widen(texts::kAlertNote).c_str());
    note.pop_back();  // the label's colon: the guide names the field
    EXPECT_NE(guide.find("«" + note + "»"), std::string::npos) << note;
}

}  // namespace
}  // namespace virel
