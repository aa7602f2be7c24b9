#include "app/platform/JournalSettingsStore.h"

#include "storage/RegStore.h"

namespace virel::app {

TJournalSettings ReadJournalSettings(const std::string& registryKey) {
    try {
        TRegStore store(TPlacementRegRoot::prCurrentUser, registryKey, true);
        return JournalSettingsOfStored(
            store.ReadString(kJournalSettingsSection, kStoredDoseUnit, ""),
            store.ReadString(kJournalSettingsSection, kStoredPatientForm, ""),
            store.ReadString(kJournalSettingsSection, kStoredPatientSalt, ""));
    } catch (...) {
        return {};  // nothing stored yet: the defaults
    }
}

bool WriteJournalSettings(const std::string& registryKey, const TJournalSettings& settings) {
    try {
        TRegStore store(TPlacementRegRoot::prCurrentUser, registryKey, false);
        store.WriteString(kJournalSettingsSection, kStoredDoseUnit, DoseUnitName(settings.unit));
        store.WriteString(kJournalSettingsSection, kStoredPatientForm,
                          PatientFormText(settings.privacy.form));
        store.WriteString(kJournalSettingsSection, kStoredPatientSalt, settings.privacy.salt);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace virel::app
