#pragma once
// The texts of the window frame itself: the program's font, and the error report's text for
// what is no exception object. The windows' texts are in app/windows/Texts.h.

namespace virel::app {

inline constexpr wchar_t kFontName[] = L"MS Sans Serif";

// Shown when something that is not an exception object escapes a handler.
inline constexpr wchar_t kUnknownError[] = L"Непредвиденная ошибка";

}  // namespace virel::app
