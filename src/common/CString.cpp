#include "common/CString.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
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

namespace {

// Formats one conversion with its single argument, growing the buffer as needed;
// false when the C library cannot render it.
template <typename T>
bool AjouterUne(std::wstring& sortie, const std::wstring& gabarit, T valeur)
{
    std::vector<wchar_t> buf(64);
    for (;;) {
        errno = 0;
        int n = std::swprintf(buf.data(), buf.size(), gabarit.c_str(), valeur);
        if (n >= 0 && static_cast<size_t>(n) < buf.size()) {
            sortie.append(buf.data(), static_cast<size_t>(n));
            return true;
        }
        if (errno == EILSEQ || buf.size() > (1u << 24)) return false;
        buf.resize(buf.size() * 2);
    }
}

// Conversion by conversion, for the formats the C library rejects as a whole:
// narrow text arguments (%s, %hs, %c) are taken in the ANSI code page, as every
// narrow text of the library is, instead of the C library's locale (plain
// ASCII in the "C" locale, where any other byte fails the whole format).
void FormaterParMorceaux(std::wstring& sortie, const wchar_t* fmt, va_list args)
{
    const wchar_t* p = fmt;
    while (*p) {
        if (*p != L'%') {
            sortie.push_back(*p++);
            continue;
        }
        if (p[1] == L'%') {
            sortie.push_back(L'%');
            p += 2;
            continue;
        }
        const wchar_t* debut = p++;
        std::wstring gabarit(L"%");
        while (*p && std::wcschr(L"-+ #0'", *p)) gabarit.push_back(*p++);
        if (*p == L'*') {
            gabarit += std::to_wstring(va_arg(args, int));
            ++p;
        } else {
            while (*p >= L'0' && *p <= L'9') gabarit.push_back(*p++);
        }
        if (*p == L'.') {
            ++p;
            if (*p == L'*') {
                int precision = va_arg(args, int);
                if (precision >= 0) gabarit += L"." + std::to_wstring(precision);
                ++p;
            } else {
                gabarit.push_back(L'.');
                while (*p >= L'0' && *p <= L'9') gabarit.push_back(*p++);
            }
        }
        std::wstring longueur;
        while (*p && std::wcschr(L"hlLqjzt", *p)) longueur.push_back(*p++);
        const wchar_t conversion = *p;
        if (!conversion) {
            sortie.append(debut);
            return;
        }
        ++p;
        const std::wstring complet = gabarit + longueur + conversion;
        switch (conversion) {
        case L'd': case L'i':
            if (longueur == L"l") AjouterUne(sortie, complet, va_arg(args, long));
            else if (longueur == L"ll" || longueur == L"q") AjouterUne(sortie, complet, va_arg(args, long long));
            else if (longueur == L"j") AjouterUne(sortie, complet, va_arg(args, intmax_t));
            else if (longueur == L"z" || longueur == L"t") AjouterUne(sortie, complet, va_arg(args, ptrdiff_t));
            else AjouterUne(sortie, complet, va_arg(args, int));
            break;
        case L'o': case L'u': case L'x': case L'X':
            if (longueur == L"l") AjouterUne(sortie, complet, va_arg(args, unsigned long));
            else if (longueur == L"ll" || longueur == L"q") AjouterUne(sortie, complet, va_arg(args, unsigned long long));
            else if (longueur == L"j") AjouterUne(sortie, complet, va_arg(args, uintmax_t));
            else if (longueur == L"z" || longueur == L"t") AjouterUne(sortie, complet, va_arg(args, size_t));
            else AjouterUne(sortie, complet, va_arg(args, unsigned int));
            break;
        case L'e': case L'E': case L'f': case L'F': case L'g': case L'G': case L'a': case L'A':
            if (longueur == L"L") AjouterUne(sortie, complet, va_arg(args, long double));
            else AjouterUne(sortie, complet, va_arg(args, double));
            break;
        case L'c':
            if (longueur == L"l") AjouterUne(sortie, complet, va_arg(args, wint_t));
            else AjouterUne(sortie, gabarit + L"lc", static_cast<wint_t>(static_cast<unsigned char>(va_arg(args, int))));
            break;
        case L's':
            if (longueur == L"l") {
                const wchar_t* texte = va_arg(args, const wchar_t*);
                AjouterUne(sortie, complet, texte ? texte : L"(null)");
            } else {
                const char* texte = va_arg(args, const char*);
                const std::wstring large = AnsiToWide(texte ? texte : "(null)");
                AjouterUne(sortie, gabarit + L"ls", large.c_str());
            }
            break;
        case L'S': {
            const wchar_t* texte = va_arg(args, const wchar_t*);
            AjouterUne(sortie, gabarit + L"ls", texte ? texte : L"(null)");
            break;
        }
        case L'C':
            AjouterUne(sortie, gabarit + L"lc", va_arg(args, wint_t));
            break;
        case L'p':
            AjouterUne(sortie, complet, va_arg(args, void*));
            break;
        case L'n':
            *va_arg(args, int*) = static_cast<int>(sortie.size());
            break;
        default:
            // Unknown conversion: its argument type is unknown too, so stop here.
            sortie.append(debut);
            return;
        }
    }
}

} // namespace

void CString::FormatV(const wchar_t* fmt, va_list args)
{
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        errno = 0;
        int n = std::vswprintf(buf.data(), buf.size(), fmt, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buf.size()) {
            assign(buf.data(), static_cast<size_t>(n));
            return;
        }
        // glibc reports a narrow argument it cannot decode the same way as a
        // short buffer (-1), but sets EILSEQ: growing would never help.
        if (errno == EILSEQ) break;
        if (buf.size() > (1u << 24)) { clear(); return; }
        buf.resize(buf.size() * 2);
    }
    std::wstring sortie;
    va_list copy;
    va_copy(copy, args);
    FormaterParMorceaux(sortie, fmt ? fmt : L"", copy);
    va_end(copy);
    assign(sortie);
}
