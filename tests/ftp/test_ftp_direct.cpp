#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <algorithm>
#include <thread>

#include "ServeurFtpTest.h"
#include "ftp/CFTPDirect.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::vector<std::wstring> Noms(const CListeFichiersFtp& liste)
{
    std::vector<std::wstring> noms;
    for (int i = 0; i < liste.m_nNombre; ++i)
        noms.push_back(liste.m_pElements[i].m_strNom);
    return noms;
}

std::vector<std::string> Fichiers(const fs::path& dossier)
{
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(dossier))
        r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
}

// Connected client on a fresh server with short time limits.
struct CSession
{
    CServeurFtpTest serveur;
    std::unique_ptr<CFTPDirect> client;
    std::vector<std::string> trace;

    bool Ouvrir(const std::vector<std::string>& options = {}, const wchar_t* adresse = L"127.0.0.1")
    {
        if (!serveur.Demarrer(options))
            return false;
        client = std::make_unique<CFTPDirect>(adresse, serveur.Port());
        client->SetDelaiConnexion(2s);
        client->SetDelaiReponse(2s);
        client->SetDelaiBlocage(2s);
        client->SetTrace([this](const std::string& ligne) { trace.push_back(ligne); });
        return client->FtpConnexion(L"test", L"secret") == 1;
    }
};

} // namespace

TEST(FtpClient, NeverConnectedAnswersWithoutNetwork)
{
    CFTPDirect client(L"127.0.0.1", PortLibre());
    CListeFichiersFtp liste;
    liste.Add(tInfosFichierFtp(L"kept", L"", L"n", 1));
    CString chemin = L"/x";
    EXPECT_EQ(client.GetDir(&chemin, liste, 1), 0);
    EXPECT_EQ(chemin, L"/x");
    EXPECT_EQ(liste.m_nNombre, 1);
    EXPECT_EQ(client.MakeDir(L"a"), 0);
    EXPECT_EQ(client.MakeDir(L"a", L"/"), 0);
    EXPECT_EQ(client.RemDir(L"a", L"/"), 0);
    EXPECT_EQ(client.SetCurrentDirectoryW(L"/a", 1), 0);
    EXPECT_EQ(client.GetFile(L"a", L"/tmp/never-written"), 0);
    EXPECT_FALSE(fs::exists("/tmp/never-written"));
    EXPECT_EQ(client.PutFile(L"/etc/hostname", L"a"), 0);
    EXPECT_EQ(client.DelFile(L"a"), 0);
    CString courant = L"untouched";
    EXPECT_EQ(client.GetCurrentDirectoryW(courant), 0);
    EXPECT_EQ(courant, L"untouched");
    EXPECT_EQ(client.FtpDeconnexion(), 0);

    // Nothing listens there: the login fails, quickly.
    EXPECT_EQ(client.FtpConnexion(L"test", L"secret"), 0);
    EXPECT_EQ(client.FtpDeconnexion(), 0);

    EXPECT_EQ(CFTPDirect::GetFileName(L"abc*def"), L"abc");
    EXPECT_EQ(CFTPDirect::GetFileName(L"abcdef"), L"");
    EXPECT_EQ(CFTPDirect::GetFileName(L"*abc"), L"");
    EXPECT_TRUE(CFTPDirect::IsSpecialDir(L"."));
    EXPECT_TRUE(CFTPDirect::IsSpecialDir(L".."));
    EXPECT_FALSE(CFTPDirect::IsSpecialDir(L"..."));
    EXPECT_FALSE(CFTPDirect::IsSpecialDir(L" ."));
    EXPECT_TRUE(CFTPDirect::IsDirectory(tInfosFichierFtp(L"x", L"", L"dh", 0)));
    EXPECT_FALSE(CFTPDirect::IsDirectory(tInfosFichierFtp(L"x", L"", L"anr", 0)));
}

TEST(FtpClient, LoginLogoutAndRelogin)
{
    CSession s;
    ASSERT_TRUE(s.Ouvrir());
    CString courant;
    EXPECT_EQ(s.client->GetCurrentDirectoryW(courant), 1);
    EXPECT_EQ(courant, L"/");
    // The password never shows in the trace.
    bool bPass = false;
    for (const std::string& l : s.trace) {
        EXPECT_EQ(l.find("secret"), std::string::npos) << l;
        bPass = bPass || l == "> PASS ****";
    }
    EXPECT_TRUE(bPass);

    // A second login replaces the first; a refused one leaves the object unconnected.
    EXPECT_EQ(s.client->FtpConnexion(L"test", L"secret"), 1);
    EXPECT_EQ(s.client->FtpConnexion(L"test", L"wrong"), 0);
    EXPECT_EQ(s.client->FtpConnexion(L"test", L"secret\r\nDELE x"), 0);
    EXPECT_EQ(s.client->MakeDir(L"ghost"), 0);
    EXPECT_FALSE(fs::exists(s.serveur.Racine() / "ghost"));
    EXPECT_EQ(s.client->FtpDeconnexion(), 0);
    EXPECT_EQ(s.client->FtpConnexion(L"test", L"secret"), 1);
    EXPECT_EQ(s.client->FtpDeconnexion(), 1);
    EXPECT_EQ(s.client->FtpDeconnexion(), 0);
}

TEST(FtpClient, SetCurrentDirectoryWalks)
{
    CSession s;
    ASSERT_TRUE(s.Ouvrir({"--read-only", "ro"}));
    const fs::path racine = s.serveur.Racine();
    fs::create_directories(racine / "a");
    fs::create_directories(racine / "ro");
    CFTPDirect& c = *s.client;
    CString courant;

    // a exists; b and c are created and entered.
    EXPECT_EQ(c.SetCurrentDirectoryW(L"a/b/c", 1), 0);
    EXPECT_TRUE(fs::is_directory(racine / "a/b/c"));
    c.GetCurrentDirectoryW(courant);
    EXPECT_EQ(courant, L"/a/b/c");

    // Absolute path that exists.
    EXPECT_EQ(c.SetCurrentDirectoryW(L"/a", 0), 0);
    c.GetCurrentDirectoryW(courant);
    EXPECT_EQ(courant, L"/a");

    // /x cannot be entered: the walk creates x below the current directory.
    EXPECT_EQ(c.SetCurrentDirectoryW(L"/x", 1), 0);
    EXPECT_TRUE(fs::is_directory(racine / "a/x"));
    EXPECT_FALSE(fs::exists(racine / "x"));
    c.GetCurrentDirectoryW(courant);
    EXPECT_EQ(courant, L"/a/x");

    // Create flag 0 on a missing directory: 3, nothing made, directory kept.
    EXPECT_EQ(c.SetCurrentDirectoryW(L"/missing/deeper", 0), 3);
    EXPECT_FALSE(fs::exists(racine / "missing"));
    c.GetCurrentDirectoryW(courant);
    EXPECT_EQ(courant, L"/a/x");

    // Empty path with the create flag: 0.
    EXPECT_EQ(c.SetCurrentDirectoryW(L"", 1), 0);
    EXPECT_EQ(c.SetCurrentDirectoryW(L"", 0), 3);

    // ".." goes up as the server resolves it.
    EXPECT_EQ(c.SetCurrentDirectoryW(L"..", 0), 0);
    c.GetCurrentDirectoryW(courant);
    EXPECT_EQ(courant, L"/a");

    // A refusal in the middle: its reply code; later components not tried;
    // the connection stands in the last directory entered.
    EXPECT_EQ(c.SetCurrentDirectoryW(L"/ro", 0), 0);
    EXPECT_EQ(c.SetCurrentDirectoryW(L"p/q", 1), 550);
    EXPECT_FALSE(fs::exists(racine / "ro/p"));
    c.GetCurrentDirectoryW(courant);
    EXPECT_EQ(courant, L"/ro");

    // Names that cannot travel on the control connection are refused.
    EXPECT_EQ(c.SetCurrentDirectoryW(L"bad\r\nDELE x", 1), 501);
    EXPECT_NE(c.MakeDir(L"bad\nname"), 0);
    EXPECT_NE(c.MakeDir(L"back\\slash"), 0);
}

TEST(FtpClient, MakeDirRemDirAndFailureCodes)
{
    CSession s;
    ASSERT_TRUE(s.Ouvrir());
    const fs::path racine = s.serveur.Racine();
    fs::create_directories(racine / "d");
    CFTPDirect& c = *s.client;

    EXPECT_EQ(c.MakeDir(L"n1", L"/d"), 0);
    EXPECT_TRUE(fs::is_directory(racine / "d/n1"));
    // The directory argument cannot be entered: created where the connection stands.
    EXPECT_EQ(c.MakeDir(L"n2", L"/nowhere"), 0);
    EXPECT_TRUE(fs::is_directory(racine / "d/n2"));
    EXPECT_EQ(c.MakeDir(L"n2"), 550);  // exists
    EXPECT_EQ(c.MakeDir(L"sub/deep"), 550);  // parent missing
    EXPECT_EQ(c.MakeDir(L"n1/deep"), 0);     // a path below the current directory
    EXPECT_TRUE(fs::is_directory(racine / "d/n1/deep"));

    EXPECT_EQ(c.RemDir(L"n2", L"/d"), 0);
    EXPECT_FALSE(fs::exists(racine / "d/n2"));
    EXPECT_EQ(c.RemDir(L"n2", L"/d"), 550);
    EXPECT_NE(c.RemDir(L"n1", L"/d"), 0);  // not empty
    EXPECT_TRUE(fs::exists(racine / "d/n1"));
}

TEST(FtpClient, FilesTravelAsUtf8AndDownloadsReplaceOnlyOnSuccess)
{
    CSession s;
    ASSERT_TRUE(s.Ouvrir());
    CRepertoireTemp local("otdr-ftp-local");
    const fs::path racine = s.serveur.Racine();
    CFTPDirect& c = *s.client;

    const std::string contenu(300000, '\x5a');
    const fs::path source = local.Ecrire("source.sor", contenu);
    const CString nom = L"\u00e9.sor";
    EXPECT_EQ(c.PutFile(CString(source.wstring()), nom), 1);
    // The name reached the server as C3 A9 2E 73 6F 72.
    EXPECT_EQ(Fichiers(racine), (std::vector<std::string>{"\xC3\xA9.sor"}));
    EXPECT_EQ(CRepertoireTemp::Lire(racine / "\xC3\xA9.sor"), contenu);
    // Stored under a temporary name, then renamed over the target.
    bool bRnto = false;
    for (const std::string& l : s.trace)
        bRnto = bRnto || l == "> RNTO \xC3\xA9.sor";
    EXPECT_TRUE(bRnto);

    // Listed back under the same name.
    CString chemin = L"/";
    CListeFichiersFtp liste;
    EXPECT_EQ(c.GetDir(&chemin, liste, 0), 0);
    EXPECT_EQ(Noms(liste), (std::vector<std::wstring>{L"\u00e9.sor"}));
    ASSERT_EQ(liste.m_nNombre, 1);
    EXPECT_EQ(liste.m_pElements[0].m_nTaille, contenu.size());
    EXPECT_EQ(liste.m_pElements[0].m_strAttributs, L"n");
    EXPECT_EQ(liste.m_pElements[0].m_strDate.GetLength(), 19);

    // GetFile over an existing file replaces it, leaving nothing else behind.
    const fs::path cible = local.Ecrire("copie.sor", "old content");
    EXPECT_EQ(c.GetFile(nom, CString(cible.wstring())), 1);
    EXPECT_EQ(CRepertoireTemp::Lire(cible), contenu);

    // A failed download keeps the existing file whole and leaves no temporary.
    local.Ecrire("copie.sor", "old content");
    EXPECT_EQ(c.GetFile(L"missing.sor", CString(cible.wstring())), 0);
    EXPECT_EQ(CRepertoireTemp::Lire(cible), "old content");
    EXPECT_EQ(Fichiers(local.Chemin()), (std::vector<std::string>{"copie.sor", "source.sor"}));

    // Empty files, files in a subdirectory by relative path, deletion.
    fs::create_directories(racine / "sub");
    const fs::path vide = local.Ecrire("vide.sor", "");
    EXPECT_EQ(c.PutFile(CString(vide.wstring()), L"sub/vide.sor"), 1);
    EXPECT_TRUE(fs::exists(racine / "sub/vide.sor"));
    EXPECT_EQ(c.GetFile(L"sub/vide.sor", CString((local.Chemin() / "v2.sor").wstring())), 1);
    EXPECT_EQ(fs::file_size(local.Chemin() / "v2.sor"), 0u);
    EXPECT_EQ(c.DelFile(L"sub/vide.sor"), 1);
    EXPECT_FALSE(fs::exists(racine / "sub/vide.sor"));
    EXPECT_EQ(c.DelFile(L"sub/vide.sor"), 0);
    EXPECT_EQ(c.PutFile(L"/nonexistent/local.sor", L"x.sor"), 0);
    EXPECT_EQ(c.DelFile(L"a\r\nRMD sub"), 0);
    EXPECT_TRUE(fs::exists(racine / "sub"));
}

TEST(FtpClient, DownloadCutMidWayKeepsTheOldFile)
{
    // 64 KiB/s: a 4 MiB file takes a minute. Within a second the server is
    // killed, or frozen (the data stops flowing: the stall limit gives up).
    for (const bool bGel : {false, true}) {
        SCOPED_TRACE(bGel ? "frozen" : "killed");
        CSession s;
        ASSERT_TRUE(s.Ouvrir({"--throttle", "65536"}));
        s.client->SetDelaiReponse(1s);
        s.client->SetDelaiBlocage(1s);
        s.serveur.Repertoire().Ecrire("big.sor", std::string(4 << 20, 'x'));
        CRepertoireTemp local("otdr-ftp-local");
        const fs::path cible = local.Ecrire("big.sor", "previous");
        const pid_t pid = s.serveur.Processus().Pid();

        std::thread panne([&] {
            std::this_thread::sleep_for(bGel ? 500ms : 700ms);
            if (bGel)
                ::kill(pid, SIGSTOP);
            else
                s.serveur.Processus().Tuer();
        });
        auto debut = std::chrono::steady_clock::now();
        EXPECT_EQ(s.client->GetFile(L"big.sor", CString(cible.wstring())), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - debut, bGel ? 15s : 10s);
        panne.join();
        EXPECT_EQ(CRepertoireTemp::Lire(cible), "previous");
        EXPECT_EQ(Fichiers(local.Chemin()), (std::vector<std::string>{"big.sor"}));

        // The next command fails too, within one reply time limit, not for ever.
        debut = std::chrono::steady_clock::now();
        EXPECT_NE(s.client->MakeDir(L"later"), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - debut, 10s);
        if (bGel)
            ::kill(pid, SIGCONT);
    }
}

TEST(FtpClient, SilentServerHitsTheReplyTimeLimit)
{
    // Stopped: the system still accepts the connection, no banner ever comes.
    CServeurFtpTest serveur;
    ASSERT_TRUE(serveur.Demarrer());
    ::kill(serveur.Processus().Pid(), SIGSTOP);
    CFTPDirect client(L"127.0.0.1", serveur.Port());
    client.SetDelaiReponse(1s);
    const auto debut = std::chrono::steady_clock::now();
    EXPECT_EQ(client.FtpConnexion(L"test", L"secret"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - debut, 10s);
    ::kill(serveur.Processus().Pid(), SIGCONT);
}

TEST(FtpClient, GetDirListsFallsBackAndGrows)
{
    CSession s;
    ASSERT_TRUE(s.Ouvrir());
    const fs::path racine = s.serveur.Racine();
    for (int i = 0; i < 17; ++i)
        s.serveur.Repertoire().Ecrire("d17/f" + std::to_string(i) + ".sor", std::string(i, 'a'));
    for (int i = 0; i < 32; ++i)
        s.serveur.Repertoire().Ecrire("d33/f" + std::to_string(i) + ".sor", "b");
    fs::create_directories(racine / "d33/sub");
    fs::create_directories(racine / "empty");
    CFTPDirect& c = *s.client;

    CListeFichiersFtp liste;
    CString chemin = L"/d17";
    EXPECT_EQ(c.GetDir(&chemin, liste, 1), 0);
    EXPECT_EQ(liste.m_nNombre, 17);
    EXPECT_EQ(liste.m_nCapacite, 32);
    chemin = L"/d33";
    EXPECT_EQ(c.GetDir(&chemin, liste, 1), 0);
    EXPECT_EQ(liste.m_nNombre, 33);
    EXPECT_EQ(liste.m_nCapacite, 48);
    int nRepertoires = 0;
    for (int i = 0; i < liste.m_nNombre; ++i)
        if (CFTPDirect::IsDirectory(liste.m_pElements[i])) {
            ++nRepertoires;
            EXPECT_EQ(liste.m_pElements[i].m_strNom, L"sub");
        }
    EXPECT_EQ(nRepertoires, 1);

    // Cannot be entered, no fallback: 3, list and path untouched.
    chemin = L"/nope";
    EXPECT_EQ(c.GetDir(&chemin, liste, 0), 3);
    EXPECT_EQ(chemin, L"/nope");
    EXPECT_EQ(liste.m_nNombre, 33);
    // With the fallback: the root is listed and the path says so.
    EXPECT_EQ(c.GetDir(&chemin, liste, 1), 0);
    EXPECT_EQ(chemin, L"/");
    auto noms = Noms(liste);
    std::sort(noms.begin(), noms.end());
    EXPECT_EQ(noms, (std::vector<std::wstring>{L"d17", L"d33", L"empty"}));
    // An empty directory empties the list.
    chemin = L"empty";
    EXPECT_EQ(c.GetDir(&chemin, liste, 0), 0);
    EXPECT_EQ(liste.m_nNombre, 0);
    CString courant;
    c.GetCurrentDirectoryW(courant);
    EXPECT_EQ(courant, L"/empty");
}

TEST(FtpClient, ListFallbackWhenMlsdIsRefused)
{
    CSession s;
    ASSERT_TRUE(s.Ouvrir({"--no-mlsd"}));
    s.serveur.Repertoire().Ecrire("t/\xC3\xA9 trace.sor", std::string(1234, 'c'));
    fs::create_directories(s.serveur.Racine() / "t/dir");
    CListeFichiersFtp liste;
    CString chemin = L"/t";
    for (int passe = 0; passe < 2; ++passe) {
        EXPECT_EQ(s.client->GetDir(&chemin, liste, 0), 0);
        ASSERT_EQ(liste.m_nNombre, 2);
        for (int i = 0; i < 2; ++i) {
            const tInfosFichierFtp& e = liste.m_pElements[i];
            if (e.m_strNom == L"dir") {
                EXPECT_EQ(e.m_strAttributs, L"d");
            } else {
                EXPECT_EQ(e.m_strNom, L"\u00e9 trace.sor");
                EXPECT_EQ(e.m_nTaille, 1234u);
                EXPECT_EQ(e.m_strAttributs, L"n");
            }
        }
    }
    // MLSD is asked once per login, then LIST directly.
    int nMlsd = 0;
    for (const std::string& l : s.trace)
        nMlsd += l == "> MLSD";
    EXPECT_EQ(nMlsd, 1);
}

TEST(FtpClient, HostileNamesFromTheServerAreSkipped)
{
    CRepertoireTemp canned("otdr-ftp-canned");
    const fs::path mlsd = canned.Ecrire("mlsd",
                                        "type=cdir;modify=20240101000000; .\r\n"
                                        "type=pdir;modify=20240101000000; ..\r\n"
                                        "type=file;size=5;modify=20240101000000; ../../escape.sor\r\n"
                                        "type=file;size=5;modify=20240101000000; ..\\win.sor\r\n"
                                        "type=file;size=5;modify=99991231235959; good.sor\r\n"
                                        "type=file;size=5;modify=20240101000000; /abs.sor\r\n"
                                        "type=file;size=5;modify=20240101000000; cut\xC3\r\n");
    const fs::path list = canned.Ecrire("list",
                                        "-rw-r--r-- 1 0 0 5 Jan 01 2024 ../up.sor\r\n"
                                        "-rw-r--r-- 1 0 0 5 Jan 01 2024 fine.sor\r\n"
                                        "this is not a listing line\r\n"
                                        "-rw-r--r-- 1 0 0 5 Jan 01 2024 a\\b.sor\r\n");
    {
        CSession s;
        ASSERT_TRUE(s.Ouvrir({"--canned-mlsd", mlsd.string()}));
        CListeFichiersFtp liste;
        CString chemin = L"/";
        EXPECT_EQ(s.client->GetDir(&chemin, liste, 1), 0);
        // An incomplete character at the end of a name is dropped.
        EXPECT_EQ(Noms(liste), (std::vector<std::wstring>{L".", L"..", L"good.sor", L"cut"}));
        ASSERT_EQ(liste.m_nNombre, 4);
        EXPECT_EQ(liste.m_pElements[2].m_strDate, L"12/31/9999 23:59:59");
    }
    {
        CSession s;
        ASSERT_TRUE(s.Ouvrir({"--no-mlsd", "--canned-list", list.string()}));
        CListeFichiersFtp liste;
        CString chemin = L"/";
        EXPECT_EQ(s.client->GetDir(&chemin, liste, 1), 0);
        EXPECT_EQ(Noms(liste), (std::vector<std::wstring>{L"fine.sor"}));
    }
}

TEST(FtpClient, SessionAgainstTheSimulator)
{
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim));
    const int port = sim.Port("ftp");
    ASSERT_GT(port, 0);

    // Every family login is accepted; a wrong password is not.
    const std::pair<const wchar_t*, const wchar_t*> familles[] = {
        {L"krx11", L"QWPZ"},   {L"krx12", L"QWPZ"},    {L"tellmar", L"ulk"},  {L"krx14", L"brimola"},
        {L"krx15", L"brimola"}, {L"brimola", L"pelvu7"}, {L"FPX", L"LANTERNS"}, {L"anonymous", L"user@host"}};
    CFTPDirect client(L"127.0.0.1", port);
    client.SetDelaiReponse(5s);
    for (const auto& [utilisateur, motDePasse] : familles)
        EXPECT_EQ(client.FtpConnexion(utilisateur, motDePasse), 1) << utilisateur;
    EXPECT_EQ(client.FtpConnexion(L"krx15", L"QWPZ"), 0);
    ASSERT_EQ(client.FtpConnexion(L"krx15", L"brimola"), 1);

    CListeFichiersFtp liste;
    CString chemin = L"/Traces";
    EXPECT_EQ(client.GetDir(&chemin, liste, 1), 0);
    EXPECT_GE(liste.m_nNombre, 3);
    bool bSpecial = false;
    for (int i = 0; i < liste.m_nNombre; ++i) {
        EXPECT_TRUE(CFTPDirect::IsDirectory(liste.m_pElements[i]));
        bSpecial = bSpecial || liste.m_pElements[i].m_strNom == L"Mesures \u00e9t\u00e9";
    }
    EXPECT_TRUE(bSpecial);
    chemin = L"/Traces/Mesures \u00e9t\u00e9";
    EXPECT_EQ(client.GetDir(&chemin, liste, 1), 0);
    ASSERT_EQ(liste.m_nNombre, 2);
    EXPECT_GT(liste.m_pElements[0].m_nTaille, 1000u);

    CRepertoireTemp local("otdr-ftp-sim");
    const fs::path source = local.Ecrire("upload.sor", std::string(70000, '\x11'));
    // The walk creates below the current directory, so stand in /Reports first.
    EXPECT_EQ(client.SetCurrentDirectoryW(L"/Reports", 0), 0);
    EXPECT_EQ(client.SetCurrentDirectoryW(L"2026/Run 1", 1), 0);
    EXPECT_EQ(client.PutFile(CString(source.wstring()), L"upload.sor"), 1);
    EXPECT_EQ(client.GetFile(L"upload.sor", CString((local.Chemin() / "back.sor").wstring())), 1);
    EXPECT_EQ(CRepertoireTemp::Lire(local.Chemin() / "back.sor"), CRepertoireTemp::Lire(source));
    EXPECT_EQ(client.GetFile(L"/Traces/Mesures \u00e9t\u00e9/Fibre_\u00e901_1550nm.sor",
                             CString((local.Chemin() / "trace.sor").wstring())),
              1);
    EXPECT_EQ(fs::file_size(local.Chemin() / "trace.sor"), 48u * 1024u);
    EXPECT_EQ(client.DelFile(L"upload.sor"), 1);
    EXPECT_EQ(client.RemDir(L"Run 1", L"/Reports/2026"), 0);
    EXPECT_EQ(client.FtpDeconnexion(), 1);
    EXPECT_EQ(sim.Arreter(), 0);
}

TEST(FtpClient, AgainstVsftpdWithoutMlsd)
{
    if (!CVsftpdTest::Disponible())
        GTEST_SKIP() << "vsftpd is not installed";
    CVsftpdTest serveur;
    ASSERT_TRUE(serveur.Demarrer());
    fs::create_directories(serveur.Racine() / "Traces");
    CFTPDirect client(L"127.0.0.1", serveur.Port());
    CString base;
    ASSERT_TRUE(serveur.Connecter(client, base));

    CRepertoireTemp local("otdr-ftp-vs");
    const fs::path source = local.Ecrire("s.sor", std::string(123457, '\x42'));
    EXPECT_EQ(client.SetCurrentDirectoryW(base + L"/Traces", 0), 0);
    EXPECT_EQ(client.SetCurrentDirectoryW(L"2024 juin", 1), 0);
    EXPECT_EQ(client.PutFile(CString(source.wstring()), L"\u00e9t\u00e9 1.sor"), 1);
    EXPECT_TRUE(fs::exists(serveur.Racine() / "Traces/2024 juin/\xC3\xA9t\xC3\xA9 1.sor"));
    EXPECT_EQ(client.MakeDir(L"sub"), 0);

    CListeFichiersFtp liste;
    CString chemin = base + L"/Traces/2024 juin";
    EXPECT_EQ(client.GetDir(&chemin, liste, 0), 0);
    ASSERT_EQ(liste.m_nNombre, 2);
    for (int i = 0; i < 2; ++i) {
        const tInfosFichierFtp& e = liste.m_pElements[i];
        if (CFTPDirect::IsDirectory(e)) {
            EXPECT_EQ(e.m_strNom, L"sub");
        } else {
            EXPECT_EQ(e.m_strNom, L"\u00e9t\u00e9 1.sor");
            EXPECT_EQ(e.m_nTaille, 123457u);
            EXPECT_EQ(e.m_strDate.GetLength(), 19) << std::string(e.m_strDate.begin(), e.m_strDate.end());
        }
    }
    EXPECT_EQ(client.GetFile(L"\u00e9t\u00e9 1.sor", CString((local.Chemin() / "r.sor").wstring())), 1);
    EXPECT_EQ(CRepertoireTemp::Lire(local.Chemin() / "r.sor"), CRepertoireTemp::Lire(source));
    EXPECT_EQ(client.RemDir(L"sub", base + L"/Traces/2024 juin"), 0);
    EXPECT_EQ(client.DelFile(L"\u00e9t\u00e9 1.sor"), 1);
    EXPECT_EQ(client.RemDir(L"2024 juin", base + L"/Traces"), 0);
    EXPECT_TRUE(fs::is_empty(serveur.Racine() / "Traces"));
}

TEST(FtpClient, Ipv6Loopback)
{
    CSession s;
    ASSERT_TRUE(s.Ouvrir({"--address", "::1"}, L"::1"));
    s.serveur.Repertoire().Ecrire("six.sor", "666666");
    CListeFichiersFtp liste;
    CString chemin = L"/";
    EXPECT_EQ(s.client->GetDir(&chemin, liste, 0), 0);
    EXPECT_EQ(Noms(liste), (std::vector<std::wstring>{L"six.sor"}));
    CRepertoireTemp local("otdr-ftp-six");
    EXPECT_EQ(s.client->GetFile(L"six.sor", CString((local.Chemin() / "six.sor").wstring())), 1);
    EXPECT_EQ(CRepertoireTemp::Lire(local.Chemin() / "six.sor"), "666666");
}
