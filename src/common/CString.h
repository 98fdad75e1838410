#pragma once
// The project's text type: a wide string with the handful of conveniences the
// driver's code reaches for. Everything inside the library is wide text; byte
// forms (UTF-8, ANSI code page, UTF-16LE) are made by the conversions in
// Conversions.h and by the encoded-string classes.

#include <cstdarg>
#include <string>

#include "common/Export.h"

class OTDR_EXPORT CString : public std::wstring
{
public:
    using std::wstring::wstring;
    CString() = default;
    CString(const std::wstring& s) : std::wstring(s) {}
    CString(std::wstring&& s) noexcept : std::wstring(std::move(s)) {}
    // Null pointers give the empty text, as the framework's string did.
    CString(const wchar_t* s) : std::wstring(s ? s : L"") {}
    // Narrow text is taken in the ANSI code page.
    explicit CString(const char* s);

    CString& operator=(const wchar_t* s) { assign(s ? s : L""); return *this; }
    CString& operator=(const std::wstring& s) { assign(s); return *this; }

    // Silent, so that a CString goes wherever the API takes const wchar_t*. The
    // pointer is the string's own buffer: it lives only as long as the string
    // and until the string changes. The pointer of a temporary dangles at the
    // end of the statement:
    //     const wchar_t* p = driver.GetIdentificationAppareil();   // dangles
    //     CString modele = driver.GetIdentificationAppareil();     // keeps it
    operator const wchar_t*() const { return c_str(); }

    int GetLength() const { return static_cast<int>(size()); }
    bool IsEmpty() const { return empty(); }
    void Empty() { clear(); }
    wchar_t GetAt(int i) const { return (*this)[static_cast<size_t>(i)]; }

    CString Left(int n) const;
    CString Right(int n) const;
    CString Mid(int first) const;
    CString Mid(int first, int n) const;

    // -1 when not found, as the framework's string.
    int Find(wchar_t c, int start = 0) const;
    int Find(const wchar_t* s, int start = 0) const;
    int ReverseFind(wchar_t c) const;

    CString& MakeUpper();
    CString& MakeLower();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& TrimRight(const wchar_t* chars);
    int Replace(const wchar_t* from, const wchar_t* to);

    int CompareNoCase(const wchar_t* s) const;

    // The C library's wide formatting: pass text as wide (%ls). A narrow %s is
    // read in the C library's locale, and an argument it cannot render leaves
    // the text empty.
    void Format(const wchar_t* fmt, ...);
    void FormatV(const wchar_t* fmt, va_list args);
};
