#pragma once
// CWinThreadEx: a thread with its own message queue and an orderly, waitable end.
//
// Messages (a number and two parameters) are posted from any thread and handled
// on this thread one at a time, in order of arrival, by TraiterMessage. The
// quit message ends the loop; the thread then runs ExitInstance and Delete.
// The object outlives its thread: Terminer asks the thread to end, waits for it
// and deletes the object.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "common/Export.h"
#include "common/CEvenementManuel.h"

// Message numbers of the queue.
constexpr unsigned WM_QUIT_TACHE = 0x0012;   // ends the message loop
constexpr unsigned WM_USER_TACHE = 0x0400;   // first number free for the thread's own messages

struct tMessageTache
{
    unsigned nMessage = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::uint64_t nNumero = 0;   // order of posting, from 1; given by PostThreadMessage
};

class CWinThreadEx
{
public:
    static constexpr unsigned long INFINI = CEvenementManuel::INFINI;

    CWinThreadEx();
    virtual ~CWinThreadEx();
    CWinThreadEx(const CWinThreadEx&) = delete;
    CWinThreadEx& operator=(const CWinThreadEx&) = delete;

    // Starts the thread (InitInstance, then the message loop). False when the
    // system could not start it; the object is then still the caller's.
    bool CreateThread();

    // Queues a message for the thread. False once the loop has ended (or
    // before it was started): nobody would ever handle it.
    bool PostThreadMessage(unsigned nMessage, std::uintptr_t wParam, std::intptr_t lParam);
    // The same, giving the message's number (0 when it was not queued), so the
    // caller can tell when this very message has been handled.
    std::uint64_t PosterMessage(unsigned nMessage, std::uintptr_t wParam, std::intptr_t lParam);

    // A number that identifies the thread for the life of the process.
    unsigned long GetThreadId() const { return m_nThreadID; }

    // True once the thread has run its last step.
    bool EstTermine() const { return m_bTermine.load(); }

    // Handles the messages already waiting, on the calling thread, which must be
    // this object's thread (from inside a handler). On the quit message it drops
    // what is left, queues a new quit message for the loop and returns 0 from
    // then on; otherwise 1.
    virtual int TraiterMessages();

    // Ends the thread and deletes the object (call from another thread, never
    // from the thread itself). Posts the quit message and waits up to dwDelai ms
    // for the thread's end. A thread that does not end is abandoned: the object
    // is then leaked rather than deleted under a running thread.
    virtual void Terminer(unsigned long dwDelai);

protected:
    // Runs first on the new thread; 0 skips the message loop.
    virtual int InitInstance() { return 1; }
    // Runs on the thread after the loop; its result is the thread's exit code.
    virtual int ExitInstance() { return 0; }
    // Last step on the thread: signals the end to Terminer.
    virtual void Delete();
    // Handles one message other than the quit message.
    virtual void TraiterMessage(const tMessageTache& msg) { (void)msg; }

    // How long Terminer looks for the end flag once the end was signalled (or
    // the wait ran out): nNombre looks, nIntervalleMs apart.
    void SetSondageFin(unsigned nNombre, unsigned nIntervalleMs)
    {
        m_nNombreSondages = nNombre;
        m_nIntervalleSondageMs = nIntervalleMs;
    }

private:
    void Run();
    bool RetirerMessage(tMessageTache& msg, bool bAttendre);

    std::atomic<bool> m_bTermine{false};
    unsigned long m_nThreadID;
    std::thread m_thread;

    std::mutex m_mutexFile;
    std::condition_variable m_condFile;
    std::deque<tMessageTache> m_file;
    std::uint64_t m_nDernierNumero = 0;
    bool m_bFileOuverte = false;   // true while the loop accepts messages

    CEvenementManuel m_evtFin;     // set by the thread as it ends
    int m_nPompage = 1;            // TraiterMessages: 0 once a quit message was seen (thread only)
    unsigned m_nNombreSondages = 1000;
    unsigned m_nIntervalleSondageMs = 10;
};
