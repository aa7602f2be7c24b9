#pragma once
// The spreadsheet program reached as "Excel.Application" through late-bound automation.
#include "automation/OleAuto.h"
#include "core/export/Spreadsheet.h"

namespace virel {

class TExcelApp final : public ISpreadsheet {
public:
    static constexpr const wchar_t* kProgId = L"Excel.Application";

    TExcelApp() = default;
    TExcelApp(const TExcelApp&) = delete;
    TExcelApp& operator=(const TExcelApp&) = delete;

    bool AttachRunning() override;
    void CreateNew() override;
    // The first call on an attached instance. When it fails, the instance is taken for one
    // that has died while still registered as running (or that cannot serve anyone): it is
    // dropped, and a new instance is started and given the workbook instead, as if none had
    // been running. A failure of the new instance is the caller's.
    void AddWorkbook() override;
    void SetCellValue(int row, int column, const std::string& text) override;
    void SetCellFontSize(int row, int column, int size) override;
    void Release() override;

    // The application object (empty before AttachRunning or CreateNew succeeded).
    const ole::TDispatchPtr& Application() const { return app_; }

private:
    ole::TDispatchPtr Cell(int row, int column) const;
    void AddWorkbookOnce();

    ole::TDispatchPtr app_;
    // The instance came from the running-object table and has not yet answered a call.
    bool untried_ = false;
    // Held from AddWorkbook until Release, as the export keeps them while it runs.
    ole::TDispatchPtr workbooks_;
    ole::TDispatchPtr workbook_;
};

}  // namespace virel
