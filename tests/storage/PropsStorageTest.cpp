// TPropsStorage: every property kind written as text and read back, the listed-properties
// operations and the binding of "Component.Property" entries.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "core/Errors.h"
#include "storage/RXProps.h"
#include "storage/TextUtil.h"

namespace virel {
namespace {

using storage_detail::Concat;

// A section store as plain maps, with a journal of writes and erasures.
struct Sections {
    std::map<std::string, std::map<std::string, std::string>> values;
    std::vector<std::string> journal;
    std::vector<std::string> reads;

    void Attach(TPropsStorage& s) {
        s.readStringHandler = [this](const std::string& sect, const std::string& name,
                                     const std::string& def) {
            reads.push_back(Concat(sect, "/", name));
            auto it = values.find(sect);
            if (it == values.end()) return def;
            auto v = it->second.find(name);
            return v == it->second.end() ? def : v->second;
        };
        s.writeStringHandler = [this](const std::string& sect, const std::string& name,
                                      const std::string& value) {
            journal.push_back(Concat("write ", sect, "/", name, "=", value));
            values[sect][name] = value;
        };
        s.eraseSectionHandler = [this](const std::string& sect) {
            journal.push_back(Concat("erase ", sect));
            values.erase(sect);
        };
    }
};

// An object publishing one property of each kind, with plain fields behind them.
class AllKinds : public TComponent {
public:
    explicit AllKinds(std::string name = "Obj") : name_(std::move(name)) {
        auto add = [this](TPropInfo p) { props_.Add(std::move(p)); };
        add(Int("Count", TTypeKind::tkInteger, &integer));
        add(Int("Big", TTypeKind::tkInt64, &int64));
        add(Int("Letter", TTypeKind::tkChar, &letter));
        add(Int("WideLetter", TTypeKind::tkWChar, &wideLetter));
        TPropInfo align = Int("Align", TTypeKind::tkEnumeration, &alignment);
        align.enumNames = {"alNone", "alTop", "alBottom", "alLeft"};
        add(align);
        TPropInfo opts = Int("Options", TTypeKind::tkSet, &options);
        opts.enumNames = {"opA", "opB", "opC"};
        add(opts);
        TPropInfo f;
        f.name = "Ratio";
        f.kind = TTypeKind::tkFloat;
        f.floatType = TFloatType::ftExtended;
        f.get = [this](TPersistent&) -> TPropValue { return ratio; };
        f.set = [this](TPersistent&, const TPropValue& v) { ratio = std::get<long double>(v); };
        add(f);
        TPropInfo s;
        s.name = "Caption";
        s.kind = TTypeKind::tkLString;
        s.get = [this](TPersistent&) -> TPropValue { return caption; };
        s.set = [this](TPersistent&, const TPropValue& v) { caption = std::get<std::string>(v); };
        add(s);
        TPropInfo var;
        var.name = "Data";
        var.kind = TTypeKind::tkVariant;
        var.get = [this](TPersistent&) -> TPropValue { return data; };
        var.set = [this](TPersistent&, const TPropValue& v) { data = std::get<TStoredVariant>(v); };
        add(var);
        TPropInfo w;
        w.name = "WideCaption";
        w.kind = TTypeKind::tkWString;
        w.get = [](TPersistent&) -> TPropValue { return std::string("never"); };
        w.set = [this](TPersistent&, const TPropValue&) { wideSet = true; };
        add(w);
        TPropInfo m;
        m.name = "OnClick";
        m.kind = TTypeKind::tkMethod;
        add(m);
    }

    TPropInfo Int(const std::string& name, TTypeKind kind, std::int64_t* field) {
        TPropInfo p;
        p.name = name;
        p.kind = kind;
        p.get = [field](TPersistent&) -> TPropValue { return *field; };
        p.set = [field](TPersistent&, const TPropValue& v) { *field = std::get<std::int64_t>(v); };
        return p;
    }

    std::string Name() const override { return name_; }
    std::string ClassName() const override { return "TAllKinds"; }
    const TPropInfoList& Properties() const override { return props_; }

    std::int64_t integer = 42;
    std::int64_t int64 = 5000000000;
    std::int64_t letter = 'x';
    std::int64_t wideLetter = 0x0416;  // Ж
    std::int64_t alignment = 2;
    std::int64_t options = 0b101;
    long double ratio = 1.5L;
    std::string caption = "  Привет  ";
    TStoredVariant data = std::int64_t{7};
    bool wideSet = false;

private:
    std::string name_;
    TPropInfoList props_;
};

class PropsStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.Attach(props);
        props.object = &obj;
        props.section = "TFace";
        props.prefix = "Obj_";
    }
    const TPropInfo& Prop(const char* name) { return *obj.Properties().Find(name); }
    std::string Stored(const std::string& name) { return store.values["TFace"][name]; }

    Sections store;
    TPropsStorage props;
    AllKinds obj;
};

TEST_F(PropsStorageTest, WritesEachKindInItsTextForm) {
    props.WriteObjectProperties();
    EXPECT_EQ(Stored("Obj_Count"), "42");
    EXPECT_EQ(Stored("Obj_Big"), "5000000000");
    EXPECT_EQ(Stored("Obj_Letter"), "x");
    EXPECT_EQ(Stored("Obj_WideLetter"), "Ж");
    EXPECT_EQ(Stored("Obj_Align"), "alBottom");
    EXPECT_EQ(Stored("Obj_Options"), "[opA,opC]");
    EXPECT_EQ(Stored("Obj_Ratio"), "1.5");
    EXPECT_EQ(Stored("Obj_Caption"), "Привет");  // trimmed
    EXPECT_EQ(Stored("Obj_Data"), "7");
    // Wide strings and methods are not stored at all.
    EXPECT_EQ(store.values["TFace"].count("Obj_WideCaption"), 0u);
    EXPECT_EQ(store.values["TFace"].count("Obj_OnClick"), 0u);
    EXPECT_EQ(store.journal.size(), 9u);
}

TEST_F(PropsStorageTest, EmptyTextsAreWrittenOnlyForStringKinds) {
    obj.caption.clear();
    obj.alignment = 9;  // no member name
    obj.data = TStoredVariant{};
    obj.letter = 0;
    obj.wideLetter = 0;
    props.WriteObjectProperties();
    auto& v = store.values["TFace"];
    EXPECT_EQ(v.at("Obj_Caption"), "");
    EXPECT_EQ(v.at("Obj_WideLetter"), "");
    EXPECT_EQ(v.count("Obj_Align"), 0u);
    EXPECT_EQ(v.count("Obj_Data"), 0u);
    EXPECT_EQ(v.count("Obj_Letter"), 0u);
    obj.options = 0;
    props.WriteProperty(Prop("Options"));
    EXPECT_EQ(v.at("Obj_Options"), "[]");
}

TEST_F(PropsStorageTest, ReadsEachKindBack) {
    auto& v = store.values["TFace"];
    v["Obj_Count"] = " -17 ";
    v["Obj_Big"] = "-9000000000";
    v["Obj_Letter"] = "qrs";
    v["Obj_WideLetter"] = "Щука";
    v["Obj_Align"] = "ALLEFT";
    v["Obj_Options"] = "[ opB , junk,opC]";
    v["Obj_Ratio"] = "0.25";
    v["Obj_Caption"] = "  COM3  ";
    v["Obj_Data"] = "text";
    v["Obj_WideCaption"] = "x";
    props.ReadObjectProperties();
    EXPECT_EQ(obj.integer, -17);
    EXPECT_EQ(obj.int64, -9000000000);
    EXPECT_EQ(obj.letter, 'q');
    EXPECT_EQ(obj.wideLetter, 0x0429);
    EXPECT_EQ(obj.alignment, 3);
    EXPECT_EQ(obj.options, 0b110);
    EXPECT_EQ(obj.ratio, 0.25L);
    EXPECT_EQ(obj.caption, "COM3");
    EXPECT_EQ(obj.data, TStoredVariant{std::string("text")});
    EXPECT_FALSE(obj.wideSet);
}

TEST_F(PropsStorageTest, JunkTextsFollowTheRulesOfEachKind) {
    auto& v = store.values["TFace"];
    v["Obj_Count"] = "abc";        // not an integer: 0
    v["Obj_Big"] = "1.5";          // likewise
    v["Obj_Letter"] = "";          // empty: unchanged
    v["Obj_Align"] = "alMiddle";   // no such member: unchanged
    v["Obj_Options"] = "nothing";  // no member named: the empty set
    v["Obj_Ratio"] = "1,5";        // not a number: unchanged
    props.ReadObjectProperties();
    EXPECT_EQ(obj.integer, 0);
    EXPECT_EQ(obj.int64, 0);
    EXPECT_EQ(obj.letter, 'x');
    EXPECT_EQ(obj.alignment, 2);
    EXPECT_EQ(obj.options, 0);
    EXPECT_EQ(obj.ratio, 1.5L);
}

TEST_F(PropsStorageTest, MissingValuesLeaveEveryPropertyAsItWas) {
    props.ReadObjectProperties();
    EXPECT_EQ(obj.integer, 42);
    EXPECT_EQ(obj.int64, 5000000000);
    EXPECT_EQ(obj.alignment, 2);
    EXPECT_EQ(obj.options, 0b101);
    EXPECT_EQ(obj.ratio, 1.5L);
    EXPECT_EQ(obj.caption, "Привет");  // its own text, trimmed, came back as the default
    // An empty variant has no text, so nothing is read for it and it becomes an empty string.
    obj.data = TStoredVariant{};
    props.ReadProperty(Prop("Data"));
    EXPECT_EQ(obj.data, TStoredVariant{std::string()});
}

TEST_F(PropsStorageTest, AFailingSetterSkipsOnlyItsOwnProperty) {
    TPropInfo failing = Prop("Count");
    failing.set = [](TPersistent&, const TPropValue&) { throw std::runtime_error("refused"); };
    store.values["TFace"]["Obj_Count"] = "5";
    store.values["TFace"]["Obj_Caption"] = "after";
    EXPECT_NO_THROW(props.ReadProperty(failing));
    props.ReadProperty(Prop("Caption"));
    EXPECT_EQ(obj.integer, 42);
    EXPECT_EQ(obj.caption, "after");
}

TEST_F(PropsStorageTest, WithoutAReadHandlerStringsReadEmptyNotTheirDefault) {
    TPropsStorage bare;
    bare.object = &obj;
    bare.section = "S";
    bare.ReadProperty(Prop("Caption"));
    EXPECT_EQ(obj.caption, "");
    bare.ReadProperty(Prop("Count"));
    EXPECT_EQ(obj.integer, 0);
    EXPECT_NO_THROW(bare.WriteObjectProperties());  // no write handler: nothing happens
}

TEST_F(PropsStorageTest, WriteErrorsPassToTheCaller) {
    props.writeStringHandler = [](const std::string&, const std::string& name, const std::string&) {
        throw Exception(Concat("Failed to set data for '", name, "'"));
    };
    EXPECT_THROW(props.WriteProperty(Prop("Count")), Exception);
}

// --- class kinds --------------------------------------------------------------------------

class Lines : public TStrings {
public:
    std::vector<std::string> Strings() const override { return items; }
    void SetStrings(std::vector<std::string> s) override { items = std::move(s); }
    std::vector<std::string> items;
};

class Column : public TPersistent {
public:
    Column() {
        TPropInfo p;
        p.name = "Width";
        p.kind = TTypeKind::tkInteger;
        p.get = [](TPersistent& o) -> TPropValue { return static_cast<Column&>(o).width; };
        p.set = [](TPersistent& o, const TPropValue& v) {
            static_cast<Column&>(o).width = std::get<std::int64_t>(v);
        };
        props.Add(p);
    }
    std::string ClassName() const override { return "TColumn"; }
    const TPropInfoList& Properties() const override { return props; }
    std::int64_t width = 10;
    TPropInfoList props;
};

class Columns : public TCollection {
public:
    std::size_t Count() const override { return items.size(); }
    TPersistent& Item(std::size_t i) override { return *items[i]; }
    void Clear() override { items.clear(); }
    TPersistent& Add() override {
        items.push_back(std::make_unique<Column>());
        return *items.back();
    }
    void BeginUpdate() override { ++updating; }
    void EndUpdate() override {
        --updating;
        ++updates;
    }
    std::vector<std::unique_ptr<Column>> items;
    int updating = 0;
    int updates = 0;
};

class Holder : public TComponent {
public:
    Holder(std::string name, TComponent* owner) : name_(std::move(name)), owner_(owner) {
        TPropInfo l;
        l.name = "Items";
        l.kind = TTypeKind::tkClass;
        l.classKind = TClassKind::ckStrings;
        l.get = [this](TPersistent&) -> TPropValue { return static_cast<TPersistent*>(&lines); };
        props.Add(l);
        TPropInfo c;
        c.name = "Columns";
        c.kind = TTypeKind::tkClass;
        c.classKind = TClassKind::ckCollection;
        c.get = [this](TPersistent&) -> TPropValue { return static_cast<TPersistent*>(&columns); };
        props.Add(c);
        TPropInfo n;
        n.name = "Font";
        n.kind = TTypeKind::tkClass;
        n.classKind = TClassKind::ckPersistent;
        n.get = [this](TPersistent&) -> TPropValue { return static_cast<TPersistent*>(&font); };
        props.Add(n);
        TPropInfo r;
        r.name = "FocusControl";
        r.kind = TTypeKind::tkClass;
        r.classKind = TClassKind::ckComponent;
        r.get = [this](TPersistent&) -> TPropValue { return static_cast<TPersistent*>(ref); };
        r.set = [this](TPersistent&, const TPropValue& v) {
            ref = dynamic_cast<TComponent*>(std::get<TPersistent*>(v));
        };
        props.Add(r);
    }
    std::string Name() const override { return name_; }
    std::string ClassName() const override { return "THolder"; }
    TComponent* Owner() const override { return owner_; }
    const TPropInfoList& Properties() const override { return props; }

    Lines lines;
    Columns columns;
    Column font;  // any persistent object with properties
    TComponent* ref = nullptr;
    TPropInfoList props;

private:
    std::string name_;
    TComponent* owner_;
};

class Window : public TComponent {
public:
    explicit Window(std::string name, std::string cls = "TForm")
        : name_(std::move(name)), class_(std::move(cls)) {}
    std::string Name() const override { return name_; }
    std::string ClassName() const override { return class_; }
    TComponent* FindComponent(std::string_view name) const override {
        for (auto* c : children) {
            if (c->Name() == name) return c;
        }
        return nullptr;
    }
    std::vector<TComponent*> children;
    std::string name_;
    std::string class_;
};

class ClassKindsTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.children = {&holder, &other};
        store.Attach(props);
        props.object = &holder;
        props.section = "TFace";
        props.prefix = "H_";
        props.owner = &window;
        props.findForm = [this](std::string_view name) -> TComponent* {
            return name == "Dialog" ? &dialog : nullptr;
        };
        dialog.children = {&dialogButton};
    }
    const TPropInfo& Prop(const char* name) { return *holder.Properties().Find(name); }

    Sections store;
    TPropsStorage props;
    Window window{"Face"};
    Window dialog{"Dialog"};
    Holder holder{"H", &window};
    Holder other{"Other", &window};
    Holder dialogButton{"Ok", &dialog};
};

TEST_F(ClassKindsTest, StringListGetsItsOwnSection) {
    holder.lines.items = {" a ", "b"};
    props.WriteProperty(Prop("Items"));
    EXPECT_EQ(store.journal, (std::vector<std::string>{
                                 "erase TFace.H_Items", "write TFace.H_Items/Count=2",
                                 "write TFace.H_Items/Item0= a ", "write TFace.H_Items/Item1=b"}));
    EXPECT_EQ(store.values["TFace"].size(), 0u);  // nothing in the main section

    holder.lines.items.clear();
    store.journal.clear();
    props.WriteProperty(Prop("Items"));
    EXPECT_EQ(store.journal, (std::vector<std::string>{"erase TFace.H_Items"}));
}

TEST_F(ClassKindsTest, StringListReadReplacesOnlyForAPositiveCount) {
    holder.lines.items = {"keep"};
    store.values["TFace.H_Items"] = {{"Count", " 2 "}, {"Item0", "x"}};
    props.ReadProperty(Prop("Items"));
    EXPECT_EQ(holder.lines.items, (std::vector<std::string>{"x", ""}));

    for (const char* junk : {"0", "-3", "many", "4097", "99999999"}) {
        holder.lines.items = {"keep"};
        store.values["TFace.H_Items"] = {{"Count", junk}};
        props.ReadProperty(Prop("Items"));
        EXPECT_EQ(holder.lines.items, (std::vector<std::string>{"keep"})) << junk;
    }
}

TEST_F(ClassKindsTest, CollectionItemsGoToTheCollectionsSection) {
    holder.columns.Add();
    static_cast<Column&>(holder.columns.Add()).width = 25;
    props.WriteProperty(Prop("Columns"));
    EXPECT_EQ(store.journal,
              (std::vector<std::string>{"erase TFace.H_Columns", "write TFace/H_Columns.Count=2",
                                        "write TFace.H_Columns/Item0_Width=10",
                                        "write TFace.H_Columns/Item1_Width=25"}));

    Holder fresh{"H", &window};
    props.object = &fresh;
    props.ReadProperty(*fresh.Properties().Find("Columns"));
    ASSERT_EQ(fresh.columns.Count(), 2u);
    EXPECT_EQ(fresh.columns.items[1]->width, 25);
    EXPECT_EQ(fresh.columns.updating, 0);
    EXPECT_EQ(fresh.columns.updates, 1);
}

TEST_F(ClassKindsTest, NestedObjectPropertiesArePrefixedByThePropertyName) {
    holder.font.width = 8;
    props.WriteProperty(Prop("Font"));
    EXPECT_EQ(store.values["TFace"].at("H_FontWidth"), "8");
    store.values["TFace"]["H_FontWidth"] = "12";
    props.ReadProperty(Prop("Font"));
    EXPECT_EQ(holder.font.width, 12);
}

TEST_F(ClassKindsTest, ComponentReferencesByNameAndOwner) {
    const TPropInfo& ref = Prop("FocusControl");
    EXPECT_EQ(props.StoreProperty(ref), "(null)");
    holder.ref = &other;
    EXPECT_EQ(props.StoreProperty(ref), "Other");
    holder.ref = &dialogButton;
    EXPECT_EQ(props.StoreProperty(ref), "Dialog.Ok");

    holder.ref = nullptr;
    props.LoadProperty(ref, "Other");
    EXPECT_EQ(holder.ref, &other);
    props.LoadProperty(ref, "Dialog.Ok");
    EXPECT_EQ(holder.ref, &dialogButton);
    props.LoadProperty(ref, "");  // nothing changes
    EXPECT_EQ(holder.ref, &dialogButton);
    props.LoadProperty(ref, "Nowhere.Ok");  // no such form: unchanged
    EXPECT_EQ(holder.ref, &dialogButton);
    props.LoadProperty(ref, "(NULL)");
    EXPECT_EQ(holder.ref, nullptr);
    holder.ref = &other;
    props.LoadProperty(ref, "Missing");  // the window has none of that name: cleared
    EXPECT_EQ(holder.ref, nullptr);
}

TEST_F(ClassKindsTest, UnnamedOwnersAreNamedByTheirClass) {
    Window anonymous{"", "TDataModule1"};
    Holder button{"Btn", &anonymous};
    holder.ref = &button;
    EXPECT_EQ(props.StoreProperty(Prop("FocusControl")), "DataModule1.Btn");
}

// --- listed properties ----------------------------------------------------------------------

TEST(StoredList, ParsesValidEntries) {
    auto n = ParseStoredPropName(" CB_ComPort . Text ");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->component, "CB_ComPort");
    EXPECT_EQ(n->property, "Text");
    n = ParseStoredPropName("A.B.C");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->property, "B.C");
    for (const char* bad : {"NoDot", ".Text", "CB_X.", " . ", ""}) {
        EXPECT_FALSE(ParseStoredPropName(bad)) << bad;
    }
}

TEST(StoredList, BindsFromTheWindowAndDropsTheRest) {
    Window window{"Face"};
    AllKinds a("A"), b("B");
    window.children = {&a, &b};
    TStoredPropsList list{{"A.Count", nullptr},
                          {"Missing.Count", nullptr},
                          {"junk", nullptr},
                          {"B.Caption", nullptr},
                          {"a.Ratio", nullptr}};
    ResolveStoredList(window, list, true);
    // Case matters for this window's lookup, so "a" stays unbound and goes.
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].text, "A.Count");
    EXPECT_EQ(list[0].component, &a);
    EXPECT_EQ(list[1].component, &b);
}

TEST(StoredList, RefreshKeepsRenamedComponentsAndDropsUnbound) {
    Window window{"Face"};
    TBoundComponent c("Old", "TEdit", &window);
    TStoredPropsList list{{"Old.Text", &c}, {"Other.Text", nullptr}, {"bad", &c}};
    c.SetName("New");
    ResolveStoredList(window, list, false);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].text, "New.Text");
}

TEST(StoredList, ValueNamesAreSpelledAsTheComponentAndTypeSpellThem) {
    Window window{"Face"};
    TBoundComponent port("CB_ComPort", "TComboBox", &window);
    std::string text = "COM2";
    port.AddString(
        "Text", [&] { return text; }, [&](const std::string& s) { text = s; });
    TStoredPropsList list{{"cb_comport.text", &port}, {"CB_ComPort.NoSuchProperty", &port}};
    Sections store;
    TPropsStorage props;
    store.Attach(props);
    props.section = "TFace";
    props.WriteListedProperties(window, list);
    EXPECT_EQ(store.journal, (std::vector<std::string>{"write TFace/CB_ComPort_Text=COM2"}));
    EXPECT_EQ(props.owner, nullptr);  // only set during the operation

    store.values["TFace"]["CB_ComPort_Text"] = "COM4";
    props.ReadListedProperties(window, list);
    EXPECT_EQ(text, "COM4");
}

TEST(PropInfoList, LooksUpWithoutCaseAndLeavesMethodsOut) {
    TPropInfoList list;
    TPropInfo a;
    a.name = "ItemIndex";
    a.kind = TTypeKind::tkInteger;
    list.Add(a);
    TPropInfo m;
    m.name = "OnChange";
    m.kind = TTypeKind::tkMethod;
    list.Add(m);
    EXPECT_EQ(list.Count(), 1u);
    ASSERT_NE(list.Find("itemindex"), nullptr);
    EXPECT_EQ(list.Find("itemindex")->name, "ItemIndex");
    EXPECT_EQ(list.Find("OnChange"), nullptr);
}

}  // namespace
}  // namespace virel
