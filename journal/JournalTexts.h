#pragma once
// What the operator is told about the dose journal's file: at start, when it was moved aside or
// cannot be written, and at exit, when records it held in memory went elsewhere or were lost.
#include <string>

#include "journal/Journal.h"

namespace virel {

// Beside the log file.
inline constexpr char kJournalFileName[] = "VIREL1_Service.db";

namespace texts {
inline constexpr char kJournalReplaced1[] = "Файл журнала доз ";  // the path follows
inline constexpr char kJournalReplaced2[] =
    " повреждён или не является журналом. Он переименован в ";  // the new name follows
inline constexpr char kJournalReplaced3[] = "; начат новый журнал.";
inline constexpr char kJournalNewer[] =
    " записан более новой версией программы и открыт только для чтения. Новые записи "
    "сохраняются в памяти и при выходе из программы — в отдельном журнале.";  // after the path
inline constexpr char kJournalUnwritable[] =
    " сейчас недоступен для записи. Новые записи сохраняются в памяти и записываются, когда "
    "журнал станет доступен; при выходе из программы — в отдельном журнале.";  // after the path
inline constexpr char kJournalHeldSaved[] =
    "Не удалось записать в журнал доз записей: ";                            // the count follows
inline constexpr char kJournalHeldSavedTo[] = "; они сохранены в журнале ";  // the path follows
inline constexpr char kJournalHeldLost[] =
    "Не удалось записать записи ни в журнал доз, ни в другой журнал; потеряно записей: ";
}  // namespace texts

// The box at start; empty when the journal opened as it should.
std::string JournalOpenMessage(const TOpenResult& result);
// The box at exit; empty when nothing was held or the journal took it after all.
std::string HeldRecordsMessage(const THeldAtExit& result);

}  // namespace virel
