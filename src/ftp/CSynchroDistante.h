#pragma once
// Keeps a local directory a copy of a remote one, through the tree walker
// (CParcoursDistant): each remote file is fetched only when it is new (no
// local file of its name) or changed (its size or the instrument's time
// differs from the local file's: to the second where the listing gives exact
// times (MLSD), else within its precision, the minute or the day for older
// files; a listing without times compares sizes alone); the others are left
// alone. Local files get
// the instrument's times. Nothing is ever deleted locally, whatever the
// remote tree no longer holds.
//
// A download that fails leaves what it received in a partial file beside its
// target (".otdr-r<16 hex digits>.part", named after the file and its version); the
// next sync continues it with REST when the server allows, else fetches the
// file again. Once a sync has walked the whole tree, the partial files it
// finds in the directories it walked are removed, but those of the files
// that failed this time.

#include <utility>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/CParcoursDistant.h"

class OTDR_EXPORT CSynchroDistante
{
public:
    struct tBilan
    {
        std::vector<CString> nouveaux;   ///< remote paths fetched that had no local copy
        std::vector<CString> modifies;   ///< remote paths fetched over a local copy that differed
        int nInchanges = 0;              ///< files left as they were
        int nRepris = 0;                 ///< downloads continued from a partial file
        /// The walk: bytes, failures with their reasons (files and
        /// directories), what was not done, the clients used.
        CParcoursDistant::tBilan parcours;
        bool Complet() const { return parcours.Complet(); }
    };

    /// rappels: the caller's hooks, called for the files that are fetched only
    /// (avantFichier may still leave one); transfert is the sync's own.
    explicit CSynchroDistante(CFTPDirect& ftp, CParcoursDistant::tRappels rappels = {})
        : m_ftp(ftp), m_rappels(std::move(rappels))
    {
    }

    /// As CParcoursDistant::SetParallele.
    void SetParallele(int nSessions, CParcoursDistant::FonctionConnexion connecter)
    {
        m_nSessions = nSessions;
        m_connecter = std::move(connecter);
    }

    /// Brings the local directory strLocal (created when missing) up to date
    /// with the remote directory strDistant.
    tBilan Synchroniser(const CString& strDistant, const CString& strLocal);

private:
    CFTPDirect& m_ftp;
    CParcoursDistant::tRappels m_rappels;
    int m_nSessions = 1;
    CParcoursDistant::FonctionConnexion m_connecter;
};
