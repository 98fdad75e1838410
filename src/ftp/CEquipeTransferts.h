#pragma once
// The clients of a parallel tree copy (CParcoursDistant::SetParallele): each
// extra client logs in and takes files from a shared queue on a thread of its
// own; the walker's thread hands the files in, collects what became of them
// and, once the walk is done, takes files itself until none are left.

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ftp/CParcoursDistant.h"

class CEquipeTransferts
{
public:
    struct tTache
    {
        CParcoursDistant::tFichier fichier;
        tInfosFichierFtp distant;            ///< the record fichier.pDistant points at, when bDistant
        bool bDistant = false;
        CString strNom;                      ///< how nonFaits names it
        int nProfondeur = 0;                 ///< of the directory that holds it
        const CParcoursDistant::tFichier& Fichier();
    };
    enum class tIssue { Fait, Echoue, NonFait };
    struct tResultat
    {
        tTache tache;
        tIssue issue = tIssue::NonFait;
        CString strErreur;       ///< the client's reason for a failure
        bool bRepertoire = false;  ///< a download that failed names a directory it could enter
    };
    /// A file's transfer on a client; true when done.
    using FonctionTransfert = std::function<bool(CFTPDirect&, tTache&)>;

    CEquipeTransferts(int nSupplementaires, CParcoursDistant::FonctionConnexion connecter, FonctionTransfert transferer,
                      bool bTelechargement);
    ~CEquipeTransferts();   ///< cancels what is left and joins the threads
    CEquipeTransferts(const CEquipeTransferts&) = delete;
    CEquipeTransferts& operator=(const CEquipeTransferts&) = delete;

    void Confier(tTache tache);
    /// What ended since the last call.
    std::vector<tResultat> Recolter();
    /// Takes files on the walker's client too until the queue and every
    /// client are done, handing each result to `traiter` as it comes; stops
    /// (the rest not done) when `arreter` says so. False when the walker's
    /// own session was lost for good (the rest not done).
    bool Finir(CFTPDirect& ftp, const std::function<void(tResultat&)>& traiter, const std::function<bool()>& arreter,
               bool& bReessaye);
    /// Every client's transfer in flight is cancelled; what is queued ends not done.
    void Arreter();
    /// Clients the server did not refuse, the walker's counted, once every
    /// login has ended (at once when stopped).
    int Sessions() const;

private:
    void Travailler();
    // One task on a client, with the retry after a lost session (once per
    // client: bReessaye). Rendu: the session is gone for good, the task goes back.
    enum class tSuite { Rendu, Fini };
    tSuite Executer(CFTPDirect& ftp, tTache& tache, bool& bReessaye, tResultat& r);

    CParcoursDistant::FonctionConnexion m_connecter;
    FonctionTransfert m_transferer;
    const bool m_bTelechargement;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::deque<tTache> m_file;
    std::vector<tResultat> m_resultats;
    std::vector<CFTPDirect*> m_clients;   ///< logged in, for Arreter
    int m_nEnCours = 0;                   ///< tasks taken and not yet ended
    int m_nRefus = 0;                     ///< logins the server refused
    int m_nLogins = 0;                    ///< logins not yet ended
    bool m_bArret = false;
    bool m_bFerme = false;                ///< no more tasks will come
    std::vector<std::thread> m_threads;
};
