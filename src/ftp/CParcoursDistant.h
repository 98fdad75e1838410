#pragma once
// Walks a remote directory tree through a CFTPDirect: copies it down, copies a
// local tree up into it, or removes it. The file transfer dialog and the
// command-line tool use this one walker for their recursive copies and
// removals.
//
// How it walks:
// - Each directory is handled as soon as it is listed: its files first, in
//   name order, then its subdirectories, depth first.
// - No directory is walked twice. A remote directory is known by the MLSD
//   "unique" fact where the server gives one (the walk's root through MLST)
//   and by the path the server reports once it has been entered; a local one
//   by its canonical path. A link back to a directory already walked is
//   skipped and named in tBilan::ignores (not a failure).
// - It descends at most SetProfondeurMax levels below its root (64), and
//   enters at most SetRepertoiresMax directories (100,000).
// - On a server without unique facts, a directory whose listing is the same
//   as that of a directory it is inside is a link back up: skipped and named
//   in tBilan::ignores.
// - An upload never follows a local link out of its tree (named in echecs).
// - A directory it cannot enter, list, create or read is skipped with its
//   branch and named, with the reason, in tBilan::echecs; the rest goes on. A
//   listing cut short is used as far as it goes by the copies (and named), and
//   not at all by a removal.
// - Names that cannot be one path component on both sides, and names of one
//   listing that decode to the same text (CFTPDirect::GetNomsEnDoublon), are
//   never used: they are named. A name listed twice as the same bytes is
//   walked once.
// - A copy down walks as a directory an entry listed as a file that cannot be
//   fetched but can be entered (servers that list in `ls -l` form show a link
//   to a directory as a link, not as a directory).
// - A removal deletes nothing through a link. Each directory is first deleted
//   as a file (DELE): what DELE removes was a link (some servers list a link
//   to a directory as a directory), and what it led to is left alone. A
//   directory whose path, as the server reports it once entered, lies outside
//   the tree is not emptied, nor one listed by MLSD (which shows a link as
//   what it leads to) whose DELE failed for a reason that does not say it is
//   a directory (a read-only parent refuses both alike): it is named.
// - A failure's reason is a short text followed by the client's own
//   (CFTPDirect::GetDerniereErreur: the server's reply or the local reason).
// - The client's cancel (CFTPDirect::Annuler) stops the walk as the stop check
//   does: the step it broke off counts as not done, not as failed.
// - When the session is gone (CFTPDirect::SessionPerdue: a time limit hit, the
//   connection closed), the step is tried again once, which connects and logs
//   in again. This happens once per walk: the next time, the walk stops and
//   what it had not done yet is named in tBilan::nonFaits.
//
// - With SetParallele, the copies' files go to several logged-in clients at
//   once: the walker's own client lists and walks, and the others take the
//   files as they are listed (the walker's joins them once the walk is done).
//   A client the server refuses lowers their number; one whose session is
//   lost twice gives its files back to the others. The rules above hold as
//   they are; the order in which files end is no longer the walk's.
//
// The walk blocks and calls its hooks on the calling thread, which may be any
// thread that owns the CFTPDirect for the time of the walk (the transfert hook
// alone may come from the other clients' threads). Remote paths are absolute
// ("/a/b"); local paths are the caller's text for the file system.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/InfosFichierFtp.h"

class CFTPDirect;

class OTDR_EXPORT CParcoursDistant
{
public:
    static constexpr int PROFONDEUR_MAX = 64;

    /// A file about to be handled, then handled.
    struct tFichier
    {
        CString strDistant;    ///< absolute remote path
        CString strLocal;      ///< local path; empty for a removal
        CString strRelatif;    ///< below the walk's root, "/"-separated ("sub/a.sor")
        uint64_t nTaille = 0;  ///< bytes: the listing's size, or the local file's for an upload
        /// The remote listing's record of the file (copy down, removal), or of
        /// the remote file an upload would replace (only with
        /// SetListerCibles(true)); null when there is none. Valid during the call.
        const tInfosFichierFtp* pDistant = nullptr;
        /// The remote file's time (seconds, UTC) when the listing gave it
        /// exactly (MLSD); 0 otherwise, and for an upload.
        int64_t nDateExacte = 0;
    };

    /// A directory entered (its files are about to be handled) or left.
    struct tRepertoire
    {
        CString strDistant;
        CString strLocal;      ///< empty for a removal
        CString strRelatif;    ///< empty for the root
        int nFichiers = 0;     ///< files to handle in it (not below it)
        uint64_t nOctets = 0;  ///< their bytes
    };

    /// What to do with a file: handle it, leave it (counted in nPasses), or
    /// stop the walk there (the rest goes to nonFaits).
    enum class tSuite { Faire, Passer, Arreter };

    /// What became of a file avantFichier let through: done, failed, or not
    /// done (the walk stopped, or the step was cancelled, before it ended).
    enum class tIssueFichier { Fait, Echoue, NonFait };

    /// The caller's hooks; each may be empty.
    struct tRappels
    {
        std::function<tSuite(const tFichier&)> avantFichier;
        std::function<void(const tFichier&, bool bReussi)> apresFichier;
        /// Once for each file avantFichier let through, after apresFichier
        /// where that is called; strCause: the client's reason for a failure
        /// (CFTPDirect::GetDerniereErreur), else empty.
        std::function<void(const tFichier&, tIssueFichier, const CString& strCause)> finFichier;
        std::function<void(const tRepertoire&)> entreeRepertoire;
        std::function<void(const tRepertoire&)> sortieRepertoire;
        /// Asked before each step and after each failed one: true stops the
        /// walk (the failed step then counts as not done, not as failed). The
        /// client's cancel (CFTPDirect::Annuler) stops it too, and also breaks
        /// off the transfer in flight.
        std::function<bool()> arret;
        /// A copy's file step in place of the walker's own (GetFile, PutFile),
        /// on the client given: the walker's, or with SetParallele one of the
        /// others, on that client's thread. True when done; else the client's
        /// GetDerniereErreur tells why.
        std::function<bool(CFTPDirect& ftp, const tFichier&)> transfert;
        /// The bytes of a file in flight moved so far (and its size, 0 when
        /// unknown), about every 100 ms and at its start and end, on the
        /// thread of the client moving it: with SetParallele, from several
        /// threads at once. Replaces that client's own progression meanwhile.
        std::function<void(const tFichier&, uint64_t nFaits, uint64_t nTotal)> octets;
    };

    struct tProbleme
    {
        CString strChemin;     ///< remote or local path; a directory stands for its branch
        CString strRaison;     ///< for people: "cannot be entered", "listing cut short"...
    };

    struct tBilan
    {
        int nFichiers = 0;               ///< files copied or deleted
        uint64_t nOctets = 0;            ///< bytes copied
        int nRepertoires = 0;            ///< directories walked (a removal: removed)
        int nPasses = 0;                 ///< files the caller chose to leave
        std::vector<tProbleme> echecs;   ///< what failed or was skipped, and why
        std::vector<tProbleme> ignores;  ///< links to a directory already walked
        std::vector<CString> nonFaits;   ///< not tried: the walk stopped (directories end with "/")
        bool bSessionPerdue = false;     ///< stopped because the session stayed gone
        bool bArrete = false;            ///< stopped by the caller
        int nSessions = 1;               ///< clients used (SetParallele): fewer than asked when refused
        /// Everything was done (links already walked aside).
        bool Complet() const { return echecs.empty() && nonFaits.empty() && !bSessionPerdue && !bArrete; }
    };

    explicit CParcoursDistant(CFTPDirect& ftp, tRappels rappels = {});
    CParcoursDistant(const CParcoursDistant&) = delete;
    CParcoursDistant& operator=(const CParcoursDistant&) = delete;

    /// Deepest level walked below the root; deeper directories are named in echecs.
    void SetProfondeurMax(int nProfondeur) { m_nProfondeurMax = nProfondeur; }
    /// Directories one walk enters at most (100,000): the rest is named in tBilan::echecs.
    void SetRepertoiresMax(int nRepertoires) { m_nRepertoiresMax = nRepertoires; }
    /// Uploads list each remote directory that already existed, so that
    /// avantFichier learns which remote file a copy would replace.
    void SetListerCibles(bool bLister) { m_bListerCibles = bLister; }
    /// Makes one more client, logged in to the same server, or null when the
    /// server refuses it. Called from the thread that will use it.
    using FonctionConnexion = std::function<std::unique_ptr<CFTPDirect>()>;
    /// Copies (down and up) move their files on nSessions clients at once: the
    /// walker's own and nSessions - 1 that `connecter` makes (1, the default:
    /// the walker's client alone).
    void SetParallele(int nSessions, FonctionConnexion connecter)
    {
        m_nSessions = nSessions < 1 ? 1 : nSessions;
        m_connecter = std::move(connecter);
    }

    /// Copies the remote directory strDistant into the local directory strLocal
    /// (created when missing, merged into when it exists); existing local files
    /// are replaced unless avantFichier says otherwise.
    tBilan Telecharger(const CString& strDistant, const CString& strLocal);
    /// Copies the local directory strLocal into the remote directory strDistant
    /// (created in its parent when missing, merged into when it exists).
    tBilan Envoyer(const CString& strLocal, const CString& strDistant);
    /// Removes the remote directory strDistant and everything in it; a link is
    /// removed as a link. The root "/" is never removed.
    tBilan Supprimer(const CString& strDistant);

private:
    CFTPDirect& m_ftp;
    tRappels m_rappels;
    int m_nProfondeurMax = PROFONDEUR_MAX;
    int m_nRepertoiresMax = 100000;
    bool m_bListerCibles = false;
    int m_nSessions = 1;
    FonctionConnexion m_connecter;
};

// One run at a time in a local folder (a sync, a tree copy): an exclusive
// lock on the directory itself (flock), released when the object goes or the
// process ends, however it ends. Nothing is written into the folder.
class OTDR_EXPORT CVerrouDossier
{
public:
    CVerrouDossier() = default;
    ~CVerrouDossier();
    CVerrouDossier(const CVerrouDossier&) = delete;
    CVerrouDossier& operator=(const CVerrouDossier&) = delete;
    // Takes the lock on an existing directory, at once or not at all; false
    // with the reason for people (naming the other run's process when the
    // system tells it).
    bool Prendre(const std::filesystem::path& dossier, std::string& strRaison);

private:
    int m_nFd = -1;
};
