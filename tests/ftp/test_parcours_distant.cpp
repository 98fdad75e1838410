// The remote tree walker and the listing status against real servers:
// pyftpdlib and vsftpd serving real links on disk, and the hostile server that
// cuts, stalls and dies on purpose.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <unistd.h>

#include "ServeurFtpTest.h"
#include "common/Conversions.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CParcoursDistant.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tEtat = CFTPDirect::tEtatListe;
using Arbre = std::map<std::string, std::string>;

namespace {

CString Texte(const fs::path& p) { return CString(Utf8ToWide(p.string())); }

std::vector<std::string> Chemins(const std::vector<CParcoursDistant::tProbleme>& problemes)
{
    std::vector<std::string> r;
    for (const auto& p : problemes)
        r.push_back(WideToUtf8(p.strChemin));
    std::sort(r.begin(), r.end());
    return r;
}

std::vector<std::string> Chemins(const std::vector<CString>& chemins)
{
    std::vector<std::string> r;
    for (const CString& c : chemins)
        r.push_back(WideToUtf8(c));
    return r;
}

class TreeWalkTest : public ::testing::Test
{
protected:
    // A server of the given script, and a client logged in to it with short limits.
    bool Ouvrir(const char* pszScript, const std::vector<std::string>& options = {})
    {
        m_serveur = std::make_unique<CServeurFtpTest>(pszScript);
        if (!Preparer() || !m_serveur->Demarrer(options))
            return false;
        m_ftp = std::make_unique<CFTPDirect>(L"127.0.0.1", m_serveur->Port());
        m_ftp->SetDelaiConnexion(2s);
        m_ftp->SetDelaiReponse(1s);
        m_ftp->SetDelaiBlocage(1s);
        return m_ftp->FtpConnexion(L"test", L"secret") == 1;
    }
    bool Pyftpdlib(const std::vector<std::string>& options = {}) { return Ouvrir(OTDR_TEST_FTP_SERVER, options); }
    bool Hostile(const std::vector<std::string>& options = {}) { return Ouvrir(OTDR_TEST_HOSTILE_SERVER, options); }

    // Lays out the served tree before the server starts (`m_preparer`).
    bool Preparer()
    {
        if (m_preparer)
            m_preparer(Serveur());
        return true;
    }

    fs::path Serveur() const { return m_serveur->Racine(); }
    fs::path Local() const { return m_local.Chemin() / "copy"; }
    CString LocalTexte() const { return Texte(Local()); }

    std::function<void(const fs::path&)> m_preparer;
    std::unique_ptr<CServeurFtpTest> m_serveur;
    std::unique_ptr<CFTPDirect> m_ftp;
    CRepertoireTemp m_local{"otdr-walk"};
};

void Ecrire(const fs::path& p, const std::string& contenu)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << contenu;
}

// X holds links back into itself, to a sibling tree and out of the server's root.
void ArbreAvecLiens(const fs::path& r)
{
    Ecrire(r / "X/a.sor", "a");
    Ecrire(r / "X/sub/b.sor", "b");
    Ecrire(r / "Other/keep.sor", "keep");
    fs::create_directory_symlink(".", r / "X/self");
    fs::create_directory_symlink("..", r / "X/sub/back");
    fs::create_directory_symlink("../Other", r / "X/other");
    fs::create_directory_symlink("/etc", r / "X/etc");
    fs::create_directory_symlink("Other", r / "L");
}

} // namespace

TEST_F(TreeWalkTest, CopyDownWalksEachDirectoryOnceAndSkipsWhatCannotBeEntered)
{
    m_preparer = ArbreAvecLiens;
    ASSERT_TRUE(Pyftpdlib());
    std::vector<std::string> ordre;
    CParcoursDistant::tRappels rappels;
    rappels.apresFichier = [&](const CParcoursDistant::tFichier& f, bool) { ordre.push_back(WideToUtf8(f.strRelatif)); };
    rappels.entreeRepertoire = [&](const CParcoursDistant::tRepertoire& d) { ordre.push_back("[" + WideToUtf8(d.strRelatif) + "]"); };
    CParcoursDistant parcours(*m_ftp, rappels);

    const auto bilan = parcours.Telecharger(L"/X", LocalTexte());
    // Each real file once; the link out of the server's root is named.
    EXPECT_EQ(CRepertoireTemp::Arbre(Local()), (Arbre{{"a.sor", "a"}, {"other", "<dir>"}, {"other/keep.sor", "keep"},
                                                      {"sub", "<dir>"}, {"sub/b.sor", "b"}}));
    EXPECT_EQ(Chemins(bilan.echecs), (std::vector<std::string>{"/X/etc"}));
    // The short reason, then the server's own reply.
    EXPECT_EQ(WideToUtf8(bilan.echecs[0].strRaison).rfind("cannot be entered: 550 ", 0), 0u)
        << WideToUtf8(bilan.echecs[0].strRaison);
    EXPECT_EQ(Chemins(bilan.ignores), (std::vector<std::string>{"/X/self", "/X/sub/back"}));
    EXPECT_EQ(bilan.nFichiers, 3);
    EXPECT_EQ(bilan.nOctets, 6u);
    EXPECT_FALSE(bilan.Complet());
    // Files are copied as each directory is listed, not after the whole tree.
    EXPECT_EQ(ordre, (std::vector<std::string>{"[]", "a.sor", "[other]", "other/keep.sor", "[sub]", "sub/b.sor"}));
}

TEST_F(TreeWalkTest, RemovalDeletesLinksAsLinksAndNothingOutsideTheTree)
{
    m_preparer = ArbreAvecLiens;
    ASSERT_TRUE(Pyftpdlib());
    CParcoursDistant parcours(*m_ftp);

    auto bilan = parcours.Supprimer(L"/");
    EXPECT_EQ(Chemins(bilan.echecs), (std::vector<std::string>{"/"}));
    // A link named as the tree goes as a link.
    bilan = parcours.Supprimer(L"/L");
    EXPECT_TRUE(bilan.Complet());
    EXPECT_FALSE(fs::exists(fs::symlink_status(Serveur() / "L")));

    bilan = parcours.Supprimer(L"/X");
    EXPECT_EQ(CRepertoireTemp::Arbre(Serveur()), (Arbre{{"Other", "<dir>"}, {"Other/keep.sor", "keep"},
                                                        {"X", "<dir>"}, {"X/etc", "-> /etc"}}));
    // The server refuses to touch the link out of its root: it and its
    // directory stay, named.
    EXPECT_EQ(Chemins(bilan.echecs), (std::vector<std::string>{"/X", "/X/etc"}));
    EXPECT_TRUE(fs::exists("/etc/passwd"));
}

TEST_F(TreeWalkTest, ServersThatListLinksAsLinksAreWalkedOnceByTheirRealPath)
{
    if (!CVsftpdTest::Disponible())
        GTEST_SKIP() << "vsftpd is not installed";
    CVsftpdTest serveur;
    ASSERT_TRUE(serveur.Demarrer());
    const fs::path r = serveur.Racine();
    Ecrire(r / "X/f.txt", "f");
    Ecrire(r / "X/d/g.txt", "g");
    fs::create_directory_symlink(".", r / "X/self");
    fs::create_directory_symlink("..", r / "X/d/up");
    CFTPDirect ftp(L"127.0.0.1", serveur.Port());
    CString base;
    ASSERT_TRUE(serveur.Connecter(ftp, base));

    CParcoursDistant parcours(ftp);
    auto bilan = parcours.Telecharger(base + L"/X", LocalTexte());
    EXPECT_EQ(CRepertoireTemp::Arbre(Local()), (Arbre{{"d", "<dir>"}, {"d/g.txt", "g"}, {"f.txt", "f"}}));
    EXPECT_TRUE(bilan.echecs.empty()) << WideToUtf8(bilan.echecs[0].strChemin);
    EXPECT_EQ(bilan.ignores.size(), 2u);

    bilan = parcours.Supprimer(base + L"/X");
    EXPECT_TRUE(bilan.Complet());
    EXPECT_TRUE(fs::is_empty(r));
}

TEST_F(TreeWalkTest, LoopsOfLinksOnServersWithoutUniqueFactsEndAtTheirFirstTurn)
{
    // LIST without unique facts, and a server that reports the path as walked:
    // the listing of a link back up is the same as its target's.
    const struct
    {
        const char* nom;
        bool bHostile;
        std::vector<std::string> options;
        std::vector<std::string> ignores;
    } cas[] = {
        {"a link to '.' (pyftpdlib)", false, {"--no-mlsd"}, {"/X/loop"}},
        {"two links to '.' listed as directories", true, {"--no-mlsd", "--loop", "a", "--loop", "b"},
         {"/X/a", "/X/b"}},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        fs::remove_all(Local());
        m_preparer = [](const fs::path& r) {
            Ecrire(r / "X/f.txt", "f");
            fs::create_directory_symlink(".", r / "X/loop");
        };
        if (c.bHostile)
            m_preparer = [](const fs::path& r) { Ecrire(r / "X/f.txt", "f"); };
        ASSERT_TRUE(c.bHostile ? Hostile(c.options) : Pyftpdlib(c.options));
        CParcoursDistant parcours(*m_ftp);
        const auto bilan = parcours.Telecharger(L"/X", LocalTexte());
        EXPECT_EQ(bilan.nFichiers, 1);
        EXPECT_TRUE(bilan.echecs.empty()) << Chemins(bilan.echecs)[0];
        EXPECT_EQ(Chemins(bilan.ignores), c.ignores);
        EXPECT_EQ(CRepertoireTemp::Arbre(Local()), (std::map<std::string, std::string>{{"f.txt", "f"}}));
    }
}

TEST_F(TreeWalkTest, DepthAndDirectoryCountLimitsEndAWalkAndNameWhereItStopped)
{
    m_preparer = [](const fs::path& r) {
        Ecrire(r / "X/a/b/c/d/f.txt", "f");
        Ecrire(r / "X/e/g.txt", "g");
    };
    ASSERT_TRUE(Pyftpdlib());
    const struct
    {
        int nProfondeur, nRepertoires;
        std::vector<std::string> echecs;
    } cas[] = {
        {3, 100000, {"/X/a/b/c"}},
        {64, 3, {"/X/a/b/c", "/X/e"}},
    };
    for (const auto& c : cas) {
        fs::remove_all(Local());
        CParcoursDistant parcours(*m_ftp);
        parcours.SetProfondeurMax(c.nProfondeur);
        parcours.SetRepertoiresMax(c.nRepertoires);
        const auto bilan = parcours.Telecharger(L"/X", LocalTexte());
        EXPECT_EQ(Chemins(bilan.echecs), c.echecs);
    }
}

TEST_F(TreeWalkTest, ListingStatusTellsHowEachListingEnded)
{
    const struct
    {
        std::vector<std::string> options;
        tEtat etat;
        int nEntrees;   // -1: some, fewer than all
        bool bSessionPerdue;
    } cas[] = {
        {{}, tEtat::Complete, 30, false},
        {{"--list", "/d=refuse"}, tEtat::Refusee, 0, false},
        {{"--list", "/d=425"}, tEtat::Coupee, 0, false},
        {{"--list", "/d=426:10"}, tEtat::Coupee, 10, false},
        {{"--list", "/d=426:700b"}, tEtat::Coupee, -1, false},   // cut inside a line
        {{"--list", "/d=stall:10"}, tEtat::Expiree, 10, true},
        {{"--list", "/d=kill:10"}, tEtat::Coupee, 10, true},
        {{"--list", "/d=hangup:10"}, tEtat::Coupee, 10, true},
        {{"--list", "/d=empty"}, tEtat::Complete, 0, false},      // what the server claims
        {{"--no-mlsd", "--list", "/d=426:10"}, tEtat::Coupee, 10, false},
    };
    m_preparer = [](const fs::path& r) {
        for (int i = 10; i < 40; ++i)
            Ecrire(r / "d" / ("trace_" + std::to_string(i) + ".sor"), "x");
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.options.empty() ? "complete" : c.options.back());
        ASSERT_TRUE(Hostile(c.options));
        CListeFichiersFtp liste;
        CString chemin = L"/d";
        EXPECT_EQ(m_ftp->GetDir(&chemin, liste, 0), 0);
        EXPECT_EQ(m_ftp->GetEtatDerniereListe(), c.etat);
        EXPECT_EQ(m_ftp->SessionPerdue() != 0, c.bSessionPerdue);
        if (c.nEntrees >= 0)
            EXPECT_EQ(liste.m_nNombre, c.nEntrees);
        else
            EXPECT_TRUE(liste.m_nNombre > 0 && liste.m_nNombre < 30) << liste.m_nNombre;
        // A line cut in the middle never yields a shorter name.
        for (int i = 0; i < liste.m_nNombre; ++i)
            EXPECT_TRUE(fs::exists(Serveur() / "d" / WideToUtf8(liste.m_pElements[i].m_strNom)))
                << WideToUtf8(liste.m_pElements[i].m_strNom);
    }
    CListeFichiersFtp liste;
    CString chemin = L"/nowhere";
    EXPECT_EQ(m_ftp->GetDir(&chemin, liste, 0), 3);
    EXPECT_EQ(m_ftp->GetEtatDerniereListe(), tEtat::Refusee);
}

TEST_F(TreeWalkTest, ListingThatEndsBeforeTheServersLastReplyIsAskedAgain)
{
    // This server answers 150 before it connects back: libcurl may then end
    // the listing at once, with success and no data, and leave the server's
    // final reply unread on the control connection.
    m_preparer = [](const fs::path& r) {
        for (int i = 0; i < 30; ++i)
            Ecrire(r / "d" / ("f" + std::to_string(i) + ".sor"), "x");
        fs::create_directories(r / "empty");
    };
    ASSERT_TRUE(Hostile({"--no-mlsd", "--late-data", "20"}));
    for (int i = 0; i < 40; ++i) {
        CListeFichiersFtp liste;
        CString chemin = i % 4 == 3 ? L"/empty" : L"/d";
        ASSERT_EQ(m_ftp->GetDir(&chemin, liste, 0), 0);
        ASSERT_EQ(m_ftp->GetEtatDerniereListe(), tEtat::Complete) << i;
        ASSERT_EQ(liste.m_nNombre, i % 4 == 3 ? 0 : 30) << i;
    }
}

TEST_F(TreeWalkTest, LostSessionIsRetriedOnceThenTheRestIsNotDone)
{
    const struct
    {
        const char* nom;
        std::vector<std::string> options;
        std::vector<std::string> copies;    // files copied, in order
        std::vector<std::string> nonFaits;
    } cas[] = {
        {"a stall, once", {"--once", "--retr", "a.sor=stall:2"}, {"a.sor", "b.sor", "c.sor", "sub/s.sor"}, {}},
        {"two stalls", {"--once", "--retr", "a.sor=stall:2", "--retr", "c.sor=stall:2"}, {"a.sor", "b.sor"},
         {"/d/c.sor", "/d/sub/"}},
        {"a stall each time", {"--retr", "a.sor=stall:2"}, {}, {"/d/a.sor", "/d/b.sor", "/d/c.sor", "/d/sub/"}},
        {"the server dies", {"--retr", "b.sor=kill:2"}, {"a.sor"}, {"/d/b.sor", "/d/c.sor", "/d/sub/"}},
        {"the connection closes", {"--list", "/d/sub=hangup:0"}, {"a.sor", "b.sor", "c.sor"}, {"/d/sub/"}},
    };
    m_preparer = [](const fs::path& r) {
        for (const char* n : {"a.sor", "b.sor", "c.sor", "sub/s.sor"})
            Ecrire(r / "d" / n, std::string(64, n[0]));
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        ASSERT_TRUE(Hostile(c.options));
        fs::remove_all(Local());
        std::vector<std::string> copies;
        CParcoursDistant::tRappels rappels;
        rappels.apresFichier = [&](const CParcoursDistant::tFichier& f, bool bReussi) {
            if (bReussi) copies.push_back(WideToUtf8(f.strRelatif));
        };
        CParcoursDistant parcours(*m_ftp, rappels);
        const auto debut = std::chrono::steady_clock::now();
        const auto bilan = parcours.Telecharger(L"/d", LocalTexte());
        // At most two time limits waited, never one per remaining file.
        EXPECT_LT(std::chrono::steady_clock::now() - debut, 8s);
        EXPECT_EQ(copies, c.copies);
        EXPECT_EQ(Chemins(bilan.nonFaits), c.nonFaits);
        EXPECT_EQ(bilan.bSessionPerdue, !c.nonFaits.empty());
        EXPECT_TRUE(bilan.echecs.empty()) << WideToUtf8(bilan.echecs[0].strChemin);
        for (const std::string& n : c.copies)
            EXPECT_EQ(CRepertoireTemp::Lire(Local() / n), std::string(64, n[0])) << n;
    }
}

TEST_F(TreeWalkTest, CancelStopsTheWalkWithNothingFailedAndNoSessionLost)
{
    const struct
    {
        const char* nom;
        std::vector<std::string> options;
        const char* declencheur;            // the file after whose start (or end) the cancel comes
        std::vector<std::string> copies;
        std::vector<std::string> nonFaits;
    } cas[] = {
        {"during a download", {"--retr", "b.sor=stall:2"}, "b.sor", {"a.sor"}, {"/d/b.sor", "/d/c.sor", "/d/sub/"}},
        {"during a listing", {"--list", "/d/sub=stall:0"}, "c.sor", {"a.sor", "b.sor", "c.sor"}, {"/d/sub/"}},
    };
    m_preparer = [](const fs::path& r) {
        for (const char* n : {"a.sor", "b.sor", "c.sor", "sub/s.sor"})
            Ecrire(r / "d" / n, std::string(64, n[0]));
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        ASSERT_TRUE(Hostile(c.options));
        // Limits far beyond the cancel: only the cancel can end the stall.
        m_ftp->SetDelaiReponse(20s);
        m_ftp->SetDelaiBlocage(20s);
        fs::remove_all(Local());
        std::thread annulation;
        auto annulerBientot = [&] {
            annulation = std::thread([this] {
                std::this_thread::sleep_for(200ms);
                m_ftp->Annuler();
            });
        };
        std::vector<std::string> copies;
        CParcoursDistant::tRappels rappels;
        rappels.avantFichier = [&](const CParcoursDistant::tFichier& f) {
            if (std::string(c.declencheur) == "b.sor" && WideToUtf8(f.strRelatif) == "b.sor")
                annulerBientot();
            return CParcoursDistant::tSuite::Faire;
        };
        rappels.apresFichier = [&](const CParcoursDistant::tFichier& f, bool bReussi) {
            if (bReussi)
                copies.push_back(WideToUtf8(f.strRelatif));
            if (std::string(c.declencheur) == "c.sor" && WideToUtf8(f.strRelatif) == "c.sor")
                annulerBientot();
        };
        CParcoursDistant parcours(*m_ftp, rappels);
        const auto debut = std::chrono::steady_clock::now();
        const auto bilan = parcours.Telecharger(L"/d", LocalTexte());
        annulation.join();
        EXPECT_LT(std::chrono::steady_clock::now() - debut, 10s);
        EXPECT_EQ(copies, c.copies);
        EXPECT_EQ(Chemins(bilan.nonFaits), c.nonFaits);
        EXPECT_TRUE(bilan.echecs.empty()) << WideToUtf8(bilan.echecs[0].strRaison);
        EXPECT_TRUE(bilan.bArrete);
        EXPECT_FALSE(bilan.bSessionPerdue);
        EXPECT_EQ(m_ftp->SessionPerdue(), 0);
        EXPECT_EQ(m_ftp->GetDerniereErreur(), CString(L"cancelled"));
        if (std::string(c.declencheur) == "c.sor") {
            EXPECT_EQ(m_ftp->GetEtatDerniereListe(), tEtat::Annulee);
        }
        // Once re-armed, the client logs in again by itself.
        m_ftp->RearmerAnnulation();
        CListeFichiersFtp liste;
        CString chemin = L"/d";
        EXPECT_EQ(m_ftp->GetDir(&chemin, liste, 0), 0);
        EXPECT_EQ(m_ftp->GetEtatDerniereListe(), tEtat::Complete);
        EXPECT_EQ(liste.m_nNombre, 4);
    }
}

TEST_F(TreeWalkTest, NamesThatCannotBeUsedAreNamedAndTheWalkGoesOn)
{
    m_preparer = [](const fs::path& r) {
        Ecrire(r / "d/ok.sor", "ok");
        Ecrire(r / "d/ok.sor\xC3", "other");   // decodes to the same name
        Ecrire(r / "d/ lead.sor", "lead");
        Ecrire(r / "d/\xC3/inside.sor", "in");  // decodes to nothing
    };
    ASSERT_TRUE(Hostile());
    CParcoursDistant parcours(*m_ftp);
    const auto bilan = parcours.Telecharger(L"/d", LocalTexte());
    EXPECT_EQ(CRepertoireTemp::Arbre(Local()), (Arbre{{" lead.sor", "lead"}}));
    // Named by the listing, as received: neither of the two that meet is used.
    EXPECT_EQ(Chemins(bilan.echecs), (std::vector<std::string>{"/d/\\xC3", "/d/ok.sor", "/d/ok.sor\\xC3"}));
    EXPECT_EQ(bilan.nFichiers, 1);
}

TEST_F(TreeWalkTest, UploadWalksEachLocalDirectoryOnceAndTheHooksDecide)
{
    m_preparer = [](const fs::path& r) { Ecrire(r / "T/f2.txt", "old"); };
    ASSERT_TRUE(Pyftpdlib());
    const fs::path t = m_local.Chemin() / "T";
    Ecrire(t / "f1.txt", "1");
    Ecrire(t / "f2.txt", "2");
    Ecrire(t / "a/g.txt", "g");
    Ecrire(t / "a/b/h.txt", "h");
    fs::create_directory_symlink("..", t / "a/loop");
    fs::create_directory_symlink("a", t / "same");

    // Existing remote files are left, as an "overwrite?" answered no would.
    std::vector<std::pair<std::string, int>> reps;
    CParcoursDistant::tRappels rappels;
    rappels.avantFichier = [](const CParcoursDistant::tFichier& f) {
        return f.pDistant ? CParcoursDistant::tSuite::Passer : CParcoursDistant::tSuite::Faire;
    };
    rappels.entreeRepertoire = [&](const CParcoursDistant::tRepertoire& d) {
        reps.emplace_back(WideToUtf8(d.strDistant), d.nFichiers);
    };
    CParcoursDistant parcours(*m_ftp, rappels);
    parcours.SetListerCibles(true);
    parcours.SetProfondeurMax(2);
    const auto bilan = parcours.Envoyer(Texte(t), L"/T");
    EXPECT_EQ(CRepertoireTemp::Arbre(Serveur() / "T"),
              (Arbre{{"a", "<dir>"}, {"a/g.txt", "g"}, {"f1.txt", "1"}, {"f2.txt", "old"}}));
    EXPECT_EQ(bilan.nPasses, 1);
    EXPECT_EQ(reps, (std::vector<std::pair<std::string, int>>{{"/T", 2}, {"/T/a", 1}}));
    EXPECT_EQ(Chemins(bilan.ignores), (std::vector<std::string>{(t / "a/loop").string(), (t / "same").string()}));
    EXPECT_EQ(Chemins(bilan.echecs), (std::vector<std::string>{(t / "a/b").string()}));

    // A stop asked for after the first file: the rest is named, not failed.
    int nFichiers = 0;
    rappels = CParcoursDistant::tRappels();
    rappels.apresFichier = [&](const CParcoursDistant::tFichier&, bool) { ++nFichiers; };
    rappels.arret = [&] { return nFichiers >= 1; };
    CParcoursDistant arrete(*m_ftp, rappels);
    const auto bilanArret = arrete.Envoyer(Texte(t), L"/U");
    EXPECT_TRUE(bilanArret.bArrete);
    EXPECT_EQ(bilanArret.nFichiers, 1);
    EXPECT_EQ(Chemins(bilanArret.nonFaits),
              (std::vector<std::string>{(t / "f2.txt").string(), (t / "a").string() + "/", (t / "same").string() + "/"}));
}

TEST_F(TreeWalkTest, LocalLinksNeverTakeACopyOutOfItsTree)
{
    m_preparer = [](const fs::path& r) { Ecrire(r / "X/sub/f.txt", "remote"); };
    ASSERT_TRUE(Pyftpdlib());
    CRepertoireTemp dehors("otdr-outside");
    Ecrire(dehors.Chemin() / "secret.txt", "outside");

    // Down: a directory of the target that is a link is not written through.
    fs::create_directories(Local());
    fs::create_directory_symlink(dehors.Chemin(), Local() / "sub");
    CParcoursDistant descente(*m_ftp);
    const auto bd = descente.Telecharger(L"/X", LocalTexte());
    EXPECT_EQ(Chemins(bd.echecs), (std::vector<std::string>{(Local() / "sub").string()}));
    EXPECT_FALSE(fs::exists(dehors.Chemin() / "f.txt"));

    // Up: links inside the tree are followed, those leading out are named and left.
    const fs::path envoi = m_local.Chemin() / "up";
    Ecrire(envoi / "d/a.txt", "a");
    fs::create_directory_symlink(dehors.Chemin(), envoi / "out");
    fs::create_symlink(dehors.Chemin() / "secret.txt", envoi / "secret.txt");
    fs::create_directory_symlink(envoi / "d", envoi / "d2");
    CParcoursDistant montee(*m_ftp);
    const auto bm = montee.Envoyer(Texte(envoi), L"/U");
    EXPECT_EQ(Chemins(bm.echecs), (std::vector<std::string>{(envoi / "out").string(), (envoi / "secret.txt").string()}));
    EXPECT_EQ(CRepertoireTemp::Arbre(Serveur() / "U"),
              (std::map<std::string, std::string>{{"d", "<dir>"}, {"d/a.txt", "a"}}));
    EXPECT_EQ(Chemins(bm.ignores), (std::vector<std::string>{(envoi / "d2").string()}));
}

TEST_F(TreeWalkTest, RemovalRunByAnOrdinaryUserNeverEntersALinkItCouldNotDelete)
{
    // pyftpdlib as an ordinary user: in a read-only directory the DELE of a
    // link to another directory of the server, outside the tree removed, is
    // refused, as it would be for a directory; MLSD shows the link as a directory.
    CRepertoireTemp base("otdr-rmdir-user");
    const fs::path racine = base.Chemin() / "root";
    const fs::path dehors = racine / "Other";
    Ecrire(dehors / "keep.sor", "keep");
    Ecrire(racine / "T/f.sor", "f");
    fs::create_directories(racine / "T/ro/sub");
    Ecrire(racine / "T/ro/sub/g.sor", "g");
    fs::create_directory_symlink(dehors, racine / "T/ro/link");
    std::vector<std::string> argv{OTDR_PYTHON, OTDR_TEST_FTP_SERVER, "--root", racine.string()};
    if (::geteuid() == 0) {
        for (const auto& e : fs::recursive_directory_iterator(base.Chemin()))
            ::lchown(e.path().c_str(), 65534, 65534);
        ::chown(base.Chemin().c_str(), 65534, 65534);
        fs::permissions(base.Chemin(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
        argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    fs::permissions(racine / "T/ro", fs::perms::owner_read | fs::perms::owner_exec);
    CProcessusTest serveur;
    ASSERT_TRUE(serveur.Demarrer(argv) && serveur.AttendreLigne("READY"));
    CFTPDirect ftp(L"127.0.0.1", serveur.Port("ftp"));
    ftp.SetDelaiReponse(2s);
    ASSERT_EQ(ftp.FtpConnexion(L"test", L"secret"), 1);

    CParcoursDistant parcours(ftp);
    const auto bilan = parcours.Supprimer(L"/T");
    fs::permissions(racine / "T/ro", fs::perms::owner_all);
    EXPECT_EQ(CRepertoireTemp::Lire(dehors / "keep.sor"), "keep");
    const auto echecs = Chemins(bilan.echecs);
    EXPECT_NE(std::find(echecs.begin(), echecs.end(), "/T/ro/link"), echecs.end());
    EXPECT_FALSE(fs::exists(racine / "T/f.sor"));
}
