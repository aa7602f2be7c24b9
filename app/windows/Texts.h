#pragma once
// The program's own texts, as the operator sees them (UTF-16 for the wide window APIs); the
// frame's own (the font, the unknown error) are with the frame.
#include "app/frame/FrameTexts.h"

namespace virel::app {

inline constexpr wchar_t kAppTitle[] = L"ВИРЕЛ1 Сервис";
inline constexpr wchar_t kGroupComPort[] = L"СОМ-порт";
inline constexpr wchar_t kHintSpeed[] =
    L"Выберите скорость обмена по com-порту, с к которой работает устройство ВИРЕЛ-1";
inline constexpr wchar_t kGroupCurrent[] = L"Текущие данные";
inline constexpr wchar_t kReadToFile[] = L"&Периодически нажимать клавишу \"Печать\"";
inline constexpr wchar_t kHintToFile[] = L"Все считываемые значения дублировать в указанный файл";
inline constexpr wchar_t kHintAutoTime[] = L"Интервал обновления в секундах";
inline constexpr wchar_t kLabelAutoTime[] = L"Интервал обновления, сек.";
inline constexpr wchar_t kGroupLast[] = L"Последние принятые данные";
inline constexpr wchar_t kLabelDevNumber[] = L"Номер прибора";
inline constexpr wchar_t kLabelMeasureNumber[] = L"Номер измерения";
inline constexpr wchar_t kHintMeasureNumber[] = L"Номер измерения с начала дня";
inline constexpr wchar_t kLabelTime[] = L"Время измерения";
inline constexpr wchar_t kHintTime[] = L"Время окончания измерения";
inline constexpr wchar_t kLabelDose[] = L"Доза, Гр*см^2";
inline constexpr wchar_t kGroupService[] = L"Сервис";
inline constexpr wchar_t kPrintOnDevice[] = L"&Печать на приборе";
inline constexpr wchar_t kHintArchiveNumber[] = L"Номер архивной записи для чтения";
inline constexpr wchar_t kCheckBox1[] = L"Читать данные в файл VIREL1_Service.txt";
inline constexpr wchar_t kAboutCaption[] = L"О программе";
inline constexpr wchar_t kAboutHint[] = L"Диалоговое окно о программе";
inline constexpr wchar_t kReadToExcelCaption[] = L"&Читать архив в Excel";
inline constexpr wchar_t kReadToExcelHint[] = L"Читать архивные записи в Excel";
inline constexpr wchar_t kSaveToFileCaption[] = L"Сохранить архив в &файл...";
inline constexpr wchar_t kSaveToFileHint[] = L"Сохранить архивные записи в файл без запуска Excel";
// The harvest of the archive into the dose journal (Ctrl+H), in both menus after the file export.
inline constexpr wchar_t kHarvestCaption[] = L"Собрать архив в &журнал";
inline constexpr wchar_t kHarvestHint[] =
    L"Добавить в журнал доз записи архива прибора, которых в нём ещё нет";
// The dose journal's window (Ctrl+J), in both menus after the harvest.
inline constexpr wchar_t kJournalCaption[] = L"Журнал &доз";
inline constexpr wchar_t kJournalHint[] =
    L"Записи журнала доз за выбранный период: сумма доз, часы прибора, выгрузка в файл";
inline constexpr wchar_t kExitCaption[] = L"В&ыход";
inline constexpr wchar_t kExitHint[] = L"Выход из программы";
inline constexpr wchar_t kPrintCaption[] = L"&Завершение измерения";
inline constexpr wchar_t kPrintHint[] =
    L"Завершение процесса измерения\r\n(Эквивалентно нажатию клавиши \"Печать\" на приборе)";
inline constexpr wchar_t kClearCaption[] = L"&Сброс";
inline constexpr wchar_t kClearHint[] = L"Сброс, аналогично кнопке Сброс на пульте ВИРЕЛ-1";
inline constexpr wchar_t kReadArcNCaption[] = L"&Читать запись №";
inline constexpr wchar_t kReadArcNHint[] = L"Читать запись в архиве под указанным номером";
inline constexpr wchar_t kMenuService[] = L"&Сервис";
inline constexpr wchar_t kSetTimeCaption[] = L"Ус&тановить время";
inline constexpr wchar_t kSetTimeHint[] = L"Установить время на приборе таким же как на компьютере";
inline constexpr wchar_t kProgressCaption[] = L"Считывание информации";
inline constexpr wchar_t kAboutBoxCaption[] = L"О программе KESTA";
inline constexpr wchar_t kProductName[] = L"Управление ВИРЕЛ1";
inline constexpr wchar_t kVersion[] = L"Version 1.0";
inline constexpr wchar_t kExchangeCancelled[] = L"Обмен прерван пользователем";

// Exception message for Esc in the progress window (UTF-8, like every portable message).
inline constexpr char kExchangeCancelledU8[] = "Обмен прерван пользователем";

// About box labels whose wording is the program's own.
inline constexpr wchar_t kCopyright[] = L"© KESTA, 2007\r\nАвтор: Д. Кестов";
inline constexpr wchar_t kComments[] =
    L"Программа предназначена для обмена данными с прибором ВИРЕЛ-1.";

}  // namespace virel::app
