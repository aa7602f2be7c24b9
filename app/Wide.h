#pragma once
// Portable code speaks UTF-8, the windows speak UTF-16: every text crosses here.
#include <string>

namespace virel::app {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

}  // namespace virel::app
