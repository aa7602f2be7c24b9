// A real window restored and saved through Wine's registry: a small top-level window like the
// main window (port combo box, speed combo box, an interval edit standing in for the spin edit,
// the print-on-device check box), wired to its storage as app/FaceStorage.h tells.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>

#include "app/FaceStorage.h"
#include "core/Errors.h"
#include "core/Utf16.h"
#include "storage/RxHookWin32.h"
#include "storage/TextUtil.h"
#include "win/Windows.h"

namespace virel {
namespace {

using storage_detail::Concat;

constexpr wchar_t kKey[] = L"Software\\storage_win_tests";
constexpr wchar_t kSection[] = L"Software\\storage_win_tests\\TFace";

std::string Text(HWND h) {
    return Narrow(win::WindowText(h));
}

// Records every write on its way to the real store, to check the order of the values.
class JournalStore : public TSectionStore {
public:
    JournalStore(std::unique_ptr<TSectionStore> inner, std::vector<std::string>& journal)
        : inner_(std::move(inner)), journal_(journal) {}
    std::string ReadString(const std::string& s, const std::string& n,
                           const std::string& d) override {
        return inner_->ReadString(s, n, d);
    }
    void WriteString(const std::string& s, const std::string& n, const std::string& v) override {
        journal_.push_back(Concat(n, "=", v));
        inner_->WriteString(s, n, v);
    }
    void EraseSection(const std::string& s) override { inner_->EraseSection(s); }

private:
    std::unique_ptr<TSectionStore> inner_;
    std::vector<std::string>& journal_;
};

class TestWindow;

// The interval edit standing in for the spin edit: a text that is no number reads as its lower
// bound; a value is limited to the range and rounded.
class AutoTimeValue : public IStoredValue<long double> {
public:
    explicit AutoTimeValue(TestWindow& window) : window_(window) {}
    long double StoredValue() const override;
    void SetStoredValue(const long double& value) override;

private:
    TestWindow& window_;
};

class TestWindow {
public:
    static constexpr int kLeft = 150, kTop = 120, kWidth = 400, kHeight = 450;

    // The window's own handlers, in place before the storage takes them over.
    explicit TestWindow(DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                        std::vector<std::string>* own = nullptr) {
        if (own) {
            OnShow = [this, own] { own->push_back(Concat("show ", Text(port))); };
            OnCloseQuery = [own](bool&) { own->push_back("close query"); };
            OnDestroy = [own] { own->push_back("destroy"); };
        }
        static const ATOM cls = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &TestWindow::Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"VirelStorageTestWindow";
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            return RegisterClassW(&wc);
        }();
        (void)cls;
        hwnd = CreateWindowExW(0, L"VirelStorageTestWindow", L"ВИРЕЛ1 Сервис", style, kLeft, kTop,
                               kWidth, kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), this);
        port = Child(L"COMBOBOX", CBS_DROPDOWN | WS_TABSTOP, 8, 16, 145, 200);
        for (const wchar_t* item : {L"COM1", L"COM2", L"COM3", L"COM4"}) {
            SendMessageW(port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        SendMessageW(port, CB_SETCURSEL, 0, 0);
        speed = Child(L"COMBOBOX", CBS_DROPDOWN | WS_TABSTOP, 8, 48, 145, 200);
        for (const wchar_t* item : {L"4800", L"9600"}) {
            SendMessageW(speed, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        SendMessageW(speed, CB_SETCURSEL, 0, 0);
        autoTime = Child(L"EDIT", ES_LEFT | WS_BORDER | WS_TABSTOP, 16, 100, 81, 21);
        SetWindowTextW(autoTime, L"60");
        print = Child(L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 8, 140, 169, 17);

        portBox.Attach(port);
        speedBox.Attach(speed);
        printBox.Attach(print);
        storage = app::CreateFaceStorage(
            hwnd,
            {{port, &portBox}, {autoTime, &autoTimeValue}, {speed, &speedBox}, {print, &printBox}},
            {OnShow, OnCloseQuery, OnDestroy});
        ConnectFormEvents(storage->Events(), OnShow, OnCloseQuery, OnDestroy);
    }
    ~TestWindow() {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }

    // The first show: the storage restores while the window is still hidden.
    void Show() {
        if (OnShow) OnShow();
        hiddenDuringRestore = !IsWindowVisible(hwnd);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
    }
    void Close() { SendMessageW(hwnd, WM_CLOSE, 0, 0); }
    RECT Rect() const {
        RECT r{};
        GetWindowRect(hwnd, &r);
        return r;
    }
    int SpeedIndex() const { return static_cast<int>(SendMessageW(speed, CB_GETCURSEL, 0, 0)); }
    bool Checked() const { return SendMessageW(print, BM_GETCHECK, 0, 0) == BST_CHECKED; }

    // Event slots like the main window's, pointed at the storage by ConnectFormEvents.
    std::function<void()> OnShow;
    std::function<void(bool&)> OnCloseQuery;
    std::function<void()> OnDestroy;
    HWND hwnd = nullptr, port = nullptr, speed = nullptr, autoTime = nullptr, print = nullptr;
    std::vector<long double> autoTimeSets;
    bool hiddenDuringRestore = false;
    // The typed controls the storage binds to, as the main window owns them.
    app::TPortComboBox portBox;
    app::TSpeedComboBox speedBox;
    app::TCheckBox printBox;
    AutoTimeValue autoTimeValue{*this};
    std::unique_ptr<TWin32FormStorage> storage;

private:
    HWND Child(const wchar_t* cls, DWORD style, int x, int y, int w, int h) {
        return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, hwnd,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == WM_CLOSE) {
            bool canClose = true;
            if (self->OnCloseQuery) self->OnCloseQuery(canClose);
            if (canClose) DestroyWindow(hwnd);
            return 0;
        }
        if (self && msg == WM_DESTROY) {
            if (self->OnDestroy) self->OnDestroy();
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
};

long double AutoTimeValue::StoredValue() const {
    return static_cast<long double>(storage_detail::ParseInt32(Text(window_.autoTime)).value_or(5));
}

void AutoTimeValue::SetStoredValue(const long double& value) {
    window_.autoTimeSets.push_back(value);
    const long double limited = std::nearbyint(std::clamp(value, 5.0L, 1000000000.0L));
    SetWindowTextW(window_.autoTime, std::to_wstring(static_cast<long long>(limited)).c_str());
}

class FormWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clean();
        SetStorageErrorReport([this](const std::exception& e) { errors.push_back(e.what()); });
        ApplicationInfo().exePath.clear();  // taken from the running test program
    }
    void TearDown() override {
        SetStorageErrorReport(nullptr);
        Clean();
    }
    static void Clean() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
    }
    static bool KeyExists(const wchar_t* path) {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
        RegCloseKey(k);
        return true;
    }
    static void Put(const std::string& name, const std::string& value) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSection, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        const std::wstring w = Widen(value);
        RegSetValueExW(k, Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                       static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);
    }
    static void PutDword(const std::string& name, DWORD value) {
        PutTyped(name, REG_DWORD, &value, sizeof value);
    }
    static void PutTyped(const std::string& name, DWORD type, const void* data, DWORD size) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSection, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(k, Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(k);
    }
    static std::string Get(const std::string& name) {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kSection, 0, KEY_READ, &k) != ERROR_SUCCESS) {
            return "<no section>";
        }
        wchar_t buf[512] = {};
        DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
        const LSTATUS rc = RegQueryValueExW(k, Widen(name).c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(k);
        if (rc != ERROR_SUCCESS) return "<missing>";
        if (type != REG_SZ) return "<not a string>";
        return Narrow(buf);
    }
    static std::string Suffix() {
        return Concat("(", std::to_string(GetSystemMetrics(SM_CXSCREEN)), "x",
                      std::to_string(GetSystemMetrics(SM_CYSCREEN)), ")");
    }
    static int Ppi() {
        HDC dc = GetDC(nullptr);
        const int ppi = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
        return ppi;
    }

    std::vector<std::string> errors;
};

TEST_F(FormWindowTest, TheKeyIsNamedAfterTheRunningProgram) {
    TestWindow w;
    EXPECT_EQ(DefaultRegistryKey(), "Software\\storage_win_tests");
    EXPECT_EQ(w.storage->Storage().IniSection(), "TFace");
    EXPECT_TRUE(w.storage->Storage().UseRegistry());
    EXPECT_TRUE(w.storage->Storage().HooksInstalled());
    EXPECT_FALSE(w.storage->Storage().WindowHookAttached());
    EXPECT_EQ(w.storage->Storage().StoredPropsText(),
              (std::vector<std::string>{"CB_ComPort.Text", "RxSpE_AutoTime.Value",
                                        "CB_Spead.ItemIndex", "CB_PrintOnDevice.Checked"}));
}

TEST_F(FormWindowTest, FirstStartCreatesTheKeyAndTheFirstCloseWritesEverythingInOrder) {
    std::vector<std::string> journal;
    TestWindow w;
    w.storage->Storage().SetStoreFactory([&journal](const TStoreLocation& where, bool ro) {
        return std::make_unique<JournalStore>(Win32StoreFactory()(where, ro), journal);
    });
    w.Show();
    EXPECT_TRUE(w.hiddenDuringRestore);
    EXPECT_TRUE(KeyExists(kKey));
    EXPECT_FALSE(KeyExists(kSection));
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(w.Rect().left, TestWindow::kLeft);
    EXPECT_EQ(w.Rect().top, TestWindow::kTop);

    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(w.hwnd, &wp);
    w.Close();
    EXPECT_FALSE(IsWindow(w.hwnd));
    const std::string minMax =
        Concat(std::to_string(wp.ptMinPosition.x), ",", std::to_string(wp.ptMinPosition.y), ",",
               std::to_string(-GetSystemMetrics(SM_CXBORDER)), ",",
               std::to_string(-GetSystemMetrics(SM_CYBORDER)));
    const std::string norm = "150,120,550,570";
    const std::vector<std::string> expected = {
        "FormVersion=0",
        "Flags=0",
        "ShowCmd=1",
        Concat("PixelsPerInch=", std::to_string(Ppi())),
        Concat("MinMaxPos", Suffix(), "=", minMax),
        Concat("MinMaxPos=", minMax),
        Concat("NormPos", Suffix(), "=", norm),
        Concat("NormPos=", norm),
        "Visible=0",
        "CB_ComPort_Text=COM1",
        "RxSpE_AutoTime_Value=60",
        "CB_Spead_ItemIndex=0",
        "CB_PrintOnDevice_Checked=False",
        "=",
    };
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(Get("NormPos"), norm);
    EXPECT_EQ(Get(""), "");
    EXPECT_EQ(Get("CB_PrintOnDevice_Checked"), "False");
    EXPECT_TRUE(errors.empty());
}

TEST_F(FormWindowTest, RestartRestoresPositionPortSpeedIntervalAndCheckBox) {
    {
        TestWindow first;
        first.Show();
        SetWindowPos(first.hwnd, nullptr, 333, 222, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetWindowTextW(first.port, L"COM3");
        SendMessageW(first.speed, CB_SETCURSEL, 1, 0);
        SetWindowTextW(first.autoTime, L"120");
        SendMessageW(first.print, BM_SETCHECK, BST_CHECKED, 0);
        first.Close();
    }
    EXPECT_EQ(Get("NormPos"), "333,222,733,672");
    EXPECT_EQ(Get("CB_ComPort_Text"), "COM3");
    EXPECT_EQ(Get("RxSpE_AutoTime_Value"), "120");
    EXPECT_EQ(Get("CB_Spead_ItemIndex"), "1");
    EXPECT_EQ(Get("CB_PrintOnDevice_Checked"), "True");

    TestWindow second;
    second.Show();
    EXPECT_TRUE(second.hiddenDuringRestore);
    EXPECT_EQ(second.Rect().left, 333);
    EXPECT_EQ(second.Rect().top, 222);
    EXPECT_EQ(second.Rect().right - second.Rect().left, TestWindow::kWidth);
    EXPECT_EQ(Text(second.port), "COM3");
    // The combo box selects the list item its new text names, so the port follows the text.
    EXPECT_EQ(SendMessageW(second.port, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(second.SpeedIndex(), 1);
    EXPECT_EQ(Text(second.autoTime), "120");
    EXPECT_TRUE(second.Checked());
    EXPECT_TRUE(errors.empty());
}

TEST_F(FormWindowTest, TheWindowsOwnHandlersRunAfterTheRestoreAndAroundTheSave) {
    Put("CB_ComPort_Text", "COM2");
    std::vector<std::string> own;
    {
        TestWindow w(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, &own);
        w.Show();
        w.Close();
        EXPECT_FALSE(IsWindow(w.hwnd));
    }
    EXPECT_EQ(own, (std::vector<std::string>{"show COM2", "close query", "destroy"}));
    EXPECT_EQ(Get("Visible"), "0");
}

TEST_F(FormWindowTest, DestroyedWithoutClosingSavesWithVisibleOne) {
    {
        TestWindow w;
        w.Show();
        DestroyWindow(w.hwnd);
    }
    EXPECT_EQ(Get("Visible"), "1");
    EXPECT_EQ(Get("CB_ComPort_Text"), "COM1");
}

TEST_F(FormWindowTest, AnOlderFormVersionIsSkippedAndOverwritten) {
    Put("FormVersion", "-1");
    Put("NormPos", "400,300,800,750");
    Put("CB_ComPort_Text", "COM4");
    TestWindow w;
    w.Show();
    EXPECT_EQ(w.Rect().left, TestWindow::kLeft);
    EXPECT_EQ(Text(w.port), "COM1");
    w.Close();
    EXPECT_EQ(Get("FormVersion"), "0");
    EXPECT_EQ(Get("NormPos"), "150,120,550,570");
    EXPECT_EQ(Get("CB_ComPort_Text"), "COM1");
}

TEST_F(FormWindowTest, ADifferentPixelsPerInchSkipsOnlyThePosition) {
    Put("PixelsPerInch", std::to_string(Ppi() + 24));
    Put("NormPos", "400,300,800,750");
    Put("CB_ComPort_Text", "COM2");
    TestWindow w;
    w.Show();
    EXPECT_EQ(w.Rect().left, TestWindow::kLeft);
    EXPECT_EQ(Text(w.port), "COM2");
}

TEST_F(FormWindowTest, ValuesOfThisScreenSizeWinOverPlainOnes) {
    Put(Concat("NormPos", Suffix()), "210,220,610,670");
    Put("NormPos", "310,320,710,770");
    {
        TestWindow w;
        w.Show();
        EXPECT_EQ(w.Rect().left, 210);
        EXPECT_EQ(w.Rect().top, 220);
    }
    Clean();
    Put("NormPos(1x1)", "210,220,610,670");
    Put("NormPos", "310,320,710,770");
    TestWindow w;
    w.Show();
    EXPECT_EQ(w.Rect().left, 310);
    EXPECT_EQ(w.Rect().top, 320);
}

TEST_F(FormWindowTest, ARightEdgeNotPastTheLeftIsIgnored) {
    Put("NormPos", "400,300,400,750");
    Put("CB_ComPort_Text", "COM2");
    TestWindow w;
    w.Show();
    EXPECT_EQ(w.Rect().left, TestWindow::kLeft);
    EXPECT_EQ(w.Rect().top, TestWindow::kTop);
    EXPECT_EQ(Text(w.port), "COM2");
}

TEST_F(FormWindowTest, JunkValuesInTheSection) {
    Put("CB_Spead_ItemIndex", "abc");
    Put("CB_PrintOnDevice_Checked", "true");
    Put("RxSpE_AutoTime_Value", "90.5");
    Put("CB_ComPort_Text", "  COM3  ");
    {
        TestWindow w;
        SendMessageW(w.speed, CB_SETCURSEL, 1, 0);
        w.Show();
        EXPECT_EQ(w.SpeedIndex(), 0);  // not a number: item 0
        EXPECT_TRUE(w.Checked());
        ASSERT_FALSE(w.autoTimeSets.empty());
        EXPECT_EQ(w.autoTimeSets.back(), 90.5L);
        EXPECT_EQ(Text(w.autoTime), "90");  // the spin edit rounds half to even
        EXPECT_EQ(Text(w.port), "COM3");
    }
    Put("CB_Spead_ItemIndex", "-1");
    Put("CB_PrintOnDevice_Checked", "1");
    Put("RxSpE_AutoTime_Value", "");
    Put("CB_ComPort_Text", "");
    TestWindow w;
    w.Show();
    EXPECT_EQ(w.SpeedIndex(), 0);  // an index of no item shows the default speed
    EXPECT_FALSE(w.Checked());     // "1" leaves it unchanged
    EXPECT_EQ(Text(w.autoTime), "60");
    EXPECT_EQ(Text(w.port), "");
    EXPECT_EQ(SendMessageW(w.port, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_TRUE(errors.empty());
}

TEST_F(FormWindowTest, APortTextThatNamesNoItemLeavesNoItemSelected) {
    Put("CB_ComPort_Text", "COM9");
    {
        TestWindow w;
        w.Show();
        EXPECT_EQ(Text(w.port), "COM9");
        EXPECT_EQ(SendMessageW(w.port, CB_GETCURSEL, 0, 0), CB_ERR);
    }
    Put("CB_ComPort_Text", "com4");
    TestWindow w;
    w.Show();
    EXPECT_EQ(SendMessageW(w.port, CB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(Text(w.port), "COM4");
}

TEST_F(FormWindowTest, APlacementValueOfAnotherTypeIsIgnoredAndWrittenAnewAsText) {
    const std::string screenNormPos = Concat("NormPos", Suffix());
    const BYTE binary[] = {0x90, 0x01, 0x00, 0x00, 0x2C, 0x01};
    const wchar_t multi[] = L"400,300,800,750\0second\0";
    const DWORD number = 400;
    const struct {
        std::string name;
        DWORD type;
        const void* data;
        DWORD size;
    } cases[] = {
        {"NormPos", REG_BINARY, binary, sizeof binary},
        {"NormPos", REG_MULTI_SZ, multi, sizeof multi},
        {"FormVersion", REG_DWORD, &number, sizeof number},
        {"Flags", REG_DWORD, &number, sizeof number},
        {"MinMaxPos", REG_DWORD, &number, sizeof number},
        {"PixelsPerInch", REG_BINARY, binary, sizeof binary},
        {screenNormPos, REG_BINARY, binary, sizeof binary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Concat(c.name, " of type ", std::to_string(c.type)));
        Clean();
        errors.clear();
        Put("NormPos", "400,300,800,750");
        Put("CB_ComPort_Text", "COM2");
        Put("CB_Spead_ItemIndex", "1");
        PutTyped(c.name, c.type, c.data, c.size);
        {
            TestWindow w;
            w.Show();
            EXPECT_TRUE(errors.empty());
            EXPECT_TRUE(IsWindowVisible(w.hwnd));
            // The damaged value counts as absent; the others are restored as usual.
            EXPECT_EQ(w.Rect().left, c.name == "NormPos" ? TestWindow::kLeft : 400);
            EXPECT_EQ(Text(w.port), "COM2");
            EXPECT_EQ(w.SpeedIndex(), 1);
            w.Close();
            EXPECT_FALSE(IsWindow(w.hwnd));
        }
        // The save replaced it with text.
        const std::string stored = Get(c.name);
        EXPECT_NE(stored, "<not a string>");
        EXPECT_NE(stored, "<missing>");
        EXPECT_EQ(Get("FormVersion"), "0");
        EXPECT_EQ(Get("NormPos"), c.name == "NormPos" ? "150,120,550,570" : "400,300,800,750");
    }

    // The same type in a control's value only skips that control.
    Clean();
    errors.clear();
    PutDword("CB_Spead_ItemIndex", 1);
    Put("CB_ComPort_Text", "COM2");
    TestWindow w;
    w.Show();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(Text(w.port), "COM2");
    EXPECT_EQ(w.SpeedIndex(), 0);
}

TEST_F(FormWindowTest, AWindowWithLittleOfItsTitleBarOnScreenIsMovedOntoTheMonitor) {
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    const struct {
        int left, top;
    } stored[] = {{-380, -460}, {screenW - 5, 300}, {300, screenH - 4}, {300, -10}};
    for (const auto& at : stored) {
        SCOPED_TRACE(Concat(std::to_string(at.left), ",", std::to_string(at.top)));
        Clean();
        Put("NormPos", Concat(std::to_string(at.left), ",", std::to_string(at.top), ",",
                              std::to_string(at.left + 10), ",", std::to_string(at.top + 10)));
        TestWindow w;
        w.Show();
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(w.hwnd, MONITOR_DEFAULTTONEAREST), &monitor));
        const RECT work = monitor.rcWork;
        const RECT r = w.Rect();
        EXPECT_EQ(r.right - r.left, TestWindow::kWidth);
        EXPECT_GE(r.left, work.left);
        EXPECT_GE(r.top, work.top);
        EXPECT_LE(r.right, work.right);
        EXPECT_LE(r.bottom, work.bottom);
        // Moved no further than needed: along one edge, the other coordinate kept.
        if (at.left > 0) {
            EXPECT_EQ(r.left, std::min<LONG>(at.left, work.right - TestWindow::kWidth));
        }
        if (at.top > 0) {
            EXPECT_EQ(r.top, std::min<LONG>(at.top, work.bottom - TestWindow::kHeight));
        }
        w.Close();
        EXPECT_EQ(Get("NormPos"), Concat(std::to_string(r.left), ",", std::to_string(r.top), ",",
                                         std::to_string(r.right), ",", std::to_string(r.bottom)));
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(FormWindowTest, AnInactiveStorageTouchesNothing) {
    Put("CB_ComPort_Text", "COM2");
    TestWindow w;
    w.storage->Storage().SetActive(false);
    w.Show();
    EXPECT_EQ(Text(w.port), "COM1");
    SetWindowTextW(w.port, L"COM4");
    w.Close();
    EXPECT_FALSE(IsWindow(w.hwnd));
    EXPECT_EQ(Get("CB_ComPort_Text"), "COM2");
    EXPECT_EQ(Get("NormPos"), "<missing>");
}

// --- window hook on a real window ----------------------------------------------------------

TEST_F(FormWindowTest, MinMaxInfoLimitsGoThroughTheWindowProcedure) {
    TestWindow w(WS_OVERLAPPEDWINDOW);
    const auto original = GetWindowLongPtrW(w.hwnd, GWLP_WNDPROC);
    TFormStorage& s = w.storage->Storage();
    s.MinMaxInfo().Set(TWinMinMaxInfo::MaxTrackWidth, 700);
    s.MinMaxInfo().Set(TWinMinMaxInfo::MinTrackHeight, 200);
    EXPECT_TRUE(s.WindowHookAttached());
    EXPECT_NE(GetWindowLongPtrW(w.hwnd, GWLP_WNDPROC), original);

    MINMAXINFO mmi{};
    mmi.ptMaxTrackSize = {3000, 3000};
    mmi.ptMaxPosition = {-4, -4};
    SendMessageW(w.hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMaxTrackSize.x, 700);
    EXPECT_EQ(mmi.ptMaxTrackSize.y, 3000);
    EXPECT_EQ(mmi.ptMinTrackSize.y, 200);
    EXPECT_EQ(mmi.ptMaxPosition.x, -4);
    // The system asks for the limits itself when the window is sized.
    w.Show();
    SetWindowPos(w.hwnd, nullptr, 0, 0, 1000, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(w.Rect().right - w.Rect().left, 700);
    EXPECT_EQ(w.Rect().bottom - w.Rect().top, 200);

    TWinMinMaxInfo none;
    s.SetMinMaxInfo(none);
    EXPECT_FALSE(s.WindowHookAttached());
    EXPECT_EQ(GetWindowLongPtrW(w.hwnd, GWLP_WNDPROC), original);
    EXPECT_EQ(HookedWindowCount(), 0u);
}

TEST_F(FormWindowTest, PreventResizeFreezesARealWindow) {
    TestWindow w(WS_OVERLAPPEDWINDOW);
    w.Show();
    TFormStorage& s = w.storage->Storage();
    s.SetPreventResize(true);
    EXPECT_TRUE(s.WindowHookAttached());
    EXPECT_EQ(GetWindowLongPtrW(w.hwnd, GWL_STYLE) & WS_MAXIMIZEBOX, 0);

    const RECT r = w.Rect();
    const LPARAM leftBorder = MAKELPARAM(r.left + 1, (r.top + r.bottom) / 2);
    EXPECT_EQ(SendMessageW(w.hwnd, WM_NCHITTEST, 0, leftBorder), 0);
    const LPARAM caption = MAKELPARAM((r.left + r.right) / 2, r.top + 5);
    EXPECT_EQ(SendMessageW(w.hwnd, WM_NCHITTEST, 0, caption), HTCAPTION);
    SetWindowPos(w.hwnd, nullptr, 0, 0, 900, 900, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(w.Rect().right - w.Rect().left, r.right - r.left);

    s.SetPreventResize(false);
    EXPECT_NE(GetWindowLongPtrW(w.hwnd, GWL_STYLE) & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(SendMessageW(w.hwnd, WM_NCHITTEST, 0, leftBorder), HTLEFT);
}

TEST_F(FormWindowTest, ADestroyedWindowLeavesNoHookBehind) {
    TestWindow w(WS_OVERLAPPEDWINDOW);
    w.storage->Storage().MinMaxInfo().Set(TWinMinMaxInfo::MinTrackWidth, 100);
    EXPECT_EQ(HookedWindowCount(), 1u);
    DestroyWindow(w.hwnd);
    EXPECT_EQ(HookedWindowCount(), 0u);
}

}  // namespace
}  // namespace virel
