// The otdr CLI against peers that misbehave on purpose: a command channel that
// cuts, stalls, floods or lies (support/serveur_commande_hostile.py) and an FTP
// server whose listings lie and whose transfers break (support/serveur_hostile.py).
// Each case checks the exit status, the message with its cause, a time bound,
// and that nothing is lost: local files kept, no temporary file left, nothing
// written outside the target, no command the client did not mean to send.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ExecutionTest.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"
#include "support/ServeurFtp.h"

namespace fs = std::filesystem;

namespace {

const std::string kCommandeHostile = std::string(OTDR_TESTS_DIR) + "/support/serveur_commande_hostile.py";

tResultatExecution Otdr(const CRepertoireTemp& tmp, std::vector<std::string> args)
{
    args.insert(args.begin(),
                {OTDR_CLI_PATH, "--profile", (tmp.Chemin() / "p.ini").string(), "--address", "127.0.0.1"});
    return Executer(args, {"XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string(), "OTDR_PASSWORD="},
                    tmp.Chemin().string(), std::chrono::seconds(20));
}

void AttendreMessage(const tResultatExecution& r, const std::string& extrait)
{
    EXPECT_EQ(r.strErreur.rfind("otdr: ", 0), 0u) << r.strErreur;
    EXPECT_EQ(std::count(r.strErreur.begin(), r.strErreur.end(), '\n'), 1) << r.strErreur;
    EXPECT_NE(r.strErreur.find(extrait), std::string::npos) << r.strErreur;
}

// The command lines a logging server received ("CMD <hex>" on its output).
std::vector<std::string> Commandes(CProcessusTest& serveur)
{
    serveur.AttendreLigne("\x01", std::chrono::milliseconds(300));
    std::vector<std::string> r;
    for (const std::string& l : serveur.Lignes()) {
        if (l.rfind("CMD ", 0) != 0) continue;
        std::string octets;
        for (size_t i = 4; i + 1 < l.size(); i += 2)
            octets += static_cast<char>(std::stoi(l.substr(i, 2), nullptr, 16));
        r.push_back(octets);
    }
    return r;
}

// Every path below the directory that names a download in progress (".otdr-XXXXXXXX.part").
std::vector<std::string> Temporaires(const fs::path& racine)
{
    std::vector<std::string> r;
    for (const auto& [chemin, contenu] : CRepertoireTemp::Arbre(racine))
        if (chemin.find(".part") != std::string::npos) r.push_back(chemin);
    return r;
}

} // namespace

TEST(OtdrHostilePeer, CommandChannelFailuresNameTheirCauseInTimeAndTouchNothing)
{
    const struct
    {
        std::vector<std::string> options;
        int nSortie;
        const char* message;
    } cas[] = {
        {{"--mode", "cut"}, 1, "(the instrument closed the connection while \"*IDN?\" awaited its reply)"},
        {{"--mode", "half"}, 1, "(the instrument closed the connection while \"*IDN?\" awaited its reply)"},
        {{"--mode", "stall", "--at", "*STB?"}, 1, "(no reply to \"*STB?\" within 0.3 s; then, after the password command: "},
        {{"--mode", "endless"}, 1, "(the reply to \"*IDN?\" is longer than 65536 bytes)"},
        {{"--mode", "nul"}, 1, "(the reply to \"*IDN?\" is not maker,model,serial,version: \"Hos\")"},
        {{"--idn", "KRX 15"}, 1, "(the reply to \"*IDN?\" is not maker,model,serial,version: \"KRX 15\")"},
        {{"--idn", "a,\x1b[2J,b"}, 0, "Model:       \\x1b[2J"},
        {{"--idn", ""}, 1, "(the reply to \"*IDN?\" is empty)"},
    };
    const std::vector<std::string> connues = {"*REM", "*CLS", "*STB?", "*ESR?", "*IDN?", "*LOC"};
    for (const auto& c : cas) {
        SCOPED_TRACE(c.options[0] + " " + c.options[1]);
        CRepertoireTemp tmp("otdr-hostile");
        const std::string profil = "[Driver]\r\nAdress IP=192.0.2.1\r\n; kept as it is\r\n";
        tmp.Ecrire("p.ini", profil);
        const auto avant = CRepertoireTemp::Arbre(tmp.Chemin());
        CProcessusTest serveur;
        std::vector<std::string> argv = {OTDR_PYTHON, kCommandeHostile};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        ASSERT_TRUE(serveur.Demarrer(argv) && serveur.AttendreLigne("READY"));
        const std::string port = std::to_string(serveur.Port("command"));

        const auto r = Otdr(tmp, {"--port", port, "--timeout", "0.3", "identify"});
        EXPECT_EQ(r.nSortie, c.nSortie) << r.strErreur;
        if (c.nSortie == 0)
            EXPECT_NE(r.strSortie.find(c.message), std::string::npos) << r.strSortie;
        else
            AttendreMessage(r, "the instrument at 127.0.0.1:" + port +
                                   " accepted the connection but did not identify itself " + c.message);
        EXPECT_LT(r.dSecondes, 5.0);
        EXPECT_EQ(CRepertoireTemp::Arbre(tmp.Chemin()), avant);
        for (const std::string& commande : Commandes(serveur))
            EXPECT_NE(std::find(connues.begin(), connues.end(), commande), connues.end()) << commande;
    }
}

TEST(OtdrHostilePeer, ListingNamesThatLieNeverBecomeCommandsNorLocalPaths)
{
    // Names no server can hold: a CR followed by a command, paths up and out,
    // a backslash path, a file called "..", a NUL; and a download that breaks.
    const std::vector<std::string> noms = {"evil\\rDELE /keep.sor", "../../outside.sor", "..\\\\..\\\\win.sor", "..",
                                           "nul\\x00DELE /keep.sor"};
    for (const bool bMlsd : {false, true}) {
        SCOPED_TRACE(bMlsd ? "MLSD" : "LIST");
        CServeurFtpTest serveur(OTDR_TEST_HOSTILE_SERVER);
        serveur.Repertoire().Ecrire("keep.sor", "keep");
        serveur.Repertoire().Ecrire("d/a.sor", "a");
        serveur.Repertoire().Ecrire("d/b.sor", "new b");
        std::vector<std::string> options = {"--log", "--retr", "b.sor=426:2"};
        if (!bMlsd) options.push_back("--no-mlsd");
        for (const std::string& nom : noms)
            options.push_back(std::string("--extra=/d=") + (bMlsd ? "type=file;size=5;modify=20240131120000; "
                                                     : "-rw-r--r-- 1 0 0 5 Jan 31  2024 ") + nom);
        ASSERT_TRUE(serveur.Demarrer(options));
        CRepertoireTemp tmp("otdr-hostile");
        tmp.Ecrire("copy/d/b.sor", "old b");
        const auto r = Otdr(tmp, {"--ftp-port", std::to_string(serveur.Port()), "--user", "test", "--password",
                                  "secret", "--timeout", "1", "get", "-r", "/d", "copy"});
        EXPECT_EQ(r.nSortie, 1);
        AttendreMessage(r, "not everything could be downloaded: ");
        EXPECT_NE(r.strErreur.find("'/d/../../outside.sor': its name cannot be one path component"), std::string::npos)
            << r.strErreur;
        EXPECT_NE(r.strErreur.find("'/d/b.sor': cannot be downloaded: 426 "), std::string::npos) << r.strErreur;
        EXPECT_LT(r.dSecondes, 10.0);
        // The good file came, the broken one kept its old content, nothing else was written.
        EXPECT_EQ(CRepertoireTemp::Arbre(tmp.Chemin()),
                  (std::map<std::string, std::string>{
                      {"copy", "<dir>"}, {"copy/d", "<dir>"}, {"copy/d/a.sor", "a"}, {"copy/d/b.sor", "old b"}}));
        // Every command is one the client meant: no CR, no NUL, nothing about keep.sor.
        for (const std::string& commande : Commandes(serveur.Processus())) {
            EXPECT_EQ(commande.find_first_of(std::string("\r\0", 2)), std::string::npos) << commande;
            EXPECT_EQ(commande.find("keep.sor"), std::string::npos) << commande;
        }
        EXPECT_EQ(CRepertoireTemp::Lire(serveur.Racine() / "keep.sor"), "keep");
    }
}

TEST(OtdrHostilePeer, BrokenDownloadsKeepTheOldFileAndLeaveNoTemporary)
{
    const struct
    {
        const char* mode;
        const char* cause;
    } cas[] = {
        {"426:2", "426 Connection closed; transfer aborted."},
        {"425", "425 Can't open data connection."},
        {"refuse", "550 Permission denied."},
        {"stall:2", "the transfer stalled: nothing moved for 1 s"},
        {"hangup:2", "the server closed the connection"},
        {"kill:2", "the server closed the connection"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.mode);
        CServeurFtpTest serveur(OTDR_TEST_HOSTILE_SERVER);
        serveur.Repertoire().Ecrire("b.sor", std::string(5000, 'n'));
        ASSERT_TRUE(serveur.Demarrer({"--retr", std::string("b.sor=") + c.mode}));
        CRepertoireTemp tmp("otdr-hostile");
        tmp.Ecrire("loc/b.sor", "old b");
        const auto r = Otdr(tmp, {"--ftp-port", std::to_string(serveur.Port()), "--user", "test", "--password",
                                  "secret", "--timeout", "1", "get", "/b.sor", "loc/b.sor"});
        EXPECT_EQ(r.nSortie, 1);
        AttendreMessage(r, std::string("cannot download '/b.sor' to 'loc/b.sor': ") + c.cause);
        EXPECT_LT(r.dSecondes, 10.0);
        EXPECT_EQ(CRepertoireTemp::Arbre(tmp.Chemin()),
                  (std::map<std::string, std::string>{{"loc", "<dir>"}, {"loc/b.sor", "old b"}}));
    }
}

TEST(OtdrHostilePeer, CutListingsExitOneNameTheDirectoryAndLoseNothing)
{
    CRepertoireTemp tmp("otdr-hostile");
    const fs::path copie = tmp.Chemin() / "copy";
    const struct
    {
        const char* mode;
        std::vector<std::string> commande;
        const char* message;
    } cas[] = {
        {"/d=426:3", {"ls", "/d"},
         "the listing of '/d' was cut short (426 Connection closed; transfer aborted.): the entries shown are only "
         "part of it"},
        {"/d=426:3", {"get", "-r", "/d", copie.string()}, "'/d': its listing was cut short"},
        {"/d=426:3", {"rmdir", "-r", "/d"}, "'/d': its listing was cut short"},
        {"/d=425", {"get", "-r", "/d", copie.string()}, "'/d': its listing was cut short"},
        {"/d=stall:3", {"ls", "/d"}, "the listing of '/d' timed out"},
        {"/d=stall:3", {"get", "-r", "/d", copie.string()}, "the connection to the instrument was lost"},
        {"/d=kill:3", {"ls", "/d"}, "the listing of '/d' was cut short"},
        {"/d=kill:3", {"rmdir", "-r", "/d"}, "the connection to the instrument was lost, 1 not done from '/d/' on"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.commande[0]);
        CServeurFtpTest serveur(OTDR_TEST_HOSTILE_SERVER);
        for (int i = 0; i < 10; ++i)
            serveur.Repertoire().Ecrire("d/f" + std::to_string(i) + ".sor", "x");
        ASSERT_TRUE(serveur.Demarrer({"--list", c.mode}));
        std::vector<std::string> args{"--ftp-port", std::to_string(serveur.Port()), "--user", "test",
                                      "--password", "secret", "--timeout", "1"};
        args.insert(args.end(), c.commande.begin(), c.commande.end());
        fs::remove_all(copie);
        const auto res = Otdr(tmp, args);
        EXPECT_EQ(res.nSortie, 1);
        AttendreMessage(res, c.message);
        EXPECT_LT(res.dSecondes, 10.0);
        // Nothing is removed on the strength of a partial listing; copies stop at what was listed.
        EXPECT_EQ(CRepertoireTemp::Arbre(serveur.Racine() / "d").size(), 10u);
        if (fs::exists(copie)) {
            EXPECT_LE(CRepertoireTemp::Arbre(copie).size(), 3u);
        }
        EXPECT_EQ(Temporaires(tmp.Chemin()), std::vector<std::string>());
    }
}
