// What a transfer may report as done, against servers that lie or cut: a
// download only when its bytes come to the size the server gave, a resume
// only when the server's bytes before the offset match the partial file, an
// upload never at the cost of the server's file.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "ServeurFtpTest.h"
#include "common/Conversions.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CSynchroDistante.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr time_t kDate = 1767225600;  // 2026-01-01 00:00:00 UTC

CString Texte(const fs::path& p) { return CString(Utf8ToWide(p.string())); }
std::string Fil(const CString& s) { return WideToUtf8(s); }

// Bytes that repeat nowhere within a trace's length: a shifted copy never matches.
std::string Contenu(size_t n, unsigned nGraine)
{
    std::string s(n, '\0');
    uint32_t x = 2463534242u + nGraine;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

void Ecrire(const fs::path& p, const std::string& contenu, time_t nDate = kDate)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << contenu;
    struct timespec t[2] = {{nDate, 0}, {nDate, 0}};
    ::utimensat(AT_FDCWD, p.c_str(), t, 0);
}

std::vector<std::string> Temporaires(const fs::path& racine)
{
    std::vector<std::string> r;
    for (const auto& e : fs::recursive_directory_iterator(racine))
        if (e.path().filename().string().rfind(".otdr-", 0) == 0)
            r.push_back(fs::relative(e.path(), racine).string());
    return r;
}

class IntegriteTest : public ::testing::Test
{
protected:
    bool Demarrer(const std::vector<std::string>& options)
    {
        m_serveur = std::make_unique<CServeurFtpTest>(OTDR_TEST_HOSTILE_SERVER);
        Ecrire(m_serveur->Racine() / "T/trace.sor", m_version1);
        Ecrire(m_serveur->Racine() / "T/petit.sor", "alpha");
        if (!m_serveur->Demarrer(options))
            return false;
        m_ftp = Client();
        return m_ftp != nullptr;
    }
    std::unique_ptr<CFTPDirect> Client() const
    {
        auto ftp = std::make_unique<CFTPDirect>(L"127.0.0.1", m_serveur->Port());
        ftp->SetDelaiConnexion(2s);
        ftp->SetDelaiReponse(1s);
        ftp->SetDelaiBlocage(1s);
        return ftp->FtpConnexion(L"test", L"secret") == 1 ? std::move(ftp) : nullptr;
    }
    CSynchroDistante::tBilan Sync()
    {
        CSynchroDistante synchro(*m_ftp);
        return synchro.Synchroniser(L"/T", Texte(Local()));
    }
    fs::path Serveur() const { return m_serveur->Racine() / "T"; }
    fs::path Local() const { return m_local.Chemin() / "copy"; }
    std::string Erreur() const { return Fil(m_ftp->GetDerniereErreur()); }

    const std::string m_version1 = Contenu(300000, 1);
    const std::string m_version2 = Contenu(300000, 2);
    std::unique_ptr<CServeurFtpTest> m_serveur;
    std::unique_ptr<CFTPDirect> m_ftp;
    CRepertoireTemp m_local{"otdr-integrite"};
};

} // namespace

TEST_F(IntegriteTest, DownloadsThatDoNotComeToTheKnownSizeFailOrAreFetchedAgainOnce)
{
    // The server closes the data early and says 226, with no byte count in its 150.
    const struct
    {
        const char* nom;
        std::vector<std::string> options;
        bool bListe;     // the directory listed first: the size comes from the listing, else SIZE
        bool bReussi;    // the one retry gets the whole file
    } cas[] = {
        {"short every time, size by SIZE", {"--retr", "trace.sor=short:299000"}, false, false},
        {"short every time, size from MLSD", {"--retr", "trace.sor=short:299000"}, true, false},
        {"short every time, size from LIST", {"--no-mlsd", "--retr", "trace.sor=short:299000"}, true, false},
        {"short once, then whole", {"--once", "--retr", "trace.sor=short:1000"}, false, true},
        {"short every time, no SIZE, LIST", {"--no-size", "--no-mlsd", "--retr", "trace.sor=short:299000"}, true,
         false},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        fs::remove_all(Local());
        ASSERT_TRUE(Demarrer(c.options));
        Ecrire(Local() / "trace.sor", "the engineer's older copy");
        if (c.bListe) {
            CString chemin = L"/T";
            CListeFichiersFtp liste;
            ASSERT_EQ(m_ftp->GetDir(&chemin, liste, 0), 0);
        }
        const int n = m_ftp->GetFile(L"/T/trace.sor", Texte(Local() / "trace.sor"));
        EXPECT_EQ(n, c.bReussi ? 1 : 0);
        if (c.bReussi) {
            EXPECT_TRUE(CRepertoireTemp::Lire(Local() / "trace.sor") == m_version1);
        } else {
            EXPECT_NE(Erreur().find("the file arrived incomplete: 299000 of 300000 bytes"), std::string::npos)
                << Erreur();
            EXPECT_EQ(CRepertoireTemp::Lire(Local() / "trace.sor"), "the engineer's older copy");
        }
        EXPECT_TRUE(Temporaires(Local()).empty());
    }
}

TEST_F(IntegriteTest, SyncNeverCountsAShortDownloadAndResumesOnlyWhatItCanProve)
{
    const struct
    {
        const char* nom;
        std::vector<std::string> options;
        bool bChange;   // the instrument rewrites the file (same size, same time) between the two syncs
        int nRepris;
    } cas[] = {
        {"REST honoured", {"--rest"}, false, 1},
        {"REST answered 350 but sent from byte 0", {"--rest-ignored"}, false, 0},
        {"same size and time, other bytes (MLSD)", {"--rest"}, true, 0},
        {"same size and time, other bytes (LIST only)", {"--rest", "--no-mlsd"}, true, 0},
        {"no SIZE", {"--rest", "--no-size", "--no-mlsd"}, false, 1},
        {"no SIZE, and the file changed", {"--rest", "--no-size", "--no-mlsd"}, true, 0},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        fs::remove_all(Local());
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"--once", "--retr", "trace.sor=426:200000"});
        ASSERT_TRUE(Demarrer(options));

        auto b = Sync();
        ASSERT_EQ(b.parcours.echecs.size(), 1u);
        EXPECT_EQ(Fil(b.parcours.echecs[0].strChemin), "/T/trace.sor");
        ASSERT_EQ(Temporaires(Local()).size(), 1u) << "the cut download is kept aside";
        if (c.bChange)
            Ecrire(Serveur() / "trace.sor", m_version2);

        b = Sync();
        EXPECT_TRUE(b.Complet()) << (b.parcours.echecs.empty() ? "" : Fil(b.parcours.echecs[0].strRaison));
        EXPECT_EQ(b.nRepris, c.nRepris);
        EXPECT_TRUE(CRepertoireTemp::Lire(Local() / "trace.sor") == (c.bChange ? m_version2 : m_version1));
        EXPECT_TRUE(Temporaires(Local()).empty());
    }
}

TEST_F(IntegriteTest, ASyncOfAServerThatAlwaysSendsShortFailsEveryTime)
{
    ASSERT_TRUE(Demarrer({"--no-mlsd", "--retr", "trace.sor=short:299000"}));
    for (int i = 0; i < 2; ++i) {
        const auto b = Sync();
        ASSERT_EQ(b.parcours.echecs.size(), 1u);
        EXPECT_NE(Fil(b.parcours.echecs[0].strRaison).find("incomplete"), std::string::npos);
        EXPECT_FALSE(fs::exists(Local() / "trace.sor"));
        EXPECT_TRUE(Temporaires(Local()).empty());
    }
}

TEST_F(IntegriteTest, AnUploadThatFailsOrIsCancelledLeavesTheServersFileWhole)
{
    const struct
    {
        const char* nom;
        std::vector<std::string> options;
        bool bAnnuler;
        bool bReussi;
        const char* raison;
    } cas[] = {
        {"renamed over the target", {}, false, true, ""},
        {"server will not rename over a file", {"--no-rename-over"}, false, true, ""},
        {"connection cut mid-upload", {"--stor-hangup", "100000"}, false, false, "closed"},
        {"cancelled mid-upload", {"--stor-stall", "100000"}, true, false, "cancelled"},
        {"temporary names refused, target exists", {"--stor-refuse", ".otdr-"}, false, false,
         "refused a temporary name"},
    };
    const std::string nouveau = Contenu(3000000, 3);
    const fs::path source = m_local.Ecrire("new.sor", nouveau);
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        ASSERT_TRUE(Demarrer(c.options));
        // Cancelled once bytes have gone, while the server holds the rest.
        if (c.bAnnuler) {
            m_ftp->SetDelaiBlocage(5s);
            m_ftp->SetProgression([](uint64_t nFaits, uint64_t) { return nFaits == 0; });
        }
        EXPECT_EQ(m_ftp->PutFile(Texte(source), L"/T/trace.sor"), c.bReussi ? 1 : 0) << Erreur();
        EXPECT_NE(Erreur().find(c.raison), std::string::npos) << Erreur();
        EXPECT_TRUE(CRepertoireTemp::Lire(Serveur() / "trace.sor") == (c.bReussi ? nouveau : m_version1));
        EXPECT_TRUE(Temporaires(Serveur()).empty());
    }
}

TEST_F(IntegriteTest, AServerThatRefusesTemporaryNamesStillTakesANewFile)
{
    ASSERT_TRUE(Demarrer({"--stor-refuse", ".otdr-"}));
    const fs::path source = m_local.Ecrire("new.sor", "bravo");
    EXPECT_EQ(m_ftp->PutFile(Texte(source), L"/T/new.sor"), 1) << Erreur();
    EXPECT_EQ(CRepertoireTemp::Lire(Serveur() / "new.sor"), "bravo");
}

TEST_F(IntegriteTest, ASameSizeRewriteWithinTheListedMinuteIsFetched)
{
    // LIST gives the minute: a copy made within that minute cannot tell a
    // rewrite of the same size from the version it holds; MDTM can.
    for (const bool bMdtm : {true, false}) {
        SCOPED_TRACE(bMdtm ? "MDTM" : "no MDTM: fetched again");
        fs::remove_all(Local());
        std::vector<std::string> options{"--no-mlsd", "--list-minutes"};
        if (!bMdtm)
            options.push_back("--no-mdtm");
        ASSERT_TRUE(Demarrer(options));
        const time_t maintenant = ::time(nullptr);
        const time_t nMinute = maintenant - maintenant % 60;
        Ecrire(Serveur() / "trace.sor", m_version1, nMinute);
        auto b = Sync();
        ASSERT_TRUE(b.Complet());
        ASSERT_TRUE(CRepertoireTemp::Lire(Local() / "trace.sor") == m_version1);

        Ecrire(Serveur() / "trace.sor", m_version2, nMinute + 1);
        b = Sync();
        EXPECT_TRUE(b.Complet());
        EXPECT_EQ(b.modifies.size(), 1u);
        EXPECT_TRUE(CRepertoireTemp::Lire(Local() / "trace.sor") == m_version2);
    }
}

TEST_F(IntegriteTest, TemporariesOfKilledRunsGoAndAUsersFileOfTheSameNameStays)
{
    ASSERT_TRUE(Demarrer({}));
    const struct
    {
        const char* nom;
        bool bMarque;   // made by this library (its mark)
        bool bTenu;     // another run is writing it (holds its lock)
        bool bReste;
    } cas[] = {
        {".otdr-0badc0de.part", true, false, false},
        {".otdr-12345678.part", false, false, true},
        {".otdr-87654321.part", true, true, true},
    };
    std::vector<int> tenus;
    for (const auto& c : cas) {
        Ecrire(Local() / c.nom, "x");
        if (c.bMarque)
            ASSERT_EQ(::setxattr((Local() / c.nom).c_str(), "user.otdr-temporaire", "1", 1, 0), 0);
        if (c.bTenu) {
            tenus.push_back(::open((Local() / c.nom).c_str(), O_RDONLY));
            ASSERT_EQ(::flock(tenus.back(), LOCK_EX), 0);
        }
    }
    EXPECT_EQ(m_ftp->GetFile(L"/T/petit.sor", Texte(Local() / "petit.sor")), 1) << Erreur();
    for (const auto& c : cas)
        EXPECT_EQ(fs::exists(Local() / c.nom), c.bReste) << c.nom;
    for (int fd : tenus)
        ::close(fd);
}
