#include "storage/RXProps.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>

#include "core/NumberText.h"
#include "core/Utf16.h"
#include "storage/TextUtil.h"

namespace virel {

using storage_detail::Concat;
using storage_detail::FoldCase;
using storage_detail::ParseInt32;
using storage_detail::ParseInt64;
using storage_detail::SameText;
using storage_detail::SplitWords;
using storage_detail::Trim;

namespace {

// Junk counts in a stored list or collection must not make the program allocate without end,
// nor keep it reading the registry for seconds at start-up (each item is a read of its own);
// a larger count is treated like any other text that is not a usable number.
constexpr std::int32_t kMaxStoredItems = 4096;

bool IsStringKind(TTypeKind kind) {
    return kind == TTypeKind::tkString || kind == TTypeKind::tkLString;
}

std::string CodeToText(std::int64_t code) {
    if (code <= 0 || code > 0x10FFFF) return std::string();
    std::string out;
    AppendUtf8(out, static_cast<char32_t>(code));
    return out;
}

// The code of the first UTF-8 character of a non-empty text (a stray byte gives itself).
std::int64_t FirstCode(const std::string& text) {
    std::size_t i = 0;
    return NextUtf8Character(text, i).value_or(static_cast<unsigned char>(text[0]));
}

template <typename T>
T ValueAs(const TPropValue& v, T fallback) {
    if (const T* p = std::get_if<T>(&v)) return *p;
    return fallback;
}

}  // namespace

int FloatPrecision(TFloatType type) {
    switch (type) {
        case TFloatType::ftSingle:
            return 7;
        case TFloatType::ftDouble:
            return 15;
        case TFloatType::ftExtended:
            return 18;
        case TFloatType::ftComp:
            return 18;
        case TFloatType::ftCurr:
            return 19;
    }
    return 18;
}

std::string FloatToText(long double value, TFloatType type) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";
    const int precision = FloatPrecision(type);
    // to_chars knows no locale: its digits and exponent are what the general format is built
    // from, so no decimal comma can slip in.
    char buf[80];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision - 1);
    const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    const bool negative = sci.front() == '-';
    const std::size_t ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos)) {
        if (c >= '0' && c <= '9') digits.push_back(c);
    }
    int exponent = 0;
    std::string_view expText = sci.substr(ePos + 1);
    if (!expText.empty() && expText.front() == '+') expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= precision || exponent < -5) {
        out += digits[0];
        if (digits.size() > 1) out += Concat(".", digits.substr(1));
        out += Concat("E", std::to_string(exponent));
        return out;
    }
    if (exponent < 0) {
        out += Concat("0.", std::string(static_cast<std::size_t>(-exponent - 1), '0'), digits);
        return out;
    }
    const auto intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
        out += digits + std::string(intDigits - digits.size(), '0');
    } else {
        out += Concat(digits.substr(0, intDigits), ".", digits.substr(intDigits));
    }
    return out;
}

namespace {

// The digits of a decimal mantissa at text[i] (moved past them), without the point, and how
// many of them follow the point.
std::string ReadMantissa(std::string_view text, std::size_t& i, long long& fractionDigits) {
    std::string digits;
    fractionDigits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
            if (point) ++fractionDigits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    return digits;
}

// An exponent ("e", optional sign, digits) at text[i], moved past it: 0 without one, nothing
// for an "e" without digits. Absurd exponents are held at a size that still overflows.
std::optional<long long> ReadExponent(std::string_view text, std::size_t& i) {
    if (i >= text.size() || (text[i] != 'e' && text[i] != 'E')) return 0;
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t start = i;
    long long exponent = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (exponent < 100000000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (i == start) return std::nullopt;
    return negative ? -exponent : exponent;
}

}  // namespace

std::optional<long double> TextToFloat(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long fractionDigits = 0;
    const std::string digits = ReadMantissa(text, i, fractionDigits);
    if (digits.empty()) return std::nullopt;
    const std::optional<long long> exponent = ReadExponent(text, i);
    if (!exponent || i != text.size()) return std::nullopt;
    // Without a decimal point the C library's conversion does not depend on the locale, and it
    // still rounds correctly to the full precision of long double.
    const std::string canonical =
        Concat(negative ? "-" : "", digits, "e", std::to_string(*exponent - fractionDigits));
    errno = 0;
    char* end = nullptr;
    const long double value = std::strtold(canonical.c_str(), &end);
    if (end != canonical.c_str() + canonical.size()) return std::nullopt;
    if (errno == ERANGE && std::isinf(value)) return std::nullopt;
    return value;
}

std::string VariantToText(const TStoredVariant& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(TVarNull) const { return {}; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(std::int64_t n) const { return std::to_string(n); }
        std::string operator()(double d) const { return FloatToText(d, TFloatType::ftDouble); }
        std::string operator()(const std::string& s) const { return s; }
    };
    return std::visit(Visitor{}, value);
}

std::string ScrambleText(std::string_view text, std::string_view key) {
    if (key.empty()) return std::string(text);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i] ^ key[i % key.size()]);
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 0x0F]);
    }
    return out;
}

std::string UnscrambleText(std::string_view text, std::string_view key) {
    if (key.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int hi = HexDigitValue(text[i]);
        const int lo = HexDigitValue(text[i + 1]);
        const int value = (hi < 0 || lo < 0) ? 32 : hi * 16 + lo;
        out.push_back(
            static_cast<char>(value ^ static_cast<unsigned char>(key[(i / 2) % key.size()])));
    }
    return out;
}

std::optional<TStoredPropName> ParseStoredPropName(std::string_view entry) {
    const std::size_t dot = entry.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    TStoredPropName name{Trim(entry.substr(0, dot)), Trim(entry.substr(dot + 1))};
    if (name.component.empty() || name.property.empty()) return std::nullopt;
    return name;
}

void ResolveStoredList(TComponent& owner, TStoredPropsList& list, bool fromWindow) {
    for (std::size_t i = list.size(); i-- > 0;) {
        auto& entry = list[i];
        const auto name = ParseStoredPropName(entry.text);
        if (fromWindow) {
            TComponent* found = name ? owner.FindComponent(name->component) : nullptr;
            if (found) {
                entry.component = found;
                continue;
            }
        } else if (name && entry.component) {
            // A renamed component keeps its entry.
            entry.text = Concat(entry.component->Name(), ".", name->property);
            continue;
        }
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

// --- TPropsStorage --------------------------------------------------------------------------

std::string TPropsStorage::ReadString(const std::string& sect, const std::string& name,
                                      const std::string& def) {
    // Without a handler there is nothing to read from: an empty text, not the default.
    if (!readStringHandler) return std::string();
    return readStringHandler(sect, name, def);
}

void TPropsStorage::WriteString(const std::string& sect, const std::string& name,
                                const std::string& value) {
    if (writeStringHandler) writeStringHandler(sect, name, value);
}

void TPropsStorage::EraseSection(const std::string& sect) {
    if (eraseSectionHandler) eraseSectionHandler(sect);
}

std::string TPropsStorage::ValueName(const std::string& propName) const {
    return prefix + propName;
}

std::unique_ptr<TPropsStorage> TPropsStorage::CreateStorage() const {
    return std::make_unique<TPropsStorage>();
}

std::unique_ptr<TPropsStorage> TPropsStorage::Nested(TPersistent& obj, std::string nestedPrefix,
                                                     std::string nestedSection) const {
    auto nested = CreateStorage();
    nested->object = &obj;
    nested->prefix = std::move(nestedPrefix);
    nested->section = std::move(nestedSection);
    nested->owner = owner;
    nested->readStringHandler = readStringHandler;
    nested->writeStringHandler = writeStringHandler;
    nested->eraseSectionHandler = eraseSectionHandler;
    nested->findForm = findForm;
    return nested;
}

template <typename Fn>
void TPropsStorage::ForListed(TComponent& window, TStoredPropsList& list, Fn each) {
    ResolveStoredList(window, list, false);
    // The bound components by name, one per name, each with its class's property list.
    std::map<std::string, const TPropInfoList*> byName;
    for (const auto& entry : list) {
        if (entry.component) {
            byName.emplace(FoldCase(entry.component->Name()), &entry.component->Properties());
        }
    }
    struct Reset {
        TPropsStorage& s;
        ~Reset() {
            s.owner = nullptr;
            s.object = nullptr;
        }
    } reset{*this};
    owner = &window;
    for (const auto& entry : list) {
        const auto name = ParseStoredPropName(entry.text);
        if (!name || !entry.component) continue;
        object = entry.component;
        prefix = entry.component->Name();
        const auto it = byName.find(FoldCase(prefix));
        if (it == byName.end()) continue;
        prefix += "_";
        if (const TPropInfo* prop = it->second->Find(name->property)) each(*prop);
    }
}

void TPropsStorage::WriteListedProperties(TComponent& window, TStoredPropsList& list) {
    ForListed(window, list, [this](const TPropInfo& prop) { WriteProperty(prop); });
}

void TPropsStorage::ReadListedProperties(TComponent& window, TStoredPropsList& list) {
    ForListed(window, list, [this](const TPropInfo& prop) { ReadProperty(prop); });
}

void TPropsStorage::WriteObjectProperties() {
    if (!object) return;
    for (const auto& prop : object->Properties()) WriteProperty(prop);
}

void TPropsStorage::ReadObjectProperties() {
    if (!object) return;
    for (const auto& prop : object->Properties()) ReadProperty(prop);
}

std::string TPropsStorage::TextOf(const TPropInfo& prop) {
    if (!object || !prop.get) return std::string();
    const TPropValue v = prop.get(*object);
    switch (prop.kind) {
        case TTypeKind::tkInteger:
        case TTypeKind::tkInt64:
            return std::to_string(ValueAs<std::int64_t>(v, 0));
        case TTypeKind::tkChar:
        case TTypeKind::tkWChar:
            return CodeToText(ValueAs<std::int64_t>(v, 0));
        case TTypeKind::tkEnumeration: {
            const auto ordinal = ValueAs<std::int64_t>(v, -1);
            if (ordinal < 0 || ordinal >= static_cast<std::int64_t>(prop.enumNames.size())) {
                return std::string();
            }
            return prop.enumNames[static_cast<std::size_t>(ordinal)];
        }
        case TTypeKind::tkFloat:
            return FloatToText(ValueAs<long double>(v, 0), prop.floatType);
        case TTypeKind::tkString:
        case TTypeKind::tkLString:
            return ValueAs<std::string>(v, std::string());
        case TTypeKind::tkSet: {
            const auto mask = ValueAs<std::int64_t>(v, 0);
            std::string out("[");
            bool first = true;
            for (std::size_t n = 0; n < 32 && n < prop.enumNames.size(); ++n) {
                if (!(mask & (std::int64_t{1} << n))) continue;
                if (!first) out += ",";
                out += prop.enumNames[n];
                first = false;
            }
            out += "]";
            return out;
        }
        case TTypeKind::tkVariant:
            return VariantToText(ValueAs<TStoredVariant>(v, TStoredVariant{}));
        default:
            return std::string();
    }
}

std::string TPropsStorage::StoreProperty(const TPropInfo& prop) {
    if (prop.kind != TTypeKind::tkClass) return TextOf(prop);
    if (!object || !prop.get) return std::string();
    TPersistent* value = ValueAs<TPersistent*>(prop.get(*object), nullptr);
    switch (prop.classKind) {
        case TClassKind::ckComponent:
            return ComponentReferenceText(value);
        case TClassKind::ckStrings:
            if (auto* strings = dynamic_cast<TStrings*>(value)) StoreStrings(prop, *strings);
            return std::string();
        case TClassKind::ckCollection:
            if (auto* collection = dynamic_cast<TCollection*>(value)) {
                StoreCollection(prop, *collection);
            }
            return std::string();
        case TClassKind::ckPersistent:
            if (value) Nested(*value, prefix + prop.name, section)->WriteObjectProperties();
            return std::string();
    }
    return std::string();
}

void TPropsStorage::WriteProperty(const TPropInfo& prop) {
    const std::string text = StoreProperty(prop);
    if (text.empty() && !IsStringKind(prop.kind) && prop.kind != TTypeKind::tkWChar) return;
    WriteString(section, ValueName(prop.name), Trim(text));
}

void TPropsStorage::ReadProperty(const TPropInfo& prop) {
    try {
        const std::string current = prop.kind == TTypeKind::tkClass ? std::string() : TextOf(prop);
        std::string text;
        if (!current.empty() || IsStringKind(prop.kind) || prop.kind == TTypeKind::tkClass ||
            prop.kind == TTypeKind::tkWChar) {
            // A missing value comes back as the property's own text: it stays as it is.
            text = Trim(ReadString(section, ValueName(prop.name), current));
        }
        LoadProperty(prop, text);
    } catch (...) {
        // One property that cannot be read or set stays as it was; the others go on.
    }
}

namespace {

// The value of a non-class property from its stored text; nothing when the text does not fit
// the kind, or the kind is not stored (wide strings, arrays, records, interfaces).
std::optional<TPropValue> ValueFromText(const TPropInfo& prop, const std::string& text) {
    switch (prop.kind) {
        case TTypeKind::tkInteger:
            return static_cast<std::int64_t>(ParseInt32(text).value_or(0));
        case TTypeKind::tkInt64:
            return ParseInt64(text).value_or(0);
        case TTypeKind::tkChar:
        case TTypeKind::tkWChar:
            if (text.empty()) return std::nullopt;
            return FirstCode(text);
        case TTypeKind::tkEnumeration:
            for (std::size_t n = 0; n < prop.enumNames.size(); ++n) {
                if (SameText(prop.enumNames[n], text)) return static_cast<std::int64_t>(n);
            }
            return std::nullopt;
        case TTypeKind::tkFloat:
            if (const auto value = TextToFloat(text)) return *value;
            return std::nullopt;
        case TTypeKind::tkString:
        case TTypeKind::tkLString:
            return text;
        case TTypeKind::tkSet: {
            std::int64_t mask = 0;
            for (const auto& word : SplitWords(text, " ,[]")) {
                for (std::size_t n = 0; n < 32 && n < prop.enumNames.size(); ++n) {
                    if (SameText(prop.enumNames[n], word)) mask |= std::int64_t{1} << n;
                }
            }
            return mask;
        }
        case TTypeKind::tkVariant:
            return TStoredVariant{text};
        default:
            return std::nullopt;
    }
}

}  // namespace

void TPropsStorage::LoadProperty(const TPropInfo& prop, const std::string& text) {
    if (!object) return;
    if (prop.kind == TTypeKind::tkClass) {
        LoadClassProperty(prop, text);
        return;
    }
    if (!prop.set) return;
    if (auto value = ValueFromText(prop, text)) prop.set(*object, std::move(*value));
}

void TPropsStorage::LoadClassProperty(const TPropInfo& prop, const std::string& text) {
    if (prop.classKind == TClassKind::ckComponent) {
        LoadComponentReference(prop, text);
        return;
    }
    if (!prop.get) return;
    TPersistent* value = ValueAs<TPersistent*>(prop.get(*object), nullptr);
    if (!value) return;
    switch (prop.classKind) {
        case TClassKind::ckStrings:
            if (auto* strings = dynamic_cast<TStrings*>(value)) LoadStrings(prop, *strings);
            break;
        case TClassKind::ckCollection:
            if (auto* collection = dynamic_cast<TCollection*>(value)) {
                LoadCollection(prop, *collection);
            }
            break;
        case TClassKind::ckPersistent:
            Nested(*value, prefix + prop.name, section)->ReadObjectProperties();
            break;
        case TClassKind::ckComponent:
            break;
    }
}

std::string TPropsStorage::StoreStrings(const TPropInfo& prop, TStrings& strings) {
    const std::string sect = Concat(section, ".", ValueName(prop.name));
    EraseSection(sect);
    const auto items = strings.Strings();
    if (items.empty()) return std::string();
    WriteString(sect, "Count", std::to_string(items.size()));
    for (std::size_t n = 0; n < items.size(); ++n) {
        WriteString(sect, Concat("Item", std::to_string(n)), items[n]);
    }
    return std::string();
}

void TPropsStorage::LoadStrings(const TPropInfo& prop, TStrings& strings) {
    const std::string sect = Concat(section, ".", ValueName(prop.name));
    const auto count = ParseInt32(Trim(ReadString(sect, "Count", "0"))).value_or(0);
    if (count <= 0 || count > kMaxStoredItems) return;
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(count));
    for (std::int32_t n = 0; n < count; ++n) {
        items.push_back(ReadString(sect, Concat("Item", std::to_string(n)), std::string()));
    }
    strings.SetStrings(std::move(items));
}

void TPropsStorage::StoreCollection(const TPropInfo& prop, TCollection& collection) {
    const std::string name = prefix + prop.name;
    const std::string sect = Concat(section, ".", name);
    EraseSection(sect);
    WriteString(section, Concat(name, ".Count"), std::to_string(collection.Count()));
    for (std::size_t n = 0; n < collection.Count(); ++n) {
        Nested(collection.Item(n), Concat("Item", std::to_string(n), "_"), sect)
            ->WriteObjectProperties();
    }
}

void TPropsStorage::LoadCollection(const TPropInfo& prop, TCollection& collection) {
    const std::string name = prefix + prop.name;
    const std::string sect = Concat(section, ".", name);
    const auto current = static_cast<std::int32_t>(collection.Count());
    auto count =
        ParseInt32(Trim(ReadString(section, Concat(name, ".Count"), std::to_string(current))))
            .value_or(current);
    if (count < 0 || count > kMaxStoredItems) count = current;
    collection.BeginUpdate();
    struct End {
        TCollection& c;
        ~End() { c.EndUpdate(); }
    } end{collection};
    if (count != current) {
        collection.Clear();
        for (std::int32_t n = 0; n < count; ++n) collection.Add();
    }
    for (std::size_t n = 0; n < collection.Count(); ++n) {
        Nested(collection.Item(n), Concat("Item", std::to_string(n), "_"), sect)
            ->ReadObjectProperties();
    }
}

std::string TPropsStorage::ComponentReferenceText(TPersistent* value) const {
    auto* component = dynamic_cast<TComponent*>(value);
    if (!component) return "(null)";
    TComponent* compOwner = component->Owner();
    if (!compOwner || compOwner == owner) return component->Name();
    std::string ownerName = compOwner->Name();
    if (ownerName.empty()) {
        ownerName = compOwner->ClassName();
        if (!ownerName.empty() && ownerName.front() == 'T') ownerName.erase(0, 1);
    }
    return Concat(ownerName, ".", component->Name());
}

void TPropsStorage::LoadComponentReference(const TPropInfo& prop, const std::string& text) {
    if (text.empty() || !prop.set) return;
    if (SameText(text, "(null)")) {
        prop.set(*object, static_cast<TPersistent*>(nullptr));
        return;
    }
    const std::size_t dot = text.find('.');
    TComponent* root = nullptr;
    std::string name = text;
    if (dot == std::string::npos) {
        root = owner;
    } else {
        root = findForm ? findForm(text.substr(0, dot)) : nullptr;
        name = text.substr(dot + 1);
    }
    if (!root) return;
    prop.set(*object, static_cast<TPersistent*>(root->FindComponent(name)));
}

}  // namespace virel
