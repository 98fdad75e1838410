#pragma once
// Conversions between the wide text of the library and its byte forms.
//
// Wide text is UTF-32 on POSIX (wchar_t is 4 bytes) and UTF-16 on Windows; the
// functions below accept either. The "ANSI code page" is ISO-8859-1 on POSIX,
// so every byte 00..FF round-trips through it unchanged.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Export.h"

// UTF-8. Malformed or truncated sequences inside the bytes decode to U+FFFD;
// lone surrogates in the text encode to U+FFFD.
OTDR_EXPORT std::string WideToUtf8(const std::wstring& text);
OTDR_EXPORT std::string WideToUtf8(const wchar_t* text, size_t length);
OTDR_EXPORT std::wstring Utf8ToWide(const std::string& bytes);
OTDR_EXPORT std::wstring Utf8ToWide(const char* bytes, size_t length);
// The same conversions into caller buffers, for the hot paths that keep their
// own buffers. Utf8Length gives the exact byte count WideToUtf8 writes (no
// terminator); Utf8ToWide writes at most `length` wide characters and returns
// how many it wrote.
OTDR_EXPORT size_t Utf8Length(const wchar_t* text, size_t length);
OTDR_EXPORT size_t WideToUtf8(const wchar_t* text, size_t length, char* out);
OTDR_EXPORT size_t Utf8ToWide(const char* bytes, size_t length, wchar_t* out);

// The well-formed UTF-8 character at bytes[i] (no overlong form, no surrogate,
// nothing past U+10FFFF): its length, 1 to 4, and its code point in c; 0 when
// the bytes there begin no such character. The one UTF-8 decoder of the
// library and its tools: Utf8ToWide and the listing parser read through it, the
// otdr tool's terminal and JSON forms too.
OTDR_EXPORT size_t LireCaractereUtf8(std::string_view bytes, size_t i, char32_t& c);
// Whether every byte belongs to a well-formed UTF-8 character.
OTDR_EXPORT bool EstUtf8BienForme(std::string_view bytes);
// Appends the UTF-8 form of c (a surrogate or a value past U+10FFFF as U+FFFD).
OTDR_EXPORT void AjouterUtf8(std::string& out, char32_t c);

// ANSI code page. Characters it cannot hold become DefaultAnsiChar.
constexpr char DefaultAnsiChar = '?';
OTDR_EXPORT std::string WideToAnsi(const std::wstring& text);
OTDR_EXPORT std::wstring AnsiToWide(const std::string& bytes);

// UTF-16 code units (native order) and their little-endian byte form.
OTDR_EXPORT std::u16string WideToUtf16(const std::wstring& text);
OTDR_EXPORT std::wstring Utf16ToWide(const std::u16string& units);
OTDR_EXPORT std::string WideToUtf16LE(const std::wstring& text);
OTDR_EXPORT std::wstring Utf16LEToWide(const std::string& bytes);
