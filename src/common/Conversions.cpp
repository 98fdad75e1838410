#include "common/Conversions.h"

#include <type_traits>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Reads one code point from wide text, joining UTF-16 surrogate pairs where
// wchar_t is 16 bits wide.
char32_t NextCodePoint(const wchar_t* s, size_t n, size_t& i)
{
    char32_t c = static_cast<char32_t>(s[i++]);
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0xD800 && c <= 0xDBFF && i < n) {
            char32_t d = static_cast<char32_t>(s[i]);
            if (d >= 0xDC00 && d <= 0xDFFF) {
                ++i;
                return 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
            }
        }
    }
    if (IsSurrogate(c) || c > 0x10FFFF) return kReplacement;
    return c;
}

wchar_t* AppendWide(wchar_t* out, char32_t c)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            *out++ = static_cast<wchar_t>(0xD800 + (c >> 10));
            *out++ = static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return out;
        }
    }
    *out++ = static_cast<wchar_t>(c);
    return out;
}

// The decoder behind LireCaractereUtf8, inlined into the hot loops of this file.
// Leads C2..F4 only: C0 and C1 could only start an overlong form, F5 and above
// a code point past U+10FFFF.
inline size_t LireUtf8(const unsigned char* p, size_t n, size_t i, char32_t& c)
{
    const unsigned char b = p[i];
    if (b < 0x80) {
        c = b;
        return 1;
    }
    size_t longueur;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) { longueur = 2; c = b & 0x1F; min = 0x80; }
    else if (b >= 0xE0 && b <= 0xEF) { longueur = 3; c = b & 0x0F; min = 0x800; }
    else if (b >= 0xF0 && b <= 0xF4) { longueur = 4; c = b & 0x07; min = 0x10000; }
    else return 0;
    if (n - i < longueur) return 0;
    for (size_t k = 1; k < longueur; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || IsSurrogate(c)) return 0;
    return longueur;
}

// How many bytes one U+FFFD stands for where LireUtf8 found no character: the
// byte that looks like a lead (C0..F7) and the continuation bytes it would
// take; a lone byte otherwise.
size_t LongueurMalformee(const unsigned char* p, size_t n, size_t i)
{
    const unsigned char b = p[i];
    const size_t suite = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
    size_t j = i + 1;
    while (j < n && j - i <= suite && (p[j] & 0xC0) == 0x80) ++j;
    return j - i;
}

size_t Utf8Size(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

char* AppendUtf8(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

} // namespace

size_t Utf8Length(const wchar_t* text, size_t length)
{
    size_t n = 0;
    for (size_t i = 0; i < length;) {
        // ASCII runs are the common case: count them without decoding.
        if (static_cast<std::make_unsigned_t<wchar_t>>(text[i]) < 0x80) {
            ++n;
            ++i;
            continue;
        }
        n += Utf8Size(NextCodePoint(text, length, i));
    }
    return n;
}

size_t WideToUtf8(const wchar_t* text, size_t length, char* out)
{
    char* p = out;
    for (size_t i = 0; i < length;) {
        if (static_cast<std::make_unsigned_t<wchar_t>>(text[i]) < 0x80) {
            *p++ = static_cast<char>(text[i++]);
            continue;
        }
        p = AppendUtf8(p, NextCodePoint(text, length, i));
    }
    return static_cast<size_t>(p - out);
}

std::string WideToUtf8(const wchar_t* text, size_t length)
{
    std::string out(Utf8Length(text, length), '\0');
    WideToUtf8(text, length, out.data());
    return out;
}

std::string WideToUtf8(const std::wstring& text) { return WideToUtf8(text.data(), text.size()); }

size_t LireCaractereUtf8(std::string_view bytes, size_t i, char32_t& c)
{
    if (i >= bytes.size()) return 0;
    return LireUtf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), i, c);
}

void AjouterUtf8(std::string& out, char32_t c)
{
    if (IsSurrogate(c) || c > 0x10FFFF) c = kReplacement;
    char octets[4];
    out.append(octets, static_cast<size_t>(AppendUtf8(octets, c) - octets));
}

bool EstUtf8BienForme(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    char32_t c;
    for (size_t i = 0, n = 0; i < bytes.size(); i += n) {
        n = LireUtf8(p, bytes.size(), i, c);
        if (n == 0) return false;
    }
    return true;
}

size_t Utf8ToWide(const char* bytes, size_t length, wchar_t* out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    wchar_t* o = out;
    size_t i = 0;
    while (i < length) {
        if (p[i] < 0x80) {
            *o++ = static_cast<wchar_t>(p[i++]);
            continue;
        }
        char32_t c;
        const size_t n = LireUtf8(p, length, i, c);
        if (n == 0) {
            // One replacement per malformed sequence.
            o = AppendWide(o, kReplacement);
            i += LongueurMalformee(p, length, i);
            continue;
        }
        // A well-formed sequence of n bytes gives at most 2 units: never more than its bytes.
        o = AppendWide(o, c);
        i += n;
    }
    return static_cast<size_t>(o - out);
}

std::wstring Utf8ToWide(const char* bytes, size_t length)
{
    std::wstring out(length, L'\0');
    out.resize(Utf8ToWide(bytes, length, out.data()));
    return out;
}

std::wstring Utf8ToWide(const std::string& bytes) { return Utf8ToWide(bytes.data(), bytes.size()); }

std::string WideToAnsi(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = NextCodePoint(text.data(), text.size(), i);
        out.push_back(c < 0x100 ? static_cast<char>(c) : DefaultAnsiChar);
    }
    return out;
}

std::wstring AnsiToWide(const std::string& bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes) out.push_back(static_cast<wchar_t>(b));
    return out;
}

std::u16string WideToUtf16(const std::wstring& text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = NextCodePoint(text.data(), text.size(), i);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::wstring Utf16ToWide(const std::u16string& units)
{
    std::wstring out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (IsSurrogate(c)) {
            c = kReplacement;
        }
        wchar_t unites[2];
        out.append(unites, static_cast<size_t>(AppendWide(unites, c) - unites));
    }
    return out;
}

std::string WideToUtf16LE(const std::wstring& text)
{
    std::u16string u = WideToUtf16(text);
    std::string out;
    out.reserve(u.size() * 2);
    for (char16_t c : u) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::wstring Utf16LEToWide(const std::string& bytes)
{
    std::u16string u;
    u.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        u.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return Utf16ToWide(u);
}
