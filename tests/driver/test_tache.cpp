// The thread base, the completion event and the numeric-locale switch.

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <mutex>
#include <thread>
#include <vector>

#include "LocaleTest.h"
#include "common/CEvenementManuel.h"
#include "driver/CWTSetLocale.h"
#include "driver/CWinThreadEx.h"

namespace {

constexpr unsigned MSG_NOTER = WM_USER_TACHE + 1;       // records wParam
constexpr unsigned MSG_POMPER = WM_USER_TACHE + 2;      // posts wParam messages, then pumps
constexpr unsigned MSG_SIGNALER = WM_USER_TACHE + 3;    // sets the test's event
constexpr unsigned MSG_QUITTER_DEDANS = WM_USER_TACHE + 4;  // posts quit, then pumps
constexpr unsigned MSG_BLOQUER = WM_USER_TACHE + 5;     // waits until the test's event is set

struct tJournal
{
    std::mutex mutex;
    std::vector<long> valeurs;   // what the handlers saw, in order
    std::vector<int> retoursPompage;
    bool exitInstance = false;
    bool surThreadPropre = true;
    std::atomic<bool> detruit{false};
};

class CThreadTest : public CWinThreadEx
{
public:
    CThreadTest(tJournal& journal, CEvenementManuel& evt) : m_journal(journal), m_evt(evt) {}
    ~CThreadTest() override { m_journal.detruit = true; }

protected:
    int InitInstance() override
    {
        m_idThread = std::this_thread::get_id();
        return 1;
    }
    int ExitInstance() override
    {
        std::lock_guard<std::mutex> lock(m_journal.mutex);
        m_journal.exitInstance = true;
        return 0;
    }
    void TraiterMessage(const tMessageTache& msg) override
    {
        {
            std::lock_guard<std::mutex> lock(m_journal.mutex);
            if (std::this_thread::get_id() != m_idThread) m_journal.surThreadPropre = false;
        }
        switch (msg.nMessage) {
        case MSG_NOTER: {
            std::lock_guard<std::mutex> lock(m_journal.mutex);
            m_journal.valeurs.push_back(static_cast<long>(msg.wParam));
            break;
        }
        case MSG_POMPER: {
            for (std::uintptr_t i = 0; i < msg.wParam; ++i) PostThreadMessage(MSG_NOTER, 100 + i, 0);
            int r = TraiterMessages();
            std::lock_guard<std::mutex> lock(m_journal.mutex);
            m_journal.valeurs.push_back(-1);   // end of the pumping handler
            m_journal.retoursPompage.push_back(r);
            m_evt.SetEvent();
            break;
        }
        case MSG_QUITTER_DEDANS: {
            PostThreadMessage(WM_QUIT_TACHE, 0, 0);
            PostThreadMessage(MSG_NOTER, 999, 0);   // dropped with the quit
            int r = TraiterMessages();
            int r2 = TraiterMessages();
            std::lock_guard<std::mutex> lock(m_journal.mutex);
            m_journal.retoursPompage.push_back(r);
            m_journal.retoursPompage.push_back(r2);
            break;
        }
        case MSG_SIGNALER: m_evt.SetEvent(); break;
        case MSG_BLOQUER: m_evt.Attendre(CEvenementManuel::INFINI); break;
        default: break;
        }
    }

public:
    using CWinThreadEx::SetSondageFin;


private:
    tJournal& m_journal;
    CEvenementManuel& m_evt;
    std::thread::id m_idThread;
};

} // namespace

TEST(ManualResetEvent, StaysSetUntilReset)
{
    CEvenementManuel evt;
    EXPECT_FALSE(evt.Attendre(0));
    EXPECT_FALSE(evt.Attendre(20));

    std::vector<std::thread> attentes;
    std::atomic<int> liberes{0};
    for (int i = 0; i < 3; ++i)
        attentes.emplace_back([&] { if (evt.Attendre(CEvenementManuel::INFINI)) ++liberes; });
    evt.SetEvent();
    for (auto& t : attentes) t.join();
    EXPECT_EQ(liberes.load(), 3);
    EXPECT_TRUE(evt.Attendre(0));     // manual reset: still set
    evt.ResetEvent();
    EXPECT_FALSE(evt.EstSignale());

    // An installed wait function is what the facade's requests go through.
    int appels = 0;
    auto precedente = DefinirAttenteRequete([&](CEvenementManuel& e, unsigned long delai) {
        ++appels;
        return e.Attendre(delai);
    });
    evt.SetEvent();
    EXPECT_TRUE(AttendreRequete(evt, 10));
    EXPECT_EQ(appels, 1);
    DefinirAttenteRequete(precedente);
    EXPECT_TRUE(AttendreRequete(evt, 10));
    EXPECT_EQ(appels, 1);
}

TEST(WorkerThread, HandlesMessagesOneAtATimeInOrder)
{
    tJournal journal;
    CEvenementManuel evt;
    auto* t = new CThreadTest(journal, evt);
    EXPECT_FALSE(t->PostThreadMessage(MSG_NOTER, 1, 0)) << "no loop yet";
    ASSERT_TRUE(t->CreateThread());
    for (std::uintptr_t i = 0; i < 200; ++i) ASSERT_TRUE(t->PostThreadMessage(MSG_NOTER, i, 0));
    t->PostThreadMessage(MSG_SIGNALER, 0, 0);
    ASSERT_TRUE(evt.Attendre(10000));
    {
        std::lock_guard<std::mutex> lock(journal.mutex);
        ASSERT_EQ(journal.valeurs.size(), 200u);
        for (long i = 0; i < 200; ++i) EXPECT_EQ(journal.valeurs[static_cast<size_t>(i)], i);
        EXPECT_TRUE(journal.surThreadPropre);
    }
    t->Terminer(CWinThreadEx::INFINI);
    EXPECT_TRUE(journal.exitInstance);
    EXPECT_TRUE(journal.detruit);
}

TEST(WorkerThread, PumpingRunsQueuedMessagesAndHonoursQuit)
{
    tJournal journal;
    CEvenementManuel evt;
    auto* t = new CThreadTest(journal, evt);
    ASSERT_TRUE(t->CreateThread());
    unsigned long id = t->GetThreadId();
    // The three messages posted inside the handler run before it returns.
    t->PostThreadMessage(MSG_POMPER, 3, 0);
    ASSERT_TRUE(evt.Attendre(10000));
    {
        std::lock_guard<std::mutex> lock(journal.mutex);
        EXPECT_EQ(journal.valeurs, (std::vector<long>{100, 101, 102, -1}));
        EXPECT_EQ(journal.retoursPompage, (std::vector<int>{1}));
    }
    // A quit met while pumping drops what follows and still ends the loop.
    evt.ResetEvent();
    t->PostThreadMessage(MSG_QUITTER_DEDANS, 0, 0);
    for (int i = 0; i < 500 && !t->EstTermine(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(t->EstTermine());
    EXPECT_FALSE(t->PostThreadMessage(MSG_NOTER, 5, 0)) << "the loop has ended";
    {
        std::lock_guard<std::mutex> lock(journal.mutex);
        EXPECT_EQ(journal.retoursPompage, (std::vector<int>{1, 0, 0}));
        EXPECT_EQ(journal.valeurs.size(), 4u) << "999 was handled";
        EXPECT_TRUE(journal.exitInstance);
    }
    EXPECT_NE(id, 0ul);
    t->Terminer(CWinThreadEx::INFINI);   // thread already over: deletes at once
    EXPECT_TRUE(journal.detruit);

    // Never started: Terminer only deletes.
    tJournal journal2;
    (new CThreadTest(journal2, evt))->Terminer(CWinThreadEx::INFINI);
    EXPECT_TRUE(journal2.detruit);
    EXPECT_FALSE(journal2.exitInstance);
}

TEST(WorkerThread, EndAbandonsAThreadThatNeverFinishes)
{
    tJournal journal;
    CEvenementManuel evt;
    auto* t = new CThreadTest(journal, evt);
    t->SetSondageFin(3, 1);
    ASSERT_TRUE(t->CreateThread());
    t->PostThreadMessage(MSG_BLOQUER, 0, 0);
    t->Terminer(20);   // returns; the object is left alone, not deleted under its thread
    EXPECT_FALSE(journal.detruit);
    EXPECT_FALSE(t->EstTermine());

    // Once unblocked, the thread still sees its quit message and ends normally.
    evt.SetEvent();
    for (int i = 0; i < 500 && !t->EstTermine(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(t->EstTermine());
    EXPECT_TRUE(journal.exitInstance);
    delete t;   // detached and finished: only the test still refers to it
}

TEST(ThreadLocale, SwitchesOnlyThisThreadToCAndRestores)
{
    // Already "C": nothing is switched or restored.
    {
        CWTSetLocale l;
        l.Appliquer();
        EXPECT_EQ(l.GetCategorie(), 0);
        EXPECT_EQ(l.GetLocaleSauvee(), CString(CWTSetLocale::MARQUEUR_NON_INITIALISE));
        l.Restaurer();
        EXPECT_EQ(CWTSetLocale::NomLocaleNumerique(), CString(L"C"));
    }

    const std::string virgule = LocaleVirgule();
    if (virgule.empty()) GTEST_SKIP() << "no locale with a decimal comma can be made here";
    const std::wstring wvirgule(virgule.begin(), virgule.end());

    // The process's locale set by the host.
    ASSERT_NE(setlocale(LC_NUMERIC, virgule.c_str()), nullptr);
    EXPECT_EQ(FormaterUnEtDemi(), "1,5");
    {
        CWTSetLocale l;
        l.Appliquer();
        EXPECT_EQ(l.GetCategorie(), LC_NUMERIC);
        EXPECT_EQ(l.GetLocaleSauvee(), CString(wvirgule));
        EXPECT_EQ(FormaterUnEtDemi(), "1.5");
        std::string autreThread;
        std::thread([&] { autreThread = FormaterUnEtDemi(); }).join();
        EXPECT_EQ(autreThread, "1,5") << "other threads keep the process's locale";
        l.Restaurer();
        EXPECT_EQ(l.GetCategorie(), 0);
        EXPECT_EQ(l.GetLocaleSauvee(), CString(CWTSetLocale::MARQUEUR_NON_INITIALISE));
        EXPECT_EQ(FormaterUnEtDemi(), "1,5");
    }
    // Left applied: the destructor puts the thread back.
    {
        CWTSetLocale l;
        l.Appliquer();
        EXPECT_EQ(FormaterUnEtDemi(), "1.5");
    }
    EXPECT_EQ(FormaterUnEtDemi(), "1,5");
    setlocale(LC_NUMERIC, "C");

    // A thread with a locale of its own gets that one back.
    locale_t propre = newlocale(LC_NUMERIC_MASK, virgule.c_str(), static_cast<locale_t>(nullptr));
    ASSERT_NE(propre, nullptr);
    locale_t avant = uselocale(propre);
    {
        EXPECT_EQ(CWTSetLocale::NomLocaleNumerique(), CString(wvirgule));
        CWTSetLocale l;
        l.Appliquer();
        EXPECT_EQ(FormaterUnEtDemi(), "1.5");
        l.Restaurer();
        EXPECT_EQ(uselocale(static_cast<locale_t>(nullptr)), propre);
    }
    uselocale(avant);
    freelocale(propre);
}
