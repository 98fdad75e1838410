#include "driver/CWinThreadEx.h"

#include <chrono>
#include <system_error>

namespace {
std::atomic<unsigned long> g_nProchainThreadID{1};
} // namespace

CWinThreadEx::CWinThreadEx() : m_nThreadID(g_nProchainThreadID++) {}

CWinThreadEx::~CWinThreadEx()
{
    // Terminer joins before deleting; an object that was never started, or
    // is destroyed some other way, must not leave a joinable thread behind.
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
}

bool CWinThreadEx::CreateThread()
{
    if (m_thread.joinable()) return false;
    {
        std::lock_guard<std::mutex> lock(m_mutexFile);
        m_bFileOuverte = true;
    }
    try {
        m_thread = std::thread(&CWinThreadEx::Run, this);
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(m_mutexFile);
        m_bFileOuverte = false;
        return false;
    }
    return true;
}

bool CWinThreadEx::PostThreadMessage(unsigned nMessage, std::uintptr_t wParam, std::intptr_t lParam)
{
    return PosterMessage(nMessage, wParam, lParam) != 0;
}

std::uint64_t CWinThreadEx::PosterMessage(unsigned nMessage, std::uintptr_t wParam, std::intptr_t lParam)
{
    std::uint64_t nNumero;
    {
        std::lock_guard<std::mutex> lock(m_mutexFile);
        if (!m_bFileOuverte) return 0;
        nNumero = ++m_nDernierNumero;
        m_file.push_back(tMessageTache{nMessage, wParam, lParam, nNumero});
    }
    m_condFile.notify_one();
    return nNumero;
}

bool CWinThreadEx::RetirerMessage(tMessageTache& msg, bool bAttendre)
{
    std::unique_lock<std::mutex> lock(m_mutexFile);
    if (bAttendre)
        m_condFile.wait(lock, [this] { return !m_file.empty(); });
    if (m_file.empty()) return false;
    msg = m_file.front();
    m_file.pop_front();
    return true;
}

void CWinThreadEx::Run()
{
    if (InitInstance()) {
        tMessageTache msg;
        for (;;) {
            RetirerMessage(msg, true);
            if (msg.nMessage == WM_QUIT_TACHE) break;
            TraiterMessage(msg);
        }
    }
    {
        // Messages still queued will never be handled: refuse new ones.
        std::lock_guard<std::mutex> lock(m_mutexFile);
        m_bFileOuverte = false;
        m_file.clear();
    }
    ExitInstance();
    Delete();
}

void CWinThreadEx::Delete()
{
    m_evtFin.SetEvent();
    // After the event: Terminer's poll covers the gap.
    m_bTermine = true;
}

int CWinThreadEx::TraiterMessages()
{
    if (m_nPompage != 1) return m_nPompage;
    tMessageTache msg;
    while (m_nPompage == 1 && RetirerMessage(msg, false)) {
        if (msg.nMessage == WM_QUIT_TACHE) {
            {
                std::lock_guard<std::mutex> lock(m_mutexFile);
                m_file.clear();
            }
            PostThreadMessage(WM_QUIT_TACHE, 0, 0);
            m_nPompage = 0;
            return 0;
        }
        TraiterMessage(msg);
    }
    return m_nPompage;
}

void CWinThreadEx::Terminer(unsigned long dwDelai)
{
    if (!m_thread.joinable()) {
        // Never started: nothing runs on this object.
        delete this;
        return;
    }
    PostThreadMessage(WM_QUIT_TACHE, 0, 0);
    m_evtFin.Attendre(dwDelai);

    for (unsigned i = 0; i < m_nNombreSondages && !m_bTermine; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_nIntervalleSondageMs));

    if (m_bTermine) {
        m_thread.join();
        delete this;
    } else {
        // Still running: there is no safe way to stop it, so let it go.
        m_thread.detach();
    }
}
