#include "ui/TriListe.h"

#include <algorithm>
#include <cstdint>
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

int ComparerTailles(uint64_t a, uint64_t b)
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
            std::vector<uint64_t> cles(lignes.size());
            for (size_t i = 0; i < lignes.size(); ++i)
                cles[i] = lignes[i].m_nTaille;
            TrierIndex(index, cles, bAscendant, ComparerTailles);
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
