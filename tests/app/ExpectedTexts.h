#pragma once
// What the operator must read in the windows, written down independently of the program's own
// text table so that a changed text fails a test.

namespace virel::app::test {

inline constexpr wchar_t kWantAppTitle[] = L"ВИРЕЛ1 Сервис";
inline constexpr wchar_t kWantFontName[] = L"MS Sans Serif";
inline constexpr wchar_t kWantGroupComPort[] = L"СОМ-порт";
inline constexpr wchar_t kWantHintSpeed[] =
    L"Выберите скорость обмена по com-порту, с к которой работает устройство ВИРЕЛ-1";
inline constexpr wchar_t kWantGroupCurrent[] = L"Текущие данные";
inline constexpr wchar_t kWantReadToFile[] = L"&Периодически нажимать клавишу \"Печать\"";
inline constexpr wchar_t kWantHintToFile[] =
    L"Все считываемые значения дублировать в указанный файл";
inline constexpr wchar_t kWantHintAutoTime[] = L"Интервал обновления в секундах";
inline constexpr wchar_t kWantLabelAutoTime[] = L"Интервал обновления, сек.";
inline constexpr wchar_t kWantGroupLast[] = L"Последние принятые данные";
inline constexpr wchar_t kWantLabelDevNumber[] = L"Номер прибора";
inline constexpr wchar_t kWantLabelMeasureNumber[] = L"Номер измерения";
inline constexpr wchar_t kWantHintMeasureNumber[] = L"Номер измерения с начала дня";
inline constexpr wchar_t kWantLabelTime[] = L"Время измерения";
inline constexpr wchar_t kWantHintTime[] = L"Время окончания измерения";
inline constexpr wchar_t kWantLabelDose[] = L"Доза, Гр*см^2";
inline constexpr wchar_t kWantGroupService[] = L"Сервис";
inline constexpr wchar_t kWantPrintOnDevice[] = L"&Печать на приборе";
inline constexpr wchar_t kWantHintArchiveNumber[] = L"Номер архивной записи для чтения";
inline constexpr wchar_t kWantCheckBox1[] = L"Читать данные в файл VIREL1_Service.txt";
inline constexpr wchar_t kWantAboutCaption[] = L"О программе";
inline constexpr wchar_t kWantAboutHint[] = L"Диалоговое окно о программе";
inline constexpr wchar_t kWantReadToExcelCaption[] = L"&Читать архив в Excel";
inline constexpr wchar_t kWantReadToExcelHint[] = L"Читать архивные записи в Excel";
inline constexpr wchar_t kWantSaveToFileCaption[] = L"Сохранить архив в &файл...";
inline constexpr wchar_t kWantHarvestCaption[] = L"Собрать архив в &журнал";
inline constexpr wchar_t kWantJournalCaption[] = L"Журнал &доз";
inline constexpr wchar_t kWantSaveToFileHint[] =
    L"Сохранить архивные записи в файл без запуска Excel";
inline constexpr wchar_t kWantExitCaption[] = L"В&ыход";
inline constexpr wchar_t kWantExitHint[] = L"Выход из программы";
inline constexpr wchar_t kWantPrintCaption[] = L"&Завершение измерения";
inline constexpr wchar_t kWantPrintHint[] =
    L"Завершение процесса измерения\r\n(Эквивалентно нажатию клавиши \"Печать\" на приборе)";
inline constexpr wchar_t kWantClearCaption[] = L"&Сброс";
inline constexpr wchar_t kWantClearHint[] = L"Сброс, аналогично кнопке Сброс на пульте ВИРЕЛ-1";
inline constexpr wchar_t kWantReadArcNCaption[] = L"&Читать запись №";
inline constexpr wchar_t kWantReadArcNHint[] = L"Читать запись в архиве под указанным номером";
inline constexpr wchar_t kWantMenuService[] = L"&Сервис";
inline constexpr wchar_t kWantSetTimeCaption[] = L"Ус&тановить время";
inline constexpr wchar_t kWantSetTimeHint[] =
    L"Установить время на приборе таким же как на компьютере";
inline constexpr wchar_t kWantProgressCaption[] = L"Считывание информации";
inline constexpr wchar_t kWantAboutBoxCaption[] = L"О программе KESTA";
inline constexpr wchar_t kWantProductName[] = L"Управление ВИРЕЛ1";
inline constexpr wchar_t kWantVersion[] = L"Version 1.0";
inline constexpr wchar_t kWantExchangeCancelled[] = L"Обмен прерван пользователем";

}  // namespace virel::app::test
