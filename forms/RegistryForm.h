#pragma once
// The dialog "Центральный журнал" (from the window "Журнал доз"): its texts, what its fields
// make of the settings, and what it says after "Проверить". The password field never shows the
// stored password: left empty it keeps it, typed into it replaces it, and a check box forgets
// it. Portable, tested natively.
#include <optional>
#include <string>

#include "registry/Registry.h"

namespace virel {

namespace texts {
inline constexpr char kRegistryButton[] = "&Центральный журнал...";
inline constexpr char kRegistryCaption[] = "Центральный журнал";
inline constexpr char kRegistryConnection[] = "&Строка подключения ODBC или имя DSN:";
// Two lines: the example whole on the second.
inline constexpr char kRegistryConnectionHint[] =
    "Например:\r\nDriver={PostgreSQL Unicode};Server=сервер;Database=virel;Uid=имя";
inline constexpr char kRegistryRoom[] = "&Кабинет:";
inline constexpr char kRegistryPassword[] = "Па&роль:";
inline constexpr char kRegistryPasswordStored[] = "сохранён; пусто — оставить";
inline constexpr char kRegistryForget[] = "&Удалить сохранённый пароль";
inline constexpr char kRegistryCheck[] = "&Проверить";
inline constexpr char kRegistryChecking[] = "Проверка соединения...";
inline constexpr char kRegistryWorks[] = "Соединение работает.";
inline constexpr char kRegistryFails[] =
    "Не работает: ";  // the server's or driver's reason follows
inline constexpr char kRegistryHalfGiven[] =
    "Укажите и строку подключения, и кабинет (или очистите оба поля, чтобы не отправлять записи).";
inline constexpr char kRegistryNotStored[] =
    "Настройки центрального журнала не сохранены в реестре.";
}  // namespace texts

// What the dialog's fields hold: the connection and the room as typed, the password field (the
// stored password is never put there) and the check box that forgets the stored one.
struct TRegistryFields {
    std::string connection;
    std::string room;
    std::string typedPassword;
    bool forgetStored = false;
};

// The settings the fields make with the stored ones: the connection and the room trimmed of
// spaces at both ends; the password typed, else the stored one unless it is to be forgotten.
TRegistrySettings SettingsOfFields(const TRegistryFields& fields, const TRegistrySettings& stored);

// Why the settings cannot be stored: one of connection and room given without the other. Both
// empty is allowed: it switches the pushing off.
std::optional<std::string> RegistryFieldsFault(const TRegistrySettings& settings);

// The dialog's line after "Проверить": "Соединение работает." or "Не работает: " and the reason.
std::string LinkCheckText(const TLinkCheck& check);

}  // namespace virel
