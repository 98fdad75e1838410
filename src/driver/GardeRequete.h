#pragma once
// One facade request at a time on a thread.
//
// While a facade request waits on a GUI thread, the front end's wait (see
// DefinirAttenteRequete in common/CEvenementManuel.h) runs that thread's event
// loop so the wait window paints; a host timer or a queued call may then make
// another facade request from inside the wait. That request must be refused at
// once, before it resets the completion event or posts anything to the worker:
// nested, it would be ended by the first request's completion, and the worker
// would run it after the first had returned.
//
// Every facade entry point that waits or runs a dialog takes a guard first:
//
//     CGardeRequete garde;
//     if (!garde.Acceptee()) return <refusal>;   // 0; -2 for the retrievals
//
// Header-only and meant for the core (the facade): another library including it
// would keep its own flag.
//
// StartDriver refused returns 0 and queues no stop; StopDriver refused does
// nothing (and still returns 1); FileTransfert, FileTransfertAvecDemandeLogin
// and ConfigDriver refused show nothing and return 0.

class CGardeRequete
{
public:
    CGardeRequete() : m_bAcceptee(!EnCours()) { if (m_bAcceptee) EnCours() = true; }
    ~CGardeRequete() { if (m_bAcceptee) EnCours() = false; }
    CGardeRequete(const CGardeRequete&) = delete;
    CGardeRequete& operator=(const CGardeRequete&) = delete;

    bool Acceptee() const { return m_bAcceptee; }

private:
    static bool& EnCours()
    {
        static thread_local bool bEnCours = false;
        return bEnCours;
    }
    bool m_bAcceptee;
};
