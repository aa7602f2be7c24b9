// Stored property texts as they come back from the registry or an ini file: any text for any
// property of the kinds the storage handles. What is read and written back must read back the
// same at the next start (the values settle after one save).
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/widgets/SpinEditMath.h"
#include "fuzz/FuzzInput.h"
#include "storage/RXProps.h"
#include "storage/TextUtil.h"

using namespace virel;
using virel::fuzz::Check;
using virel::fuzz::TInput;

namespace {

using Store = std::map<std::pair<std::string, std::string>, std::string>;

void Attach(TPropsStorage& s, Store& store) {
    s.readStringHandler = [&store](const std::string& sect, const std::string& name,
                                   const std::string& def) {
        const auto it = store.find({sect, name});
        return it == store.end() ? def : it->second;
    };
    s.writeStringHandler = [&store](const std::string& sect, const std::string& name,
                                    const std::string& value) {
        store[{sect, name}] = value;
    };
    s.eraseSectionHandler = [&store](const std::string& sect) {
        for (auto it = store.begin(); it != store.end();)
            it = it->first.first == sect ? store.erase(it) : std::next(it);
    };
}

template <typename T>
TPropInfo Field(const char* name, TTypeKind kind, T* field) {
    TPropInfo p;
    p.name = name;
    p.kind = kind;
    p.get = [field](TPersistent&) -> TPropValue { return *field; };
    p.set = [field](TPersistent&, const TPropValue& v) { *field = std::get<T>(v); };
    return p;
}

class Lines : public TStrings {
public:
    std::vector<std::string> Strings() const override { return items; }
    void SetStrings(std::vector<std::string> s) override { items = std::move(s); }
    std::vector<std::string> items;
};

class Item : public TPersistent {
public:
    Item() {
        props_.Add(Field("Width", TTypeKind::tkInteger, &width));
        props_.Add(Field("Title", TTypeKind::tkLString, &title));
    }
    std::string ClassName() const override { return "TItem"; }
    const TPropInfoList& Properties() const override { return props_; }
    std::int64_t width = 0;
    std::string title;

private:
    TPropInfoList props_;
};

class Items : public TCollection {
public:
    std::size_t Count() const override { return items.size(); }
    TPersistent& Item(std::size_t i) override { return *items[i]; }
    void Clear() override { items.clear(); }
    TPersistent& Add() override {
        items.push_back(std::make_unique<::Item>());
        return *items.back();
    }
    std::vector<std::unique_ptr<::Item>> items;
};

// The main window's four stored values (port text, interval as the spin edit keeps it, speed
// index, print choice) and one property of every other kind.
class Controls : public TComponent {
public:
    Controls() {
        props_.Add(Field("Text", TTypeKind::tkLString, &portText));
        TPropInfo interval;
        interval.name = "Value";
        interval.kind = TTypeKind::tkFloat;
        interval.floatType = TFloatType::ftExtended;
        // The spin edit holds only its text: a value is written as a limited whole number.
        interval.get = [this](TPersistent&) -> TPropValue {
            return static_cast<long double>(spin::ReadValue(intervalText, 5));
        };
        interval.set = [this](TPersistent&, const TPropValue& v) {
            if (auto t = spin::WriteText(static_cast<double>(std::get<long double>(v)), 5, 1e9))
                intervalText = *t;
        };
        props_.Add(interval);
        props_.Add(Field("ItemIndex", TTypeKind::tkInteger, &speedIndex));
        TPropInfo checked = Field("Checked", TTypeKind::tkEnumeration, &printOnDevice);
        checked.enumNames = {"False", "True"};
        props_.Add(checked);
        props_.Add(Field("Big", TTypeKind::tkInt64, &big));
        props_.Add(Field("Letter", TTypeKind::tkChar, &letter));
        props_.Add(Field("WideLetter", TTypeKind::tkWChar, &wideLetter));
        TPropInfo options = Field("Options", TTypeKind::tkSet, &optionSet);
        options.enumNames = {"opA", "opB", "opC", "Опция"};
        props_.Add(options);
        for (auto [name, type, field] : {std::tuple{"Single", TFloatType::ftSingle, &single},
                                         std::tuple{"Double", TFloatType::ftDouble, &dbl},
                                         std::tuple{"Money", TFloatType::ftCurr, &money}}) {
            TPropInfo f = Field(name, TTypeKind::tkFloat, field);
            f.floatType = type;
            props_.Add(f);
        }
        props_.Add(Field("Data", TTypeKind::tkVariant, &data));
        TPropInfo lines = Field("Lines", TTypeKind::tkClass, &linesRef);
        lines.classKind = TClassKind::ckStrings;
        props_.Add(lines);
        TPropInfo items = Field("Columns", TTypeKind::tkClass, &itemsRef);
        items.classKind = TClassKind::ckCollection;
        props_.Add(items);
    }
    std::string Name() const override { return "Controls"; }
    std::string ClassName() const override { return "TControls"; }
    const TPropInfoList& Properties() const override { return props_; }

    std::string portText = "COM1";
    std::string intervalText = "60";
    std::int64_t speedIndex = 0, printOnDevice = 0, big = 0, letter = 'A', wideLetter = 0x416,
                 optionSet = 0;
    long double single = 0, dbl = 0, money = 0;
    TStoredVariant data;
    Lines linesObj;
    Items itemsObj;
    TPersistent* linesRef = &linesObj;
    TPersistent* itemsRef = &itemsObj;

private:
    TPropInfoList props_;
};

const char* const kNames[] = {"Text",   "Value",      "ItemIndex",    "Checked", "Big",
                              "Letter", "WideLetter", "Options",      "Single",  "Double",
                              "Money",  "Data",       "Columns.Count"};

Store SaveOf(Controls& c) {
    Store store;
    TPropsStorage s;
    Attach(s, store);
    s.object = &c;
    s.section = "TFace";
    s.WriteObjectProperties();
    return store;
}

std::string Describe(const Store& a, const Store& b) {
    std::string out;
    for (const auto& [key, value] : a) {
        const auto it = b.find(key);
        if (it == b.end() || it->second != value)
            out += key.first + "/" + key.second + "=" + value + " then " +
                   (it == b.end() ? std::string("<none>") : it->second) + "; ";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    TInput in(data, size);
    Store junk;
    while (!in.Empty()) {
        const std::uint8_t which = in.Byte();
        std::string text = in.Text();
        if (which < 64) {
            junk[{"TFace", kNames[which % std::size(kNames)]}] = std::move(text);
        } else if (which < 128) {
            const std::string sect = which & 1 ? "TFace.Lines" : "TFace.Columns";
            const std::string name = which & 2 ? "Count" : "Item" + std::to_string(which % 5);
            junk[{sect, name}] = std::move(text);
        } else {
            junk[{"TFace.Columns", "Item" + std::to_string(which % 3) +
                                       (which & 4 ? "_Width" : "_Title")}] = std::move(text);
        }
    }

    Controls first;
    {
        TPropsStorage s;
        Attach(s, junk);
        s.object = &first;
        s.section = "TFace";
        s.ReadObjectProperties();
    }
    const Store saved = SaveOf(first);

    // The next start reads what this one saved, and saves it again unchanged.
    Store copy = saved;
    Controls second;
    {
        TPropsStorage s;
        Attach(s, copy);
        s.object = &second;
        s.section = "TFace";
        s.ReadObjectProperties();
    }
    Store again = SaveOf(second);
    // Stored texts are trimmed, so a character property holding a blank or a control character
    // is written as an empty text, which leaves the property as designed at the next start (the
    // program itself stores no character property).
    for (const char* name : {"Letter", "WideLetter"}) {
        const auto it = saved.find({"TFace", name});
        if (it != saved.end() && it->second.empty()) again[{"TFace", name}] = "";
    }
    Check(saved == again, "saved values read back the same", Describe(saved, again));
    Check(second.portText == first.portText && second.intervalText == first.intervalText &&
              second.speedIndex == first.speedIndex && second.printOnDevice == first.printOnDevice,
          "the four control values survive a restart");

    // The text forms on their own.
    for (const auto& [key, text] : junk) {
        if (const auto n = storage_detail::ParseInt64(text)) {
            Check(storage_detail::ParseInt64(std::to_string(*n)) == n, "integer text", text);
        }
        if (const auto f = TextToFloat(text)) {
            for (auto type : {TFloatType::ftSingle, TFloatType::ftDouble, TFloatType::ftExtended}) {
                const std::string once = FloatToText(*f, type);
                const auto back = TextToFloat(once);
                Check(back.has_value() || once == "NAN" || once == "INF" || once == "-INF",
                      "a written number reads back", once);
                if (back) Check(FloatToText(*back, type) == once, "number text settles", once);
            }
        }
        (void)ParseStoredPropName(text);
        Check(storage_detail::SameText(text, storage_detail::FoldCase(text)),
              "a text is the same as its folded form", text);
    }
    return 0;
}
