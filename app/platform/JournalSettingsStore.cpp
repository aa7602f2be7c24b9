#include "app/platform/JournalSettingsStore.h"

#include "storage/ProgramSettings.h"

namespace virel::app {

TJournalSettings ReadJournalSettings(const TSettings& stored) {
    return JournalSettingsOfStored(stored.Read(kStoredDoseUnit), stored.Read(kStoredPatientForm),
                                   stored.Read(kStoredPatientSalt));
}

bool WriteJournalSettings(TSettings& stored, const TJournalSettings& settings) {
    return stored.Write(kStoredDoseUnit, DoseUnitName(settings.unit)) &&
           stored.Write(kStoredPatientForm, PatientFormText(settings.privacy.form)) &&
           stored.Write(kStoredPatientSalt, settings.privacy.salt);
}

}  // namespace virel::app
