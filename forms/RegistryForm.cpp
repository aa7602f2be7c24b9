#include "forms/RegistryForm.h"

#include "core/TextUtil.h"

namespace virel {

namespace {

// Spaces and tabs: what a typed field may carry around its value.
constexpr std::string_view kFieldBlanks = " \t";

}  // namespace

TRegistrySettings SettingsOfFields(const TRegistryFields& fields, const TRegistrySettings& stored) {
    TRegistrySettings settings;
    settings.connection = Trimmed(fields.connection, kFieldBlanks);
    settings.room = Trimmed(fields.room, kFieldBlanks);
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
