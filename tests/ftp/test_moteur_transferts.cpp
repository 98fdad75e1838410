// The transfer engine against real servers: the order of its events, a cancel
// from another thread, its destructor during a job, the overwrite question and
// a failure's cause, as a subscriber sees them.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "ServeurFtpTest.h"
#include "common/Conversions.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CMoteurTransferts.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tOperation = CMoteurTransferts::tOperation;
using tIssue = CMoteurTransferts::tIssueFichier;
using tSuite = CMoteurTransferts::tSuite;

namespace {

CString Texte(const fs::path& p) { return CString(Utf8ToWide(p.string())); }
std::string Fil(const CString& s) { return WideToUtf8(s); }

void Ecrire(const fs::path& p, const std::string& contenu)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << contenu;
}

std::string Lire(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Every file below a directory, directories left out.
std::set<std::string> Fichiers(const fs::path& racine)
{
    std::set<std::string> r;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(racine, ec), fin; !ec && it != fin; it.increment(ec))
        if (!it->is_directory())
            r.insert(fs::relative(it->path(), racine).generic_string());
    return r;
}

size_t Threads()
{
    size_t n = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/task")) {
        (void)e;
        ++n;
    }
    return n;
}

// Notes every event as a line ("dir sub", "start a.sor", "bytes a.sor",
// "end a.sor done", "job"), from whichever thread; answers the question as
// told per file; can wake a waiter at a file's first bytes.
class CJournal : public CMoteurTransferts::IAbonne
{
public:
    void Repertoire(const CMoteurTransferts::tRepertoire& d) override { Noter("dir " + Fil(d.strRelatif)); }
    tSuite Question(const CMoteurTransferts::tFichier& f) override
    {
        Noter("ask " + Fil(f.strRelatif));
        const auto it = reponses.find(Fil(f.strRelatif));
        return it == reponses.end() ? tSuite::Faire : it->second;
    }
    void Debut(const CMoteurTransferts::tFichier& f) override { Noter("start " + Fil(f.strRelatif)); }
    void Octets(const CMoteurTransferts::tFichier& f, uint64_t nFaits, uint64_t) override
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        if (m_lignes.empty() || m_lignes.back() != "bytes " + Fil(f.strRelatif))
            m_lignes.push_back("bytes " + Fil(f.strRelatif));
        if (nFaits > 0)
            m_bOctets = true;
        m_cv.notify_all();
    }
    void Fin(const CMoteurTransferts::tFichier& f, tIssue issue, const CString& strCause) override
    {
        const char* quoi = issue == tIssue::Fait ? " done" : issue == tIssue::Echoue ? " failed" : " not done";
        std::lock_guard<std::mutex> verrou(m_mutex);
        m_lignes.push_back("end " + Fil(f.strRelatif) + quoi);
        m_causes[Fil(f.strRelatif)] = Fil(strCause);
    }
    void Termine(const CMoteurTransferts::tResultat&) override { Noter("job"); }

    bool AttendreOctets()
    {
        std::unique_lock<std::mutex> verrou(m_mutex);
        return m_cv.wait_for(verrou, 30s, [this] { return m_bOctets; });
    }
    std::vector<std::string> Lignes() const
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        return m_lignes;
    }
    std::string Cause(const std::string& nom) const
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        const auto it = m_causes.find(nom);
        return it == m_causes.end() ? std::string("(none)") : it->second;
    }

    std::map<std::string, tSuite> reponses;

private:
    void Noter(const std::string& ligne)
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        m_lignes.push_back(ligne);
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_lignes;
    std::map<std::string, std::string> m_causes;
    bool m_bOctets = false;
};

size_t Position(const std::vector<std::string>& lignes, const std::string& ligne)
{
    return static_cast<size_t>(std::find(lignes.begin(), lignes.end(), ligne) - lignes.begin());
}

class MoteurTest : public ::testing::Test
{
protected:
    bool Demarrer(const char* pszScript, const std::vector<std::string>& options)
    {
        m_serveur = std::make_unique<CServeurFtpTest>(pszScript);
        if (m_preparer)
            m_preparer(m_serveur->Racine());
        if (!m_serveur->Demarrer(options))
            return false;
        m_ftp = Client();
        return m_ftp != nullptr;
    }
    std::unique_ptr<CFTPDirect> Client() const
    {
        auto ftp = std::make_unique<CFTPDirect>(L"127.0.0.1", m_serveur->Port());
        ftp->SetDelaiConnexion(2s);
        ftp->SetDelaiReponse(2s);
        ftp->SetDelaiBlocage(2s);
        return ftp->FtpConnexion(L"test", L"secret") == 1 ? std::move(ftp) : nullptr;
    }
    CMoteurTransferts::tTravail Travail(tOperation e, const char* pszDistant) const
    {
        return CMoteurTransferts::tTravail::De(e, CString(Utf8ToWide(pszDistant)), Texte(Local()));
    }
    fs::path Local() const { return m_local.Chemin() / "copy"; }

    std::function<void(const fs::path&)> m_preparer;
    std::unique_ptr<CServeurFtpTest> m_serveur;
    std::unique_ptr<CFTPDirect> m_ftp;
    CRepertoireTemp m_local{"otdr-moteur"};
};

} // namespace

// One client and three: each directory's totals come before its files, each
// file starts before its bytes and ends once, the job ends last and once; the
// file the server refuses ends failed with the server's reply as its cause.
TEST_F(MoteurTest, ATreeDownloadTellsItsEventsInOrderAndAFailuresCause)
{
    m_preparer = [](const fs::path& r) {
        Ecrire(r / "T/a.sor", std::string(70000, 'a'));
        Ecrire(r / "T/bad.sor", "refused");
        Ecrire(r / "T/sub/b.sor", std::string(50000, 'b'));
        Ecrire(r / "T/sub/c.sor", "c");
    };
    ASSERT_TRUE(Demarrer(OTDR_TEST_HOSTILE_SERVER, {"--retr", "bad.sor=refuse"}));
    for (const int nSessions : {1, 3}) {
        SCOPED_TRACE("sessions: " + std::to_string(nSessions));
        fs::remove_all(Local());
        CJournal journal;
        CMoteurTransferts moteur(*m_ftp, journal);
        CMoteurTransferts::tTravail travail = Travail(tOperation::TelechargerArbre, "/T");
        travail.SetParallele(nSessions, [this] { return Client(); });
        ASSERT_TRUE(moteur.Lancer(travail));
        EXPECT_FALSE(moteur.Lancer(travail)) << "one job at a time";
        const CMoteurTransferts::tResultat r = moteur.Attendre();

        const std::vector<std::string> l = journal.Lignes();
        ASSERT_FALSE(l.empty());
        EXPECT_EQ(l.back(), "job");
        EXPECT_EQ(std::count(l.begin(), l.end(), "job"), 1);
        for (const auto& [fichier, rep, issue] : {std::tuple{"a.sor", "", " done"}, {"bad.sor", "", " failed"},
                                                  {"sub/b.sor", "sub", " done"}, {"sub/c.sor", "sub", " done"}}) {
            SCOPED_TRACE(fichier);
            const std::string fin = std::string("end ") + fichier + issue;
            const std::string debutFin = std::string("end ") + fichier + " ";
            EXPECT_EQ(std::count_if(l.begin(), l.end(), [&debutFin](const std::string& s) {
                          return s.rfind(debutFin, 0) == 0;
                      }), 1);
            EXPECT_LT(Position(l, std::string("dir ") + rep), Position(l, std::string("start ") + fichier));
            EXPECT_LT(Position(l, std::string("start ") + fichier), Position(l, fin));
            const size_t nOctets = Position(l, std::string("bytes ") + fichier);
            if (nOctets < l.size()) {
                EXPECT_LT(Position(l, std::string("start ") + fichier), nOctets);
                EXPECT_LT(nOctets, Position(l, fin));
            }
        }
        EXPECT_NE(journal.Cause("bad.sor").find("550"), std::string::npos) << journal.Cause("bad.sor");
        EXPECT_EQ(journal.Cause("a.sor"), "");
        EXPECT_EQ(r.parcours.nFichiers, 3);
        ASSERT_EQ(r.parcours.echecs.size(), 1u);
        EXPECT_EQ(Fil(r.parcours.echecs[0].strChemin), "/T/bad.sor");
        EXPECT_EQ(Fichiers(Local()), (std::set<std::string>{"a.sor", "sub/b.sor", "sub/c.sor"}));
    }
    // An engine whose job has ended leaves its client as it was.
    EXPECT_FALSE(m_ftp->EstAnnule());
    EXPECT_EQ(m_ftp->SetCurrentDirectoryW(L"/T", 0), 0);
}

// A cancel from another thread, or the engine's end, while a slow file is in
// flight: the job ends with that file not done, nothing of it on disk, and the
// engine's thread gone.
TEST_F(MoteurTest, ACancelOrTheEnginesEndStopsTheFileInFlightAndLeavesNoPartialTarget)
{
    m_preparer = [](const fs::path& r) { Ecrire(r / "G/big.sor", std::string(3000000, 'g')); };
    ASSERT_TRUE(Demarrer(OTDR_TEST_FTP_SERVER, {"--throttle", "100000"}));
    // A runtime's own threads (the thread sanitizer's) start with the first
    // thread made: they are there before the count below.
    std::thread([] {}).join();
    enum class tFacon { Annuler, Detruire };
    // With three clients the file goes to one of the others: the cancel reaches it too.
    for (const auto& [facon, nSessions] : {std::pair{tFacon::Annuler, 1}, {tFacon::Detruire, 1}, {tFacon::Annuler, 3}}) {
        SCOPED_TRACE((facon == tFacon::Annuler ? "cancel, sessions: " : "destructor, sessions: ") +
                     std::to_string(nSessions));
        fs::remove_all(Local());
        const size_t nThreads = Threads();
        CJournal journal;
        CMoteurTransferts::tResultat r;
        {
            CMoteurTransferts moteur(*m_ftp, journal);
            CMoteurTransferts::tTravail travail = Travail(tOperation::TelechargerArbre, "/G");
            travail.SetParallele(nSessions, [this] { return Client(); });
            ASSERT_TRUE(moteur.Lancer(travail));
            ASSERT_TRUE(journal.AttendreOctets());
            if (facon == tFacon::Annuler) {
                moteur.Annuler();
                r = moteur.Attendre();
                EXPECT_TRUE(r.parcours.bArrete);
                EXPECT_EQ(r.parcours.nFichiers, 0);
            }
        }
        EXPECT_EQ(Threads(), nThreads);
        if (facon == tFacon::Detruire)
            EXPECT_FALSE(m_ftp->EstAnnule()) << "the engine's own cancel ends with it";
        const std::vector<std::string> l = journal.Lignes();
        EXPECT_EQ(std::count(l.begin(), l.end(), "end big.sor not done"), 1);
        EXPECT_EQ(std::count(l.begin(), l.end(), "job"), 1);
        EXPECT_EQ(l.back(), "job");
        EXPECT_TRUE(Fichiers(Local()).empty()) << *Fichiers(Local()).begin();
    }
    // The client serves the next job once the cancel is behind it.
    CJournal journal;
    CMoteurTransferts moteur(*m_ftp, journal);
    ASSERT_TRUE(moteur.Lancer(Travail(tOperation::SupprimerArbre, "/G")));
    EXPECT_TRUE(moteur.Attendre().parcours.Complet());
    EXPECT_FALSE(fs::exists(m_serveur->Racine() / "G"));
}

// Both ways: a file the target already holds is asked about; the
// subscriber's answer leaves it or replaces it; a new file is not asked.
TEST_F(MoteurTest, TheOverwriteQuestionIsAnsweredByTheSubscriber)
{
    ASSERT_TRUE(Demarrer(OTDR_TEST_FTP_SERVER, {}));
    for (const tOperation e : {tOperation::TelechargerArbre, tOperation::EnvoyerArbre}) {
        const bool bDescente = e == tOperation::TelechargerArbre;
        SCOPED_TRACE(bDescente ? "download" : "upload");
        const fs::path source = bDescente ? m_serveur->Racine() / "Q" : Local();
        const fs::path cible = bDescente ? Local() : m_serveur->Racine() / "Q";
        fs::remove_all(source);
        fs::remove_all(cible);
        for (const char* nom : {"keep.sor", "replace.sor", "new.sor"})
            Ecrire(source / nom, std::string("new ") + nom);
        Ecrire(cible / "keep.sor", "old keep");
        Ecrire(cible / "replace.sor", "old replace");

        CJournal journal;
        journal.reponses["keep.sor"] = tSuite::Passer;
        CMoteurTransferts moteur(*m_ftp, journal);
        CMoteurTransferts::tTravail travail = Travail(e, "/Q");
        travail.eRemplacement = CMoteurTransferts::tRemplacement::Demander;
        ASSERT_TRUE(moteur.Lancer(travail));
        const CMoteurTransferts::tResultat r = moteur.Attendre();

        const std::vector<std::string> l = journal.Lignes();
        EXPECT_EQ(std::count(l.begin(), l.end(), "ask keep.sor"), 1);
        EXPECT_EQ(std::count(l.begin(), l.end(), "ask replace.sor"), 1);
        EXPECT_EQ(std::count(l.begin(), l.end(), "ask new.sor"), 0);
        EXPECT_EQ(std::count(l.begin(), l.end(), "start keep.sor"), 0);
        EXPECT_EQ(r.parcours.nPasses, 1);
        EXPECT_EQ(r.parcours.nFichiers, 2);
        EXPECT_EQ(Lire(cible / "keep.sor"), "old keep");
        EXPECT_EQ(Lire(cible / "replace.sor"), "new replace.sor");
        EXPECT_EQ(Lire(cible / "new.sor"), "new new.sor");
    }
}
