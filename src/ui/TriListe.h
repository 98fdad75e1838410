#pragma once
// Ordering of the file tables of the transfer dialog (columns Name, Size,
// Date/Time): names and dates by the texts the tables display, sizes by the
// number of bytes each row carries (a size shown as "2.0 M" comes after one
// shown as "900.0 k").
//
// The order is the one a stable insertion pass on those keys gives:
// for a column other than Name, rows are first put in ascending name order, so
// that rows with equal keys stay in name order in both directions. It is
// computed with a stable merge sort on keys extracted once per row, so that a
// directory of thousands of files sorts in O(n log n).

#include <cstdint>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"

// One row of a file table: its three cell texts, its size in bytes (the
// row's data) and whether it is selected. The size and the selection travel
// with the row through the sort.
struct tLigneListe
{
    CString m_astrTextes[3];
    uint64_t m_nTaille = 0;
    bool m_bSelection = false;
};

namespace TriListe {

enum : int { COLONNE_NOM = 0, COLONNE_TAILLE = 1, COLONNE_DATE = 2 };

// Name order: code unit by code unit as UTF-16 text, case-sensitive (so "B"
// before "a"). Negative, 0 or positive.
int ComparerTextes(const CString& a, const CString& b);

// Date key of "MM/DD/YYYY HH:MM:SS": year, month, day, then the time, so that
// the plain text order is the chronological order. Pieces beyond the end of a
// short text are shorter or empty.
CString CleDate(const CString& strTexte);

// Orders `lignes` by column `nColonne` (0, 1 or 2), ascending when
// `bAscendant`, descending otherwise; equal keys keep their relative order
// (name ascending for the Size and Date/Time columns).
void TrierLignes(std::vector<tLigneListe>& lignes, int nColonne, bool bAscendant);

} // namespace TriListe
