#include "storage/IniStore.h"

#include <windows.h>

#include <vector>

#include "core/Errors.h"
#include "core/Utf16.h"
#include "storage/TextUtil.h"

namespace virel {

std::string TIniStore::ReadString(const std::string& section, const std::string& name,
                                  const std::string& def) {
    const std::wstring wsection = Widen(section), wname = Widen(name), wdef = Widen(def);
    const std::wstring file = Widen(fileName_);
    // The functions cut a value that does not fit: grow the buffer until it fits.
    for (DWORD size = 2048; size <= (1u << 22); size *= 4) {
        std::vector<wchar_t> buf(size, L'\0');
        const DWORD n = GetPrivateProfileStringW(wsection.c_str(), wname.c_str(), wdef.c_str(),
                                                 buf.data(), size, file.c_str());
        if (n < size - 1) return Narrow(std::wstring(buf.data(), n));
    }
    return def;
}

void TIniStore::WriteString(const std::string& section, const std::string& name,
                            const std::string& value) {
    const std::wstring file = Widen(fileName_);
    if (!WritePrivateProfileStringW(Widen(section).c_str(), Widen(name).c_str(),
                                    Widen(IniQuoted(value)).c_str(), file.c_str())) {
        throw Exception(storage_detail::Concat("Failed to set data for '", name, "'"));
    }
}

void TIniStore::EraseSection(const std::string& section) {
    WritePrivateProfileStringW(Widen(section).c_str(), nullptr, nullptr, Widen(fileName_).c_str());
}

}  // namespace virel
