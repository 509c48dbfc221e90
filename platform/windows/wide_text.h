#pragma once
// The program keeps text in UTF-8; Windows takes and gives UTF-16. Every
// call that names a file, a device or a window goes through the wide form,
// so Vietnamese names survive whatever the system's code page is.

#include <string>
#include <string_view>

// Malformed input is replaced character by character, never dropped whole.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// UTF-8 of a string the system handed over in task memory, which is freed; "" for none.
std::string TakeTaskText(wchar_t* text);
// The system's words for an error code (GetLastError, HRESULT), in UTF-8, without the trailing newline.
std::string SystemErrorText(unsigned long code);
