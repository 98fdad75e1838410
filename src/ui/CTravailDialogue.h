#pragma once
// Runs a dialog's long work (FTP and file operations) on a thread of its own
// while the dialog's thread waits through the front end (IFrontal::
// AttendreOperation): the windows stay painted and the user's input is
// dropped, except on the operation's live control (its Cancel button). The
// handler that starts the work stays synchronous: Executer returns once the
// work has ended.
//
// The work may ask something of the dialog's thread (a question to the user)
// with SurFilDialogue, which returns once it has run there.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "common/CEvenementManuel.h"

class IControle;
class IFrontal;

class CTravailDialogue
{
public:
    // How often the waiting thread calls its `tour` while the work runs.
    static constexpr unsigned long PERIODE_MS = 100;

    CTravailDialogue() = default;
    CTravailDialogue(const CTravailDialogue&) = delete;
    CTravailDialogue& operator=(const CTravailDialogue&) = delete;

    // Runs `travail` on a new thread and waits for it, with pLibre live
    // (may be null), calling `tour` (may be empty) on the calling thread
    // about every PERIODE_MS and once at the end. Called on the work's own
    // thread, or again while a wait runs, it runs `travail` inline. An
    // exception that leaves `travail` is thrown again here.
    void Executer(const std::function<void()>& travail, IControle* pLibre, const std::function<void()>& tour);

    // On the work's thread: runs fn on the thread waiting in Executer and
    // returns once it has run. Anywhere else: runs it at once.
    void SurFilDialogue(const std::function<void()>& fn);

    // True on the thread that runs the work.
    bool SurFilTravail() const;
    // True while Executer waits.
    bool EnCours() const;

private:
    struct tDemande
    {
        const std::function<void()>* pFn;
        bool bFaite;
    };
    void TraiterDemandes();
    // Waits for the work to end, answering its requests; through the front
    // end when pFrontal is given, else with a plain wait.
    void Attendre(IFrontal* pFrontal, IControle* pLibre, const std::function<void()>& tour);

    mutable std::mutex m_mutex;
    std::condition_variable m_condFaite;
    CEvenementManuel m_reveil;  // the work ended, or a request waits
    std::vector<tDemande*> m_demandes;
    std::thread::id m_idTravail;
    bool m_bFini = false;
    int m_nEnCours = 0;
};
