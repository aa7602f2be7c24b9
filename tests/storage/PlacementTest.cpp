// TFormPlacement and TFormStorage on a fake window and an in-memory registry: the restore and
// save sequences, their flags, the stored texts and their order, and what junk values do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "FakeForm.h"
#include "core/Errors.h"
#include "storage/AppUtils.h"
#include "storage/Placemnt.h"
#include "storage/TextUtil.h"
#include "tests/storage/MemoryStore.h"

namespace virel {
namespace {

using storage_detail::Concat;
using test::FakeForm;

const TStoreLocation kKey{true, TPlacementRegRoot::prCurrentUser, "Software\\virel1_service"};

// One run of the program: the main window with its four stored controls and FormStorage1.
struct Program {
    explicit Program(TMemoryRegistry& registry,
                     const std::function<void(Program&)>& configure = nullptr) {
        form.placement.maxPosition = {5, 5};  // the restore's fitting must replace it
        form.Add("CB_ComPort", "TComboBox")
            .AddString(
                "Text", [this] { return port; }, [this](const std::string& s) { port = s; });
        form.Add("RxSpE_AutoTime", "TRxSpinEdit")
            .AddFloat(
                "Value", TFloatType::ftExtended, [this] { return autoTime; },
                [this](long double v) {
                    autoTimeSets.push_back(v);
                    // The spin edit limits to its range and rounds half to even.
                    autoTime = std::nearbyint(std::clamp(v, 5.0L, 1000000000.0L));
                });
        form.Add("CB_Spead", "TComboBox")
            .AddInteger(
                "ItemIndex", [this] { return speed; }, [this](std::int32_t i) { speed = i; });
        form.Add("CB_PrintOnDevice", "TCheckBox")
            .AddBoolean(
                "Checked", [this] { return print; }, [this](bool b) { print = b; });
        form.events.onShow = [this] { own.push_back("show"); };
        form.events.onCloseQuery = [this](bool& canClose) {
            own.push_back("close");
            canClose = allowClose;
        };
        form.events.onDestroy = [this] { own.push_back("destroy"); };

        storage = std::make_unique<TFormStorage>(&form);
        storage->SetStoreFactory(registry.Factory());
        storage->SetOptions({TPlacementOption::fpPosition});
        storage->SetUseRegistry(true);
        storage->SetStoredProps({"CB_ComPort.Text", "RxSpE_AutoTime.Value", "CB_Spead.ItemIndex",
                                 "CB_PrintOnDevice.Checked"});
        storage->StoredValues().Add();
        if (configure) configure(*this);
        storage->Loaded();
    }

    void Show() {
        form.events.Show();
        form.visible = true;
    }
    bool Close() { return form.events.CloseQuery(); }
    void Destroy() {
        form.events.Destroy();
        storage.reset();
        form.handle = false;
    }
    void Run() {
        Show();
        Close();
        Destroy();
    }

    FakeForm form;
    std::string port = "COM1";
    long double autoTime = 60;
    std::vector<long double> autoTimeSets;
    std::int32_t speed = 0;
    bool print = false;
    bool allowClose = true;
    std::vector<std::string> own;
    std::unique_ptr<TFormStorage> storage;
};

class FormStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedApp_ = ApplicationInfo();
        ApplicationInfo() = TApplicationInfo{};
        ApplicationInfo().exePath = "C:\\Program Files\\VIREL\\virel1_service.exe";
        SetStorageErrorReport([this](const std::exception& e) { errors.push_back(e.what()); });
    }
    void TearDown() override {
        SetStorageErrorReport(nullptr);
        ApplicationInfo() = savedApp_;
    }

    void Put(const std::string& name, const std::string& text, bool isString = true) {
        registry.Put(kKey, "TFace", name, text, isString);
    }
    std::string Get(const std::string& name) {
        return registry.Get(kKey, "TFace", name).value_or("<missing>");
    }
    std::vector<std::string> Writes() const {
        std::vector<std::string> w;
        for (const auto& j : registry.journal) {
            if (j.rfind("write ", 0) == 0) w.push_back(j);
        }
        return w;
    }

    TMemoryRegistry registry;
    std::vector<std::string> errors;

private:
    TApplicationInfo savedApp_;
};

TEST_F(FormStorageTest, FirstStartCreatesTheKeyButNoSectionAndKeepsTheDesignedValues) {
    Program p(registry);
    p.Show();
    EXPECT_TRUE(registry.HasKey(kKey));
    EXPECT_FALSE(registry.HasSection(kKey, "TFace"));
    EXPECT_TRUE(Writes().empty());
    ASSERT_FALSE(registry.journal.empty());
    EXPECT_EQ(registry.journal.front(), "open ro Software\\virel1_service");
    EXPECT_EQ(registry.journal.back(), "close");
    EXPECT_EQ(registry.openStores, 0);
    // No position was applied; the only placement change is the fitted maximized position.
    ASSERT_EQ(p.form.applied.size(), 1u);
    EXPECT_EQ(p.form.applied[0].normalPosition, (TRect{100, 50, 500, 520}));
    EXPECT_EQ(p.form.applied[0].maxPosition, (TPoint{-1, -1}));
    EXPECT_EQ(p.form.applied[0].showCmd, kSwHide);  // still hidden: nothing shows it
    EXPECT_EQ(p.port, "COM1");
    EXPECT_EQ(p.autoTime, 60);
    EXPECT_EQ(p.speed, 0);
    EXPECT_FALSE(p.print);
    EXPECT_TRUE(p.storage->Restored());
    EXPECT_FALSE(p.storage->Saved());
    EXPECT_TRUE(errors.empty());
}

TEST_F(FormStorageTest, FirstCloseWritesEveryValueInOrder) {
    Program p(registry);
    p.Show();
    registry.journal.clear();
    EXPECT_TRUE(p.Close());
    const std::vector<std::string> expected = {
        "write TFace/FormVersion=0",
        "write TFace/Flags=0",
        "write TFace/ShowCmd=1",
        "write TFace/PixelsPerInch=96",
        "write TFace/MinMaxPos(1024x768)=-1,-1,-1,-1",
        "write TFace/MinMaxPos=-1,-1,-1,-1",
        "write TFace/NormPos(1024x768)=100,50,500,520",
        "write TFace/NormPos=100,50,500,520",
        "write TFace/Visible=0",
        "write TFace/CB_ComPort_Text=COM1",
        "write TFace/RxSpE_AutoTime_Value=60",
        "write TFace/CB_Spead_ItemIndex=0",
        "write TFace/CB_PrintOnDevice_Checked=False",
        "write TFace/=",
    };
    EXPECT_EQ(Writes(), expected);
    EXPECT_EQ(registry.journal.front(), "open rw Software\\virel1_service");
    EXPECT_EQ(registry.journal.back(), "close");
    EXPECT_TRUE(p.storage->Saved());
    EXPECT_EQ(registry.ValueNames(kKey, "TFace").size(), 14u);

    // The destroy after a successful close writes nothing more.
    registry.journal.clear();
    p.Destroy();
    EXPECT_TRUE(registry.journal.empty());
    EXPECT_EQ(p.own, (std::vector<std::string>{"show", "close", "destroy"}));
}

TEST_F(FormStorageTest, RestartRestoresPositionAndTheFourValues) {
    {
        Program first(registry);
        first.Show();
        first.form.placement.normalPosition = {300, 200, 700, 670};  // moved by the operator
        first.port = "COM3";
        first.autoTime = 120;
        first.speed = 1;
        first.print = true;
        first.Close();
        first.Destroy();
    }
    EXPECT_EQ(Get("NormPos"), "300,200,700,670");
    EXPECT_EQ(Get("RxSpE_AutoTime_Value"), "120");
    EXPECT_EQ(Get("CB_PrintOnDevice_Checked"), "True");

    Program second(registry);
    second.Show();
    EXPECT_EQ(second.form.placement.normalPosition, (TRect{300, 200, 700, 670}));
    EXPECT_EQ(second.port, "COM3");
    EXPECT_EQ(second.autoTime, 120);
    EXPECT_EQ(second.speed, 1);
    EXPECT_TRUE(second.print);
    EXPECT_TRUE(errors.empty());
}

TEST_F(FormStorageTest, DestroyWithoutCloseSavesWithVisibleOne) {
    Program p(registry);
    p.Show();
    registry.journal.clear();
    p.Destroy();
    EXPECT_EQ(Get("Visible"), "1");
    EXPECT_EQ(Writes().size(), 14u);
    EXPECT_EQ(p.own, (std::vector<std::string>{"show", "destroy"}));
}

TEST_F(FormStorageTest, OlderFormVersionSkipsEverythingButTheNextCloseOverwrites) {
    Put("FormVersion", "0");
    Put("NormPos", "300,200,700,670");
    Put("CB_ComPort_Text", "COM4");
    Program p(registry, [](Program& q) { q.storage->SetVersion(1); });
    p.Show();
    EXPECT_EQ(p.form.placement.normalPosition, (TRect{100, 50, 500, 520}));
    EXPECT_EQ(p.port, "COM1");
    EXPECT_TRUE(p.storage->Restored());
    p.Close();
    EXPECT_EQ(Get("FormVersion"), "1");
    EXPECT_EQ(Get("NormPos"), "100,50,500,520");
    EXPECT_EQ(Get("CB_ComPort_Text"), "COM1");
}

TEST_F(FormStorageTest, ANewerOrEqualFormVersionIsRestored) {
    Put("FormVersion", "3");
    Put("CB_ComPort_Text", "COM4");
    Program p(registry, [](Program& q) { q.storage->SetVersion(3); });
    p.Show();
    EXPECT_EQ(p.port, "COM4");
}

TEST_F(FormStorageTest, PixelsPerInchMismatchSkipsOnlyThePosition) {
    Put("PixelsPerInch", "120");
    Put("NormPos", "300,200,700,670");
    Put("CB_ComPort_Text", "COM2");
    Program p(registry);
    p.Show();
    EXPECT_EQ(p.form.placement.normalPosition, (TRect{100, 50, 500, 520}));
    EXPECT_EQ(p.port, "COM2");

    Put("PixelsPerInch", "junk");  // not a number: the current value, so they agree
    Program q(registry);
    q.Show();
    EXPECT_EQ(q.form.placement.normalPosition.left, 300);
}

TEST_F(FormStorageTest, ValuesForThisScreenSizeWinOverPlainOnes) {
    Put("NormPos(1024x768)", "10,20,30,40");
    Put("NormPos", "30,40,50,60");
    Put("NormPos(800x600)", "70,80,90,100");
    Program p(registry);
    p.Show();
    EXPECT_EQ(p.form.placement.normalPosition, (TRect{10, 20, 410, 490}));

    // Another resolution: nothing saved under it yet, so the plain value is used ...
    Program q(registry, [](Program& r) { r.form.screen = {1280, 1024}; });
    q.Show();
    EXPECT_EQ(q.form.placement.normalPosition.left, 30);
    // ... and the next close writes both the plain value and the one for the new resolution.
    q.Close();
    EXPECT_EQ(Get("NormPos(1280x1024)"), "30,40,430,510");
    EXPECT_EQ(Get("NormPos"), "30,40,430,510");
    EXPECT_EQ(Get("NormPos(1024x768)"), "10,20,30,40");
}

TEST_F(FormStorageTest, ARectangleWithoutWidthIsIgnored) {
    for (const char* junk : {"300,200,300,600", "300,200,100,600"}) {
        registry.Clear();
        Put("NormPos", junk);
        Put("CB_ComPort_Text", "COM2");
        Program p(registry);
        p.Show();
        EXPECT_EQ(p.form.placement.normalPosition, (TRect{100, 50, 500, 520})) << junk;
        EXPECT_EQ(p.port, "COM2");
    }
}

TEST_F(FormStorageTest, ARectangleWithoutHeightOrTooLargeToMeasureIsIgnored) {
    for (const char* junk : {"300,200,700,200", "300,600,700,100", "0,-2147483648,100,520",
                             "-2147483648,0,2147483647,470"}) {
        registry.Clear();
        Put("NormPos", junk);
        Put("CB_ComPort_Text", "COM2");
        Program p(registry);
        p.Show();
        EXPECT_EQ(p.form.placement.normalPosition, (TRect{100, 50, 500, 520})) << junk;
        EXPECT_EQ(p.port, "COM2");
    }
}

TEST_F(FormStorageTest, BadAndMissingWordsFallBackToTheWindowsEdges) {
    Put("NormPos", "abc,60");
    Put("MinMaxPos", "7 ,x");
    Program p(registry);
    p.Show();
    ASSERT_GE(p.form.applied.size(), 2u);
    // Left falls back to the window's left, top is read; the fixed-size window keeps its size.
    EXPECT_EQ(p.form.applied[0].normalPosition, (TRect{100, 60, 500, 530}));
    EXPECT_EQ(p.form.applied[0].minPosition, (TPoint{7, 0}));
    EXPECT_EQ(p.form.applied[0].maxPosition, (TPoint{0, 0}));
    // The fitting afterwards replaces the maximized position read from "MinMaxPos".
    EXPECT_EQ(p.form.placement.maxPosition, (TPoint{-1, -1}));
}

TEST_F(FormStorageTest, FlagsComeFromTheStoreOrStayWhenJunk) {
    Put("NormPos", "10,20,30,40");
    Put("Flags", "2");
    Program p(registry);
    p.Show();
    EXPECT_EQ(p.form.applied[0].flags, 2u);
    Put("Flags", "many");
    Program q(registry);
    q.Show();
    EXPECT_EQ(q.form.applied[0].flags, 0u);
}

TEST_F(FormStorageTest, ASizeableWindowTakesTheStoredSize) {
    Put("NormPos", "10,20,110,220");
    Program p(registry, [](Program& q) { q.form.border = TFormBorderStyle::bsSizeable; });
    p.Show();
    EXPECT_EQ(p.form.placement.normalPosition, (TRect{10, 20, 110, 220}));
    EXPECT_EQ(p.form.placement.maxPosition, (TPoint{-4, -4}));  // the sizeable frame
}

TEST_F(FormStorageTest, ACenteredWindowIsSwitchedToItsDesignedPosition) {
    Put("NormPos", "10,20,110,220");
    Program p(registry, [](Program& q) { q.form.position = TPosition::poScreenCenter; });
    p.Show();
    EXPECT_EQ(p.form.position, TPosition::poDesigned);
    ASSERT_GE(p.form.calls.size(), 2u);
    EXPECT_EQ(p.form.calls[0], "SetPositionDesigned");
    EXPECT_EQ(p.form.calls[1], "SetPlacement");
}

TEST_F(FormStorageTest, JunkControlValues) {
    Put("CB_Spead_ItemIndex", "abc");
    Put("CB_PrintOnDevice_Checked", "true");
    Put("RxSpE_AutoTime_Value", "90.5");
    Put("CB_ComPort_Text", "  COM3  ");
    Program a(registry, [](Program& q) { q.speed = 1; });
    a.Show();
    EXPECT_EQ(a.speed, 0);  // not a number: item 0
    EXPECT_TRUE(a.print);   // "true" in lower case checks the box
    ASSERT_FALSE(a.autoTimeSets.empty());
    EXPECT_EQ(a.autoTimeSets.back(), 90.5L);  // the spin edit gets the fraction ...
    EXPECT_EQ(a.autoTime, 90);                // ... and rounds it itself
    EXPECT_EQ(a.port, "COM3");

    Put("CB_Spead_ItemIndex", "-1");
    Put("CB_PrintOnDevice_Checked", "1");
    Put("RxSpE_AutoTime_Value", "sixty");
    Put("CB_ComPort_Text", "");
    Program b(registry, [](Program& q) {
        q.speed = 1;
        q.autoTime = 75;
    });
    b.Show();
    EXPECT_EQ(b.speed, -1);     // the selection is cleared
    EXPECT_FALSE(b.print);      // "1" is no member name: unchanged
    EXPECT_EQ(b.autoTime, 75);  // not a number: unchanged
    EXPECT_EQ(b.port, "");      // an empty stored text empties the combo box

    Put("RxSpE_AutoTime_Value", "3");
    Program c(registry);
    c.Show();
    EXPECT_EQ(c.autoTime, 5);  // the spin edit's own range applies
    EXPECT_TRUE(errors.empty());
}

TEST_F(FormStorageTest, APlacementValueOfAnotherTypeCountsAsAbsentAndIsWrittenAnew) {
    // Any of the component's own values stored as a number or as binary data.
    for (const std::string name : {"FormVersion", "Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos",
                                   "MinMaxPos(1024x768)", "NormPos", "NormPos(1024x768)"}) {
        SCOPED_TRACE(name);
        registry.Clear();
        errors.clear();
        Put("NormPos", "300,200,700,670");
        Put("CB_ComPort_Text", "COM2");
        Put(name, "\x04", false);
        Program p(registry);
        p.Show();
        EXPECT_TRUE(errors.empty());
        EXPECT_TRUE(p.storage->Restored());
        EXPECT_EQ(p.port, "COM2");  // the rest of the restore goes on
        // The plain position is used unless it is the damaged value itself.
        EXPECT_EQ(p.form.placement.normalPosition.left, name == "NormPos" ? 100 : 300);
        EXPECT_EQ(registry.openStores, 0);

        EXPECT_TRUE(p.Close());
        // Written anew as text, readable by the next start.
        auto store = registry.Factory()(kKey, true);
        std::string text;
        EXPECT_NO_THROW(text = store->ReadString("TFace", name, "<missing>"));
        EXPECT_NE(text, "<missing>");
        EXPECT_NE(text, "\x04");
        EXPECT_EQ(Get("NormPos"), name == "NormPos" ? "100,50,500,520" : "300,200,700,670");
        EXPECT_EQ(Get("FormVersion"), "0");
    }
}

TEST_F(FormStorageTest, ARestoredTitleBarOffTheWorkAreaIsMovedOntoIt) {
    // The fake window is 400 x 470; its work area is 1024 x 740 (a task bar below).
    const struct {
        const char* stored;
        TRect expected;
    } cases[] = {
        {"-380,-460,10,5", {0, 0, 400, 470}},
        {"1000,200,1400,670", {624, 200, 1024, 670}},
        {"300,720,700,1190", {300, 270, 700, 740}},  // the title bar on the task bar
        {"300,-10,700,460", {300, 0, 700, 470}},     // above the top edge
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        registry.Clear();
        Put("NormPos", c.stored);
        Program p(registry);
        p.Show();
        EXPECT_EQ(p.form.placement.normalPosition, c.expected);
        // Restore, move, and the fitting of the maximized position; all while hidden.
        ASSERT_EQ(p.form.applied.size(), 3u);
        EXPECT_EQ(p.form.applied[1].normalPosition, c.expected);
        EXPECT_EQ(p.form.applied[1].showCmd, kSwHide);
        p.Close();
        EXPECT_EQ(Get("NormPos"), storage_detail::Concat(std::to_string(c.expected.left), ",",
                                                         std::to_string(c.expected.top), ",",
                                                         std::to_string(c.expected.right), ",",
                                                         std::to_string(c.expected.bottom)));
    }

    // Within reach (only the lower part of the window off the work area): left alone.
    registry.Clear();
    Put("NormPos", "300,700,700,1170");
    Program within(registry);
    within.Show();
    EXPECT_EQ(within.form.placement.normalPosition, (TRect{300, 700, 700, 1170}));
    EXPECT_EQ(within.form.applied.size(), 2u);

    // Two monitors: a position on the second one stays.
    Program second(registry, [](Program& q) {
        q.form.workAreas = {{0, 0, 1024, 740}, {1024, 0, 2304, 1024}};
    });
    Put("NormPos", "1500,900,1900,1370");
    second.Show();
    EXPECT_EQ(second.form.placement.normalPosition.left, 1500);

    // A window not in its normal state is left to the system.
    Put("NormPos", "-380,-460,10,5");
    Program maximized(registry, [](Program& q) { q.form.state = TWindowState::wsMaximized; });
    maximized.Show();
    EXPECT_EQ(maximized.form.placement.normalPosition.left, -380);
    EXPECT_TRUE(errors.empty());
}

TEST_F(FormStorageTest, ANonStringPropertyValueIsSkippedSilently) {
    Put("CB_Spead_ItemIndex", "1", false);
    Put("CB_ComPort_Text", "COM2");
    Put("CB_PrintOnDevice_Checked", "True");
    Program p(registry, [](Program& q) { q.speed = 1; });
    p.Show();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(p.speed, 1);
    EXPECT_EQ(p.port, "COM2");
    EXPECT_TRUE(p.print);
    EXPECT_TRUE(p.storage->Restored());
}

TEST_F(FormStorageTest, ANonStringNamedValueIsReportedAfterTheRestoredFlag) {
    Put("", "x", false);
    Put("CB_ComPort_Text", "COM2");
    Program p(registry);
    p.Show();
    EXPECT_EQ(errors, (std::vector<std::string>{"Invalid data type for ''"}));
    EXPECT_EQ(p.port, "COM2");
    EXPECT_TRUE(p.storage->Restored());
    p.Close();  // the values arrived, so the close writes
    EXPECT_EQ(Get(""), "");
}

TEST_F(FormStorageTest, InactiveStorageNeitherRestoresNorSaves) {
    Put("CB_ComPort_Text", "COM2");
    Program p(registry, [](Program& q) { q.storage->SetActive(false); });
    registry.journal.clear();
    p.Run();
    EXPECT_TRUE(registry.journal.empty());
    EXPECT_EQ(p.port, "COM1");
    EXPECT_EQ(p.own, (std::vector<std::string>{"show", "close", "destroy"}));
}

TEST_F(FormStorageTest, AFailedSaveIsReportedAndRetriedByTheDestroy) {
    Program p(registry);
    p.Show();
    registry.failingWrites = {"NormPos"};
    EXPECT_TRUE(p.Close());  // the window closes regardless
    EXPECT_EQ(errors, (std::vector<std::string>{"Failed to set data for 'NormPos'"}));
    EXPECT_EQ(registry.openStores, 0);
    EXPECT_FALSE(p.storage->Saved());
    EXPECT_EQ(Get("CB_ComPort_Text"), "<missing>");  // the sequence ended at the failure

    registry.failingWrites.clear();
    p.Destroy();
    EXPECT_EQ(Get("Visible"), "1");
    EXPECT_EQ(Get("CB_ComPort_Text"), "COM1");
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(FormStorageTest, ASaveBeforeAnyRestoreWritesNothing) {
    Program p(registry);
    EXPECT_TRUE(p.Close());
    p.Destroy();
    EXPECT_TRUE(Writes().empty());

    // Called directly on an inactive component, the save does write.
    Program q(registry, [](Program& r) { r.storage->SetActive(false); });
    q.storage->SaveSettings();
    EXPECT_EQ(Get("FormVersion"), "0");
    EXPECT_EQ(Get("CB_ComPort_Text"), "COM1");
}

TEST_F(FormStorageTest, TheWindowsOwnHandlersAreChainedAndPutBack) {
    std::size_t journalAtOwnShow = 0;
    Put("CB_ComPort_Text", "COM2");
    Program q(registry, [&](Program& r) {
        r.form.events.onShow = [&] {
            journalAtOwnShow = registry.journal.size();
            r.own.push_back(Concat("show sees ", r.port));
        };
    });
    q.Show();
    EXPECT_GT(journalAtOwnShow, 0u);  // the restore ran first
    EXPECT_EQ(q.own, (std::vector<std::string>{"show sees COM2"}));

    q.allowClose = false;
    EXPECT_FALSE(q.Close());
    EXPECT_TRUE(Writes().empty());  // the window's own handler kept it open: no save
    q.allowClose = true;
    EXPECT_TRUE(q.Close());
    EXPECT_FALSE(Writes().empty());

    // Destroying the component puts the window's handlers back.
    q.storage.reset();
    registry.journal.clear();
    q.own.clear();
    q.form.events.Show();
    q.form.events.CloseQuery();
    q.form.events.Destroy();
    EXPECT_TRUE(registry.journal.empty());
    EXPECT_EQ(q.own, (std::vector<std::string>{"show sees COM2", "close", "destroy"}));
}

TEST_F(FormStorageTest, PlacementEventsFireWithTheStoreOpen) {
    int openAtRestore = -1, openAtSave = -1;
    Program p(registry, [&](Program& q) {
        q.storage->OnRestorePlacement = [&](TFormPlacement&) {
            openAtRestore = registry.openStores;
        };
        q.storage->OnSavePlacement = [&](TFormPlacement&) { openAtSave = registry.openStores; };
    });
    p.Run();
    EXPECT_EQ(openAtRestore, 1);
    EXPECT_EQ(openAtSave, 1);
}

TEST_F(FormStorageTest, ActiveControlIsSavedAndFocusedWhenItCan) {
    bool canFocus = true;
    auto configure = [&](Program& q) {
        q.storage->SetOptions({TPlacementOption::fpPosition, TPlacementOption::fpActiveControl});
        auto* speed = static_cast<TBoundComponent*>(q.form.FindComponent("CB_Spead"));
        speed->SetCanFocus([&] { return canFocus; });
        q.form.active = q.form.FindComponent("CB_ComPort");
    };
    {
        Program p(registry, configure);
        p.Show();
        p.form.active = p.form.FindComponent("CB_Spead");
        p.Close();
    }
    EXPECT_EQ(Get("ActiveControl"), "CB_Spead");
    Program q(registry, configure);
    q.Show();
    EXPECT_EQ(q.form.active, q.form.FindComponent("CB_Spead"));
    canFocus = false;
    Program r(registry, configure);
    r.Show();
    EXPECT_EQ(r.form.active, r.form.FindComponent("CB_ComPort"));
}

TEST_F(FormStorageTest, WindowStateFromShowCmd) {
    auto withState = [](Program& q) { q.storage->SetOptions({TPlacementOption::fpState}); };
    Put("ShowCmd", "3");
    Program a(registry, withState);
    a.Show();
    EXPECT_EQ(a.form.state, TWindowState::wsMaximized);
    EXPECT_EQ(a.form.calls.front(), "SetWindowState 2");
    EXPECT_TRUE(a.form.applied.size() == 1);  // position not loaded, only the fitting

    Put("ShowCmd", "7");  // minimized, on the main form: posted to the application
    Program b(registry, withState);
    b.Show();
    EXPECT_EQ(b.form.calls[0], "SetWindowStateField 0");
    EXPECT_EQ(b.form.calls[1], "PostApplicationMinimize");
    EXPECT_EQ(std::count(b.form.calls.begin(), b.form.calls.end(), "Update"), 0);

    Put("ShowCmd", "junk");  // the default: a main form in default position opens maximized
    Program c(registry, [&](Program& q) {
        withState(q);
        q.form.position = TPosition::poDefault;
    });
    c.Show();
    EXPECT_EQ(c.form.state, TWindowState::wsMaximized);

    Put("ShowCmd", "2");  // an MDI child that is not the main form: the field only
    Program d(registry, [&](Program& q) {
        withState(q);
        q.form.style = TFormStyle::fsMDIChild;
        q.form.isMain = false;
    });
    d.Show();
    EXPECT_EQ(d.form.calls.front(), "SetWindowStateField 1");
}

TEST_F(FormStorageTest, WritePlacementMarksMinimizedStates) {
    Program p(registry);
    p.Show();
    p.form.appMinimized = true;
    p.Close();
    EXPECT_EQ(Get("ShowCmd"), "2");

    Program q(registry, [](Program& r) {
        r.form.style = TFormStyle::fsMDIChild;
        r.form.isMain = false;
        r.form.appMinimized = true;
    });
    q.Show();
    q.form.state = TWindowState::wsMinimized;
    q.Close();
    EXPECT_EQ(Get("ShowCmd"), "1");  // not the main form
    EXPECT_EQ(Get("Flags"), "1");
}

TEST_F(FormStorageTest, IniModeAndExplicitLocations) {
    TStoreLocation seen;
    auto spy = [&](const TStoreLocation& where, bool readOnly) {
        seen = where;
        return registry.Factory()(where, readOnly);
    };
    Program p(registry, [&](Program& q) {
        q.storage->SetUseRegistry(false);
        q.storage->SetStoreFactory(spy);
    });
    EXPECT_EQ(p.storage->IniFileName(), "virel1_service.INI");
    EXPECT_EQ(p.storage->IniSection(), "TFace");
    p.Show();
    EXPECT_FALSE(seen.useRegistry);
    EXPECT_EQ(seen.path, "virel1_service.INI");

    p.storage->SetIniFileName("C:\\data\\my.ini");
    p.storage->SetIniSection("Main");
    p.Close();
    EXPECT_EQ(seen.path, "C:\\data\\my.ini");
    EXPECT_EQ(registry.Get(seen, "Main", "NormPos"), "100,50,500,520");

    Program r(registry, [&](Program& q) {
        q.storage->SetRegistryRoot(TPlacementRegRoot::prLocalMachine);
        q.storage->SetStoreFactory(spy);
    });
    r.Show();
    EXPECT_EQ(seen.root, TPlacementRegRoot::prLocalMachine);
    EXPECT_FALSE(registry.HasKey(seen));  // another root's key is not created for reading
}

TEST_F(FormStorageTest, SingleValuesOpenAndCloseTheirOwnStore) {
    Program p(registry);
    registry.journal.clear();
    p.storage->WriteSettingInteger("Answer", 42);
    EXPECT_EQ(p.storage->ReadSettingInteger("Answer", 0), 42);
    EXPECT_EQ(p.storage->ReadSettingString("Nothing", "dflt"), "dflt");
    EXPECT_EQ(registry.journal,
              (std::vector<std::string>{
                  "open rw Software\\virel1_service", "write TFace/Answer=42", "close",
                  "open ro Software\\virel1_service", "read TFace/Answer", "close",
                  "open ro Software\\virel1_service", "read TFace/Nothing", "close"}));
}

TEST_F(FormStorageTest, NoStoreFactoryIsAReportedError) {
    Program p(registry, [](Program& q) { q.storage->SetStoreFactory(nullptr); });
    p.Show();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_FALSE(p.storage->Restored());
}

// --- stored values ------------------------------------------------------------------------

TEST_F(FormStorageTest, StoredValuesWithKeysAndEvents) {
    auto configure = [](Program& q) {
        auto& values = q.storage->StoredValues();
        auto& secret = values.Add();
        secret.SetName("Password");
        secret.keyString = "key";
        secret.value = std::string("ABCD");
        auto& counter = values.Add();
        counter.SetName("Runs");
        counter.value = std::int64_t{1};
        counter.onSave = [](TStoredValue&, TStoredVariant& v) {
            v = Concat(VariantToText(v), "!");  // only the written copy changes
        };
        counter.onRestore = [](TStoredValue&, TStoredVariant& v) {
            v = Concat("restored ", std::get<std::string>(v));
        };
    };
    {
        Program p(registry, configure);
        p.Show();  // nothing stored: the value's own text "1" comes back
        EXPECT_EQ(p.storage->StoredValues()[2].value, TStoredVariant{std::string("restored 1")});
        p.Close();
        EXPECT_EQ(p.storage->StoredValues()[2].value, TStoredVariant{std::string("restored 1")});
    }
    EXPECT_EQ(Get("Password"), "2a273a2f");
    EXPECT_EQ(Get("Runs"), "restored 1!");
    Put("Password", ScrambleText("secret", "key"));
    Program q(registry, configure);
    q.Show();
    auto& values = q.storage->StoredValues();
    EXPECT_EQ(values.ValueByName("password")->value, TStoredVariant{std::string("secret")});
    EXPECT_EQ(values.ValueByName("Runs")->value,
              TStoredVariant{std::string("restored restored 1!")});
    EXPECT_EQ(values[0].value, TStoredVariant{std::string()});  // the unnamed value
}

TEST(StoredValues, NamesAreUniqueWithoutRegardToCase) {
    TStoredValues values(nullptr);
    auto& a = values.Add();
    a.SetName("Port");
    auto& b = values.Add();
    EXPECT_THROW(b.SetName("PORT"), Exception);
    EXPECT_EQ(b.Name(), "");
    EXPECT_EQ(b.DisplayName(), "TStoredValue");
    a.SetName("port");  // its own name in another case is fine
    EXPECT_EQ(a.Name(), "port");
    b.SetName("Speed");
    b.keyString = "k";
    b.value = std::int64_t{9600};
    EXPECT_THROW(a.Assign(b), Exception);  // "Speed" belongs to another item of the list
    TStoredValues other(nullptr);
    auto& c = other.Add();
    c.Assign(b);
    EXPECT_EQ(c.Name(), "Speed");
    EXPECT_EQ(c.keyString, "k");
    EXPECT_EQ(c.value, TStoredVariant{std::int64_t{9600}});
    EXPECT_NO_THROW(b.WriteToStore());  // no storage: nothing happens
}

// --- stored property list ------------------------------------------------------------------

TEST_F(FormStorageTest, TheStoredPropertyListFollowsTheWindowsComponents) {
    Program p(registry, [](Program& q) {
        q.storage->SetStoredProps({"CB_ComPort.Text", "Gone.Text", "nodot", "cb_spead.ItemIndex"});
    });
    EXPECT_EQ(p.storage->StoredPropsText(),
              (std::vector<std::string>{"CB_ComPort.Text", "cb_spead.ItemIndex"}));
    p.storage->ComponentRemoved(*p.form.FindComponent("CB_ComPort"));
    EXPECT_EQ(p.storage->StoredPropsText(), (std::vector<std::string>{"cb_spead.ItemIndex"}));
    p.Show();
    p.Close();
    EXPECT_EQ(Get("CB_Spead_ItemIndex"), "0");
    EXPECT_EQ(Get("CB_ComPort_Text"), "<missing>");
    // After loading, a new list is bound at once.
    p.storage->SetStoredProps({"CB_PrintOnDevice.Checked", "Gone.X"});
    EXPECT_EQ(p.storage->StoredPropsText(), (std::vector<std::string>{"CB_PrintOnDevice.Checked"}));
}

// --- window hook -------------------------------------------------------------------------

TEST_F(FormStorageTest, MinMaxInfoAttachesTheHookAndFillsTheLimits) {
    Program p(registry);
    ASSERT_NE(p.form.hook, nullptr);
    EXPECT_FALSE(p.storage->WindowHookAttached());
    TMinMaxRecord r{};
    r.maxPosition = {-4, -4};
    r.maxTrackSize = {2000, 2000};
    THookMessage m;
    m.msg = kWmGetMinMaxInfo;
    m.lParam = reinterpret_cast<std::intptr_t>(&r);
    p.form.hook->afterMessage(m);
    EXPECT_EQ(r.maxPosition, (TPoint{0, 0}));  // all limits zero: maximize to the corner

    p.form.applied.clear();
    p.storage->MinMaxInfo().Set(TWinMinMaxInfo::MaxTrackWidth, 800);
    EXPECT_TRUE(p.storage->WindowHookAttached());
    EXPECT_TRUE(p.form.applied.empty());  // no fitting while limits are set
    p.storage->MinMaxInfo().Set(TWinMinMaxInfo::MinTrackHeight, 300);
    p.storage->MinMaxInfo().Set(TWinMinMaxInfo::MaxPosLeft, 11);
    r = {};
    r.maxPosition = {-4, -4};
    r.maxTrackSize = {2000, 2000};
    p.form.hook->afterMessage(m);
    EXPECT_EQ(r.maxTrackSize, (TPoint{800, 2000}));
    EXPECT_EQ(r.minTrackSize, (TPoint{0, 300}));
    EXPECT_EQ(r.maxPosition, (TPoint{11, -4}));

    TWinMinMaxInfo none;
    p.storage->SetMinMaxInfo(none);
    EXPECT_FALSE(p.storage->WindowHookAttached());
    EXPECT_EQ(p.form.applied.size(), 1u);  // fitted again
}

TEST_F(FormStorageTest, PreventResizeFreezesTheSize) {
    Program p(registry, [](Program& q) { q.form.maximizeButton = true; });
    p.Show();
    p.storage->SetPreventResize(true);
    EXPECT_TRUE(p.storage->WindowHookAttached());
    EXPECT_FALSE(p.form.maximizeButton);
    EXPECT_TRUE(p.storage->Active());

    TMinMaxRecord r{};
    THookMessage m;
    m.msg = kWmGetMinMaxInfo;
    m.lParam = reinterpret_cast<std::intptr_t>(&r);
    p.form.hook->afterMessage(m);
    EXPECT_EQ(r.minTrackSize, (TPoint{400, 470}));
    EXPECT_EQ(r.maxTrackSize, (TPoint{400, 470}));

    for (std::intptr_t hit = 9; hit <= 18; ++hit) {
        THookMessage h;
        h.msg = kWmNcHitTest;
        h.result = hit;
        p.form.hook->afterMessage(h);
        EXPECT_EQ(h.result, (hit >= 10 && hit <= 17) ? 0 : hit) << hit;
    }
    THookMessage menu;
    menu.msg = kWmInitMenuPopup;
    menu.wParam = 77;
    menu.lParam = 0x10000;  // the system menu
    p.form.hook->afterMessage(menu);
    EXPECT_EQ(p.form.calls.back(), Concat("Gray 77 ", std::to_string(kScMaximize)));
    EXPECT_EQ(p.form.calls[p.form.calls.size() - 2], Concat("Gray 77 ", std::to_string(kScSize)));

    p.storage->SetPreventResize(false);
    EXPECT_TRUE(p.form.maximizeButton);  // the window had one when it was hooked
    EXPECT_FALSE(p.storage->WindowHookAttached());
}

TEST_F(FormStorageTest, PreventResizeSetWhileLoadingIsAppliedByLoaded) {
    Program p(registry, [](Program& q) {
        q.form.maximizeButton = true;
        q.storage->SetPreventResize(true);
        EXPECT_TRUE(q.form.maximizeButton);  // not touched before loading ends
    });
    EXPECT_FALSE(p.form.maximizeButton);
    EXPECT_TRUE(p.storage->WindowHookAttached());
    p.storage->SetPreventResize(false);
    EXPECT_TRUE(p.form.maximizeButton);
}

}  // namespace
}  // namespace virel
