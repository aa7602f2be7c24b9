#pragma once
// UTF-8 <-> UTF-16 for the storage's Windows backends.
#include <string>

namespace virel::storage_detail {

std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace virel::storage_detail
