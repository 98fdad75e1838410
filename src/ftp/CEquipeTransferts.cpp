#include "ftp/CEquipeTransferts.h"

#include <chrono>

#include "ftp/CFTPDirect.h"

CEquipeTransferts::CEquipeTransferts(int nSupplementaires, CParcoursDistant::FonctionConnexion connecter,
                                     FonctionTransfert transferer, bool bTelechargement)
    : m_connecter(std::move(connecter)), m_transferer(std::move(transferer)), m_bTelechargement(bTelechargement)
{
    m_nLogins = nSupplementaires;
    for (int i = 0; i < nSupplementaires; ++i)
        m_threads.emplace_back([this] { Travailler(); });
}

CEquipeTransferts::~CEquipeTransferts()
{
    bool bReste = false;
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        m_bFerme = true;
        bReste = !m_file.empty() || m_nEnCours > 0;
    }
    if (bReste)
        Arreter();
    m_cv.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

const CParcoursDistant::tFichier& CEquipeTransferts::tTache::Fichier()
{
    // The record travels with the task; the pointer follows it wherever the task was moved.
    fichier.pDistant = bDistant ? &distant : nullptr;
    return fichier;
}

void CEquipeTransferts::Confier(tTache tache)
{
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        if (m_bArret) {
            tResultat r;
            r.tache = std::move(tache);
            m_resultats.push_back(std::move(r));
            return;
        }
        m_file.push_back(std::move(tache));
    }
    m_cv.notify_one();
}

std::vector<CEquipeTransferts::tResultat> CEquipeTransferts::Recolter()
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    std::vector<tResultat> r;
    r.swap(m_resultats);
    return r;
}

void CEquipeTransferts::Arreter()
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_bArret = true;
    for (tTache& t : m_file) {
        tResultat r;
        r.tache = std::move(t);
        m_resultats.push_back(std::move(r));
    }
    m_file.clear();
    for (CFTPDirect* c : m_clients)
        c->Annuler();
    m_cv.notify_all();
}

int CEquipeTransferts::Sessions() const
{
    // Once every login has ended one way or the other (the threads are
    // joined right after anyway).
    std::unique_lock<std::mutex> verrou(m_mutex);
    m_cv.wait(verrou, [this] { return m_nLogins == 0 || m_bArret; });
    return static_cast<int>(m_threads.size()) + 1 - m_nRefus;
}

CEquipeTransferts::tSuite CEquipeTransferts::Executer(CFTPDirect& ftp, tTache& tache, bool& bReessaye, tResultat& r)
{
    bool bFait = m_transferer(ftp, tache);
    if (!bFait && !ftp.EstAnnule() && ftp.SessionPerdue()) {
        // The next operation logs in again: once per client.
        if (bReessaye)
            return tSuite::Rendu;
        bReessaye = true;
        bFait = m_transferer(ftp, tache);
        if (!bFait && !ftp.EstAnnule() && ftp.SessionPerdue())
            return tSuite::Rendu;
    }
    r.issue = bFait ? tIssue::Fait : ftp.EstAnnule() ? tIssue::NonFait : tIssue::Echoue;
    if (r.issue == tIssue::Echoue) {
        r.strErreur = ftp.GetDerniereErreur();
        // Servers that list in `ls -l` form show a link to a directory as a
        // file: one that can be entered is walked as a directory.
        r.bRepertoire = m_bTelechargement && ftp.SetCurrentDirectoryW(tache.fichier.strDistant, 0) == 0;
    }
    r.tache = std::move(tache);
    return tSuite::Fini;
}

void CEquipeTransferts::Travailler()
{
    std::unique_ptr<CFTPDirect> client;
    bool bArret = false;
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        bArret = m_bArret || m_bFerme;
    }
    if (!bArret && m_connecter) {
        try {
            client = m_connecter();
        } catch (...) {
            client.reset();
        }
    }
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        --m_nLogins;
        m_cv.notify_all();
        if (!client) {
            if (!bArret)
                ++m_nRefus;   // the others share the files
            return;
        }
        if (m_bArret)
            client->Annuler();
        m_clients.push_back(client.get());
    }
    bool bReessaye = false;
    for (;;) {
        tTache tache;
        {
            std::unique_lock<std::mutex> verrou(m_mutex);
            m_cv.wait(verrou, [this] { return m_bArret || m_bFerme || !m_file.empty(); });
            if (m_file.empty())
                break;
            tache = std::move(m_file.front());
            m_file.pop_front();
            ++m_nEnCours;
        }
        tResultat r;
        const tSuite suite = Executer(*client, tache, bReessaye, r);
        std::lock_guard<std::mutex> verrou(m_mutex);
        --m_nEnCours;
        if (suite == tSuite::Rendu) {
            // This client's session is gone for good: the others take the file.
            if (m_bArret) {
                r.tache = std::move(tache);
                m_resultats.push_back(std::move(r));
            } else {
                m_file.push_front(std::move(tache));
            }
            m_cv.notify_all();
            break;
        }
        m_resultats.push_back(std::move(r));
        m_cv.notify_all();
    }
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        m_clients.erase(std::find(m_clients.begin(), m_clients.end(), client.get()));
    }
    m_cv.notify_all();
}

bool CEquipeTransferts::Finir(CFTPDirect& ftp, const std::function<void(tResultat&)>& traiter,
                              const std::function<bool()>& arreter, bool& bReessaye)
{
    bool bSession = true;
    for (;;) {
        if (arreter())
            Arreter();
        for (tResultat& r : Recolter())
            traiter(r);
        tTache tache;
        bool bTache = false;
        {
            std::unique_lock<std::mutex> verrou(m_mutex);
            if (!m_file.empty() && bSession) {
                tache = std::move(m_file.front());
                m_file.pop_front();
                bTache = true;
            } else if (m_file.empty() && m_nEnCours == 0 && m_resultats.empty()) {
                return bSession;
            } else {
                m_cv.wait_for(verrou, std::chrono::milliseconds(50));
            }
        }
        if (!bTache)
            continue;
        tResultat r;
        if (Executer(ftp, tache, bReessaye, r) == tSuite::Rendu) {
            // The walker's own session is gone for good: the walk stops.
            bSession = false;
            r.tache = std::move(tache);
            r.issue = tIssue::NonFait;
            traiter(r);
            Arreter();
            continue;
        }
        traiter(r);
    }
}
