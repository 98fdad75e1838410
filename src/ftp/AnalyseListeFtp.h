#pragma once
// Parsing of FTP directory listings: MLSD facts (RFC 3659) and the LIST
// formats instruments and PCs answer with (Unix `ls -l`, DOS/IIS). A line that
// cannot be read is skipped, never the whole listing.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"

/// How much of a listed date the server gave: MLSD and some LIST forms to the
/// second, most LIST lines to the minute, older Unix lines only the day.
enum class tPrecisionDate { Aucune, Jour, Minute, Seconde };

struct tEntreeListeFtp
{
    std::string_view strNom;    ///< raw bytes as the server sent them (a view into the line)
    bool bRepertoire = false;
    bool bLectureSeule = false;
    uint64_t nTaille = 0;
    bool bDate = false;         ///< false: the line carried no usable date
    std::string_view strUnique; ///< MLSD "unique" fact, the same for every name of one file or directory (a view)
    int nAnnee = 0, nMois = 0, nJour = 0, nHeure = 0, nMinute = 0, nSeconde = 0;
    tPrecisionDate ePrecision = tPrecisionDate::Aucune;  ///< of the date as listed (bDate)
};

/// One MLSD line ("type=file;size=12;modify=20240131120000; name"). False when unreadable.
bool AnalyserLigneMlsd(std::string_view strLigne, tEntreeListeFtp& entree);

/// One LIST line, Unix or DOS form. Dates without a year take the year that
/// puts them at most one day after `nAnneeCourante/nMoisCourant/nJourCourant`.
/// The name keeps its leading blanks (only the one blank that ends the column
/// before it goes); a link ("name -> target") keeps the name only.
bool AnalyserLigneList(std::string_view strLigne, tEntreeListeFtp& entree, int nAnneeCourante,
                       int nMoisCourant, int nJourCourant);

/// A raw name that may enter a listing: one path component (CheminDistant::NomSur),
/// or exactly "." or "..".
bool NomRecevable(std::string_view strNom);

/// True when the bytes are well-formed UTF-8 (their decoding is then exact and
/// no other name decodes to the same text).
bool EstUtf8Valide(std::string_view strOctets);

/// Calls f with each line of the text, without its CR LF (or LF).
template <class F>
void PourChaqueLigne(std::string_view texte, F&& f)
{
    size_t debut = 0;
    while (debut < texte.size()) {
        size_t fin = texte.find('\n', debut);
        if (fin == std::string_view::npos)
            fin = texte.size();
        std::string_view ligne = texte.substr(debut, fin - debut);
        debut = fin + 1;
        if (!ligne.empty() && ligne.back() == '\r')
            ligne.remove_suffix(1);
        f(ligne);
    }
}

/// Every readable entry of a listing, in server order (names are views into
/// strDonnees). Names NomRecevable refuses are dropped.
std::vector<tEntreeListeFtp> AnalyserListe(const std::string& strDonnees, bool bMlsd);

/// The calendar fields of a time, in UTC.
std::tm EnUtc(std::time_t t);

/// Today's date in UTC, for LIST dates that carry no year.
void DateDuJourUtc(int& nAnnee, int& nMois, int& nJour);

/// Seconds since 1970 (UTC) of the entry's date, 0 when it has none or it is
/// not a real calendar time. MLSD dates are UTC; LIST dates are the server's
/// clock, taken as UTC.
OTDR_EXPORT int64_t DateUtcFtp(const tEntreeListeFtp& entree);

/// Whether the entry has a date that is a real calendar time in the years 100 to 9999.
OTDR_EXPORT bool DateFtpValide(const tEntreeListeFtp& entree);

/// FormaterDateFtp's text in bytes, into at least 19 chars; returns its length.
OTDR_EXPORT size_t EcrireDateFtp(const tEntreeListeFtp& entree, char* pTexte);

/// The date in ISO 8601, UTC, to its precision: "2024-01-31T15:15:07Z" (second),
/// "2024-01-31T15:15Z" (minute) or "2024-01-31" (day), into at least 20 chars;
/// returns its length, 0 when the entry has no valid date.
OTDR_EXPORT size_t EcrireDateIso(const tEntreeListeFtp& entree, char* pTexte);

/// "MM/DD/YYYY HH:MM:SS", or "Invalid DateTime" when the entry has no date or
/// the date lies outside the years 100 to 9999 or is not a real calendar time.
CString FormaterDateFtp(const tEntreeListeFtp& entree);

/// Attribute letters in the fixed order a c d h n r s.
CString AttributsFtp(const tEntreeListeFtp& entree);
