#include "ui/CTravailDialogue.h"

#include <exception>
#include <system_error>

#include "ui/Controles.h"

namespace {

// Joins the work's thread on every way out of Executer: if the wait itself
// throws, the work's questions are still answered until it ends.
class CJointure
{
public:
    CJointure(std::thread& fil, const std::function<void()>& attendreFin) : m_fil(fil), m_attendreFin(attendreFin) {}
    ~CJointure()
    {
        if (!m_fil.joinable())
            return;
        try {
            m_attendreFin();
        } catch (...) {
            // Joined below whatever the front end does.
        }
        m_fil.join();
    }
    CJointure(const CJointure&) = delete;
    CJointure& operator=(const CJointure&) = delete;

private:
    std::thread& m_fil;
    const std::function<void()>& m_attendreFin;
};

} // namespace

void CTravailDialogue::Executer(const std::function<void()>& travail, IControle* pLibre,
                                const std::function<void()>& tour)
{
    if (SurFilTravail() || EnCours()) {
        travail();
        return;
    }
    std::exception_ptr erreur;
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        m_bFini = false;
        ++m_nEnCours;
    }
    m_reveil.ResetEvent();
    std::thread fil;
    try {
        fil = std::thread([&] {
            {
                std::lock_guard<std::mutex> verrou(m_mutex);
                m_idTravail = std::this_thread::get_id();
            }
            try {
                travail();
            } catch (...) {
                erreur = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> verrou(m_mutex);
                m_bFini = true;
            }
            m_reveil.SetEvent();
        });
    } catch (const std::system_error&) {
        // No thread to be had: the work runs here, as it always did.
        {
            std::lock_guard<std::mutex> verrou(m_mutex);
            --m_nEnCours;
        }
        travail();
        if (tour) tour();
        return;
    }
    {
        const std::function<void()> attendreFin = [this] { Attendre(nullptr, nullptr, {}); };
        CJointure jointure(fil, attendreFin);
        Attendre(FrontalCourant().get(), pLibre, tour);
    }
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        m_idTravail = std::thread::id();
        --m_nEnCours;
    }
    if (erreur) std::rethrow_exception(erreur);
}

void CTravailDialogue::Attendre(IFrontal* pFrontal, IControle* pLibre, const std::function<void()>& tour)
{
    for (;;) {
        if (pFrontal)
            pFrontal->AttendreOperation(m_reveil, PERIODE_MS, pLibre);
        else
            m_reveil.Attendre(PERIODE_MS);
        // Reset before looking: a wake-up that comes after the look leaves
        // the event set for the next turn.
        m_reveil.ResetEvent();
        TraiterDemandes();
        bool bFini;
        {
            std::lock_guard<std::mutex> verrou(m_mutex);
            bFini = m_bFini;
        }
        if (tour) tour();
        if (bFini) break;
    }
}

void CTravailDialogue::SurFilDialogue(const std::function<void()>& fn)
{
    if (!SurFilTravail()) {
        fn();
        return;
    }
    tDemande demande{&fn, false};
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        m_demandes.push_back(&demande);
    }
    m_reveil.SetEvent();
    std::unique_lock<std::mutex> verrou(m_mutex);
    m_condFaite.wait(verrou, [&] { return demande.bFaite; });
}

void CTravailDialogue::TraiterDemandes()
{
    for (;;) {
        tDemande* demande;
        {
            std::lock_guard<std::mutex> verrou(m_mutex);
            if (m_demandes.empty()) return;
            demande = m_demandes.front();
            m_demandes.erase(m_demandes.begin());
        }
        try {
            (*demande->pFn)();
        } catch (...) {
            // The work waits for the answer whatever happens to the question.
        }
        {
            std::lock_guard<std::mutex> verrou(m_mutex);
            demande->bFaite = true;
        }
        m_condFaite.notify_all();
    }
}

bool CTravailDialogue::SurFilTravail() const
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    return m_idTravail != std::thread::id() && m_idTravail == std::this_thread::get_id();
}

bool CTravailDialogue::EnCours() const
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    return m_nEnCours > 0;
}
