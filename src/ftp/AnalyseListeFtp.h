#pragma once
// Parsing of FTP directory listings: MLSD facts (RFC 3659) and the LIST
// formats instruments and PCs answer with (Unix `ls -l`, DOS/IIS). A line that
// cannot be read is skipped, never the whole listing.

#include <cstdint>
#include <string>
#include <vector>

#include "common/CString.h"

struct tEntreeListeFtp
{
    std::string strNom;         ///< raw bytes as the server sent them
    bool bRepertoire = false;
    bool bLectureSeule = false;
    uint64_t nTaille = 0;
    bool bDate = false;         ///< false: the line carried no usable date
    std::string strUnique;      ///< MLSD "unique" fact: the same for every name of one file or directory
    int nAnnee = 0, nMois = 0, nJour = 0, nHeure = 0, nMinute = 0, nSeconde = 0;
};

/// One MLSD line ("type=file;size=12;modify=20240131120000; name"). False when unreadable.
bool AnalyserLigneMlsd(const std::string& strLigne, tEntreeListeFtp& entree);

/// One LIST line, Unix or DOS form. Dates without a year take the year that
/// puts them at most one day after `nAnneeCourante/nMoisCourant/nJourCourant`.
bool AnalyserLigneList(const std::string& strLigne, tEntreeListeFtp& entree, int nAnneeCourante,
                       int nMoisCourant, int nJourCourant);

/// Every readable entry of a listing, in server order. Names that cannot be
/// one path component (CheminDistant::NomSur) are dropped, but for "." and "..".
std::vector<tEntreeListeFtp> AnalyserListe(const std::string& strDonnees, bool bMlsd);

/// "MM/DD/YYYY HH:MM:SS", or "Invalid DateTime" when the entry has no date or
/// the date lies outside the years 100 to 9999 or is not a real calendar time.
CString FormaterDateFtp(const tEntreeListeFtp& entree);

/// Attribute letters in the fixed order a c d h n r s.
CString AttributsFtp(const tEntreeListeFtp& entree);
