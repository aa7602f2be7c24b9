// The main window's stored placement and control values as junk in the registry: any text and
// any value type for every value the window reads at start. The program must start, and what
// it saves at exit must be read back unchanged at the next start.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "storage/AppUtils.h"
#include "storage/Placemnt.h"
#include "tests/storage/FakeForm.h"
#include "tests/storage/MemoryStore.h"

using namespace virel;
using virel::fuzz::Check;
using virel::fuzz::TInput;

namespace {

bool g_reported = false;  // the storage showed an error box

const TStoreLocation kKey{true, TPlacementRegRoot::prCurrentUser, "Software\\VIREL1_Service"};

const char* const kNames[] = {"FormVersion",
                              "Flags",
                              "ShowCmd",
                              "PixelsPerInch",
                              "MinMaxPos",
                              "NormPos",
                              "MinMaxPos(1024x768)",
                              "NormPos(1024x768)",
                              "NormPos(800x600)",
                              "Visible",
                              "CB_ComPort_Text",
                              "RxSpE_AutoTime_Value",
                              "CB_Spead_ItemIndex",
                              "CB_PrintOnDevice_Checked",
                              ""};

// One run of the program's main window: its four stored controls and FormStorage1.
struct Run {
    explicit Run(TMemoryRegistry& registry, bool sizeable) {
        form.border = sizeable ? TFormBorderStyle::bsSizeable : TFormBorderStyle::bsSingle;
        form.Add("CB_ComPort", "TComboBox")
            .AddString(
                "Text", [this] { return port; }, [this](const std::string& s) { port = s; });
        form.Add("RxSpE_AutoTime", "TRxSpinEdit")
            .AddFloat(
                "Value", TFloatType::ftExtended, [this] { return autoTime; },
                [this](long double v) {
                    if (std::isnan(v)) return;
                    autoTime = std::nearbyint(std::clamp(v, 5.0L, 1000000000.0L));
                });
        form.Add("CB_Spead", "TComboBox")
            .AddInteger(
                "ItemIndex", [this] { return speed; }, [this](std::int32_t i) { speed = i; });
        form.Add("CB_PrintOnDevice", "TCheckBox")
            .AddBoolean(
                "Checked", [this] { return print; }, [this](bool b) { print = b; });
        storage = std::make_unique<TFormStorage>(&form);
        storage->SetStoreFactory(registry.Factory());
        storage->SetOptions({TPlacementOption::fpPosition});
        storage->SetUseRegistry(true);
        storage->SetStoredProps({"CB_ComPort.Text", "RxSpE_AutoTime.Value", "CB_Spead.ItemIndex",
                                 "CB_PrintOnDevice.Checked"});
        storage->StoredValues().Add();
        storage->Loaded();
    }

    void Start() {
        form.events.Show();
        form.visible = true;
    }
    void Exit() {
        form.events.CloseQuery();
        form.events.Destroy();
        storage.reset();
    }

    test::FakeForm form;
    std::string port = "COM1";
    long double autoTime = 60;
    std::int32_t speed = 0;
    bool print = false;
    std::unique_ptr<TFormStorage> storage;
};

std::vector<std::string> Snapshot(const TMemoryRegistry& registry) {
    std::vector<std::string> out;
    for (const auto& name : registry.ValueNames(kKey, "TFace"))
        out.push_back(name + "=" + registry.Get(kKey, "TFace", name).value_or("<none>"));
    std::sort(out.begin(), out.end());
    return out;
}

std::string Join(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v) s += x + "; ";
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    static const bool once = [] {
        ApplicationInfo().exePath = "C:\\VIREL\\VIREL1_Service.exe";
        SetStorageErrorReport([](const std::exception&) { g_reported = true; });
        return true;
    }();
    (void)once;

    TInput in(data, size);
    const bool sizeable = in.Byte() & 1;
    TMemoryRegistry registry;
    while (!in.Empty()) {
        const std::uint8_t which = in.Byte();
        const bool isString = (which & 0x80) == 0;
        registry.Put(kKey, "TFace", kNames[(which & 0x7F) % std::size(kNames)], in.Text(),
                     isString);
    }

    g_reported = false;
    Run first(registry, sizeable);
    first.Start();
    const bool firstReported = g_reported;
    for (const auto& p : first.form.applied) {
        const TRect& r = p.normalPosition;
        Check(r.right > r.left, "no window is placed with its right edge left of its left edge");
        if (!sizeable) {
            Check(r.right - r.left == 400 && r.bottom - r.top == 470,
                  "a fixed-size window keeps its size");
        }
    }
    first.Exit();
    if (!first.form.calls.empty() && registry.openStores != 0) Check(false, "a store left open");

    // What the first run saved is what the second run starts with and saves again.
    const auto saved = Snapshot(registry);
    Run second(registry, sizeable);
    second.Start();
    Check(second.port == first.port && second.autoTime == first.autoTime &&
              second.speed == first.speed && second.print == first.print,
          "the control values come back as saved");
    second.Exit();
    const auto again = Snapshot(registry);
    // A start that reported an error (a box) may have stopped its restore half-way; only one
    // that went through must save what the next start saves again.
    if (!firstReported)
        Check(saved == again, "the saved values settle", Join(saved) + " then " + Join(again));
    Check(registry.openStores == 0, "every store is closed");
    return 0;
}
