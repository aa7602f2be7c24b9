#pragma once
// Texts onto the clipboard in two forms at once: plain text (CF_UNICODETEXT) and HTML ("HTML
// Format"), so that a text editor takes the text and a spreadsheet or a word processor takes
// the table's cells.
#include <windows.h>

#include <string>

namespace virel::app {

// Replaces what the clipboard holds with `text` and `html` (the clipboard's HTML description
// and document, UTF-8: reports/DoseSheet.h ClipboardHtml). False when the clipboard could not
// be opened (another program holds it) or taken; it then holds neither form of them.
[[nodiscard]] bool PutOnClipboard(HWND owner, const std::wstring& text, const std::string& html);

// The decimal separator of the user's regional settings (the program's own conversions always
// use "."): what a spreadsheet pasting the numbers expects.
char UserDecimalSeparator();

}  // namespace virel::app
