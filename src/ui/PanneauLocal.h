#pragma once
// The computer's side of the file transfer dialog: the local file system seen
// as directories holding subdirectories and files.
//
// Directory texts end with "/" ("/home/ana/traces/"). On POSIX there are no
// drive letters: the drive selector offers the root "[-/-]" and the user's
// home "[-~-]", and a directory that cannot be listed falls back to home, then
// to "/". No function here throws.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"

namespace PanneauLocal {

struct tFichierLocal
{
    CString m_strNom;
    uint64_t m_nTaille = 0;
    CString m_strDate;  // "MM/DD/YYYY HH:MM:SS" (UTC) or "Unknown"
    long long m_nDateUtc = 0;  // the same in seconds since the epoch; 0 when unknown
};

struct tContenuLocal
{
    std::vector<CString> m_vecRepertoires;  // names, ".." first when not at the root
    std::vector<tFichierLocal> m_vecFichiers;
};

// The file-system path of a directory or file text, and back. Names are UTF-8
// on POSIX; bytes that are not valid UTF-8 read as U+FFFD.
std::filesystem::path Chemin(const CString& strTexte);
CString Texte(const std::filesystem::path& chemin);

// The user's home directory with a final "/", or "/" when there is none.
CString RepertoireMaison();

// The directory the dialog starts in when the profile holds nothing.
CString RepertoireParDefaut();

// Lists a directory text. False when it cannot be listed (missing, not a
// directory, unreadable); the content is then empty.
bool Lister(const CString& strRep, tContenuLocal& contenu);

// Lists strRep, or falls back to home and then to "/"; strRep receives the
// directory actually listed. False when nothing could be listed (strRep "/").
bool ListerAvecRepli(CString& strRep, tContenuLocal& contenu);

// Drive selector entries, and the conversions between entries and directories.
std::vector<CString> Lecteurs();
CString LecteurDe(const CString& strRep);
CString RepertoireDuLecteur(const CString& strLecteur);

// Parent of a directory text ("/a/b/" gives "/a/"); the root stays the root.
CString Parent(const CString& strRep);

// File-system operations used by the dialog; true on success. On failure
// pstrRaison (when given) receives the system's reason ("Permission denied").
bool CreerRepertoire(const CString& strChemin, CString* pstrRaison = nullptr);
bool SupprimerFichier(const CString& strChemin, CString* pstrRaison = nullptr);
// Renames within one directory; never over an existing name.
bool Renommer(const CString& strDe, const CString& strVers, CString* pstrRaison = nullptr);
// Removes an empty directory, or a symbolic link to a directory (the link only).
bool SupprimerRepertoire(const CString& strChemin, CString* pstrRaison = nullptr);
// Size and last-write time (seconds since the epoch, UTC; 0 when unknown) of
// what the path names, when it exists and is not a directory.
bool InfosFichier(const CString& strChemin, uint64_t& nTaille, long long& nDateUtc);
bool EstRepertoire(const CString& strChemin);
// True for a symbolic link, whatever it points to: a removal never descends
// through one into the directory it names.
bool EstLien(const CString& strChemin);
// Canonical form of an existing directory (links resolved), empty when it
// cannot be resolved: the recursive copies use it to notice a cycle.
CString Canonique(const CString& strChemin);

} // namespace PanneauLocal
