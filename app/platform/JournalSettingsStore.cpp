#include "app/platform/JournalSettingsStore.h"

#include "storage/ProgramSettings.h"

namespace virel::app {

static_assert(kStoredRecordAlertLevel.def == kDefaultRecordAlertLevel * 1000,
              "the stored default is the journal's default in mGy·cm²");

TJournalSettings ReadJournalSettings(const TSettings& stored) {
    TJournalSettings settings =
        JournalSettingsOfStored(stored.Read(kStoredDoseUnit), stored.Read(kStoredPatientForm),
                                stored.Read(kStoredPatientSalt));
    settings.recordAlertLevel = RecordAlertLevelOfStored(stored.Read(kStoredRecordAlertLevel));
    return settings;
}

bool WriteJournalSettings(TSettings& stored, const TJournalSettings& settings) {
    return stored.Write(kStoredDoseUnit, DoseUnitName(settings.unit)) &&
           stored.Write(kStoredPatientForm, PatientFormText(settings.privacy.form)) &&
           stored.Write(kStoredPatientSalt, settings.privacy.salt) &&
           stored.Write(kStoredRecordAlertLevel, StoredRecordAlertLevel(settings.recordAlertLevel));
}

}  // namespace virel::app
