// The otdr CLI end to end: the real binary against the simulator.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include "ExecutionTest.h"
#include "support/EcouteSaturee.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"
#include "support/ServeurFtp.h"
#include "support/ServeurMuet.h"

namespace fs = std::filesystem;

namespace {

// Every run gets a private configuration home: the user's profile is never read or written.
tResultatExecution Otdr(const CRepertoireTemp& tmp, std::vector<std::string> args,
                        std::vector<std::string> env = {})
{
    args.insert(args.begin(), OTDR_CLI_PATH);
    env.push_back("XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string());
    return Executer(args, env);
}

int NombreLignes(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

// A message is one line on standard error, prefixed with the program's name.
void AttendreMessage(const tResultatExecution& r, const std::string& extrait)
{
    EXPECT_EQ(r.strErreur.rfind("otdr: ", 0), 0u) << r.strErreur;
    EXPECT_EQ(NombreLignes(r.strErreur), 1) << r.strErreur;
    EXPECT_NE(r.strErreur.find(extrait), std::string::npos) << r.strErreur;
}

std::string Octets(size_t n, unsigned graine)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + graine * 7 + (i >> 7)) & 0xFF);
    return s;
}

class OtdrCliSimulatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        racine = tmp.Chemin() / "instrument";
        tmp.Ecrire("instrument/Traces/a.sor", Octets(200000, 1));
        tmp.Ecrire("instrument/Traces/sub/b.sor", "abc");
        tmp.Ecrire("instrument/Traces/Mesures été/Ø-ring_1310nm.sor", Octets(5000, 2));
        tmp.Ecrire("instrument/readme.txt", "hello\n");
        fs::create_directories(racine / "Empty");
        ASSERT_TRUE(DemarrerSimulateur(sim, {"--ftp-root", racine.string()}));
        base = {"--profile", (tmp.Chemin() / "profile.ini").string(), "--address", "127.0.0.1",
                "--port", std::to_string(sim.Port("command")), "--ftp-port", std::to_string(sim.Port("ftp"))};
    }

    tResultatExecution Run(std::vector<std::string> args, std::vector<std::string> env = {})
    {
        args.insert(args.begin(), base.begin(), base.end());
        return Otdr(tmp, args, env);
    }

    CRepertoireTemp tmp{"otdr-cli"};
    fs::path racine;
    CProcessusTest sim;
    std::vector<std::string> base;
};

} // namespace

TEST(OtdrCli, HelpOnEveryCommandAndUsageErrorsExitTwo)
{
    CRepertoireTemp tmp("otdr-cli");
    auto r = Otdr(tmp, {"--help"});
    EXPECT_EQ(r.nSortie, 0);
    for (const char* c : {"config", "identify", "ls", "get", "put", "rm", "mkdir", "rmdir", "scan"}) {
        EXPECT_NE(r.strSortie.find(std::string("  ") + c), std::string::npos) << c;
        auto h = Otdr(tmp, {c, "--help"});
        EXPECT_EQ(h.nSortie, 0) << c;
        EXPECT_EQ(h.strSortie.rfind(std::string("Usage: otdr ") + c, 0), 0u) << c << h.strSortie;
        EXPECT_TRUE(h.strErreur.empty()) << c;
    }
    // The FTP commands say they never take the instrument into remote control.
    EXPECT_NE(Otdr(tmp, {"ls", "--help"}).strSortie.find("never\ntaken into remote control"), std::string::npos);

    const struct { std::vector<std::string> args; const char* message; } cas[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"ls", "--bogus"}, "unknown option '--bogus'"},
        {{"--port", "0", "identify"}, "--port: '0' is not a port number"},
        {{"--ftp-port", "70000", "ls"}, "--ftp-port: '70000' is not a port number"},
        {{"--port=abc", "identify"}, "--port: 'abc'"},
        {{"ls", "--address"}, "option --address needs a value"},
        {{"--timeout", "soon", "ls"}, "--timeout: 'soon'"},
        {{"--progress", "sometimes", "ls"}, "--progress: 'sometimes'"},
        {{"-r", "ls"}, "option -r applies to get, put and rmdir only"},
        {{"get", "/only-one"}, "missing operand: usage: otdr get [-r] REMOTE... LOCAL"},
        {{"ls", "/a", "/b"}, "too many operands"},
        {{"rm"}, "missing operand"},
        {{"config", "extra"}, "too many operands"},
        {{"--verbose=yes", "ls"}, "option --verbose takes no value"},
        // No address in the (empty) profile and none given.
        {{"--profile", (tmp.Chemin() / "vide.ini").string(), "ls"}, "no instrument address"},
        {{"--profile", (tmp.Chemin() / "vide.ini").string(), "identify"}, "no instrument address"},
    };
    for (const auto& c : cas) {
        auto e = Otdr(tmp, c.args);
        EXPECT_EQ(e.nSortie, 2) << c.message;
        AttendreMessage(e, c.message);
        EXPECT_TRUE(e.strSortie.empty()) << c.message;
    }
    EXPECT_FALSE(fs::exists(tmp.Chemin() / "vide.ini"));   // reading creates nothing
}

TEST(OtdrCli, ConfigShowsAndStoresTheInstrument)
{
    CRepertoireTemp tmp("otdr-cli");
    const std::string ini = (tmp.Chemin() / "p.ini").string();
    auto r = Otdr(tmp, {"config", "--profile", ini});
    EXPECT_EQ(r.nSortie, 0);
    EXPECT_NE(r.strSortie.find("address:   (not set)"), std::string::npos) << r.strSortie;
    EXPECT_NE(r.strSortie.find("port:      1400 (default)"), std::string::npos);
    EXPECT_NE(r.strSortie.find("ftp-port:  21 (default)"), std::string::npos);

    r = Otdr(tmp, {"--profile", ini, "config", "--address", "10.1.2.3", "--port", "4000", "--ftp-port", "2121"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    const std::string contenu = CRepertoireTemp::Lire(ini);
    EXPECT_NE(contenu.find("[OTDR Driver]"), std::string::npos) << contenu;
    EXPECT_NE(contenu.find("Adress IP"), std::string::npos);
    EXPECT_NE(contenu.find("10.1.2.3"), std::string::npos);
    r = Otdr(tmp, {"--profile", ini, "config"});
    EXPECT_NE(r.strSortie.find("address:   10.1.2.3\nport:      4000\nftp-port:  2121"), std::string::npos)
        << r.strSortie;

    // Without --profile the default store under XDG_CONFIG_HOME is used.
    r = Otdr(tmp, {"config", "--address", "box7"});
    EXPECT_EQ(r.nSortie, 0);
    EXPECT_NE(CRepertoireTemp::Lire(tmp.Chemin() / "config/otdrdriver/profile.ini").find("box7"), std::string::npos);

    // A profile that cannot be written (its folder is a file).
    tmp.Ecrire("plain", "x");
    r = Otdr(tmp, {"--profile", (tmp.Chemin() / "plain/p.ini").string(), "config", "--address", "a"});
    EXPECT_EQ(r.nSortie, 1);
    AttendreMessage(r, "cannot write the profile");
}

TEST_F(OtdrCliSimulatorTest, IdentifyPrintsModelVersionAndStateWithoutTouchingTheProfile)
{
    auto r = Run({"identify"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("Model:       KRX 15\n"), std::string::npos) << r.strSortie;
    EXPECT_NE(r.strSortie.find("Version:     2.07\n"), std::string::npos);
    EXPECT_NE(r.strSortie.find("Connection:  connected to 127.0.0.1:" + std::to_string(sim.Port("command"))),
              std::string::npos);
    EXPECT_FALSE(fs::exists(tmp.Chemin() / "profile.ini"));   // options are not stored

    // The same instrument from the stored profile alone.
    const std::string ini = (tmp.Chemin() / "stored.ini").string();
    ASSERT_EQ(Otdr(tmp, {"--profile", ini, "config", "--address", "127.0.0.1", "--port",
                         std::to_string(sim.Port("command")), "--ftp-port", std::to_string(sim.Port("ftp"))})
                  .nSortie, 0);
    const std::string avant = CRepertoireTemp::Lire(ini);
    r = Otdr(tmp, {"--profile", ini, "identify"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("KRX 15"), std::string::npos);
    r = Otdr(tmp, {"--profile", ini, "ls", "/"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(CRepertoireTemp::Lire(ini), avant);
}

TEST_F(OtdrCliSimulatorTest, LsListsLikeLsLong)
{
    auto r = Run({"ls", "/"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    const std::regex ligne(R"(([d-][a-z-]{6}) +(\d+) (\d\d/\d\d/\d{4} \d\d:\d\d:\d\d) (.+))");
    std::vector<std::string> noms;
    std::istringstream in(r.strSortie);
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, ligne)) << l;
        noms.push_back(m[4]);
        if (m[4] == "readme.txt") {
            EXPECT_EQ(m[1].str()[0], '-');
            EXPECT_EQ(m[2], "6");
        } else {
            EXPECT_EQ(m[1].str()[0], 'd') << l;
        }
    }
    EXPECT_EQ(noms, (std::vector<std::string>{"Empty", "Traces", "readme.txt"}));

    r = Run({"ls", "Traces/Mesures été"});   // relative to the login directory, UTF-8 names
    EXPECT_EQ(r.nSortie, 0);
    EXPECT_NE(r.strSortie.find(" 5000 "), std::string::npos);
    EXPECT_NE(r.strSortie.find("Ø-ring_1310nm.sor\n"), std::string::npos) << r.strSortie;
    r = Run({"ls", "/readme.txt"});   // a file lists itself
    EXPECT_EQ(r.nSortie, 0);
    EXPECT_EQ(NombreLignes(r.strSortie), 1);
    r = Run({"ls", "/Empty"});
    EXPECT_EQ(r.nSortie, 0);
    EXPECT_TRUE(r.strSortie.empty());
    r = Run({"ls", "/nowhere"});
    EXPECT_EQ(r.nSortie, 1);
    AttendreMessage(r, "no such directory on the instrument: '/nowhere'");
}

TEST_F(OtdrCliSimulatorTest, GetCopiesFilesAndTrees)
{
    const fs::path local = tmp.Chemin() / "local";
    fs::create_directories(local);
    auto r = Run({"get", "/Traces/a.sor", (local / "copy.sor").string()});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(CRepertoireTemp::Lire(local / "copy.sor"), CRepertoireTemp::Lire(racine / "Traces/a.sor"));
    r = Run({"get", "Traces/Mesures été/Ø-ring_1310nm.sor", local.string()});   // into a directory
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(CRepertoireTemp::Lire(local / "Ø-ring_1310nm.sor").size(), 5000u);

    // Trees: to LOCAL when it does not exist, into it when it does.
    r = Run({"--progress", "always", "get", "-r", "/Traces", (local / "t1").string()});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("Downloaded 3 files"), std::string::npos) << r.strSortie;
    EXPECT_NE(r.strErreur.find("100% "), std::string::npos) << r.strErreur;   // final progress line
    EXPECT_EQ(CRepertoireTemp::Lire(local / "t1/sub/b.sor"), "abc");
    EXPECT_EQ(CRepertoireTemp::Lire(local / "t1/Mesures été/Ø-ring_1310nm.sor"),
              CRepertoireTemp::Lire(racine / "Traces/Mesures été/Ø-ring_1310nm.sor"));
    r = Run({"get", "-r", "/Traces", (local / "t1").string()});
    ASSERT_EQ(r.nSortie, 0);
    EXPECT_EQ(CRepertoireTemp::Lire(local / "t1/Traces/sub/b.sor"), "abc");
    r = Run({"get", "-r", "/Empty", (local / "e").string()});
    EXPECT_EQ(r.nSortie, 0);
    EXPECT_TRUE(fs::is_directory(local / "e"));

    // Failures: exit 1, one message, an existing local file left whole.
    const struct { std::vector<std::string> args; std::string message; } cas[] = {
        {{"get", "/Traces/none.sor", (local / "copy.sor").string()},
         "cannot download '/Traces/none.sor' to '" + (local / "copy.sor").string() + "': 550 No such file"},
        {{"get", "/Traces", local.string()}, "is a directory on the instrument (use 'otdr get -r')"},
        {{"get", "/readme.txt", (local / "no/such/dir/x").string()}, "cannot download '/readme.txt'"},
        {{"get", "-r", "/Traces", (local / "copy.sor").string()}, "exists and is not a directory"},
    };
    for (const auto& c : cas) {
        r = Run(c.args);
        EXPECT_EQ(r.nSortie, 1) << c.message;
        AttendreMessage(r, c.message);
    }
    EXPECT_EQ(CRepertoireTemp::Lire(local / "copy.sor"), CRepertoireTemp::Lire(racine / "Traces/a.sor"));
}

TEST_F(OtdrCliSimulatorTest, PutCopiesFilesAndTrees)
{
    const fs::path f = tmp.Ecrire("up/one.bin", Octets(70000, 3));
    tmp.Ecrire("up/tree/x/y.txt", "y");
    tmp.Ecrire("up/tree/z été.txt", "z");
    fs::create_directories(tmp.Chemin() / "up/tree/vide");

    auto r = Run({"put", f.string(), "/Empty"});   // into an existing directory
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(CRepertoireTemp::Lire(racine / "Empty/one.bin"), CRepertoireTemp::Lire(f));
    r = Run({"put", f.string(), "/renamed.bin"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(fs::file_size(racine / "renamed.bin"), 70000u);

    r = Run({"put", "-r", (tmp.Chemin() / "up/tree").string(), "/NewTree"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("Uploaded 2 files"), std::string::npos) << r.strSortie;
    EXPECT_EQ(CRepertoireTemp::Lire(racine / "NewTree/x/y.txt"), "y");
    EXPECT_EQ(CRepertoireTemp::Lire(racine / "NewTree/z été.txt"), "z");
    EXPECT_TRUE(fs::is_directory(racine / "NewTree/vide"));
    r = Run({"put", "-r", (tmp.Chemin() / "up/tree").string(), "/NewTree"});   // into it now
    ASSERT_EQ(r.nSortie, 0);
    EXPECT_EQ(CRepertoireTemp::Lire(racine / "NewTree/tree/x/y.txt"), "y");

    const struct { std::vector<std::string> args; const char* message; } cas[] = {
        {{"put", (tmp.Chemin() / "absent").string(), "/x"}, "no such local file or directory"},
        {{"put", (tmp.Chemin() / "up/tree").string(), "/x"}, "is a directory (use 'otdr put -r')"},
        {{"put", f.string(), "/no/such/dir/f"}, "cannot upload"},
        {{"put", "-r", (tmp.Chemin() / "up/tree").string(), "/no/such/dir"},
         "'/no/such/dir': cannot be created on the instrument"},
    };
    for (const auto& c : cas) {
        r = Run(c.args);
        EXPECT_EQ(r.nSortie, 1) << c.message;
        AttendreMessage(r, c.message);
    }
}

TEST_F(OtdrCliSimulatorTest, RmMkdirAndRmdirChangeTheRemoteTree)
{
    auto r = Run({"mkdir", "/Made"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_TRUE(fs::is_directory(racine / "Made"));
    r = Run({"mkdir", "Made/Inner"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_TRUE(fs::is_directory(racine / "Made/Inner"));
    r = Run({"rm", "/readme.txt"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_FALSE(fs::exists(racine / "readme.txt"));
    r = Run({"rmdir", "/Empty"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_FALSE(fs::exists(racine / "Empty"));
    r = Run({"rmdir", "-r", "/Traces"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_FALSE(fs::exists(racine / "Traces"));

    const struct { std::vector<std::string> args; const char* message; } cas[] = {
        {{"mkdir", "/Made"}, "'/Made' already exists on the instrument"},
        {{"mkdir", "/no/such"}, "no such directory on the instrument: '/no'"},
        {{"rm", "/readme.txt"}, "cannot delete '/readme.txt' on the instrument: 550 No such file"},
        {{"rm", "/Made"}, "is a directory (use 'otdr rmdir')"},
        {{"rmdir", "/Made"}, "not empty? use 'otdr rmdir -r'"},
        {{"rmdir", "-r", "/"}, "root directory of the instrument is never removed"},
        {{"rmdir", "/nothing"}, "no such directory on the instrument: '/nothing' (550 No such file"},
    };
    for (const auto& c : cas) {
        r = Run(c.args);
        EXPECT_EQ(r.nSortie, 1) << c.message;
        AttendreMessage(r, c.message);
    }
    EXPECT_TRUE(fs::is_directory(racine / "Made/Inner"));
}

TEST_F(OtdrCliSimulatorTest, VerboseTracesCommandsWithPasswordsMaskedAndLoginOrder)
{
    auto r = Run({"--verbose", "--user", "krx14", "--password", "brimola", "ls", "/"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strErreur.find("[ftp] > USER krx14"), std::string::npos) << r.strErreur;
    EXPECT_NE(r.strErreur.find("[ftp] > PASS ****"), std::string::npos);
    EXPECT_NE(r.strErreur.find("[ftp] > MLSD"), std::string::npos);
    EXPECT_EQ(r.strErreur.find("brimola"), std::string::npos);

    // Without a user: the instrument says it is a "KRX 15" on the command
    // channel, so its family's credentials, and one login only.
    r = Run({"-v", "ls"});
    ASSERT_EQ(r.nSortie, 0);
    EXPECT_NE(r.strErreur.find("[cmd] > *IDN?"), std::string::npos) << r.strErreur;
    const size_t premier = r.strErreur.find("> USER ");
    EXPECT_EQ(r.strErreur.compare(premier, 15, "> USER tellmar\n"), 0) << r.strErreur;
    EXPECT_EQ(r.strErreur.find("> USER ", premier + 1), std::string::npos);

    r = Run({"--verbose", "identify"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strErreur.find("[cmd] > *IDN?"), std::string::npos) << r.strErreur;
    EXPECT_NE(r.strErreur.find("[cmd] < "), std::string::npos);

    // The password may come from the environment instead of the command line.
    r = Run({"--verbose", "--user", "krx11", "ls"}, {"OTDR_PASSWORD=QWPZ"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(r.strErreur.find("QWPZ"), std::string::npos);

    // A refused login: exit 1 and one message naming the login.
    r = Run({"--user", "nobody", "--password", "secret", "ls"});
    EXPECT_EQ(r.nSortie, 1);
    AttendreMessage(r, "refused the login (nobody)");
    EXPECT_EQ(r.strErreur.find("secret"), std::string::npos);
}

TEST(OtdrCli, UnreachableInstrumentFailsWithinItsTimeLimits)
{
    CRepertoireTemp tmp("otdr-cli");
    const std::string libre = std::to_string(PortLibre());
    const std::vector<std::string> base{"--profile", (tmp.Chemin() / "p.ini").string(), "--address", "127.0.0.1"};
    auto avec = [&](std::vector<std::string> a) {
        a.insert(a.begin(), base.begin(), base.end());
        return a;
    };

    auto r = Otdr(tmp, avec({"--ftp-port", libre, "ls"}));
    EXPECT_EQ(r.nSortie, 1);
    AttendreMessage(r, "cannot reach the FTP server at 127.0.0.1:" + libre);
    r = Otdr(tmp, avec({"--port", libre, "identify"}));
    EXPECT_EQ(r.nSortie, 1);
    AttendreMessage(r, "cannot connect to the instrument at 127.0.0.1 (port " + libre + ": connection refused; port 21");

    // Servers that accept the connection and never answer: the time limits end it.
    CServeurMuet muet;
    ASSERT_NE(muet.Port(), 0);
    const std::string pm = std::to_string(muet.Port());
    r = Otdr(tmp, avec({"--ftp-port", pm, "get", "/x", (tmp.Chemin() / "x").string()}), {"OTDR_TIMEOUT=0.3"});
    EXPECT_EQ(r.nSortie, 1);
    AttendreMessage(r, "cannot reach the FTP server at 127.0.0.1:" + pm);
    EXPECT_LT(r.dSecondes, 15.0);   // one attempt, not six
    r = Otdr(tmp, avec({"--timeout", "300ms", "--port", pm, "identify"}));
    EXPECT_EQ(r.nSortie, 1);
    AttendreMessage(r, "the instrument at 127.0.0.1:" + pm + " accepted the connection but did not identify itself");
    EXPECT_LT(r.dSecondes, 15.0);

    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--silent"}));
    r = Otdr(tmp, avec({"--timeout", "0.3", "--port", std::to_string(sim.Port("command")), "identify"}));
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_NE(r.strSortie.find("Model:       (not identified)"), std::string::npos) << r.strSortie;
    AttendreMessage(r, "did not identify itself");
}

TEST(OtdrCli, InterruptedDownloadsLeaveNoPartialFileEvenInParallel)
{
    const struct
    {
        const char* nom;
        std::vector<std::string> args;  // after the connection options; the target is added
        size_t nEnVol;                  // temporary files to see before the interruption
    } cas[] = {
        {"get", {"get", "/big.bin"}, 1},
        // Passive: pyftpdlib now and then stalls an active data connection when
        // several sessions run at once, and the files would not all start.
        {"get -r --parallel 4", {"--passive", "--parallel", "4", "get", "-r", "/d"}, 4},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        CRepertoireTemp tmp("otdr-cli");
        tmp.Ecrire("served/big.bin", Octets(4 << 20, 5));   // some 16 s at the server's pace
        for (int i = 0; i < 4; ++i)
            tmp.Ecrire("served/d/f" + std::to_string(i) + ".bin", Octets(2 << 20, 6 + i));
        const fs::path cible = tmp.Chemin() / "local";
        fs::create_directories(cible);
        tmp.Ecrire("local/big.bin", "previous content");
        CProcessusTest serveur;
        ASSERT_TRUE(serveur.Demarrer({OTDR_PYTHON, OTDR_TEST_FTP_SERVER, "--root", (tmp.Chemin() / "served").string(),
                                      "--user", "krx15:brimola", "--throttle", "262144"}));
        ASSERT_TRUE(serveur.AttendreLigne("READY"));

        std::vector<std::string> argv{OTDR_CLI_PATH, "--profile", (tmp.Chemin() / "p.ini").string(), "--address",
                                      "127.0.0.1", "--ftp-port", std::to_string(serveur.Port("ftp"))};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        argv.push_back(cible.string());
        CProcessusTest otdr;
        ASSERT_TRUE(otdr.Demarrer(argv));
        // Wait for the download files to appear, then interrupt.
        auto partiels = [&] {
            std::vector<fs::path> r;
            std::error_code ec;
            for (fs::recursive_directory_iterator it(cible, ec), fin; !ec && it != fin; it.increment(ec))
                if (it->path().extension() == ".part")
                    r.push_back(it->path());
            return r;
        };
        const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (partiels().size() < c.nEnVol && std::chrono::steady_clock::now() < limite)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // All of them in flight, as a rule; at least one on a machine slow to log in.
        ASSERT_FALSE(partiels().empty());
        const int statut = otdr.Arreter();   // SIGTERM
        ASSERT_TRUE(WIFEXITED(statut));
        EXPECT_EQ(WEXITSTATUS(statut), 128 + SIGTERM);
        EXPECT_TRUE(partiels().empty());
        EXPECT_EQ(CRepertoireTemp::Lire(cible / "big.bin"), "previous content");
    }
}

TEST(OtdrCli, ProgressOfALongDownloadShowsBytesRateAndTimeLeft)
{
    CRepertoireTemp tmp("otdr-cli");
    tmp.Ecrire("served/d/one.bin", Octets(800000, 6));   // more than one burst: about 2 s
    tmp.Ecrire("served/d/two.bin", Octets(100000, 7));
    CProcessusTest serveur;
    ASSERT_TRUE(serveur.Demarrer({OTDR_PYTHON, OTDR_TEST_FTP_SERVER, "--root", (tmp.Chemin() / "served").string(),
                                  "--user", "krx15:brimola", "--throttle", "262144"}));
    ASSERT_TRUE(serveur.AttendreLigne("READY"));
    // Not a terminal: "always" gives a plain line about every second.
    auto r = Otdr(tmp, {"--profile", (tmp.Chemin() / "p.ini").string(), "--address", "127.0.0.1", "--ftp-port",
                        std::to_string(serveur.Port("ftp")), "--progress", "always", "get", "-r", "/d",
                        (tmp.Chemin() / "copy").string()});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    const std::regex enCours(R"( ?\d\d% \d+\.\d KiB / 878\.9 KiB  [\d.]+ [KM]iB/s  ETA \d:\d\d  [01]/2 files  (one|two)\.bin)");
    int nEnCours = 0;
    // Progress goes to standard error, as curl's and wget's do.
    std::istringstream in(r.strErreur);
    for (std::string l; std::getline(in, l);)
        if (std::regex_match(l, enCours)) ++nEnCours;
    EXPECT_GE(nEnCours, 1) << r.strErreur;
    EXPECT_NE(r.strErreur.find("100% 878.9 KiB / 878.9 KiB"), std::string::npos) << r.strErreur;
    EXPECT_EQ(CRepertoireTemp::Lire(tmp.Chemin() / "copy/two.bin"), Octets(100000, 7));
}

// Remote trees on a server that keeps real links on disk: back into the
// tree, to a sibling tree, and out of the server's root.
TEST(OtdrCli, TreeCommandsWalkEachDirectoryOnceAndNeverLeaveTheNamedTree)
{
    CServeurFtpTest serveur;
    const fs::path r = serveur.Racine();
    serveur.Repertoire().Ecrire("X/a.sor", "a");
    serveur.Repertoire().Ecrire("X/sub/b.sor", "b");
    serveur.Repertoire().Ecrire("Other/keep.sor", "keep");
    fs::create_directory_symlink(".", r / "X/self");
    fs::create_directory_symlink("..", r / "X/sub/back");
    fs::create_directory_symlink("../Other", r / "X/other");
    fs::create_directory_symlink("/etc", r / "X/etc");
    ASSERT_TRUE(serveur.Demarrer());
    CRepertoireTemp tmp("otdr-cli");
    const std::vector<std::string> base{"--profile", (tmp.Chemin() / "p.ini").string(), "--address", "127.0.0.1",
                                        "--ftp-port", std::to_string(serveur.Port()), "--user", "test",
                                        "--password", "secret"};
    auto run = [&](std::vector<std::string> a) {
        a.insert(a.begin(), base.begin(), base.end());
        return Otdr(tmp, a);
    };

    // Each real file once; the branch the server will not enter is named, the rest copied.
    auto res = run({"get", "-r", "/X", (tmp.Chemin() / "copy").string()});
    EXPECT_EQ(res.nSortie, 1);
    AttendreMessage(res, "not everything could be downloaded: '/X/etc': cannot be entered");
    EXPECT_NE(res.strSortie.find("Downloaded 3 files"), std::string::npos) << res.strSortie;
    EXPECT_EQ(CRepertoireTemp::Arbre(tmp.Chemin() / "copy"),
              (std::map<std::string, std::string>{{"a.sor", "a"}, {"other", "<dir>"}, {"other/keep.sor", "keep"},
                                                  {"sub", "<dir>"}, {"sub/b.sor", "b"}}));

    // Links go as links; what they lead to stays.
    res = run({"rmdir", "-r", "/X"});
    EXPECT_EQ(res.nSortie, 1);
    AttendreMessage(res, "'/X/etc': cannot be entered");
    EXPECT_EQ(CRepertoireTemp::Arbre(r), (std::map<std::string, std::string>{{"Other", "<dir>"}, {"Other/keep.sor", "keep"},
                                                                            {"X", "<dir>"}, {"X/etc", "-> /etc"}}));
    fs::remove(r / "X/etc");
    res = run({"rmdir", "-r", "/X"});
    EXPECT_EQ(res.nSortie, 0) << res.strErreur;
    EXPECT_EQ(CRepertoireTemp::Arbre(r), (std::map<std::string, std::string>{{"Other", "<dir>"}, {"Other/keep.sor", "keep"}}));
}

#ifdef OTDR_HOST_PATH
TEST_F(OtdrCliSimulatorTest, DemoHostConnectsAndShowsTheModel)
{
    const std::string ini = (tmp.Chemin() / "host.ini").string();
    ASSERT_EQ(Otdr(tmp, {"--profile", ini, "config", "--address", "127.0.0.1", "--port",
                         std::to_string(sim.Port("command")), "--ftp-port", std::to_string(sim.Port("ftp"))})
                  .nSortie, 0);
    auto r = Executer({OTDR_HOST_PATH, "--profile", ini, "--connect", "--quit-after", "1500"},
                      {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string()});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("status: Not connected (instrument: 127.0.0.1)"), std::string::npos) << r.strSortie;
    EXPECT_NE(r.strSortie.find("status: Connected to 127.0.0.1 - model: KRX 15, version 2.07"), std::string::npos)
        << r.strSortie;
}
#endif

TEST(OtdrDemo, HeadlessDemoCompletesAndLeavesTheTraces)
{
    CRepertoireTemp tmp("otdr-demo");
    auto r = Executer({"/bin/bash", OTDR_DEMO_PATH},
                      {"OTDR_BUILD_DIR=" OTDR_BUILD_DIR, "CI=1", "DISPLAY=", "WAYLAND_DISPLAY=",
                       "XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string(), "TMPDIR=" + tmp.Chemin().string()},
                      tmp.Chemin().string(), std::chrono::seconds(90));
    ASSERT_EQ(r.nSortie, 0) << r.strSortie << r.strErreur;
    EXPECT_NE(r.strSortie.find("Model:       KRX 15"), std::string::npos) << r.strSortie;
    EXPECT_NE(r.strSortie.find("Traces"), std::string::npos);
    int n = 0;
    for (auto& e : fs::recursive_directory_iterator(tmp.Chemin() / "demo-traces"))
        if (e.is_regular_file() && e.path().extension() == ".sor") ++n;
    EXPECT_GT(n, 10);
    EXPECT_NE(r.strSortie.find("done: " + std::to_string(n) + " trace files"), std::string::npos) << r.strSortie;
    // Its temporary directory (with the demo profile) is gone, and so is the
    // simulator, which removes its generated tree when it stops.
    for (auto& e : fs::directory_iterator(tmp.Chemin())) {
        EXPECT_EQ(e.path().filename().string().rfind("otdr-demo.", 0), std::string::npos) << e.path();
        EXPECT_EQ(e.path().filename().string().rfind("otdr-sim-ftp-", 0), std::string::npos) << e.path();
    }
}

TEST(OtdrCli, IdentifyGivesTheRealCauseAndThePortWithinItsBudget)
{
    CRepertoireTemp tmp("otdr-cli");
    const std::vector<std::string> base{"--profile", (tmp.Chemin() / "p.ini").string(), "--address", "127.0.0.1",
                                        "--timeout", "0.3"};
    auto avec = [&](std::vector<std::string> a) {
        a.insert(a.begin(), base.begin(), base.end());
        return a;
    };

    // An address that never answers a connection attempt: the time limit is named.
    CEcouteSaturee muet;
    ASSERT_NE(muet.Port(), 0);
    auto r = Otdr(tmp, avec({"--port", std::to_string(muet.Port()), "identify"}));
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_LT(r.dSecondes, 10.0);
    AttendreMessage(r, "cannot connect to the instrument at 127.0.0.1 (port " + std::to_string(muet.Port()) +
                           ": no answer to the connection within 0.3 s; port 21");

    // Slow but working: every reply takes most of the limit, and the whole
    // sequence still fits.
    {
        CProcessusTest sim;
        ASSERT_TRUE(DemarrerSimulateur(sim, {"--reply-delay", "250"}));
        r = Otdr(tmp, avec({"--port", std::to_string(sim.Port("command")), "identify"}));
        EXPECT_EQ(r.nSortie, 0) << r.strErreur;
        EXPECT_NE(r.strSortie.find("Model:       KRX 15"), std::string::npos) << r.strSortie;
    }

    // Connected, then each failure named for what it is, with the port used.
    const struct { std::vector<std::string> options; const char* cause; } cas[] = {
        // The first cause leads; the time said is the time waited (two waits per reply).
        {{"--silent"}, "(no reply to \"*STB?\" within 0.3 s; then, after the password command: "},
        {{"--fail", "*CLS:16"}, "(the instrument reported an error after \"*CLS\" (event status register 16: "
                                "execution error); then, after the password command: "},
    };
    for (const auto& c : cas) {
        CProcessusTest sim;
        ASSERT_TRUE(DemarrerSimulateur(sim, c.options));
        const std::string port = std::to_string(sim.Port("command"));
        r = Otdr(tmp, avec({"--port", port, "identify"}));
        EXPECT_EQ(r.nSortie, 1) << c.cause;
        AttendreMessage(r, "the instrument at 127.0.0.1:" + port +
                               " accepted the connection but did not identify itself " + c.cause);
    }
}

TEST(OtdrCli, TextFromTheInstrumentAndRemoteNamesReachTheTerminalEscaped)
{
    CRepertoireTemp tmp("otdr-cli");
    const std::string nom = "clear\x1b[2J\x1b]0;title\x07-\xc2\x9b" "31m.sor";
    tmp.Ecrire("instrument/" + nom, "x");
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--ftp-root", (tmp.Chemin() / "instrument").string(), "--idn",
                                         "Maker,KRX\x1b[2J 15,42,2.07\x1b]0;pwned\x07"}));
    const std::vector<std::string> base{"--profile", (tmp.Chemin() / "p.ini").string(), "--address", "127.0.0.1",
                                        "--port", std::to_string(sim.Port("command")), "--ftp-port",
                                        std::to_string(sim.Port("ftp"))};
    const struct { std::vector<std::string> args; std::string attendu; } cas[] = {
        {{"identify"}, "Model:       KRX\\x1b[2J 15\nVersion:     2.07\\x1b]0;pwned\\x07\n"},
        {{"--verbose", "identify"}, "Model:       KRX\\x1b[2J 15"},
        {{"ls", "/"}, " clear\\x1b[2J\\x1b]0;title\\x07-\\u009b31m.sor\n"},
        {{"--verbose", "ls", "/"}, "clear\\x1b[2J"},
        {{"get", "/" + nom + "x", (tmp.Chemin() / "copy").string()}, ""},
    };
    for (const auto& c : cas) {
        std::vector<std::string> args = base;
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto r = Otdr(tmp, args);
        const std::string tout = r.strSortie + r.strErreur;
        EXPECT_NE(r.strSortie.find(c.attendu), std::string::npos) << r.strSortie;
        EXPECT_EQ(tout.find('\x1b'), std::string::npos) << tout;
        EXPECT_EQ(tout.find('\x07'), std::string::npos) << tout;
        EXPECT_EQ(tout.find("\xc2\x9b"), std::string::npos) << tout;
    }
}

TEST(OtdrCli, ConfigNeverLosesTheProfileAndResetsPorts)
{
    CRepertoireTemp tmp("otdr-cli");
    auto config = [&](const fs::path& profil, std::vector<std::string> a) {
        a.insert(a.begin(), {"--profile", profil.string(), "config"});
        return Otdr(tmp, a);
    };

    // Files that cannot be the profile: reported with the reason, left as they are.
    const std::string binaire("\x7f" "ELF\x02\x01\x01\0\0\0[OTDR Driver]\n", 24);
    const fs::path junk = tmp.Ecrire("junk.ini", binaire);
    fs::create_directories(tmp.Chemin() / "dir.ini");
    const fs::path fifo = tmp.Chemin() / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct { fs::path profil; const char* raison; } illisibles[] = {
        {junk, "it is not a text file (a NUL byte at offset 7)"},
        {tmp.Chemin() / "dir.ini", "it is a directory"},
        {fifo, "it is not a regular file"},
    };
    for (const auto& c : illisibles) {
        for (const std::vector<std::string>& a : {std::vector<std::string>{}, {"--address", "10.0.0.1"}}) {
            auto r = config(c.profil, a);
            EXPECT_FALSE(r.bTue);
            EXPECT_EQ(r.nSortie, 1);
            AttendreMessage(r, "cannot read the profile '" + c.profil.string() + "': " + c.raison);
        }
    }
    EXPECT_EQ(CRepertoireTemp::Lire(junk), binaire);
    EXPECT_TRUE(fs::is_fifo(fifo));
    // Commands that need the instrument from it say so too.
    auto r = Otdr(tmp, {"--profile", junk.string(), "ls"});
    EXPECT_EQ(r.nSortie, 1);
    AttendreMessage(r, "cannot read the profile");

    // A symbolic link stays one; its target gets the value.
    const fs::path cible = tmp.Ecrire("real/profile.ini", "; keep me\n");
    const fs::path lien = tmp.Chemin() / "link.ini";
    fs::create_symlink(cible, lien);
    r = config(lien, {"--address", "10.1.2.3", "--port", "4000", "--ftp-port", "2121"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_TRUE(fs::is_symlink(lien));
    EXPECT_NE(CRepertoireTemp::Lire(cible).find("; keep me\n"), std::string::npos);
    EXPECT_NE(CRepertoireTemp::Lire(cible).find("Port = 4000"), std::string::npos);

    // "default" removes the stored ports.
    r = config(lien, {"--port", "default", "--ftp-port", "default"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("address:   10.1.2.3\nport:      1400 (default)\nftp-port:  21 (default)"),
              std::string::npos) << r.strSortie;
    EXPECT_EQ(CRepertoireTemp::Lire(cible).find("Port"), std::string::npos);

    // Read-only: refused, unchanged. Readable by others: narrowed, and said.
    ASSERT_EQ(::chmod(cible.c_str(), 0400), 0);
    const std::string avant = CRepertoireTemp::Lire(cible);
    r = config(lien, {"--address", "10.9.9.9"});
    EXPECT_EQ(r.nSortie, 1);
    AttendreMessage(r, "cannot write the profile '" + lien.string() + "': it is read-only (mode 0400)");
    EXPECT_EQ(CRepertoireTemp::Lire(cible), avant);
    ASSERT_EQ(::chmod(cible.c_str(), 0644), 0);
    r = config(lien, {"--address", "10.9.9.9"});
    EXPECT_EQ(r.nSortie, 0);
    EXPECT_NE(r.strErreur.find("its mode was 0644, now 0600"), std::string::npos) << r.strErreur;
}

TEST(OtdrCli, HelpAnswersWhateverTheTimeLimitVariableHolds)
{
    CRepertoireTemp tmp("otdr-cli");
    for (const std::vector<std::string>& a :
         {std::vector<std::string>{"--help"}, {"ls", "--help"}, {"--version"}}) {
        auto r = Otdr(tmp, a, {"OTDR_TIMEOUT=bogus"});
        EXPECT_EQ(r.nSortie, 0) << a[0] << r.strErreur;
        EXPECT_FALSE(r.strSortie.empty());
    }
    auto r = Otdr(tmp, {"--address", "127.0.0.1", "ls"}, {"OTDR_TIMEOUT=bogus"});
    EXPECT_EQ(r.nSortie, 2);
    AttendreMessage(r, "OTDR_TIMEOUT: 'bogus'");
}

#ifdef OTDR_HOST_PATH
TEST(OtdrHost, WithoutADisplayOneLineAndStatusOne)
{
    CRepertoireTemp tmp("otdr-host");
    const struct { std::vector<std::string> env; } environnements[] = {
        {{"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="}},
        {{"DISPLAY=:97", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=xcb"}},   // named, but no server there
    };
    const std::vector<std::string> arguments[] = {
        {}, {"--connect", "--quit-after", "100"}, {"--bogus"}, {"--profile", (tmp.Chemin() / "p.ini").string()},
    };
    for (const auto& e : environnements) {
        for (const auto& a : arguments) {
            std::vector<std::string> argv{OTDR_HOST_PATH};
            argv.insert(argv.end(), a.begin(), a.end());
            auto env = e.env;
            env.push_back("XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string());
            auto r = Executer(argv, env);
            EXPECT_EQ(r.nSortie, 1) << e.env[0] << " " << (a.empty() ? "" : a[0]) << r.strErreur;
            EXPECT_EQ(r.strErreur.rfind("otdr-host: no display", 0), 0u) << r.strErreur;
            EXPECT_EQ(NombreLignes(r.strErreur), 1) << r.strErreur;
        }
    }
}
#endif
