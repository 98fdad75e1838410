#include "common/CEvenementManuel.h"

#include <chrono>

void CEvenementManuel::SetEvent()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bSignale = true;
    }
    m_cond.notify_all();
}

void CEvenementManuel::ResetEvent()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSignale = false;
}

bool CEvenementManuel::EstSignale() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bSignale;
}

bool CEvenementManuel::Attendre(unsigned long nDelaiMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (nDelaiMs == INFINI) {
        m_cond.wait(lock, [this] { return m_bSignale; });
        return true;
    }
    return m_cond.wait_for(lock, std::chrono::milliseconds(nDelaiMs), [this] { return m_bSignale; });
}

namespace {
std::mutex g_mutexAttente;
FnAttenteRequete g_fnAttente;
} // namespace

FnAttenteRequete DefinirAttenteRequete(FnAttenteRequete fn)
{
    std::lock_guard<std::mutex> lock(g_mutexAttente);
    std::swap(g_fnAttente, fn);
    return fn;
}

bool AttendreRequete(CEvenementManuel& evenement, unsigned long nDelaiMs)
{
    FnAttenteRequete fn;
    {
        std::lock_guard<std::mutex> lock(g_mutexAttente);
        fn = g_fnAttente;
    }
    return fn ? fn(evenement, nDelaiMs) : evenement.Attendre(nDelaiMs);
}
