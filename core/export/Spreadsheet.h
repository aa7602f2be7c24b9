#pragma once
// The spreadsheet program as the archive export drives it ("Excel.Application" through
// automation). Every failing call throws virel::Exception with the message the operator sees.
#include <string>

namespace virel {

class ISpreadsheet {
public:
    virtual ~ISpreadsheet() = default;
    // Attaches to a running instance; false (no error) when there is none.
    [[nodiscard]] virtual bool AttachRunning() = 0;
    // Creates a new instance, then visible := true and DisplayAlerts := false.
    virtual void CreateNew() = 0;
    // WorkBooks.Add: a new workbook whose first sheet becomes the active sheet.
    virtual void AddWorkbook() = 0;
    // Cells(row, column).value := text (UTF-8; passed to the server as UTF-16).
    virtual void SetCellValue(int row, int column, const std::string& text) = 0;
    // Cells(row, column).font.size := size.
    virtual void SetCellFontSize(int row, int column, int size) = 0;
    // Releases every automation reference (the program keeps running).
    virtual void Release() = 0;
};

}  // namespace virel
