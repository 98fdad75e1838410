#include "comm/AdresseIp.h"

#include <climits>
#include <cwchar>
#include <cwctype>

namespace {
bool EstChiffre(wchar_t c) { return c >= L'0' && c <= L'9'; }

void SauterBlancs(const wchar_t*& p)
{
    while (*p != 0 && std::iswspace(static_cast<wint_t>(*p))) ++p;
}
} // namespace

CString NormaliserAdresseIp(const wchar_t* texte)
{
    CString source(texte);
    // Anything else (host names, even those beginning with a digit, and IPv6
    // addresses) is a name for the resolver, not a dotted address to tidy.
    for (wchar_t c : source)
        if (!EstChiffre(c) && c != L'.' && !std::iswspace(static_cast<wint_t>(c))) return source;

    const wchar_t* p = source.c_str();
    SauterBlancs(p);
    const wchar_t* q = p;
    while (*q == L'0') ++q;
    if (!EstChiffre(*q)) return source; // no leading non-zero number (0.0.0.0, empty)

    // " %d .%d .%d .%d": white space before each number and each dot; parts
    // that cannot be read stay 0; values are held to the int range.
    int octets[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            SauterBlancs(p);
            if (*p != L'.') break;
            ++p;
        }
        SauterBlancs(p);
        if (!EstChiffre(*p)) break;
        long long v = 0;
        for (; EstChiffre(*p); ++p)
            if (v <= INT_MAX) v = v * 10 + (*p - L'0');
        octets[i] = v > INT_MAX ? INT_MAX : static_cast<int>(v);
    }
    CString resultat;
    resultat.Format(L"%d.%d.%d.%d", octets[0], octets[1], octets[2], octets[3]);
    return resultat;
}
