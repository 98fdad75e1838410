// The otdr CLI's file commands: the login it chooses, the causes it names, what
// it asks the server, and the local targets it writes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ExecutionTest.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"
#include "support/ServeurFtp.h"

namespace fs = std::filesystem;

namespace {

tResultatExecution Otdr(const CRepertoireTemp& tmp, std::vector<std::string> args)
{
    args.insert(args.begin(), {OTDR_CLI_PATH, "--profile", (tmp.Chemin() / "p.ini").string()});
    return Executer(args, {"XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string()});
}

// The user names of the logins, in order, from the --verbose trace.
std::vector<std::string> Utilisateurs(const std::string& trace)
{
    std::vector<std::string> r;
    for (size_t i = trace.find("> USER "); i != std::string::npos; i = trace.find("> USER ", i + 1))
        r.push_back(trace.substr(i + 7, trace.find('\n', i) - i - 7));
    return r;
}

} // namespace

TEST(OtdrCliFtp, LoginFollowsTheModelAndTheFixedOrderOnlyWithoutAnAnswer)
{
    const struct
    {
        const char* modele;  // nullptr: the command channel does not answer
        std::vector<std::string> utilisateurs;
    } cas[] = {
        {"KRX 15", {"tellmar"}},
        {"FPX 7100", {"FPX"}},
        {"NETSCAN 2", {"brimola"}},
        {"OTX 9", {"krx15"}},  // no family: the default credentials, once
        {nullptr, {"krx15"}},  // the simulator takes the first of the fixed order
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.modele ? c.modele : "(no answer)");
        CRepertoireTemp tmp("otdr-cli-ftp");
        CProcessusTest sim;
        ASSERT_TRUE(DemarrerSimulateur(sim, c.modele ? std::vector<std::string>{"--model", c.modele}
                                                     : std::vector<std::string>{"--silent"}));
        const auto r = Otdr(tmp, {"--address", "127.0.0.1", "--port", std::to_string(sim.Port("command")),
                                  "--ftp-port", std::to_string(sim.Port("ftp")), "--timeout", "1", "-v", "ls", "/"});
        EXPECT_EQ(r.nSortie, 0) << r.strErreur;
        EXPECT_EQ(Utilisateurs(r.strErreur), c.utilisateurs) << r.strErreur;
    }
}

TEST(OtdrCliFtp, FailedLoginsNameTheirCauseAndStopWhenTheServerCannotAnswer)
{
    CRepertoireTemp tmp("otdr-cli-ftp");
    const std::string sansCommande = std::to_string(PortLibre());

    // Every family login refused: all six tried, the server's reply quoted.
    CServeurFtpTest ftp;
    ASSERT_TRUE(ftp.Demarrer());
    auto r = Otdr(tmp, {"--address", "127.0.0.1", "--port", sansCommande, "--ftp-port", std::to_string(ftp.Port()),
                        "--timeout", "1", "ls"});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_NE(r.strErreur.find("refused the logins (krx15, krx14, krx12, krx11, tellmar, anonymous): 530 "),
              std::string::npos)
        << r.strErreur;

    // A greeting cut or never sent: one connection, not six, and why.
    const struct
    {
        const char* mode;
        const char* raison;
    } cas[] = {
        {"cut", "(the server closed the connection during its greeting)"},
        {"stall", "(no greeting from the server within 1 s)"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.mode);
        CProcessusTest hostile;
        ASSERT_TRUE(hostile.Demarrer({OTDR_PYTHON, std::string(OTDR_TESTS_DIR) + "/support/serveur_ftp_accueil.py",
                                      "--greeting", c.mode}) &&
                    hostile.AttendreLigne("READY"));
        r = Otdr(tmp, {"--address", "127.0.0.1", "--port", sansCommande, "--ftp-port",
                       std::to_string(hostile.Port("ftp")), "--timeout", "1", "ls"});
        EXPECT_EQ(r.nSortie, 1);
        EXPECT_NE(r.strErreur.find("cannot reach the FTP server at 127.0.0.1:" + std::to_string(hostile.Port("ftp")) +
                                   " " + c.raison),
                  std::string::npos)
            << r.strErreur;
        hostile.AttendreLigne("\x01", std::chrono::milliseconds(300));
        EXPECT_EQ(std::count(hostile.Lignes().begin(), hostile.Lignes().end(), "CONNECTION"), 1);
    }

    // An address that would rewrite the URL reaches nobody.
    r = Otdr(tmp, {"--address", "evil@127.0.0.1", "--ftp-port", std::to_string(ftp.Port()), "--user", "test",
                   "--password", "secret", "ls"});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_NE(r.strErreur.find("'evil@127.0.0.1' is not a host name or an IP address"), std::string::npos)
        << r.strErreur;
}

TEST(OtdrCliFtp, FileCommandsAskAboutTheirPathAloneAndRespectLocalTargets)
{
    CRepertoireTemp tmp("otdr-cli-ftp");
    CServeurFtpTest ftp;
    ASSERT_TRUE(ftp.Demarrer());
    for (int i = 0; i < 300; ++i)
        ftp.Repertoire().Ecrire("big/f" + std::to_string(i) + ".sor", "x");
    ftp.Repertoire().Ecrire("big/wanted.sor", "the content");
    const std::vector<std::string> base = {"--address", "127.0.0.1", "--ftp-port", std::to_string(ftp.Port()),
                                           "--user", "test", "--password", "secret", "-v"};
    auto avec = [&](std::vector<std::string> a) {
        a.insert(a.begin(), base.begin(), base.end());
        return Otdr(tmp, a);
    };

    // get, rm, mkdir and rmdir never list the parent directory.
    const fs::path lien = tmp.Chemin() / "link.sor";
    const fs::path destination = tmp.Ecrire("real.sor", "old");
    fs::create_symlink(destination, lien);
    const struct
    {
        std::vector<std::string> args;
    } cas[] = {
        {{"get", "/big/wanted.sor", lien.string()}},
        {{"get", "/big/wanted.sor", (tmp.Chemin() / std::string(255, 'n')).string()}},
        {{"mkdir", "/big/new"}},
        {{"rmdir", "/big/new"}},
        {{"rm", "/big/f1.sor"}},
    };
    for (const auto& c : cas) {
        const auto r = avec(c.args);
        EXPECT_EQ(r.nSortie, 0) << c.args[0] << ": " << r.strErreur;
        EXPECT_EQ(r.strErreur.find("> MLSD"), std::string::npos) << r.strErreur;
        EXPECT_EQ(r.strErreur.find("> LIST"), std::string::npos) << r.strErreur;
    }
    // The link stays a link; the file it leads to has the data.
    EXPECT_TRUE(fs::is_symlink(lien));
    EXPECT_EQ(CRepertoireTemp::Lire(destination), "the content");
    EXPECT_EQ(CRepertoireTemp::Lire(tmp.Chemin() / std::string(255, 'n')), "the content");
    EXPECT_FALSE(fs::exists(ftp.Racine() / "big/f1.sor"));
}

TEST(OtdrCliFtp, SyncPrintsWhatMovedInTextAndJsonAndFailsWhenAFileFailed)
{
    CRepertoireTemp tmp("otdr-cli-sync");
    CServeurFtpTest ftp(OTDR_TEST_HOSTILE_SERVER);
    fs::create_directories(ftp.Racine() / "T/sub");
    std::ofstream(ftp.Racine() / "T/a.sor") << "alpha";
    std::ofstream(ftp.Racine() / "T/sub/big.sor") << std::string(200000, 'b');
    ASSERT_TRUE(ftp.Demarrer({"--retr", "big.sor=426:50000", "--once", "--rest"}));
    const std::vector<std::string> base{"--address", "127.0.0.1", "--ftp-port", std::to_string(ftp.Port()),
                                        "--user", "test", "--password", "secret", "--timeout", "2"};
    auto lancer = [&](std::vector<std::string> args) {
        args.insert(args.begin(), base.begin(), base.end());
        return Otdr(tmp, args);
    };
    const std::string copie = (tmp.Chemin() / "copy").string();

    auto r = lancer({"sync", "/T", copie});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_NE(r.strSortie.find(": 1 new, 0 changed, 0 unchanged, 1 failed;"), std::string::npos) << r.strSortie;
    EXPECT_NE(r.strErreur.find("'/T/sub/big.sor': cannot be downloaded: 426 "), std::string::npos) << r.strErreur;

    r = lancer({"--json", "--parallel", "2", "sync", "/T", copie});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("\"new\":[\"/T/sub/big.sor\"],\"changed\":[],\"unchanged\":1,\"failed\":[],"
                               "\"resumed\":1"),
              std::string::npos)
        << r.strSortie;
    EXPECT_EQ(fs::file_size(fs::path(copie) / "sub/big.sor"), 200000u);

    r = lancer({"sync", "/T/a.sor", copie});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_NE(r.strErreur.find("no such directory on the instrument: '/T/a.sor'"), std::string::npos) << r.strErreur;
    r = lancer({"--parallel", "2", "ls", "/"});
    EXPECT_EQ(r.nSortie, 2);
}
