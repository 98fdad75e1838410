// The sync of a remote tree and the parallel tree copies, against real
// servers: pyftpdlib (MLSD, REST, a limit on logins), vsftpd (LIST only) and
// the hostile server that cuts a download midway, with and without REST.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "ServeurFtpTest.h"
#include "common/Conversions.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CSynchroDistante.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Arbre = std::map<std::string, std::string>;

namespace {

CString Texte(const fs::path& p) { return CString(Utf8ToWide(p.string())); }

std::vector<std::string> Chemins(const std::vector<CString>& chemins)
{
    std::vector<std::string> r;
    for (const CString& c : chemins)
        r.push_back(WideToUtf8(c));
    std::sort(r.begin(), r.end());
    return r;
}

void Ecrire(const fs::path& p, const std::string& contenu, time_t nDate)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << contenu;
    struct timespec t[2] = {{nDate, 0}, {nDate, 0}};
    ::utimensat(AT_FDCWD, p.c_str(), t, 0);
}

struct tEtatLocal
{
    ino_t nInode;
    time_t nDate;
};

tEtatLocal Etat(const fs::path& p)
{
    struct stat st{};
    ::stat(p.c_str(), &st);
    return {st.st_ino, st.st_mtime};
}

// The partial downloads left in a tree.
std::vector<std::string> Partiels(const fs::path& racine)
{
    std::vector<std::string> r;
    for (const auto& e : fs::recursive_directory_iterator(racine))
        if (e.path().filename().string().rfind(".otdr-", 0) == 0)
            r.push_back(fs::relative(e.path(), racine).string());
    return r;
}

constexpr time_t kDate = 1767225600;   // 2026-01-01 00:00:00 UTC

void Arborescence(const fs::path& r)
{
    Ecrire(r / "T/a.sor", "alpha", kDate);
    Ecrire(r / "T/b.sor", "bravo!", kDate + 61);
    Ecrire(r / "T/sub/c.sor", std::string(70000, 'c'), kDate + 3600);
    Ecrire(r / "T/sub/deep/d.sor", "delta", kDate - 86400 * 400);
}

std::unique_ptr<CFTPDirect> Client(int nPort)
{
    auto ftp = std::make_unique<CFTPDirect>(L"127.0.0.1", nPort);
    ftp->SetDelaiConnexion(2s);
    ftp->SetDelaiReponse(1s);
    ftp->SetDelaiBlocage(1s);
    return ftp->FtpConnexion(L"test", L"secret") == 1 ? std::move(ftp) : nullptr;
}

class SyncTest : public ::testing::Test
{
protected:
    bool Demarrer(const char* pszScript, const std::vector<std::string>& options = {})
    {
        m_serveur = std::make_unique<CServeurFtpTest>(pszScript);
        Arborescence(m_serveur->Racine());
        if (!m_serveur->Demarrer(options))
            return false;
        m_ftp = Client(m_serveur->Port());
        return m_ftp != nullptr;
    }
    CSynchroDistante::tBilan Sync(int nSessions = 1)
    {
        CSynchroDistante synchro(*m_ftp);
        const int nPort = m_serveur->Port();
        synchro.SetParallele(nSessions, [nPort] { return Client(nPort); });
        return synchro.Synchroniser(L"/T", Texte(Local()));
    }
    fs::path Serveur() const { return m_serveur->Racine() / "T"; }
    fs::path Local() const { return m_local.Chemin() / "copy"; }

    std::unique_ptr<CServeurFtpTest> m_serveur;
    std::unique_ptr<CFTPDirect> m_ftp;
    CRepertoireTemp m_local{"otdr-sync"};
};

} // namespace

TEST_F(SyncTest, SecondSyncFetchesNothingLocalDatesAreTheInstrumentsAndAChangedFileIsFetchedAlone)
{
    ASSERT_TRUE(Demarrer(OTDR_TEST_FTP_SERVER));
    auto b = Sync();
    EXPECT_TRUE(b.Complet());
    EXPECT_EQ(Chemins(b.nouveaux),
              (std::vector<std::string>{"/T/a.sor", "/T/b.sor", "/T/sub/c.sor", "/T/sub/deep/d.sor"}));
    const std::map<std::string, time_t> dates{
        {"a.sor", kDate}, {"b.sor", kDate + 61}, {"sub/c.sor", kDate + 3600}, {"sub/deep/d.sor", kDate - 86400 * 400}};
    std::map<std::string, ino_t> inodes;
    for (const auto& [nom, date] : dates) {
        EXPECT_EQ(Etat(Local() / nom).nDate, date) << nom;
        inodes[nom] = Etat(Local() / nom).nInode;
    }
    // A local file the instrument does not have stays.
    Ecrire(Local() / "mine.txt", "mine", kDate);

    b = Sync();
    EXPECT_TRUE(b.Complet());
    EXPECT_TRUE(b.nouveaux.empty());
    EXPECT_TRUE(b.modifies.empty());
    EXPECT_EQ(b.nInchanges, 4);
    EXPECT_EQ(b.parcours.nOctets, 0u);
    for (const auto& [nom, inode] : inodes)
        EXPECT_EQ(Etat(Local() / nom).nInode, inode) << nom << " was written again";

    // One file changes by its time only, another by its size; one appears.
    Ecrire(Serveur() / "a.sor", "ALPHA", kDate + 7200);
    Ecrire(Serveur() / "sub/c.sor", "shorter", kDate + 3600);
    Ecrire(Serveur() / "sub/e.sor", "echo", kDate);
    b = Sync();
    EXPECT_EQ(Chemins(b.modifies), (std::vector<std::string>{"/T/a.sor", "/T/sub/c.sor"}));
    EXPECT_EQ(Chemins(b.nouveaux), (std::vector<std::string>{"/T/sub/e.sor"}));
    EXPECT_EQ(b.nInchanges, 2);
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "a.sor"), "ALPHA");
    EXPECT_EQ(Etat(Local() / "a.sor").nDate, kDate + 7200);
    EXPECT_EQ(Etat(Local() / "b.sor").nInode, inodes["b.sor"]);
    EXPECT_EQ(CRepertoireTemp::Lire(Local() / "mine.txt"), "mine");
    EXPECT_TRUE(Partiels(Local()).empty());
}

TEST_F(SyncTest, ServersThatListWithoutExactTimesAreSyncedOnceToo)
{
    if (!CVsftpdTest::Disponible())
        GTEST_SKIP() << "vsftpd is not installed";
    CVsftpdTest serveur;
    ASSERT_TRUE(serveur.Demarrer());
    Arborescence(serveur.Racine());
    CFTPDirect ftp(L"127.0.0.1", serveur.Port());
    CString base;
    ASSERT_TRUE(serveur.Connecter(ftp, base));

    CSynchroDistante synchro(ftp);
    auto b = synchro.Synchroniser(base + L"/T", Texte(Local()));
    EXPECT_EQ(b.nouveaux.size(), 4u);
    EXPECT_EQ(Etat(Local() / "b.sor").nDate, kDate + 61);   // MDTM: to the second
    b = synchro.Synchroniser(base + L"/T", Texte(Local()));
    EXPECT_TRUE(b.Complet());
    EXPECT_EQ(b.nInchanges, 4);
    EXPECT_TRUE(b.nouveaux.empty() && b.modifies.empty());
}

TEST_F(SyncTest, DownloadCutMidwayIsResumedByTheNextSyncOrFetchedWholeWithoutRest)
{
    const std::string gros(300000, 'x');
    for (const bool bRest : {true, false}) {
        SCOPED_TRACE(bRest ? "with REST" : "without REST");
        fs::remove_all(Local());
        std::vector<std::string> options{"--retr", "big.sor=426:100000", "--once"};
        if (bRest)
            options.push_back("--rest");
        m_serveur = std::make_unique<CServeurFtpTest>(OTDR_TEST_HOSTILE_SERVER);
        Arborescence(m_serveur->Racine());
        Ecrire(m_serveur->Racine() / "T/sub/big.sor", gros.substr(0, 150000) + std::string(150000, 'y'), kDate);
        ASSERT_TRUE(m_serveur->Demarrer(options));
        m_ftp = Client(m_serveur->Port());
        ASSERT_TRUE(m_ftp);
        // A partial file a killed run left of a version the instrument no
        // longer has (marked as this library marks them), and a user's file
        // that happens to have such a name.
        Ecrire(Local() / "sub/.otdr-r0123456789abcdef.part", "stale", kDate);
        ASSERT_EQ(::setxattr((Local() / "sub/.otdr-r0123456789abcdef.part").c_str(), "user.otdr-temporaire", "1", 1, 0), 0);
        Ecrire(Local() / "sub/.otdr-rfedcba9876543210.part", "the user's", kDate);

        auto b = Sync();
        ASSERT_EQ(b.parcours.echecs.size(), 1u);
        EXPECT_EQ(WideToUtf8(b.parcours.echecs[0].strChemin), "/T/sub/big.sor");
        EXPECT_EQ(b.nouveaux.size(), 4u);
        EXPECT_FALSE(fs::exists(Local() / "sub/big.sor"));
        auto partiels = Partiels(Local());
        ASSERT_EQ(partiels.size(), 2u) << "the cut download is kept aside, the stale one goes";
        partiels.erase(std::find(partiels.begin(), partiels.end(), "sub/.otdr-rfedcba9876543210.part"));
        EXPECT_EQ(fs::file_size(Local() / partiels[0]), 100000u);

        b = Sync();
        EXPECT_TRUE(b.Complet());
        EXPECT_EQ(Chemins(b.nouveaux), (std::vector<std::string>{"/T/sub/big.sor"}));
        EXPECT_EQ(b.nRepris, bRest ? 1 : 0);
        EXPECT_EQ(CRepertoireTemp::Lire(Local() / "sub/big.sor"), gros.substr(0, 150000) + std::string(150000, 'y'));
        EXPECT_EQ(Etat(Local() / "sub/big.sor").nDate, kDate);
        EXPECT_EQ(Partiels(Local()), (std::vector<std::string>{"sub/.otdr-rfedcba9876543210.part"}));
    }
}

TEST_F(SyncTest, ParallelCopiesShareTheFilesAndEndAsTheSerialOne)
{
    // The hostile server serves each connection on a thread of its own; the
    // copies down and up must give the same trees as one connection does.
    m_serveur = std::make_unique<CServeurFtpTest>(OTDR_TEST_HOSTILE_SERVER);
    Arbre attendu;
    for (int i = 0; i < 40; ++i) {
        const std::string nom = "d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".sor";
        Ecrire(m_serveur->Racine() / "T" / nom, std::string(1000 + i * 97, static_cast<char>('a' + i % 26)), kDate + i);
        attendu[nom] = std::string(1000 + i * 97, static_cast<char>('a' + i % 26));
    }
    for (int d = 0; d < 4; ++d)
        attendu["d" + std::to_string(d)] = "<dir>";
    ASSERT_TRUE(m_serveur->Demarrer());
    m_ftp = Client(m_serveur->Port());
    ASSERT_TRUE(m_ftp);

    auto b = Sync(4);
    EXPECT_TRUE(b.Complet());
    EXPECT_EQ(b.parcours.nSessions, 4);
    EXPECT_EQ(b.nouveaux.size(), 40u);
    EXPECT_EQ(CRepertoireTemp::Arbre(Local()), attendu);
    EXPECT_EQ(Etat(Local() / "d1/f13.sor").nDate, kDate + 13);
    EXPECT_EQ(Sync(4).nInchanges, 40);

    const int nPort = m_serveur->Port();
    CParcoursDistant montee(*m_ftp);
    montee.SetParallele(3, [nPort] { return Client(nPort); });
    const auto bm = montee.Envoyer(Texte(Local()), L"/Up");
    EXPECT_TRUE(bm.Complet());
    EXPECT_EQ(bm.nFichiers, 40);
    EXPECT_EQ(CRepertoireTemp::Arbre(m_serveur->Racine() / "Up"), attendu);

    // Stopped midway: what was not done is named, nothing failed, no temporary stays.
    fs::remove_all(Local());
    int nFaits = 0;
    CParcoursDistant::tRappels r;
    r.apresFichier = [&nFaits](const CParcoursDistant::tFichier&, bool) { ++nFaits; };
    r.arret = [&nFaits] { return nFaits >= 5; };
    CParcoursDistant descente(*m_ftp, r);
    descente.SetParallele(4, [nPort] { return Client(nPort); });
    const auto bd = descente.Telecharger(L"/T", Texte(Local()));
    EXPECT_TRUE(bd.bArrete);
    EXPECT_TRUE(bd.echecs.empty());
    EXPECT_FALSE(bd.nonFaits.empty());
    EXPECT_LT(bd.nFichiers, 40);
    int nLocaux = 0;
    for (const auto& e : fs::recursive_directory_iterator(Local()))
        nLocaux += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(nLocaux, bd.nFichiers) << "every file counted done is there, and nothing else";
}

TEST_F(SyncTest, LoginsTheServerRefusesLowerTheNumberOfConnections)
{
    // pyftpdlib stalls active-mode data connections of concurrent sessions
    // now and then: it is asked for one session, the threaded server for two.
    const struct
    {
        const char* pszServeur;
        int nMax;
    } cas[] = {{OTDR_TEST_FTP_SERVER, 1}, {OTDR_TEST_HOSTILE_SERVER, 2}};
    for (const auto& [pszServeur, nMax] : cas) {
        SCOPED_TRACE(nMax);
        fs::remove_all(Local());
        ASSERT_TRUE(Demarrer(pszServeur, {"--max-cons", std::to_string(nMax)}));
        const auto b = Sync(4);
        EXPECT_TRUE(b.Complet());
        EXPECT_EQ(b.parcours.nSessions, nMax);
        EXPECT_EQ(b.nouveaux.size(), 4u);
        EXPECT_EQ(CRepertoireTemp::Lire(Local() / "sub/c.sor"), std::string(70000, 'c'));
    }
}
