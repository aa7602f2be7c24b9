#include "automation/ExcelApp.h"

namespace virel {

using ole::TDispatchPtr;

bool TExcelApp::AttachRunning() {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(kProgId, &clsid))) return false;
    win::TUnknownPtr unknown;
    const HRESULT hr = GetActiveObject(clsid, nullptr, unknown.Receive());
    // A stale weak entry can answer S_FALSE with no object.
    if (FAILED(hr) || !unknown) return false;
    TDispatchPtr disp;
    const HRESULT qi =
        unknown.Get()->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(disp.Receive()));
    if (FAILED(qi) || !disp) return false;
    Release();
    app_ = std::move(disp);
    untried_ = true;
    return true;
}

void TExcelApp::CreateNew() {
    CLSID clsid{};
    ole::Check(CLSIDFromProgID(kProgId, &clsid));
    TDispatchPtr disp;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                        IID_IDispatch, reinterpret_cast<void**>(disp.Receive()));
    ole::Check(hr);
    if (!disp) ole::ThrowOleError(E_NOINTERFACE);
    Release();
    app_ = std::move(disp);
    ole::PutProperty(app_, L"visible", true);
    ole::PutProperty(app_, L"DisplayAlerts", false);
}

void TExcelApp::AddWorkbook() {
    if (!untried_) {
        AddWorkbookOnce();
        return;
    }
    untried_ = false;
    try {
        AddWorkbookOnce();
        return;
    } catch (const Exception&) {
        // A program that died keeps its entry in the running-object table: every later export
        // would attach to it again and fail. Start a new one, as when none is running.
    }
    Release();
    CreateNew();
    AddWorkbookOnce();
}

void TExcelApp::AddWorkbookOnce() {
    TDispatchPtr workbooks = ole::CallMethod(app_, L"WorkBooks").AsDispatch();
    TDispatchPtr workbook = ole::CallMethod(workbooks, L"Add").AsDispatch();
    workbooks_ = std::move(workbooks);
    workbook_ = std::move(workbook);
}

TDispatchPtr TExcelApp::Cell(int row, int column) const {
    return ole::GetProperty(app_, L"Cells", row, column).AsDispatch();
}

void TExcelApp::SetCellValue(int row, int column, const std::string& text) {
    const TDispatchPtr cell = Cell(row, column);
    ole::PutProperty(cell, L"value", text);
}

void TExcelApp::SetCellFontSize(int row, int column, int size) {
    const TDispatchPtr cell = Cell(row, column);
    const TDispatchPtr font = ole::CallMethod(cell, L"font").AsDispatch();
    ole::PutProperty(font, L"size", size);
}

void TExcelApp::Release() {
    untried_ = false;
    workbook_.Reset();
    workbooks_.Reset();
    app_.Reset();
}

}  // namespace virel
