// Progress, cancel, failure texts, dates and download targets of the FTP
// client, against pyftpdlib.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "ftp/CFTPDirect.h"
#include "support/ServeurFtp.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Horloge = std::chrono::steady_clock;

namespace {

std::string Etroit(const std::wstring& s) { return std::string(s.begin(), s.end()); }

class FtpClientTest : public ::testing::Test
{
protected:
    bool Ouvrir(const std::vector<std::string>& options = {})
    {
        if (!serveur.Demarrer(options))
            return false;
        client = std::make_unique<CFTPDirect>(L"127.0.0.1", serveur.Port());
        client->SetDelaiReponse(2s);
        client->SetDelaiBlocage(2s);
        client->SetTrace([this](const std::string& l) { trace.push_back(l); });
        return client->FtpConnexion(L"test", L"secret") == 1;
    }
    std::vector<std::string> Fichiers(const fs::path& d)
    {
        std::vector<std::string> r;
        for (const auto& e : fs::directory_iterator(d))
            r.push_back(e.path().filename().string());
        std::sort(r.begin(), r.end());
        return r;
    }

    CServeurFtpTest serveur;
    CRepertoireTemp local{"otdr-ftp-annul"};
    std::unique_ptr<CFTPDirect> client;
    std::vector<std::string> trace;
};

} // namespace

TEST_F(FtpClientTest, ProgressRunsFromStartToEndAndCancelStopsWithinATenthOfASecond)
{
    // 256 KiB/s: a 2 MiB file takes 8 s unless cancelled.
    ASSERT_TRUE(Ouvrir({"--throttle", "262144"}));
    serveur.Repertoire().Ecrire("big.sor", std::string(2 << 20, 'b'));
    serveur.Repertoire().Ecrire("small.sor", std::string(100000, 's'));
    const fs::path cible = local.Ecrire("big.sor", "previous");

    std::vector<std::pair<uint64_t, uint64_t>> appels;
    client->SetProgression([&](uint64_t n, uint64_t t) {
        appels.emplace_back(n, t);
        return true;
    });
    CListeFichiersFtp liste;
    CString chemin = L"/";
    ASSERT_EQ(client->GetDir(&chemin, liste, 0), 0);  // gives the sizes
    ASSERT_EQ(client->GetFile(L"small.sor", CString((local.Chemin() / "small.sor").wstring())), 1);
    ASSERT_GE(appels.size(), 2u);
    EXPECT_EQ(appels.front(), std::make_pair(uint64_t(0), uint64_t(100000)));
    EXPECT_EQ(appels.back(), std::make_pair(uint64_t(100000), uint64_t(100000)));
    EXPECT_TRUE(client->GetDerniereErreur().empty());

    // Cancelled from another thread while the data flows.
    appels.clear();
    std::thread annulation([&] {
        std::this_thread::sleep_for(600ms);
        client->Annuler();
    });
    const auto debut = Horloge::now();
    EXPECT_EQ(client->GetFile(L"big.sor", CString(cible.wstring())), 0);
    const auto duree = Horloge::now() - debut;
    annulation.join();
    EXPECT_LT(duree, 600ms + 400ms);
    EXPECT_GE(appels.size(), 4u);  // about every 100 ms
    EXPECT_EQ(client->GetDerniereErreur(), L"cancelled");
    EXPECT_EQ(CRepertoireTemp::Lire(cible), "previous");
    EXPECT_EQ(Fichiers(local.Chemin()), (std::vector<std::string>{"big.sor", "small.sor"}));

    // The cancel holds: nothing reaches the server until it is rearmed.
    EXPECT_TRUE(client->EstAnnule());
    trace.clear();
    EXPECT_EQ(client->GetDir(&chemin, liste, 0), CFTPDirect::ECHEC_ANNULE);
    EXPECT_EQ(client->MakeDir(L"x"), CFTPDirect::ECHEC_ANNULE);
    EXPECT_EQ(client->DelFile(L"small.sor"), 0);
    EXPECT_TRUE(trace.empty());
    client->RearmerAnnulation();
    EXPECT_EQ(client->GetDir(&chemin, liste, 0), 0);
    EXPECT_EQ(liste.m_nNombre, 2);

    // A progress function that says no cancels too.
    client->SetProgression([](uint64_t n, uint64_t) { return n < 100000; });
    EXPECT_EQ(client->GetFile(L"big.sor", CString(cible.wstring())), 0);
    EXPECT_TRUE(client->EstAnnule());
    EXPECT_EQ(CRepertoireTemp::Lire(cible), "previous");
}

TEST_F(FtpClientTest, CancelledUploadLeavesNothingOnTheServerAndWaitsEndAtOnce)
{
    ASSERT_TRUE(Ouvrir({"--throttle", "262144"}));
    const fs::path source = local.Ecrire("up.sor", std::string(2 << 20, 'u'));
    std::thread annulation([&] {
        std::this_thread::sleep_for(500ms);
        client->Annuler();
    });
    EXPECT_EQ(client->PutFile(CString(source.wstring()), L"up.sor"), 0);
    annulation.join();
    EXPECT_FALSE(fs::exists(serveur.Racine() / "up.sor"));
    EXPECT_EQ(client->GetDerniereErreur(), L"cancelled");
    client->RearmerAnnulation();

    // A server that stopped answering: the wait for its reply ends with the cancel.
    ::kill(serveur.Processus().Pid(), SIGSTOP);
    client->SetDelaiReponse(30s);
    std::thread annulation2([&] {
        std::this_thread::sleep_for(300ms);
        client->Annuler();
    });
    const auto debut = Horloge::now();
    EXPECT_EQ(client->MakeDir(L"never"), CFTPDirect::ECHEC_ANNULE);
    EXPECT_LT(Horloge::now() - debut, 300ms + 400ms);
    annulation2.join();
    ::kill(serveur.Processus().Pid(), SIGCONT);
}

TEST_F(FtpClientTest, FailuresCarryTheServerReplyOrTheLocalReason)
{
    ASSERT_TRUE(Ouvrir());
    fs::create_directories(serveur.Racine() / "d");
    const struct
    {
        const char* quoi;
        std::function<bool()> operation;
        const char* raison;
    } cas[] = {
        {"missing file", [&] { return client->GetFile(L"none.sor", CString((local.Chemin() / "n").wstring())) == 1; },
         "550 "},
        {"mkdir over a directory", [&] { return client->MakeDir(L"d") == 0; }, "550 "},
        {"target in a missing directory",
         [&] {
             serveur.Repertoire().Ecrire("f.sor", "f");
             return client->GetFile(L"f.sor", CString((local.Chemin() / "no/such/f.sor").wstring())) == 1;
         },
         "cannot create '"},
        {"target that is a directory",
         [&] { return client->GetFile(L"f.sor", CString(local.Chemin().wstring())) == 1; }, "is a directory"},
        {"missing local source", [&] { return client->PutFile(L"/no/such/file", L"x") == 1; }, "cannot read '/no/such/file'"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.quoi);
        EXPECT_FALSE(c.operation());
        EXPECT_NE(Etroit(client->GetDerniereErreur()).find(c.raison), std::string::npos)
            << Etroit(client->GetDerniereErreur());
    }
    EXPECT_EQ(client->MakeDir(L"new"), 0);
    EXPECT_TRUE(client->GetDerniereErreur().empty());
}

TEST_F(FtpClientTest, FilesKeepTheirTimesBothWays)
{
    ASSERT_TRUE(Ouvrir());
    const fs::path distant = serveur.Repertoire().Ecrire("dated.sor", "12345");
    struct timespec t[2] = {{1700000000, 0}, {1700000000, 0}};  // 2023-11-14 22:13:20 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, distant.c_str(), t, 0), 0);
    struct stat st;

    // Straight away (MDTM), and after a listing (its MLSD time).
    const fs::path cible = local.Chemin() / "dated.sor";
    ASSERT_EQ(client->GetFile(L"dated.sor", CString(cible.wstring())), 1);
    ASSERT_EQ(::stat(cible.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1700000000);
    CListeFichiersFtp liste;
    CString chemin = L"/";
    ASSERT_EQ(client->GetDir(&chemin, liste, 0), 0);
    ASSERT_EQ(liste.m_nNombre, 1);
    EXPECT_EQ(liste.m_pElements[0].m_nDateUtc, 1700000000);
    fs::remove(cible);
    trace.clear();
    ASSERT_EQ(client->GetFile(L"dated.sor", CString(cible.wstring())), 1);
    ASSERT_EQ(::stat(cible.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1700000000);
    for (const std::string& l : trace) {
        EXPECT_NE(l.rfind("> MDTM", 0), 0u);
        EXPECT_NE(l.rfind("> SIZE", 0), 0u);
    }

    // Upload: MFMT, which this server lists in FEAT.
    const fs::path source = local.Ecrire("local.sor", "abc");
    struct timespec t2[2] = {{1600000000, 0}, {1600000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), t2, 0), 0);
    ASSERT_EQ(client->PutFile(CString(source.wstring()), L"up.sor"), 1);
    ASSERT_EQ(::stat((serveur.Racine() / "up.sor").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1600000000);
}

TEST_F(FtpClientTest, DownloadsRespectTheirTarget)
{
    ASSERT_TRUE(Ouvrir());
    serveur.Repertoire().Ecrire("t.sor", "new content");

    // Through a symbolic link: the link stays, its destination gets the data.
    const fs::path destination = local.Ecrire("real.sor", "old");
    ::chmod(destination.c_str(), 0640);
    const fs::path lien = local.Chemin() / "link.sor";
    fs::create_symlink("real.sor", lien);
    ASSERT_EQ(client->GetFile(L"t.sor", CString(lien.wstring())), 1);
    EXPECT_TRUE(fs::is_symlink(lien));
    EXPECT_EQ(CRepertoireTemp::Lire(destination), "new content");
    struct stat st;
    ASSERT_EQ(::stat(destination.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A 255-byte target name: the temporary name beside it stays short.
    const fs::path longue = local.Chemin() / std::string(255, 'n');
    ASSERT_EQ(client->GetFile(L"t.sor", CString(longue.wstring())), 1);
    EXPECT_EQ(CRepertoireTemp::Lire(longue), "new content");

    // A file its user may not write is refused, not replaced (checked as an
    // ordinary user: root may write anything).
    const fs::path protege = local.Ecrire("protected.sor", "keep me");
    ::chmod(local.Chemin().c_str(), 0777);
    ::chmod(protege.c_str(), 0644);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        CFTPDirect enfant(L"127.0.0.1", serveur.Port());
        if (!enfant.FtpConnexion(L"test", L"secret"))
            ::_exit(4);
        const bool bRefuse = enfant.GetFile(L"t.sor", CString(protege.wstring())) == 0 &&
                             enfant.GetDerniereErreur().Find(L"Permission denied") >= 0;
        ::_exit(bRefuse ? 0 : 5);
    }
    int statut = 0;
    ASSERT_EQ(::waitpid(pid, &statut, 0), pid);
    if (::getuid() == 0 || ::access(protege.c_str(), W_OK) != 0) {
        EXPECT_EQ(WEXITSTATUS(statut), 0);
    }
    EXPECT_EQ(CRepertoireTemp::Lire(protege), "keep me");
    for (const auto& e : fs::directory_iterator(local.Chemin()))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos);
}

TEST_F(FtpClientTest, NamesThatDecodeAlikeOrToNothingAreLeftOutAndNamed)
{
    CRepertoireTemp canned("otdr-ftp-canned");
    const fs::path mlsd = canned.Ecrire("mlsd",
                                        "type=file;size=1;modify=20240101000000; ok.sor\r\n"
                                        "type=file;size=1;modify=20240101000000; ok.sor\xC3\r\n"
                                        "type=file;size=1;modify=20240101000000; \xC3\r\n"
                                        "type=dir;modify=20240101000000; ..\xC3\r\n"
                                        "type=file;size=1;modify=20240101000000; \xE9t\xE9.sor\r\n"
                                        "type=file;size=1;modify=20240101000000;  lead.sor\r\n"
                                        "type=file;size=1;modify=20240101000000; kept.sor\r\n");
    ASSERT_TRUE(Ouvrir({"--canned-mlsd", mlsd.string()}));
    CListeFichiersFtp liste;
    CString chemin = L"/";
    ASSERT_EQ(client->GetDir(&chemin, liste, 0), 0);
    std::vector<std::wstring> noms;
    for (int i = 0; i < liste.m_nNombre; ++i)
        noms.push_back(liste.m_pElements[i].m_strNom);
    // Latin-1 bytes are not UTF-8: shown with U+FFFD, and alone with that text.
    EXPECT_EQ(noms, (std::vector<std::wstring>{L"\uFFFDt\uFFFD.sor", L" lead.sor", L"kept.sor"}));
    EXPECT_EQ(client->GetNomsEnDoublon(), (std::vector<CString>{L"ok.sor", L"ok.sor\\xC3"}));
}
