#pragma once
// The spreadsheet program reached as "Excel.Application" through late-bound automation.
#include "automation/OleAuto.h"
#include "core/Spreadsheet.h"

namespace virel {

class TExcelApp final : public ISpreadsheet {
public:
    static constexpr const wchar_t* kProgId = L"Excel.Application";

    TExcelApp() = default;
    TExcelApp(const TExcelApp&) = delete;
    TExcelApp& operator=(const TExcelApp&) = delete;

    bool AttachRunning() override;
    void CreateNew() override;
    void AddWorkbook() override;
    void SetCellValue(int row, int column, const std::string& text) override;
    void SetCellFontSize(int row, int column, int size) override;
    void Release() override;

    // The application object (empty before AttachRunning or CreateNew succeeded).
    const ole::TDispatchPtr& Application() const { return app_; }

private:
    ole::TDispatchPtr Cell(int row, int column) const;

    ole::TDispatchPtr app_;
    // Held from AddWorkbook until Release, as the export keeps them while it runs.
    ole::TDispatchPtr workbooks_;
    ole::TDispatchPtr workbook_;
};

}  // namespace virel
