#include "ui/TriListe.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cwctype>
#include <numeric>

namespace TriListe {

namespace {

// wchar_t holds whole code points on POSIX; to order as UTF-16 code units,
// code points above U+FFFF (surrogate pairs, D800-DBFF first unit) must sort
// after D7FF but before E000-FFFF.
inline uint32_t RangUtf16(wchar_t c)
{
    const auto u = static_cast<uint32_t>(c);
    if (u >= 0xE000 && u <= 0xFFFF)
        return u + 0x200000;
    return u;
}

} // namespace

int ComparerTextes(const CString& a, const CString& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            if (sizeof(wchar_t) == 2)
                return static_cast<uint32_t>(a[i]) < static_cast<uint32_t>(b[i]) ? -1 : 1;
            return RangUtf16(a[i]) < RangUtf16(b[i]) ? -1 : 1;
        }
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

int CleTaille(const CString& strTexte)
{
    size_t i = 0;
    while (i < strTexte.size() && std::iswspace(static_cast<wint_t>(strTexte[i])))
        ++i;
    bool bNegatif = false;
    if (i < strTexte.size() && (strTexte[i] == L'+' || strTexte[i] == L'-')) {
        bNegatif = strTexte[i] == L'-';
        ++i;
    }
    long long n = 0;
    for (; i < strTexte.size() && strTexte[i] >= L'0' && strTexte[i] <= L'9'; ++i) {
        n = n * 10 + (strTexte[i] - L'0');
        if (n > static_cast<long long>(INT_MAX) + 1)
            n = static_cast<long long>(INT_MAX) + 1;  // saturate, keep scanning
    }
    if (bNegatif)
        return n > static_cast<long long>(INT_MAX) ? INT_MIN : -static_cast<int>(n);
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

CString CleDate(const CString& strTexte)
{
    auto piece = [&](size_t debut, size_t n) -> std::wstring {
        if (debut >= strTexte.size())
            return std::wstring();
        return strTexte.substr(debut, n);
    };
    return CString(piece(6, 4) + piece(0, 2) + piece(3, 2) + piece(11, 8));
}

namespace {

// Sorts row indexes by a precomputed key, stably, in the given direction.
template <class Cle, class Comparer>
void TrierIndex(std::vector<size_t>& index, const std::vector<Cle>& cles, bool bAscendant,
                Comparer comparer)
{
    if (bAscendant)
        std::stable_sort(index.begin(), index.end(),
                         [&](size_t a, size_t b) { return comparer(cles[a], cles[b]) < 0; });
    else
        std::stable_sort(index.begin(), index.end(),
                         [&](size_t a, size_t b) { return comparer(cles[a], cles[b]) > 0; });
}

int ComparerEntiers(int a, int b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

void TrierLignes(std::vector<tLigneListe>& lignes, int nColonne, bool bAscendant)
{
    if (lignes.size() < 2 || nColonne < 0 || nColonne > 2)
        return;

    std::vector<size_t> index(lignes.size());
    std::iota(index.begin(), index.end(), size_t{0});

    // Names are compared in place: no key to build.
    auto parNom = [&](bool bSens) {
        if (bSens)
            std::stable_sort(index.begin(), index.end(), [&](size_t a, size_t b) {
                return ComparerTextes(lignes[a].m_astrTextes[0], lignes[b].m_astrTextes[0]) < 0;
            });
        else
            std::stable_sort(index.begin(), index.end(), [&](size_t a, size_t b) {
                return ComparerTextes(lignes[a].m_astrTextes[0], lignes[b].m_astrTextes[0]) > 0;
            });
    };

    if (nColonne == COLONNE_NOM) {
        parNom(bAscendant);
    } else {
        // Equal sizes or dates keep name order whatever the direction.
        parNom(true);
        if (nColonne == COLONNE_TAILLE) {
            std::vector<int> cles(lignes.size());
            for (size_t i = 0; i < lignes.size(); ++i)
                cles[i] = CleTaille(lignes[i].m_astrTextes[1]);
            TrierIndex(index, cles, bAscendant, ComparerEntiers);
        } else {
            std::vector<CString> cles(lignes.size());
            for (size_t i = 0; i < lignes.size(); ++i)
                cles[i] = CleDate(lignes[i].m_astrTextes[2]);
            TrierIndex(index, cles, bAscendant, ComparerTextes);
        }
    }

    std::vector<tLigneListe> triees;
    triees.reserve(lignes.size());
    for (size_t i : index)
        triees.push_back(std::move(lignes[i]));
    lignes.swap(triees);
}

} // namespace TriListe
