// TExcelApp against the real spreadsheet server (tools/xlserver) registered in the prefix as
// "Excel.Application": what lands in its workbooks, what it journals, and how its failures
// reach the caller.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/ExcelApp.h"
#include "tests/automation/XlHarness.h"
#include "win/Scopes.h"

namespace {

using namespace virel;
using namespace virel::ole;
using namespace virel::xltest;
using TEntry = TJournalEntry;

constexpr const wchar_t* kClassKey =
    L"Software\\Classes\\CLSID\\{E630E7D6-8BC2-4413-B28B-92CA3F99A93E}";

std::wstring RegistryText(const std::wstring& path, const wchar_t* name) {
    wchar_t data[2048] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return {};
    return data;
}

// Text followed by a number (appended: GCC 12 warns falsely on literal + temporary string).
std::string Numbered(std::string text, long long number) {
    text += std::to_string(number);
    return text;
}

// One server process the test started, ended for sure when the test ends.
struct TServer {
    DWORD pid = 0;
    HANDLE process = nullptr;
    std::wstring sessionDir;
    TDispatchPtr app;

    TServer() = default;
    TServer(const TServer&) = delete;
    ~TServer() {
        if (process == nullptr) return;
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT && app) {
            try {
                CallMethod(app, L"Quit");
            } catch (const EOleError&) {
            }
        }
        app.Reset();
        if (WaitForSingleObject(process, 10000) == WAIT_TIMEOUT) TerminateProcess(process, 9);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    bool Ended(DWORD waitMs) const { return WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0; }
    std::vector<TEntry> Journal() const { return ReadJournal(sessionDir); }
    std::string Csv(const std::string& book) const { return ReadCsv(sessionDir, book); }
};

class ExcelApp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(com_.Result()));
        ASSERT_TRUE(registration_.Ok()) << "the spreadsheet server could not be registered";
        serverPath_ = RegistryText(std::wstring(kClassKey) + L"\\LocalServer32", nullptr);
        serverPath_.erase(std::remove(serverPath_.begin(), serverPath_.end(), L'"'),
                          serverPath_.end());
        ASSERT_EQ(serverPath_, ServerExe());
        ASSERT_EQ(RegistryText(kClassKey, L"JournalDir"), JournalRoot());
    }
    void TearDown() override { servers_.clear(); }

    void Control(const std::string& text) { ASSERT_TRUE(TXlRegistration::Control(text)); }

    // Remembers the server behind `app` (its process, its journal) for checks and clean-up.
    TServer& Track(const TDispatchPtr& app) {
        auto server = std::make_unique<TServer>();
        server->pid = static_cast<DWORD>(GetProperty(app, L"ProcessId").AsInt());
        server->process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, server->pid);
        server->sessionDir = Widen(GetProperty(app, L"JournalDir").AsUtf8());
        server->app = TDispatchPtr::Share(app.Get());
        servers_.push_back(std::move(server));
        return *servers_.back();
    }

    TServer& CreateNew(TExcelApp& excel) {
        excel.CreateNew();
        return Track(excel.Application());
    }

    // Starts the server as a person would, and waits until it is the running instance.
    TServer& StartRunning(bool visible) {
        std::wstring commandLine =
            L"\"" + serverPath_ + L"\" /run" + (visible ? L" /visible" : L"");
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        EXPECT_TRUE(CreateProcessW(serverPath_.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                   0, nullptr, nullptr, &startup, &info));
        CloseHandle(info.hThread);
        auto server = std::make_unique<TServer>();
        server->pid = info.dwProcessId;
        server->process = info.hProcess;
        CLSID clsid{};
        CLSIDFromProgID(TExcelApp::kProgId, &clsid);
        for (int i = 0; i < 200 && !server->app; ++i) {
            IUnknown* unknown = nullptr;
            if (SUCCEEDED(GetActiveObject(clsid, nullptr, &unknown)) && unknown) {
                IDispatch* disp = nullptr;
                unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
                unknown->Release();
                TDispatchPtr candidate(disp);
                if (candidate && GetProperty(candidate, L"ProcessId").AsInt() ==
                                     static_cast<std::int32_t>(info.dwProcessId))
                    server->app = std::move(candidate);
            }
            if (!server->app) Sleep(50);
        }
        EXPECT_TRUE(server->app) << "the started server never became the running instance";
        if (server->app)
            server->sessionDir = Widen(GetProperty(server->app, L"JournalDir").AsUtf8());
        servers_.push_back(std::move(server));
        return *servers_.back();
    }

    virel::win::TComApartment com_;
    TXlRegistration registration_;
    std::wstring serverPath_;
    std::vector<std::unique_ptr<TServer>> servers_;
};

std::string Message(const std::function<void()>& call) {
    try {
        call();
    } catch (const virel::Exception& error) {
        return error.what();
    }
    return "<no error>";
}

// ---- Creating and writing -------------------------------------------------------------

TEST_F(ExcelApp, NewInstanceIsShownWithAlertsOff) {
    TExcelApp excel;
    TServer& server = CreateNew(excel);
    EXPECT_TRUE(GetProperty(excel.Application(), L"visible").AsBool());
    EXPECT_FALSE(GetProperty(excel.Application(), L"DisplayAlerts").AsBool());
    EXPECT_FALSE(GetProperty(excel.Application(), L"UserControl").AsBool());
    const auto calls = Calls(server.Journal());
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].member + " " + calls[0].kind + " " + calls[0].args,
              "visible put propput=bool:-1");
    EXPECT_EQ(calls[1].member + " " + calls[1].kind + " " + calls[1].args,
              "DisplayAlerts put propput=bool:0");
}

TEST_F(ExcelApp, CellValuesLandInTheNewWorkbook) {
    TExcelApp excel;
    TServer& server = CreateNew(excel);
    excel.AddWorkbook();
    excel.SetCellValue(1, 2, "Архив ВИРЕЛ1 №42 на 06.12.2026");
    excel.SetCellValue(2, 1, "Дата, время");
    excel.SetCellValue(2, 2, "Номер измерения");
    excel.SetCellValue(2, 3, "Доза, Гр*см^2");
    excel.SetCellValue(3, 1, "06.12.2026 10:15:00");
    excel.SetCellValue(3, 2, "17");
    excel.SetCellValue(3, 3, "1.25E-3");
    excel.SetCellValue(258, 3, "0.5");

    const std::string csv = server.Csv("Book1");
    EXPECT_EQ(CsvRow(csv, 1), ",Архив ВИРЕЛ1 №42 на 06.12.2026,");
    EXPECT_EQ(CsvRow(csv, 2), "\"Дата, время\",Номер измерения,\"Доза, Гр*см^2\"");
    EXPECT_EQ(CsvRow(csv, 3), "06.12.2026 10:15:00,17,1.25E-3");
    EXPECT_EQ(CsvRow(csv, 4), ",,");
    EXPECT_EQ(CsvRow(csv, 258), ",,0.5");
    EXPECT_EQ(CsvRow(csv, 259), "<missing>");

    const auto entries = server.Journal();
    EXPECT_TRUE(Has(entries, "Application", "WorkBooks", "method|get", "-"));
    EXPECT_TRUE(Has(entries, "Workbooks", "Add", "method|get", "-"));
    // Row first, then column.
    EXPECT_TRUE(Has(entries, "Application", "Cells", "get", "i4:258 i4:3"));
    EXPECT_TRUE(Has(entries, "Book1!R2C1", "value", "put", "propput=bstr:\"Дата, время\""));
    // Every call looked its member up by name just before.
    const auto calls = Calls(entries);
    const auto lookups = std::count_if(entries.begin(), entries.end(),
                                       [](const TEntry& e) { return e.kind == "names"; });
    EXPECT_EQ(static_cast<std::size_t>(lookups), calls.size());

    // Released, the program stays with its workbook.
    excel.Release();
    EXPECT_FALSE(server.Ended(500));
    EXPECT_EQ(GetProperty(CallMethod(server.app, L"WorkBooks").AsDispatch(), L"Count").AsInt(), 1);
}

TEST_F(ExcelApp, TitleFontSizeIsSetOnTheCellsFont) {
    TExcelApp excel;
    TServer& server = CreateNew(excel);
    excel.AddWorkbook();
    excel.SetCellValue(1, 2, "Архив");
    excel.SetCellFontSize(1, 2, 14);
    const TDispatchPtr cell = GetProperty(excel.Application(), L"Cells", 1, 2).AsDispatch();
    EXPECT_EQ(GetProperty(CallMethod(cell, L"font").AsDispatch(), L"size").AsInt(), 14);
    const TDispatchPtr other = GetProperty(excel.Application(), L"Cells", 2, 2).AsDispatch();
    EXPECT_EQ(GetProperty(CallMethod(other, L"font").AsDispatch(), L"size").AsInt(), 11);
    const auto entries = server.Journal();
    EXPECT_TRUE(Has(entries, "Book1!R1C2", "font", "method|get", "-"));
    EXPECT_TRUE(Has(entries, "Book1!R1C2.Font", "size", "put", "propput=i4:14"));
}

TEST_F(ExcelApp, EveryNewInstanceIsAProgramOfItsOwn) {
    TExcelApp first, second;
    TServer& one = CreateNew(first);
    TServer& two = CreateNew(second);
    EXPECT_NE(one.pid, two.pid);
    first.AddWorkbook();
    second.AddWorkbook();
    first.SetCellValue(1, 1, "first");
    second.SetCellValue(1, 1, "second");
    EXPECT_EQ(one.Csv("Book1"), "first\r\n");
    EXPECT_EQ(two.Csv("Book1"), "second\r\n");
}

HRESULT CodeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const EOleError& error) {
        return error.Code();
    }
    return S_OK;
}

TEST_F(ExcelApp, ServerHoldsCallersToTheRules) {
    TExcelApp excel;
    TServer& server = CreateNew(excel);
    const TDispatchPtr& app = excel.Application();
    // Names ignore case; unknown names are refused at lookup.
    EXPECT_TRUE(GetProperty(app, L"VISIBLE").AsBool());
    EXPECT_EQ(CodeOf([&] { CallMethod(app, L"SaveAs"); }), DISP_E_UNKNOWNNAME);
    EXPECT_TRUE(Has(server.Journal(), "Application", "SaveAs", "names", "unknown"));
    // No workbook yet: no active sheet to address.
    EXPECT_EQ(Message([&] { excel.SetCellValue(1, 1, "x"); }), "Нет открытой книги");
    excel.AddWorkbook();
    EXPECT_EQ(CodeOf([&] { GetProperty(app, L"Cells", 1); }), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(CodeOf([&] { GetProperty(app, L"Cells", "one", 1); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Message([&] { excel.SetCellValue(0, 1, "x"); }), "Недопустимый адрес ячейки");
    EXPECT_EQ(CodeOf([&] { PutProperty(app, L"WorkBooks", 1); }), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Message([&] { excel.SetCellFontSize(1, 1, 0); }), "Недопустимый размер шрифта");

    // A put whose value is not the named property-put argument is refused.
    LPOLESTR names[1] = {const_cast<LPOLESTR>(L"visible")};
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(app.Get()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    TVariant value(false);
    DISPPARAMS params{value.Get(), nullptr, 1, 0};
    EXPECT_EQ(app.Get()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                                nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    EXPECT_TRUE(GetProperty(app, L"visible").AsBool());
}

// ---- A running instance ---------------------------------------------------------------

class RunningInstance : public ExcelApp, public ::testing::WithParamInterface<bool> {};

TEST_P(RunningInstance, ReceivesTheWorkbookWithoutAVisibilityChange) {
    const bool visible = GetParam();
    TServer& server = StartRunning(visible);
    ASSERT_TRUE(server.app);
    TExcelApp excel;
    ASSERT_TRUE(excel.AttachRunning());
    EXPECT_EQ(GetProperty(excel.Application(), L"ProcessId").AsInt(),
              static_cast<std::int32_t>(server.pid));
    excel.AddWorkbook();
    excel.SetCellValue(2, 1, "Дата, время");
    excel.Release();

    EXPECT_EQ(GetProperty(server.app, L"visible").AsBool(), visible);
    EXPECT_TRUE(GetProperty(server.app, L"UserControl").AsBool());
    const auto entries = server.Journal();
    EXPECT_FALSE(std::any_of(entries.begin(), entries.end(), [](const TEntry& e) {
        return e.kind == "put" && (e.member == "visible" || e.member == "DisplayAlerts");
    }));
    EXPECT_EQ(server.Csv("Book1"), "\r\n\"Дата, время\"\r\n");
}

INSTANTIATE_TEST_SUITE_P(Visibility, RunningInstance, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Visible" : "Hidden"; });

TEST_F(ExcelApp, ADeadInstanceStillRegisteredIsReplacedByANewOne) {
    TDeadRunningInstance dead;
    ASSERT_TRUE(dead.Registered());
    for (int exportNumber = 1; exportNumber <= 2; ++exportNumber) {
        SCOPED_TRACE(Numbered("export ", exportNumber));
        const int callsBefore = dead.Calls();
        TExcelApp excel;
        ASSERT_TRUE(excel.AttachRunning());  // the dead one: nothing tells it apart yet
        excel.AddWorkbook();
        EXPECT_GT(dead.Calls(), callsBefore);  // its first call was tried, and failed
        // A new program took its place, set up as when none is running.
        TServer& server = Track(excel.Application());
        excel.SetCellValue(2, 1, "Дата, время");
        excel.Release();
        const auto calls = Calls(server.Journal());
        ASSERT_GE(calls.size(), 4u);
        EXPECT_EQ(calls[0].member, "visible");
        EXPECT_EQ(calls[1].member, "DisplayAlerts");
        EXPECT_EQ(calls[2].member, "WorkBooks");
        EXPECT_EQ(calls[3].member, "Add");
        EXPECT_EQ(server.Csv("Book1"), "\r\n\"Дата, время\"\r\n");
    }
}

TEST_F(ExcelApp, ADeadInstanceAndNoProgramToStartIsTheStartsError) {
    TDeadRunningInstance dead;
    ASSERT_TRUE(dead.Registered());
    // The program's file has gone (the next test registers it again).
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + L"\\LocalServer32").c_str(), 0,
                      KEY_SET_VALUE, &key),
        ERROR_SUCCESS);
    const std::wstring missing = L"C:\\no such folder\\VirelSheetServer.exe";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing.c_str()),
                   static_cast<DWORD>((missing.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    TExcelApp excel;
    ASSERT_TRUE(excel.AttachRunning());
    const std::string message = Message([&] { excel.AddWorkbook(); });
    EXPECT_NE(message, "<no error>");
    EXPECT_NE(message, OleErrorText(TDeadRunningInstance::kFailure));  // not the dead one's
    EXPECT_EQ(dead.Calls(), 1);                                        // tried once, not again
    EXPECT_FALSE(excel.Application());
}

TEST_F(ExcelApp, NoRunningInstanceIsNotAnError) {
    TExcelApp excel;
    EXPECT_FALSE(excel.AttachRunning());
    EXPECT_FALSE(excel.Application());
}

// ---- Failures -------------------------------------------------------------------------

TEST_F(ExcelApp, RefusedAddGivesTheServersDescription) {
    TExcelApp excel;
    TServer& server = CreateNew(excel);
    Control("RefuseAdd=Книга не может быть добавлена\n");
    EXPECT_EQ(Message([&] { excel.AddWorkbook(); }), "Книга не может быть добавлена");
    EXPECT_TRUE(Has(server.Journal(), "Workbooks", "Add", "error",
                    "0x80040301 \"Книга не может быть добавлена\""));
    Control("RefuseAdd=\n");
    EXPECT_EQ(Message([&] { excel.AddWorkbook(); }), "Не удалось добавить книгу");
    Control("");
    excel.AddWorkbook();
}

TEST_F(ExcelApp, CellsFailAfterTheGivenRow) {
    TExcelApp excel;
    TServer& server = CreateNew(excel);
    excel.AddWorkbook();
    Control("FailCellsAfterRow=5\nFailDescription=Лист защищён\n");
    for (int row = 1; row <= 5; ++row) excel.SetCellValue(row, 1, std::to_string(row));
    EXPECT_EQ(Message([&] { excel.SetCellValue(6, 1, "6"); }), "Лист защищён");
    Control("FailCellsAfterRow=5\n");
    EXPECT_EQ(Message([&] { excel.SetCellValue(7, 1, "7"); }), "Ячейка недоступна");
    EXPECT_EQ(server.Csv("Book1"), "1\r\n2\r\n3\r\n4\r\n5\r\n");
}

TEST_F(ExcelApp, ServerVanishingMidwayIsAnErrorNotAHang) {
    TExcelApp excel;
    TServer& server = CreateNew(excel);
    excel.AddWorkbook();
    Control("ExitAtRow=10\n");
    for (int row = 1; row < 10; ++row) excel.SetCellValue(row, 2, Numbered("r", row));
    const ULONGLONG start = GetTickCount64();
    const std::string message = Message([&] { excel.SetCellValue(10, 2, "r10"); });
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_NE(message, "<no error>");
    EXPECT_FALSE(message.empty());
    EXPECT_LT(elapsed, 30000u);
    EXPECT_TRUE(server.Ended(5000));
    // Later calls fail as well, and promptly.
    const ULONGLONG again = GetTickCount64();
    EXPECT_NE(Message([&] { excel.SetCellValue(11, 2, "r11"); }), "<no error>");
    EXPECT_LT(GetTickCount64() - again, 30000u);
    excel.Release();
    EXPECT_EQ(CsvRow(server.Csv("Book1"), 9), ",r9");
    EXPECT_TRUE(Has(server.Journal(), "Server", "exit", "abrupt", "row 10"));
    // The vanished program is not taken for a running one.
    TExcelApp next;
    EXPECT_FALSE(next.AttachRunning());
}

TEST_F(ExcelApp, SlowServerIsWaitedFor) {
    TExcelApp excel;
    CreateNew(excel);
    excel.AddWorkbook();
    Control("DelayMs=300\n");
    const ULONGLONG start = GetTickCount64();
    excel.SetCellValue(1, 1, "slow");  // two calls
    EXPECT_GE(GetTickCount64() - start, 550u);
    Control("");
    EXPECT_EQ(GetProperty(GetProperty(excel.Application(), L"Cells", 1, 1).AsDispatch(), L"value")
                  .AsUtf8(),
              "slow");
}

int timerTicks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
    ++timerTicks;
}

TEST_F(ExcelApp, TimerDoesNotRunInsideACall) {
    TExcelApp excel;
    CreateNew(excel);
    excel.AddWorkbook();
    Control("DelayMs=400\n");
    timerTicks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, CountTick);
    excel.SetCellValue(1, 1, "slow");
    const int duringCall = timerTicks;
    MSG message;
    Sleep(20);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    KillTimer(nullptr, timer);
    // The wait for the server's answer lets no timer message through: the export's timer
    // runs only where the export lets messages be handled.
    EXPECT_EQ(duringCall, 0);
    EXPECT_GT(timerTicks, 0);
}

TEST_F(ExcelApp, NothingRegisteredMeansCreateNewFails) {
    ASSERT_EQ(RunServer(L"/unregserver"), 0u);
    TExcelApp excel;
    EXPECT_FALSE(excel.AttachRunning());
    const std::string message = Message([&] { excel.CreateNew(); });
    EXPECT_NE(message, "<no error>");
    EXPECT_FALSE(message.empty());
    EXPECT_FALSE(excel.Application());
}

TEST_F(ExcelApp, UnregisteringLeavesAnotherProgramsNameAlone) {
    // The other program's name is gone again after the test.
    struct TRemove {
        ~TRemove() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Excel.Application"); }
    } remove;
    const std::wstring progIdKey = L"Software\\Classes\\Excel.Application\\CLSID";
    const std::wstring other = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, progIdKey.c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other.c_str()),
                   static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    ASSERT_EQ(RunServer(L"/unregserver"), 0u);
    EXPECT_EQ(RegistryText(progIdKey, nullptr), other);
    EXPECT_EQ(RegistryText(std::wstring(kClassKey) + L"\\LocalServer32", nullptr), L"");
}

// ---- Lifetime -------------------------------------------------------------------------

TEST_F(ExcelApp, QuitEndsTheProgramAndLaterCallsFail) {
    TExcelApp excel;
    TServer& server = CreateNew(excel);
    excel.AddWorkbook();
    CallMethod(excel.Application(), L"Quit");
    EXPECT_TRUE(server.Ended(10000));
    EXPECT_NE(Message([&] { excel.SetCellValue(1, 1, "late"); }), "<no error>");
    EXPECT_TRUE(Has(server.Journal(), "Server", "exit", "event", "-"));
}

TEST_F(ExcelApp, HiddenProgramEndsWhenItsLastClientLetsGo) {
    CLSID clsid{};
    ASSERT_TRUE(SUCCEEDED(CLSIDFromProgID(TExcelApp::kProgId, &clsid)));
    TDispatchPtr app;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                           reinterpret_cast<void**>(app.Receive()))));
    TServer& server = Track(app);
    {
        const TDispatchPtr workbook =
            CallMethod(CallMethod(app, L"WorkBooks").AsDispatch(), L"Add").AsDispatch();
        app.Reset();
        server.app.Reset();
        // The workbook still held keeps the program.
        EXPECT_FALSE(server.Ended(1000));
        EXPECT_EQ(GetProperty(workbook, L"Name").AsUtf8(), "Book1");
    }
    EXPECT_TRUE(server.Ended(15000));
    EXPECT_TRUE(Has(server.Journal(), "Server", "quit", "event", "no clients"));
}

}  // namespace
