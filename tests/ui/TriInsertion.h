#pragma once
// The table sort as a row-by-row insertion pass over the displayed texts (the
// sizes the rows carry for the Size column): each
// row from the second on is re-inserted before the first row it must precede,
// keys read afresh at every comparison; for the Size and Date/Time columns a
// name-ascending pass runs first. The fast sort must give the same order; the
// benchmark measures both.

#include <vector>

#include "ui/TriListe.h"

inline int ComparerCles(const tLigneListe& a, const tLigneListe& b, int nColonne)
{
    using namespace TriListe;
    if (nColonne == 1) {
        const uint64_t x = a.m_nTaille, y = b.m_nTaille;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (nColonne == 2)
        return ComparerTextes(CleDate(a.m_astrTextes[2]), CleDate(b.m_astrTextes[2]));
    return ComparerTextes(a.m_astrTextes[0], b.m_astrTextes[0]);
}

inline void TrierParInsertion(std::vector<tLigneListe>& lignes, int nColonne, bool bAscendant)
{
    if (nColonne != 0)
        TrierParInsertion(lignes, 0, true);
    const int n = static_cast<int>(lignes.size());
    for (int i = 1; i < n; ++i) {
        int p = i;
        for (int j = 0; j <= i; ++j) {
            const int c = ComparerCles(lignes[i], lignes[j], nColonne);
            if (bAscendant ? c < 0 : c > 0) {
                p = j;
                break;
            }
        }
        // Insert a copy at p, then delete the old row (now at i + 1).
        tLigneListe copie = lignes[i];
        copie.m_bSelection = false;
        lignes.insert(lignes.begin() + p, copie);
        lignes.erase(lignes.begin() + i + 1);
    }
}
