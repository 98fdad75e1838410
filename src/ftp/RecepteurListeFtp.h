#pragma once
// Turning listing lines into records as they arrive (CFTPDirect::GetDir), and
// what the last listing leaves for the copies that follow it.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ftp/AnalyseListeFtp.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CSessionFtp.h"

// Sizes and times of the last listing, so that a copy that follows it needs no
// SIZE or MDTM per file. Keys are hashes of the raw names (24 bytes an entry).
struct tCacheListeFtp
{
    struct tCle
    {
        uint64_t nHash;
        int64_t nDateUtc;   ///< 0 when not exact (LIST)
        uint64_t nTaille;
        bool operator<(const tCle& autre) const { return nHash < autre.nHash; }
    };
    std::string strRepertoire;
    std::vector<tCle> cles;
};

/// Received names: an incomplete character at the end is dropped, other
/// malformed bytes show as U+FFFD.
CString DepuisFil(std::string_view octets);
uint64_t HashFtp(std::string_view octets);

/// Hands each whole line of a block of listing data to the receiver, without
/// its CR LF; the start of a line cut between two blocks waits in strReste.
void RecevoirBlocListe(const char* pDonnees, size_t nTaille, std::string& strReste,
                       CSessionFtp::IRecepteurListe& recepteur);
/// Hands over the last line of a listing that ended whole without its line
/// feed (strReste, not empty), without a CR that ends it, as every other line.
void RecevoirFinListe(std::string& strReste, CSessionFtp::IRecepteurListe& recepteur);

// Builds the records as the listing arrives: each line parsed in place, each
// record built once, then kept in the caller's list or handed to its function.
class CRecepteurListeFtp final : public CSessionFtp::IRecepteurListe
{
public:
    // pIdentites, when not null, receives the MLSD "unique" fact of each entry
    // kept in the list, in list order (empty when the server gives none).
    CRecepteurListeFtp(CListeFichiersFtp& liste, tCacheListeFtp& cache, std::vector<std::string>* pIdentites = nullptr)
        : m_pListe(&liste), m_pCache(&cache), m_pIdentites(pIdentites)
    {
    }
    explicit CRecepteurListeFtp(const CFTPDirect::FonctionEntreeListe& fonction) : m_pFonction(&fonction) {}
    // Each entry handed over as parsed, its name in UTF-8 bytes: no wide
    // record is built for it.
    explicit CRecepteurListeFtp(const CFTPDirect::FonctionEntreeBrute& fonction) : m_pBrute(&fonction) {}

    void Debut(bool bMlsd) override;
    void Ligne(const char* pLigne, size_t nLongueur) override;
    // Names whose decoding is not exact may meet another name's text: every
    // entry of such a text goes, and is named. Handed over already, a name
    // that a later one meets is named for the caller to drop.
    void Terminer(std::vector<CString>& noms);
    // Names left out because they cannot be one path component, on the wire
    // or once decoded (bytes that are not UTF-8 shown as \xNN).
    std::vector<CString>& Inutilisables() { return m_inutilisables; }
    // Lines no rule reads (not blank, not a "total N" header), shown as
    // NomLisible shows names: left out, never guessed at. The first 100.
    std::vector<CString>& Illisibles() { return m_illisibles; }

private:
    struct tDouteux
    {
        int nIndex;              ///< in the list; -1 when held back
        std::string strBrut;
        tInfosFichierFtp infos;  ///< held back (function form)
        tEntreeListeFtp entree;  ///< held back (raw form), its name in strTexte
        std::string strTexte;    ///< raw form: the name as decoded, in UTF-8
    };
    void LigneBrute(const tEntreeListeFtp& e);
    void TerminerBrut(std::vector<CString>& noms);
    void TerminerListe(std::unordered_map<std::wstring, int>& compte, std::vector<CString>& noms);
    void TerminerFonction(std::unordered_map<std::wstring, int>& compte, std::vector<CString>& noms);
    const std::wstring& Texte(const tDouteux& d) const;
    const std::string* Brut(int i) const;

    CListeFichiersFtp* m_pListe = nullptr;
    tCacheListeFtp* m_pCache = nullptr;
    std::vector<std::string>* m_pIdentites = nullptr;
    const CFTPDirect::FonctionEntreeListe* m_pFonction = nullptr;
    const CFTPDirect::FonctionEntreeBrute* m_pBrute = nullptr;
    std::vector<tDouteux> m_douteux;
    std::vector<uint64_t> m_donnes;  ///< hashes of the names handed over
    std::vector<CString> m_inutilisables;
    std::vector<CString> m_illisibles;
    bool m_bMlsd = true;
    int m_nAnnee = 1970, m_nMois = 1, m_nJour = 1;
};
