#pragma once
// Ordering of the file tables of the transfer dialog (columns Name, Size,
// Date/Time), done on the texts the tables display.
//
// The order is the one a stable insertion pass on the displayed texts gives:
// for a column other than Name, rows are first put in ascending name order, so
// that rows with equal keys stay in name order in both directions. It is
// computed with a stable merge sort on keys extracted once per row, so that a
// directory of thousands of files sorts in O(n log n).

#include <vector>

#include "common/CString.h"
#include "common/Export.h"

// One row of a file table: its three cell texts and whether it is selected.
// The selection travels with the row through the sort.
struct tLigneListe
{
    CString m_astrTextes[3];
    bool m_bSelection = false;
};

namespace TriListe {

enum : int { COLONNE_NOM = 0, COLONNE_TAILLE = 1, COLONNE_DATE = 2 };

// Name order: code unit by code unit as UTF-16 text, case-sensitive (so "B"
// before "a"). Negative, 0 or positive.
int ComparerTextes(const CString& a, const CString& b);

// Size key: the integer the text begins with ("3.5 M" gives 3, "900.0 k" 900,
// "12" 12); leading blanks and a sign allowed, 0 when no number begins the
// text, saturated to the int range.
int CleTaille(const CString& strTexte);

// Date key of "MM/DD/YYYY HH:MM:SS": year, month, day, then the time, so that
// the plain text order is the chronological order. Pieces beyond the end of a
// short text are shorter or empty.
CString CleDate(const CString& strTexte);

// Orders `lignes` by column `nColonne` (0, 1 or 2), ascending when
// `bAscendant`, descending otherwise; equal keys keep their relative order
// (name ascending for the Size and Date/Time columns).
void TrierLignes(std::vector<tLigneListe>& lignes, int nColonne, bool bAscendant);

} // namespace TriListe
