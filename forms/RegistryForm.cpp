#include "forms/RegistryForm.h"

namespace virel {

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

TRegistrySettings SettingsOfFields(const TRegistryFields& fields, const TRegistrySettings& stored) {
    TRegistrySettings settings;
    settings.connection = Trimmed(fields.connection);
    settings.room = Trimmed(fields.room);
    // A password may begin or end with a space: taken as typed.
    if (!fields.typedPassword.empty()) {
        settings.password = fields.typedPassword;
    } else if (!fields.forgetStored) {
        settings.password = stored.password;
    }
    return settings;
}

std::optional<std::string> RegistryFieldsFault(const TRegistrySettings& settings) {
    if (settings.connection.empty() != settings.room.empty())
        return std::string(texts::kRegistryHalfGiven);
    return std::nullopt;
}

std::string LinkCheckText(const TLinkCheck& check) {
    if (check.ok) return texts::kRegistryWorks;
    return texts::kRegistryFails + check.reason;
}

}  // namespace virel
