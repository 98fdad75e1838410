#pragma once
// The transfer engine: runs one job (copy a file or a tree either way, bring
// a local directory up to date with a remote one, remove a remote tree) on a
// thread of its own and tells one subscriber what happens, as events. The
// rules of the transfers stay where they are (CFTPDirect's checks, the walker
// CParcoursDistant, the sync CSynchroDistante): the engine owns the thread and
// the cancel, and turns the walk's hooks into the subscriber's events.
//
// Events, all on the engine's thread but Octets (with nSessions > 1, from the
// other clients' threads too, at once):
// - Repertoire: a directory listed, with the files it holds and their bytes,
//   before any of them starts (a sync tells none: its totals are the files
//   that move, as they start);
// - Choisir then, when the target exists and the job says Demander, Question:
//   whether to handle the file (Passer leaves it, Arreter stops the job);
// - Debut: the file starts; Octets: its bytes so far; Fin: once per started
//   file, done, failed (with the client's reason) or not done (cancelled);
// - Termine: once, last, with the job's summary (also what Attendre returns).
// No lock of the engine's is held while the subscriber is called.
//
// The client given is the engine's for the time of a job: nobody else calls
// it until Attendre has returned (Annuler aside).

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CParcoursDistant.h"
#include "ftp/CSynchroDistante.h"

class OTDR_EXPORT CMoteurTransferts
{
public:
    using tFichier = CParcoursDistant::tFichier;
    using tRepertoire = CParcoursDistant::tRepertoire;
    using tSuite = CParcoursDistant::tSuite;
    using tIssueFichier = CParcoursDistant::tIssueFichier;

    enum class tOperation {
        TelechargerArbre,   ///< strDistant's tree into strLocal
        EnvoyerArbre,       ///< strLocal's tree into strDistant
        Synchroniser,       ///< strLocal brought up to date with strDistant
        SupprimerArbre,     ///< strDistant and all it holds
        TelechargerFichier, ///< the file strDistant to the local file strLocal
        EnvoyerFichier      ///< the local file strLocal to the remote file strDistant
        // (a file job's tFichier::strRelatif is its source's name; its size, at
        // Fin, the bytes of the file done)
    };
    /// A copy over an existing file: done, or asked (Question). An upload of
    /// one file is never asked (its target is not listed).
    enum class tRemplacement { Remplacer, Demander };

    struct tTravail
    {
        tOperation eOperation = tOperation::TelechargerArbre;
        CString strDistant;   ///< absolute remote path
        CString strLocal;
        tRemplacement eRemplacement = tRemplacement::Remplacer;
        /// Tree copies and sync: clients at once, the others made by connecter.
        int nSessions = 1;
        CParcoursDistant::FonctionConnexion connecter;
        static tTravail De(tOperation e, CString strDistant, CString strLocal)
        {
            tTravail t;
            t.eOperation = e;
            t.strDistant = std::move(strDistant);
            t.strLocal = std::move(strLocal);
            return t;
        }
        /// As CParcoursDistant::SetParallele.
        void SetParallele(int n, CParcoursDistant::FonctionConnexion f)
        {
            nSessions = n;
            connecter = std::move(f);
        }
    };

    struct tResultat
    {
        tOperation eOperation = tOperation::TelechargerArbre;
        /// Every job: what was done, failed (and why), not done.
        CParcoursDistant::tBilan parcours;
        /// A sync's own summary (its parcours is the one above); empty otherwise.
        CSynchroDistante::tBilan synchro;
    };

    class IAbonne
    {
    public:
        virtual ~IAbonne() = default;
        virtual void Repertoire(const tRepertoire&) {}
        virtual tSuite Choisir(const tFichier&) { return tSuite::Faire; }
        /// The target exists (f.strLocal for a download, f.pDistant for an upload).
        virtual tSuite Question(const tFichier&) { return tSuite::Faire; }
        virtual void Debut(const tFichier&) {}
        virtual void Octets(const tFichier&, uint64_t /*nFaits*/, uint64_t /*nTotal*/) {}
        virtual void Fin(const tFichier&, tIssueFichier, const CString& /*strCause*/) {}
        virtual void Termine(const tResultat&) {}
    };

    /// abonne outlives the engine; ftp is logged in (or logs in on its first step).
    CMoteurTransferts(CFTPDirect& ftp, IAbonne& abonne);
    /// Cancels the job in course, if any, and joins its thread; the client is
    /// left usable (a job that had ended leaves it untouched).
    ~CMoteurTransferts();
    CMoteurTransferts(const CMoteurTransferts&) = delete;
    CMoteurTransferts& operator=(const CMoteurTransferts&) = delete;

    /// Starts the job on the engine's thread; false when one still runs.
    bool Lancer(tTravail travail);
    /// Stops the job from any thread: the transfer in flight is broken off
    /// through the client's own cancel and counts as not done; nothing
    /// further starts. The job then ends as usual (Termine).
    void Annuler();
    /// Waits for the job's end and joins its thread; rethrows what the job
    /// threw. The summary of the last job.
    tResultat Attendre();

private:
    // The library's own (not exported): the core keeps its exports few.
    OTDR_FTP_INTERNE void Executer();
    OTDR_FTP_INTERNE tResultat ExecuterArbre();
    OTDR_FTP_INTERNE tResultat ExecuterFichier();
    OTDR_FTP_INTERNE CParcoursDistant::tRappels Rappels();
    OTDR_FTP_INTERNE tSuite Avant(const tFichier& f) const;
    // A file job's summary; suite: what the subscriber chose (Passer: left).
    OTDR_FTP_INTERNE void Conclure(CParcoursDistant::tBilan& bilan, const tFichier& f, tIssueFichier issue, tSuite suite,
                                   const CString& strCause = CString()) const;

    CFTPDirect& m_ftp;
    IAbonne& m_abonne;
    tTravail m_travail;
    tResultat m_resultat;
    std::exception_ptr m_exception;
    std::atomic<bool> m_bAnnule{false};
    std::atomic<bool> m_bEnCours{false};   ///< a job started and not yet ended
    std::mutex m_mutexThread;   ///< Lancer, Attendre and the destructor, on m_thread
    std::thread m_thread;
};
