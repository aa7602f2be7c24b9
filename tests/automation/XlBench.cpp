// Costs of the spreadsheet server under this system: starting it through COM, one
// cross-process Invoke, and the automation part of an archive export (256 rows of 3 cells).
// Needs the server registered (scripts/xlserver.sh register <build>) and none running.
#include <cstdio>
#include <string>

#include "automation/ExcelApp.h"
#include "win/Scopes.h"

namespace {

using namespace virel;
using namespace virel::ole;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

double StartOnce(TExcelApp& excel) {
    const LARGE_INTEGER start = Now();
    excel.CreateNew();
    return Seconds(start, Now());
}

}  // namespace

int wmain() {
    virel::win::TComApartment com;
    try {
        TExcelApp first;
        const double cold = StartOnce(first);
        CallMethod(first.Application(), L"Quit");
        first.Release();
        Sleep(500);

        TExcelApp excel;
        const double warm = StartOnce(excel);
        std::printf(
            "server start (CoCreateInstance + visible + DisplayAlerts): first %.0f ms, "
            "again %.0f ms\n",
            cold * 1000, warm * 1000);

        // One name lookup, then plain Invokes of a property get.
        const TDispatchPtr& app = excel.Application();
        LPOLESTR names[1] = {const_cast<LPOLESTR>(L"visible")};
        DISPID id = 0;
        Check(app.Get()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
        constexpr int kCalls = 2000;
        DISPPARAMS none{};
        LARGE_INTEGER start = Now();
        for (int i = 0; i < kCalls; ++i) {
            TVariant result;
            Check(app.Get()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                    result.Receive(), nullptr, nullptr));
        }
        const double invoke = Seconds(start, Now()) / kCalls;

        start = Now();
        for (int i = 0; i < kCalls; ++i) GetProperty(app, L"visible");
        const double byName = Seconds(start, Now()) / kCalls;

        excel.AddWorkbook();
        start = Now();
        for (int row = 3; row < 3 + 256; ++row)
            for (int column = 1; column <= 3; ++column)
                excel.SetCellValue(row, column, "06.12.2026 10:15:00");
        const double rows = Seconds(start, Now());

        std::printf(
            "one cross-process Invoke: %.3f ms; by name (GetIDsOfNames + Invoke): %.3f ms\n",
            invoke * 1000, byName * 1000);
        std::printf(
            "256 rows x 3 cells (Cells + value each, CSV rewritten): %.2f s, %.2f ms per cell\n",
            rows, rows * 1000 / 768);
        CallMethod(app, L"Quit");
        excel.Release();
    } catch (const virel::Exception& error) {
        std::printf("failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
