// The address normaliser (NormaliserAdresseIp) on any text a user may type
// (the input read as UTF-8).
//
// Invariants: a text holding anything but digits, dots and white space (a
// host name, an IPv6 address) comes back as typed; a text it rewrites becomes
// four decimal numbers without leading zeros, joined by dots, whose values
// are the typed numbers in order (0 for those it could not read, and for all
// after them); normalising twice changes nothing more.

#include <climits>
#include <cstdint>
#include <cwctype>
#include <string>
#include <vector>

#include "Invariant.h"
#include "comm/AdresseIp.h"
#include "common/Conversions.h"

namespace {

bool EstChiffre(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The values of the digit runs of a text, held to the int range.
std::vector<long long> Nombres(const std::wstring& t)
{
    std::vector<long long> n;
    for (size_t i = 0; i < t.size();) {
        if (!EstChiffre(t[i])) { ++i; continue; }
        long long v = 0;
        for (; i < t.size() && EstChiffre(t[i]); ++i) v = std::min<long long>(v * 10 + (t[i] - L'0'), INT_MAX);
        n.push_back(v);
    }
    return n;
}

bool FormeCanonique(const std::wstring& t)
{
    int nParties = 0;
    for (size_t i = 0; i <= t.size(); ++i) {
        const size_t debut = i;
        while (i < t.size() && EstChiffre(t[i])) ++i;
        if (i == debut || (t[debut] == L'0' && i - debut > 1)) return false;
        ++nParties;
        if (i < t.size() && t[i] != L'.') return false;
    }
    return nParties == 4;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    const std::string octets(reinterpret_cast<const char*>(donnees), taille);
    const CString texte(Utf8ToWide(octets.substr(0, octets.find('\0'))));
    const CString resultat = NormaliserAdresseIp(texte.c_str());

    bool bAdresse = true;
    for (wchar_t c : texte)
        bAdresse = bAdresse && (EstChiffre(c) || c == L'.' || std::iswspace(static_cast<wint_t>(c)));
    if (!bAdresse) VERIFIER(resultat == texte);

    if (resultat != texte) {
        VERIFIER(bAdresse);
        VERIFIER(FormeCanonique(resultat));
        const std::vector<long long> tapes = Nombres(texte), parties = Nombres(resultat);
        bool bSuite = true;
        for (size_t i = 0; i < 4; ++i) {
            bSuite = bSuite && i < tapes.size() && parties[i] == tapes[i];
            VERIFIER(bSuite || parties[i] == 0);
        }
    }
    VERIFIER(NormaliserAdresseIp(resultat.c_str()) == resultat);
    return 0;
}
