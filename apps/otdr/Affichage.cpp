#include "Affichage.h"

#include <cstdio>

#include "common/Conversions.h"

namespace {

std::string Code(const char* format, unsigned valeur)
{
    char t[12];
    std::snprintf(t, sizeof t, format, valeur);
    return t;
}

// Length of the well-formed UTF-8 character at `i`, 0 when there is none: the
// library's codec decodes malformed bytes to U+FFFD, which does not encode back
// to them.
size_t LongueurCaractere(const std::string& s, size_t i, wchar_t& c)
{
    for (size_t n = 2; n <= 4 && i + n <= s.size(); ++n) {
        const std::string morceau = s.substr(i, n);
        const std::wstring w = Utf8ToWide(morceau);
        if (!w.empty() && w.size() <= 2 && WideToUtf8(w) == morceau) {
            c = w[0];
            return n;
        }
    }
    return 0;
}

bool EstControleLarge(wchar_t c)
{
    return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

std::string Visible(const std::string& texte)
{
    std::string r;
    r.reserve(texte.size());
    for (size_t i = 0; i < texte.size();) {
        const unsigned char o = static_cast<unsigned char>(texte[i]);
        if (o < 0x80) {
            if (o < 0x20 || o == 0x7F)
                r += Code("\\x%02x", o);
            else if (o == '\\')
                r += "\\\\";
            else
                r += static_cast<char>(o);
            ++i;
            continue;
        }
        wchar_t c = 0;
        const size_t n = LongueurCaractere(texte, i, c);
        if (n == 0) {
            r += Code("\\x%02x", o);
            ++i;
        } else {
            if (EstControleLarge(c))
                r += Code("\\u%04x", static_cast<unsigned>(c));
            else
                r.append(texte, i, n);
            i += n;
        }
    }
    return r;
}
