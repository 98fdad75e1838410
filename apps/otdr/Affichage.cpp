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

} // namespace

bool EstControleTerminal(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string Visible(const std::string& texte)
{
    std::string r;
    r.reserve(texte.size());
    for (size_t i = 0; i < texte.size();) {
        char32_t c = 0;
        const size_t n = LireCaractereUtf8(texte, i, c);
        if (n == 0) {
            r += Code("\\x%02x", static_cast<unsigned char>(texte[i]));
            ++i;
            continue;
        }
        if (c == '\\')
            r += "\\\\";
        else if (EstControleTerminal(c))
            r += Code(c < 0x80 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(c));
        else
            r.append(texte, i, n);
        i += n;
    }
    return r;
}
