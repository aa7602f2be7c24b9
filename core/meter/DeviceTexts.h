#pragma once
// Texts the device operations show to the operator and write to the log and the spreadsheet.
// UTF-8; the window layer shows them in UTF-16, the log file stores them in code page 1251.

namespace virel::texts {

inline constexpr char kStatusRequest[] = "Запрос...";  // actPrintExecute starts
inline constexpr char kStatusRequestRecord[] =
    "Запрос... ";  // actReadArcNExecute starts; the measurement number follows
inline constexpr char kStatusClearing[] = "Очистка...";
inline constexpr char kStatusReadOk[] = "Считывание текущих значений произведено успешно";
inline constexpr char kStatusReadFailed[] = "Не удалось произвести чтение текущих измерений";
inline constexpr char kStatusClearOk[] = "Очистка текущих значений произведена успешно";
inline constexpr char kStatusClearFailed[] = "Не удалось произвести очистку текущих измерений";
inline constexpr char kStatusCancelled[] = "Отменено пользователем";
inline constexpr char kErrorNotInteger[] =
    "'%s' is not a valid integer value";  // %s: the text as typed
inline constexpr char kStatusBadChecksum[] =
    "Приняты данные, но не совпадает CRC - данные игнорированы";
inline constexpr char kStatusDeviceError[] =
    "Приняты данные с информацией о внутренней ошибке прибора ВИРЕЛ-1 под номером ";  // the error
                                                                                      // number
                                                                                      // follows
// A record's time stamp is not a valid date and time (the time field stays empty).
inline constexpr char kStatusInvalidTime[] = "Приняты данные с недопустимым временем измерения";
inline constexpr char kStatusAlsoInvalidTime[] =
    ", время измерения недопустимо";  // after the device error text and its number
inline constexpr char kErrorRecordNumberRange[] = "Номер записи должен быть от 0 до 255";
inline constexpr char kLogFileName[] = "VIREL1_Service.txt";
inline constexpr char kStatusLogWritten[] = "Обновлены данные в файле ";  // the logged line follows
inline constexpr char kStatusLogFailed[] = "Не удалось записать данные обновления в файле";
// At exit, about the lines the log file never took.
inline constexpr char kExitLinesSavedBefore[] =
    "Не удалось записать данные обновления в файл VIREL1_Service.txt (строк: ";  // the count
inline constexpr char kExitLinesSavedAfter[] = "); они сохранены в файле ";      // the path follows
inline constexpr char kExitLinesLost[] =
    "Не удалось ни записать данные обновления в файл VIREL1_Service.txt, ни сохранить их в "
    "другом файле; потеряно строк: ";  // the count follows
inline constexpr char kExitLinesDropped[] =
    "Старые строки данных обновления, не уместившиеся в памяти, потеряны: ";  // the count
inline constexpr char kStatusReading[] = "Чтение...";
inline constexpr char kStatusNoSpreadsheet[] = "Не удалось запустить Excel";
inline constexpr char kArchiveTitle[] =
    "Архив ВИРЕЛ1 №";  // device number, kArchiveTitleOn and the date follow
inline constexpr char kArchiveTitleOn[] = " на ";
inline constexpr char kHeaderTime[] = "Дата, время";
inline constexpr char kHeaderMeasureNumber[] = "Номер измерения";
inline constexpr char kHeaderDose[] = "Доза, Гр*см^2";
inline constexpr char kStatusRecordFailed[] =
    "Не удалось прочитать данные №";  // the record number follows
inline constexpr char kExchangeAborted[] =
    "Обмен прерван пользователем";  // raised from the progress window's Esc
inline constexpr char kHeaderDeviceError[] = "Ошибка прибора";  // column D of both exports
inline constexpr char kArchiveFileName[] = "Архив ВИРЕЛ1 ";     // the date (dd.MM.yyyy) follows
inline constexpr char kFilterXlsx[] = "Книга Excel (*.xlsx)";
inline constexpr char kFilterCsv[] = "Текст CSV, разделитель «;» (*.csv)";
inline constexpr char kStatusFileSaved[] = "Архив сохранён в файл ";  // the file's path follows
inline constexpr char kStatusFileNotSaved[] = "Архив не сохранён в файл";
// The file export's other results: some records not read (the count and the total follow the
// saved text and its path), none read, the port not opened (its text follows), and the box when
// the records read come from more than one meter (cable swapped mid-read).
inline constexpr char kStatusFileRecordsMissing[] = "; не прочитано записей: ";
inline constexpr char kStatusFileRecordsOf[] = " из ";
inline constexpr char kStatusFileNothingRead[] =
    "Архив не сохранён в файл: не прочитано ни одной записи";
inline constexpr char kStatusFileNoPort[] = "Архив не сохранён в файл: не удалось открыть порт ";
inline constexpr char kErrorMixedMeters[] =
    "Прочитаны записи разных приборов (№%1 и №%2). Архив не сохранён в файл";
inline constexpr char kFileWriteFailed[] = "Не удалось записать файл ";  // the quoted path follows
inline constexpr char kFileChooseAnother[] =
    "Прочитанные записи не потеряны. Выбрать другое имя файла?";

// The harvest of the archive into the journal: how many records were new (the count, then
// kHarvestAddedOf and 256 follow kHarvestAdded), the other results, and the warning of records
// the meter may have overwritten before they were read (meter, newest journaled, oldest read).
inline constexpr char kHarvestAdded[] = "В журнал добавлено ";
inline constexpr char kHarvestAddedOf[] = " новых записей из ";
inline constexpr char kHarvestHeld[] =
    "; журнал сейчас недоступен для записи, записи сохранены в памяти программы";
// After /harvest's count of new records, when some are over an alert level (their count
// follows).
inline constexpr char kHarvestOverAlertLevel[] = "; выше порога оповещения: ";
inline constexpr char kHarvestNoPort[] = "Архив не собран в журнал: не удалось открыть порт ";
inline constexpr char kHarvestNothingRead[] =
    "Архив не собран в журнал: не прочитано ни одной записи";
inline constexpr char kHarvestTwoMeters[] =
    "Прочитаны записи разных приборов (№%1 и №%2). Архив не собран в журнал";
inline constexpr char kHarvestNotDone[] = "Архив не собран в журнал";
inline constexpr char kHarvestGap[] =
    "Все 256 записей архива прибора №%1 оказались новыми для журнала. Записи, сделанные между "
    "последней записью в журнале (%2) и самой старой прочитанной (%3), могли быть перезаписаны "
    "в памяти прибора и потеряны";

}  // namespace virel::texts
