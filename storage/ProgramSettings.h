#pragma once
// Every value the program keeps beside the main window's own storage, each declared once with
// its section, name, type and default; and the main window's section and stored properties,
// which the window's storage (app/FaceStorage) and the harvest's read of its line share. All
// under the program's key (HKEY_CURRENT_USER\Software\<the program file's base name>).
#include <string_view>

#include "storage/Settings.h"

namespace virel {

// The main window's section (its class name) and the four control properties its storage
// keeps there.
inline constexpr std::string_view kFaceSection = "TFace";
inline constexpr TSettingPlace kFacePort{kFaceSection, "CB_ComPort", "Text"};
inline constexpr TSettingPlace kFaceAutoTime{kFaceSection, "RxSpE_AutoTime", "Value"};
inline constexpr TSettingPlace kFaceSpeed{kFaceSection, "CB_Spead", "ItemIndex"};
inline constexpr TSettingPlace kFacePrintOnDevice{kFaceSection, "CB_PrintOnDevice", "Checked"};

// The line the window last stored, as the harvest reads it: what the window shows when nothing
// is stored is the port box's first item and the speed box's first item.
inline constexpr TTextSetting kStoredPort{kFacePort, "COM1"};
inline constexpr TIntegerSetting kStoredSpeedItem{kFaceSpeed, 0};

// The folder the file export's dialog last saved to (kept with the window's values).
inline constexpr TTextSetting kArchiveFolder{{kFaceSection, "ArchiveFolder"}, ""};

// The dose journal's settings (forms/JournalSettings reads and writes their texts).
inline constexpr std::string_view kJournalSettingsSection = "TJournalWindow";
inline constexpr TTextSetting kStoredDoseUnit{{kJournalSettingsSection, "DoseUnit"}, "Gy"};
inline constexpr TTextSetting kStoredPatientForm{{kJournalSettingsSection, "PatientForm"}, "typed"};
inline constexpr TTextSetting kStoredPatientSalt{{kJournalSettingsSection, "PatientSalt"}, ""};
// The DAP above which any record raises an alert, in whole mGy·cm² (the meter's resolution,
// kept exact); 0: none. The default is forms/JournalSettings' 200 Gy·cm².
inline constexpr TIntegerSetting kStoredRecordAlertLevel{
    {kJournalSettingsSection, "RecordAlertLevel"}, 200'000};

// The central journal's settings; the password only ever encrypted for the Windows user
// (app/platform/RegistrySettingsStore).
inline constexpr std::string_view kCentralJournalSection = "TCentralJournal";
inline constexpr TTextSetting kCentralConnection{{kCentralJournalSection, "Connection"}, ""};
inline constexpr TTextSetting kCentralRoom{{kCentralJournalSection, "Room"}, ""};
inline constexpr TBytesSetting kCentralPassword{{kCentralJournalSection, "Password"}};

}  // namespace virel
