#pragma once
// A manual-reset event: once set it stays set, releasing every waiter, until
// someone resets it. The facade and its worker use one as their completion
// event; the thread base uses one to learn that its thread has ended.

#include <condition_variable>
#include <functional>
#include <mutex>

#include "common/Export.h"

class OTDR_EXPORT CEvenementManuel
{
public:
    static constexpr unsigned long INFINI = 0xFFFFFFFFul;

    explicit CEvenementManuel(bool bSignale = false) : m_bSignale(bSignale) {}
    CEvenementManuel(const CEvenementManuel&) = delete;
    CEvenementManuel& operator=(const CEvenementManuel&) = delete;

    void SetEvent();
    void ResetEvent();
    bool EstSignale() const;
    // True when the event is (or becomes) set within nDelaiMs; INFINI waits without limit.
    bool Attendre(unsigned long nDelaiMs);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_bSignale;
};

// How the facade waits for its worker. By default a plain blocking wait; a GUI
// front end may install its own (for instance one that keeps its windows
// painting while the caller is its GUI thread). The function must return true
// exactly when the event was set within the limit.
using FnAttenteRequete = std::function<bool(CEvenementManuel& evenement, unsigned long nDelaiMs)>;

// Installs the wait function (an empty one restores the plain wait). Returns the previous one.
OTDR_EXPORT FnAttenteRequete DefinirAttenteRequete(FnAttenteRequete fn);

// Waits on the event through the installed function.
bool AttendreRequete(CEvenementManuel& evenement, unsigned long nDelaiMs);
