#include "common/CString.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "common/Conversions.h"

CString::CString(const char* s) : std::wstring(s ? AnsiToWide(s) : std::wstring()) {}

CString CString::Left(int n) const
{
    if (n <= 0) return CString();
    return CString(substr(0, std::min<size_t>(static_cast<size_t>(n), size())));
}

CString CString::Right(int n) const
{
    if (n <= 0) return CString();
    size_t k = std::min<size_t>(static_cast<size_t>(n), size());
    return CString(substr(size() - k));
}

CString CString::Mid(int first) const
{
    if (first < 0) first = 0;
    if (static_cast<size_t>(first) >= size()) return CString();
    return CString(substr(static_cast<size_t>(first)));
}

CString CString::Mid(int first, int n) const
{
    if (first < 0) first = 0;
    if (n <= 0 || static_cast<size_t>(first) >= size()) return CString();
    return CString(substr(static_cast<size_t>(first), static_cast<size_t>(n)));
}

int CString::Find(wchar_t c, int start) const
{
    if (start < 0) start = 0;
    size_t p = find(c, static_cast<size_t>(start));
    return p == npos ? -1 : static_cast<int>(p);
}

int CString::Find(const wchar_t* s, int start) const
{
    if (!s || start < 0) start = 0;
    size_t p = find(s ? s : L"", static_cast<size_t>(start));
    return p == npos ? -1 : static_cast<int>(p);
}

int CString::ReverseFind(wchar_t c) const
{
    size_t p = rfind(c);
    return p == npos ? -1 : static_cast<int>(p);
}

CString& CString::MakeUpper()
{
    for (auto& c : *this) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return *this;
}

CString& CString::MakeLower()
{
    for (auto& c : *this) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return *this;
}

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < size() && std::iswspace(static_cast<wint_t>((*this)[i]))) ++i;
    erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    size_t n = size();
    while (n > 0 && std::iswspace(static_cast<wint_t>((*this)[n - 1]))) --n;
    erase(n);
    return *this;
}

CString& CString::TrimRight(const wchar_t* chars)
{
    if (!chars) return *this;
    size_t n = size();
    // wcschr finds the terminator too: a NUL character is never one of `chars`.
    while (n > 0 && (*this)[n - 1] != L'\0' && std::wcschr(chars, (*this)[n - 1])) --n;
    erase(n);
    return *this;
}

CString& CString::Trim()
{
    TrimRight();
    return TrimLeft();
}

int CString::Replace(const wchar_t* from, const wchar_t* to)
{
    std::wstring f(from ? from : L""), t(to ? to : L"");
    if (f.empty()) return 0;
    int count = 0;
    size_t p = 0;
    while ((p = find(f, p)) != npos) {
        replace(p, f.size(), t);
        p += t.size();
        ++count;
    }
    return count;
}

int CString::CompareNoCase(const wchar_t* s) const
{
    const wchar_t* a = c_str();
    const wchar_t* b = s ? s : L"";
    for (;; ++a, ++b) {
        wint_t ca = std::towlower(static_cast<wint_t>(*a));
        wint_t cb = std::towlower(static_cast<wint_t>(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

void CString::Format(const wchar_t* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    FormatV(fmt, args);
    va_end(args);
}

void CString::FormatV(const wchar_t* fmt, va_list args)
{
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        errno = 0;
        int n = std::vswprintf(buf.data(), buf.size(), fmt ? fmt : L"", copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buf.size()) {
            assign(buf.data(), static_cast<size_t>(n));
            return;
        }
        // glibc reports an argument it cannot render the same way as a short
        // buffer (-1), but sets EILSEQ: growing would never help.
        if (errno == EILSEQ || buf.size() > (1u << 24)) {
            clear();
            return;
        }
        buf.resize(buf.size() * 2);
    }
}
