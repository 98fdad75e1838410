// The otdr tool as a field and a nightly job use it: what it sends to the
// instrument, how long it waits, how it reaches FTP servers behind NAT, where
// its logins come from, and what it selects.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <algorithm>
#include <regex>
#include <set>
#include <thread>
#include <unistd.h>

#include "ExecutionTest.h"
#include "support/ProcessusTest.h"
#include "support/ServeurFtp.h"
#include "support/RepertoireTemp.h"
#include "support/ServeurMuet.h"

namespace fs = std::filesystem;

namespace {

tResultatExecution Otdr(const CRepertoireTemp& tmp, std::vector<std::string> args, std::vector<std::string> env = {})
{
    args.insert(args.begin(), OTDR_CLI_PATH);
    env.push_back("XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string());
    env.push_back("HOME=" + tmp.Chemin().string());
    return Executer(args, env);
}

// The simulator writes a connection's end when it sees it close, which may come
// just after the tool has exited.
std::string TranscriptFini(const fs::path& f)
{
    std::string t;
    for (int i = 0; i < 200; ++i) {
        t = CRepertoireTemp::Lire(f);
        const auto n = [&](const char* m) {
            size_t c = 0;
            for (size_t p = t.find(m); p != std::string::npos; p = t.find(m, p + 1)) ++c;
            return c;
        };
        if (n("# connection opened") == n("# connection closed")) return t;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return t;
}

class OtdrOutilTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        racine = tmp.Chemin() / "instrument";
        tmp.Ecrire("instrument/Traces/a_1310nm.sor", "a1310");
        tmp.Ecrire("instrument/Traces/b_1550nm.sor", "b1550");
        tmp.Ecrire("instrument/Traces/c_1310nm.sor", "c1310");
        tmp.Ecrire("instrument/readme.txt", "hello\n");
        ASSERT_TRUE(DemarrerSimulateur(sim, {"--ftp-root", racine.string(), "--transcript", transcript.string()}));
        base = {"--profile", (tmp.Chemin() / "profile.ini").string(), "--address", "127.0.0.1",
                "--port", std::to_string(sim.Port("command")), "--ftp-port", std::to_string(sim.Port("ftp"))};
    }

    tResultatExecution Run(std::vector<std::string> args, std::vector<std::string> env = {})
    {
        args.insert(args.begin(), base.begin(), base.end());
        return Otdr(tmp, args, env);
    }

    // What the command channel received since the last call.
    std::string Recu()
    {
        const std::string t = TranscriptFini(transcript);
        const std::string nouveau = t.substr(std::min(m_nLu, t.size()));
        m_nLu = t.size();
        return nouveau;
    }

    CRepertoireTemp tmp{"otdr-outil"};
    fs::path racine;
    fs::path transcript = tmp.Chemin() / "transcript.txt";
    CProcessusTest sim;
    std::vector<std::string> base;

private:
    size_t m_nLu = 0;
};

const char* const kSeulementIdn = "# connection opened\n*IDN?\n# connection closed\n";

} // namespace

TEST_F(OtdrOutilTest, FileCommandsAskOnlyIdnAndIdentifyHandsControlBack)
{
    const fs::path local = tmp.Chemin() / "local";
    fs::create_directories(local);
    const struct { std::vector<std::string> args; std::string attendu; } cas[] = {
        {{"ls"}, kSeulementIdn},
        {{"get", "/readme.txt", local.string()}, kSeulementIdn},
        {{"mkdir", "/New"}, kSeulementIdn},
        {{"rm", "/readme.txt"}, kSeulementIdn},
        // Given credentials need no model: the command channel is left alone.
        {{"--user", "krx15", "--password", "brimola", "ls"}, ""},
        // The connection sequence, then the front panel back to the user.
        {{"identify"}, "# connection opened\n*REM\n*CLS\n*STB?\n*CLS\n*STB?\n*CLS\n*STB?\n*IDN?\n*LOC\n"
                       "# connection closed\n"},
    };
    for (const auto& c : cas) {
        const auto r = Run(c.args);
        EXPECT_EQ(r.nSortie, 0) << c.args[0] << ": " << r.strErreur;
        EXPECT_EQ(Recu(), c.attendu) << c.args[0];
    }
}

TEST(OtdrOutil, TimeLimitBoundsEachReplyInAllAndMessagesSayIt)
{
    CRepertoireTemp tmp("otdr-outil");
    CServeurMuet muet;
    ASSERT_NE(muet.Port(), 0);
    const std::vector<std::string> base{"--profile", (tmp.Chemin() / "p.ini").string(), "--address", "127.0.0.1",
                                        "--port", std::to_string(muet.Port())};
    // Two replies awaited ("*STB?" of "*CLS", then again after the password
    // command): each the limit given, not twice it.
    for (const char* limite : {"1", "0.4"}) {
        std::vector<std::string> a = base;
        a.insert(a.end(), {"--timeout", limite, "identify"});
        const auto r = Otdr(tmp, a);
        EXPECT_EQ(r.nSortie, 1);
        EXPECT_NE(r.strErreur.find(std::string("(no reply to \"*STB?\" within ") + limite + " s;"), std::string::npos)
            << r.strErreur;
        EXPECT_LT(r.dSecondes, 20.0);
    }
}

namespace {

const std::string kServeurNat = std::string(OTDR_TESTS_DIR) + "/support/serveur_ftp_nat.py";

} // namespace

TEST(OtdrOutil, DataConnectionsPassiveOnRequestAndAfterAFailedActiveOne)
{
    CRepertoireTemp tmp("otdr-outil");
    const fs::path local = tmp.Chemin() / "x.sor";
    const std::string passif = "going on in passive mode";
    const struct { const char* mode; std::vector<std::string> options; int nSortie; bool bRepli; const char* erreur; } cas[] = {
        // Active refused, or lost on its way back: passive once, said, and kept.
        {"no-active", {}, 0, true, ""},
        {"active-lost", {}, 0, true, ""},
        {"no-active", {"--passive"}, 0, false, ""},
        {"active-lost", {"--passive"}, 0, false, ""},
        // A server without passive mode: active as ever; passive asked for fails, naming the reply.
        {"no-passive", {}, 0, false, ""},
        {"no-passive", {"--passive"}, 1, false, "500 PASV not allowed here."},
    };
    for (const auto& c : cas) {
        CServeurFtpTest serveur(kServeurNat.c_str());
        ASSERT_TRUE(serveur.Demarrer({"--mode", c.mode}));
        serveur.Repertoire().Ecrire("T/x.sor", "trace");
        fs::remove(local);
        std::vector<std::string> a{"--profile", (tmp.Chemin() / "p.ini").string(), "--address", "127.0.0.1",
                                   "--ftp-port", std::to_string(serveur.Port()), "--user", "test", "--password",
                                   "secret", "--timeout", "2"};
        a.insert(a.end(), c.options.begin(), c.options.end());
        // A listing, then a download on a fresh session.
        std::vector<std::string> ls = a, get = a;
        ls.insert(ls.end(), {"ls", "/T"});
        get.insert(get.end(), {"get", "/T/x.sor", local.string()});
        for (const auto& args : {ls, get}) {
            const auto r = Otdr(tmp, args);
            const std::string quoi = std::string(c.mode) + " " + args.back();
            EXPECT_EQ(r.nSortie, c.nSortie) << quoi << ": " << r.strErreur;
            EXPECT_EQ(r.strErreur.find(passif) != std::string::npos, c.bRepli) << quoi << ": " << r.strErreur;
            EXPECT_NE(r.strErreur.find(c.erreur), std::string::npos) << quoi << ": " << r.strErreur;
        }
        if (c.nSortie == 0) {
            EXPECT_EQ(CRepertoireTemp::Lire(local), "trace") << c.mode;
        }
    }

    // The profile's key asks for passive mode as --passive does; --active overrides it, and is never passive.
    CServeurFtpTest serveur(kServeurNat.c_str());
    ASSERT_TRUE(serveur.Demarrer({"--mode", "no-active"}));
    const std::vector<std::string> profil{"--profile", (tmp.Chemin() / "q.ini").string()};
    auto avec = [&](std::vector<std::string> a) {
        a.insert(a.begin(), profil.begin(), profil.end());
        return a;
    };
    auto r = Otdr(tmp, avec({"config", "--address", "127.0.0.1", "--ftp-port", std::to_string(serveur.Port()),
                             "--passive"}));
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("data:      passive"), std::string::npos) << r.strSortie;
    EXPECT_NE(CRepertoireTemp::Lire(tmp.Chemin() / "q.ini").find("Ftp Passive = 1"), std::string::npos);
    r = Otdr(tmp, avec({"--user", "test", "--password", "secret", "ls", "/"}));
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(r.strErreur, "");
    r = Otdr(tmp, avec({"--active", "--user", "test", "--password", "secret", "ls", "/"}));
    EXPECT_EQ(r.nSortie, 1) << r.strErreur;
    EXPECT_NE(r.strErreur.find("not allowed here."), std::string::npos) << r.strErreur;
    EXPECT_EQ(r.strErreur.find(passif), std::string::npos) << r.strErreur;
}

namespace {

// The tool with `entree` on its standard input (a pipe, not a terminal).
tResultatExecution OtdrAvecEntree(const CRepertoireTemp& tmp, const std::string& entree, std::vector<std::string> args)
{
    std::string ligne = "printf '%s' \"$ENTREE\" | \"$@\"";
    args.insert(args.begin(), {"/bin/sh", "-c", ligne, "sh", OTDR_CLI_PATH});
    return Executer(args, {"XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string(), "HOME=" + tmp.Chemin().string(),
                           "ENTREE=" + entree});
}

} // namespace

TEST(OtdrOutil, LoginsComeFromOptionsNetrcTheStoredChoiceOrTheFamilies)
{
    CRepertoireTemp tmp("otdr-outil");
    const fs::path ini = tmp.Chemin() / "p.ini";
    CServeurFtpTest serveur;
    ASSERT_TRUE(serveur.Demarrer({"--user", "bob:b0b", "--user", "carol:c4rol", "--print-logins"}));
    // No command channel: the model stays unknown.
    const std::vector<std::string> base{"--profile", ini.string(), "--address", "127.0.0.1", "--port",
                                        std::to_string(PortLibre()), "--ftp-port", std::to_string(serveur.Port())};
    auto avec = [&](std::vector<std::string> a) {
        a.insert(a.begin(), base.begin(), base.end());
        return a;
    };

    // Stored from standard input, never from the command line; the profile stays private.
    auto r = OtdrAvecEntree(tmp, "b0b\n", avec({"config", "--user", "bob"}));
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("login:     bob (password stored)"), std::string::npos) << r.strSortie;
    EXPECT_EQ(fs::status(ini).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    const std::string stocke = CRepertoireTemp::Lire(ini);
    EXPECT_NE(stocke.find("Ftp Login = bob"), std::string::npos) << stocke;
    EXPECT_NE(stocke.find("Ftp Password = b0b"), std::string::npos) << stocke;
    EXPECT_NE(stocke.find("Ftp Type Identification = 6"), std::string::npos) << stocke;
    r = Otdr(tmp, avec({"config", "--user", "eve", "--password", "x"}));
    EXPECT_EQ(r.nSortie, 2);
    EXPECT_NE(r.strErreur.find("not taken from the command line"), std::string::npos) << r.strErreur;
    EXPECT_EQ(CRepertoireTemp::Lire(ini), stocke);

    // The stored login serves an instrument whose model is unknown: one login.
    r = Otdr(tmp, avec({"--timeout", "0.5", "ls", "/"}));
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    // ~/.netrc's entry for the address comes before it; --user before both.
    tmp.Ecrire(".netrc", "machine 10.9.9.9 login nobody password x\nmachine 127.0.0.1\n  login carol password c4rol\n");
    r = Otdr(tmp, avec({"ls", "/"}));
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    r = Otdr(tmp, avec({"--user", "bob", "--password", "b0b", "ls", "/"}));
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    // --user alone takes the password of its ~/.netrc entry.
    r = Otdr(tmp, avec({"--user", "carol", "ls", "/"}));
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    // --user alone on a terminal asks for the password (script gives the tool one).
    const std::string commande = "'" + std::string(OTDR_CLI_PATH) + "' --profile '" + ini.string() +
                                 "' --address 127.0.0.1 --ftp-port " + std::to_string(serveur.Port()) +
                                 " --user bob ls /";
    r = Executer({"/bin/sh", "-c", "printf 'b0b\\n' | script -qec \"$0\" /dev/null", commande},
                 {"HOME=" + (tmp.Chemin() / "ailleurs").string()});
    EXPECT_EQ(r.nSortie, 0) << r.strSortie << r.strErreur;
    EXPECT_NE(r.strSortie.find("FTP password for bob@127.0.0.1: "), std::string::npos) << r.strSortie;
    serveur.Processus().AttendreLigne("never", std::chrono::milliseconds(300));
    std::vector<std::string> logins;
    for (const std::string& l : serveur.Processus().Lignes())
        if (l.rfind("LOGIN ", 0) == 0) logins.push_back(l.substr(6));
    EXPECT_EQ(logins, (std::vector<std::string>{"bob b0b", "carol c4rol", "bob b0b", "carol c4rol", "bob b0b"}));

    // Forgetting the login goes back to the automatic choice.
    r = Otdr(tmp, avec({"config", "--user", ""}));
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("login:     by the instrument's model"), std::string::npos) << r.strSortie;
}

TEST_F(OtdrOutilTest, AFamilyLoginStillWinsOverTheStoredOne)
{
    // The simulator says "KRX 15": its family's login, whatever was stored.
    auto r = OtdrAvecEntree(tmp, "b0b\n", {"--profile", (tmp.Chemin() / "profile.ini").string(), "config", "--user",
                                           "bob"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    r = Run({"-v", "ls", "/"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strErreur.find("> USER tellmar"), std::string::npos) << r.strErreur;
    EXPECT_EQ(r.strErreur.find("> USER bob"), std::string::npos) << r.strErreur;
}

TEST_F(OtdrOutilTest, PatternsOperandsAndFiltersChooseTheFiles)
{
    const fs::path l = tmp.Chemin() / "l";
    tmp.Ecrire("instrument/Traces/sub/d_1310nm.sor", "d1310");
    tmp.Ecrire("instrument/Traces/Archive/e_1310nm.sor", "e1310");
    const struct { std::vector<std::string> args; int nSortie; std::set<std::string> fichiers; } cas[] = {
        {{"get", "/Traces/*1310nm.sor", "L"}, 0, {"a_1310nm.sor", "c_1310nm.sor"}},
        {{"get", "/Traces/[ab]_*.sor", "/readme.txt", "L"}, 0, {"a_1310nm.sor", "b_1550nm.sor", "readme.txt"}},
        {{"get", "/Traces/?_1550nm.sor", "L"}, 0, {"b_1550nm.sor"}},
        {{"get", "/Traces/*.none", "L"}, 1, {}},
        {{"get", "-r", "--include", "*1310*", "--exclude", "Archive", "/Traces", "L"}, 0,
         {"Traces/a_1310nm.sor", "Traces/c_1310nm.sor", "Traces/sub/d_1310nm.sor"}},
        {{"get", "-r", "--exclude", "sub/*", "--exclude", "*.sor", "--include", "*", "/Traces", "L"}, 0, {}},
        {{"get", "-r", "--newer-than", "2999-01-01", "/Traces", "L"}, 0, {}},
        {{"get", "-r", "--newer-than", "1d", "--include", "Archive/*", "/Traces", "L"}, 0,
         {"Traces/Archive/e_1310nm.sor"}},
        {{"sync", "--exclude", "*1550*", "/Traces/sub", "L"}, 0, {"d_1310nm.sor"}},
    };
    for (const auto& c : cas) {
        fs::remove_all(l);
        fs::create_directories(l);
        std::vector<std::string> args = c.args;
        std::replace(args.begin(), args.end(), std::string("L"), l.string());
        const auto r = Run(args);
        EXPECT_EQ(r.nSortie, c.nSortie) << args[1] << ": " << r.strErreur;
        std::set<std::string> copies;
        for (const auto& [chemin, contenu] : CRepertoireTemp::Arbre(l))
            if (contenu != "<dir>") copies.insert(chemin);
        EXPECT_EQ(copies, c.fichiers) << args[1] << " " << args[2];
    }
}

TEST_F(OtdrOutilTest, DryRunSaysWhatItWouldDoAndTouchesNothing)
{
    tmp.Ecrire("local/up/x.sor", "x");
    tmp.Ecrire("local/up/y.txt", "y");
    const std::string l = (tmp.Chemin() / "nouveau").string();
    const struct { std::vector<std::string> args; std::string sortie; } cas[] = {
        {{"rm", "/Traces/?_1550nm.sor", "/readme.txt"},
         "would delete '/Traces/b_1550nm.sor'\nwould delete '/readme.txt'\n"},
        {{"get", "/readme.txt", l}, "would download '/readme.txt' to '" + l + "'\n"},
        {{"get", "-r", "--exclude", "b_*", "/Traces", l},
         "would download '/Traces/a_1310nm.sor' to '" + l + "/a_1310nm.sor'\n"
         "would download '/Traces/c_1310nm.sor' to '" + l + "/c_1310nm.sor'\n"},
        {{"sync", "--include", "a*", "/Traces", l}, "would download '/Traces/a_1310nm.sor' to '" + l + "/a_1310nm.sor'\n"},
        {{"put", "-r", "--include", "*.sor", (tmp.Chemin() / "local/up").string(), "/Neuf"},
         "would upload '" + (tmp.Chemin() / "local/up/x.sor").string() + "' to '/Neuf/x.sor'\n"},
        {{"mkdir", "/Neuf"}, "would create directory '/Neuf'\n"},
        {{"rmdir", "-r", "/Traces"}, "would remove directory and all it holds '/Traces'\n"},
    };
    const auto avant = CRepertoireTemp::Arbre(racine);
    for (const auto& c : cas) {
        std::vector<std::string> args{"--dry-run"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = Run(args);
        EXPECT_EQ(r.nSortie, 0) << c.args[0] << ": " << r.strErreur;
        EXPECT_EQ(r.strSortie, c.sortie) << c.args[0];
        EXPECT_FALSE(fs::exists(l)) << c.args[0];
    }
    EXPECT_EQ(CRepertoireTemp::Arbre(racine), avant);

    // The profile too is left as it is.
    auto r = Run({"--dry-run", "config", "--passive"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_NE(r.strSortie.find("would set 'Ftp Passive' to '1'\n"), std::string::npos) << r.strSortie;
    EXPECT_FALSE(fs::exists(tmp.Chemin() / "profile.ini"));

    // The same as one JSON document.
    r = Run({"--dry-run", "--json", "rm", "/readme.txt"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(r.strSortie, "{\"dry_run\":true,\"actions\":[{\"action\":\"delete\",\"from\":\"/readme.txt\",\"to\":null,"
                           "\"size\":null}]}\n");
}

TEST_F(OtdrOutilTest, OutputGoesWhereScriptsExpectIt)
{
    const fs::path l = tmp.Chemin() / "l";
    fs::create_directories(l);
    // A file to standard output, nothing on disk; progress on standard error.
    auto r = Run({"--progress", "always", "get", "/readme.txt", "-"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(r.strSortie, "hello\n");
    EXPECT_NE(r.strErreur.find("100%"), std::string::npos) << r.strErreur;
    EXPECT_FALSE(fs::exists(tmp.Chemin() / "-"));
    r = Run({"--progress", "always", "-r", "get", "/Traces", l.string()});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(r.strSortie.rfind("Downloaded 3 files", 0), 0u) << r.strSortie;
    EXPECT_NE(r.strErreur.find("100%"), std::string::npos) << r.strErreur;
    // -q: nothing but errors; short options together.
    r = Run({"-rq", "--progress", "always", "get", "/Traces", (l / "q").string()});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(r.strSortie + r.strErreur, "");
    EXPECT_EQ(CRepertoireTemp::Lire(l / "q/b_1550nm.sor"), "b1550");

    const struct { std::vector<std::string> args; const char* message; } usages[] = {
        {{"-rx", "get", "/a", "b"}, "unknown option '-x' in '-rx'"},
        {{"--include", "*.sor", "ls"}, "apply to get -r, put -r and sync only"},
        {{"--include", "*.sor", "get", "/a", "b"}, "apply to get -r, put -r and sync only"},
        {{"--dry-run", "ls"}, "option --dry-run applies to the commands that change something"},
        {{"--newer-than", "yesterday", "sync", "/a", "b"}, "--newer-than: 'yesterday'"},
        {{"--retry", "99", "ls"}, "--retry: '99'"},
        {{"-r", "get", "/Traces", "-"}, "a tree cannot go to standard output"},
        {{"get", "/Traces/*.sor", "-"}, "one file only goes to standard output"},
    };
    for (const auto& u : usages) {
        r = Run(u.args);
        EXPECT_EQ(r.nSortie, 2) << u.message;
        EXPECT_NE(r.strErreur.find(u.message), std::string::npos) << r.strErreur;
    }
}

TEST(OtdrOutil, RetryRunsAgainAfterAFailureAndAFleetsUsageErrorIsSaidOnce)
{
    CRepertoireTemp tmp("otdr-outil");
    const std::string libre = std::to_string(PortLibre());
    auto r = Otdr(tmp, {"--profile", (tmp.Chemin() / "p.ini").string(), "--address", "127.0.0.1", "--ftp-port",
                        libre, "--user", "u", "--password", "p", "--retry", "2", "ls"});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_NE(r.strErreur.find("trying again in 1 s (1 of 2)"), std::string::npos) << r.strErreur;
    EXPECT_NE(r.strErreur.find("trying again in 2 s (2 of 2)"), std::string::npos) << r.strErreur;
    size_t nEchecs = 0;
    for (size_t p = r.strErreur.find("cannot reach the FTP server"); p != std::string::npos;
         p = r.strErreur.find("cannot reach the FTP server", p + 1))
        ++nEchecs;
    EXPECT_EQ(nEchecs, 3u) << r.strErreur;

    const fs::path flotte = tmp.Ecrire("flotte.txt", "a 127.0.0.1 " + libre + "\nb 127.0.0.1 " + libre +
                                                         "\nc 127.0.0.1 " + libre + "\n");
    r = Otdr(tmp, {"--fleet", flotte.string(), "get", "/only-one"});
    EXPECT_EQ(r.nSortie, 2);
    EXPECT_EQ(r.strErreur, "otdr: missing operand: usage: otdr get [-r] REMOTE... LOCAL (see 'otdr get --help')\n");
}

namespace {

// The options ("--name", "-x") and commands a text names.
std::set<std::string> Options(const std::string& texte)
{
    std::set<std::string> r;
    const std::regex option(R"((^|[\s\[(|,'])(--?[a-z][a-z-]*[a-z]|-[a-z])(?=[\s\]=,.;)|']|$))");
    for (std::sregex_iterator it(texte.begin(), texte.end(), option), fin; it != fin; ++it) r.insert((*it)[2]);
    return r;
}

} // namespace

TEST(OtdrOutil, ManualPageAndCompletionNameWhatTheHelpNamesAndAreInstalled)
{
    CRepertoireTemp tmp("otdr-outil");
    const fs::path dossier = fs::path(OTDR_TESTS_DIR).parent_path() / "apps/otdr";
    std::string man = CRepertoireTemp::Lire(dossier / "otdr.1");
    for (size_t p; (p = man.find("\\-")) != std::string::npos;) man.replace(p, 2, "-");
    for (const char* f : {"\\fB", "\\fR", "\\fI"})
        for (size_t p; (p = man.find(f)) != std::string::npos;) man.replace(p, 3, " ");
    const std::string completion = CRepertoireTemp::Lire(dossier / "otdr.bash-completion");

    std::string aide = Otdr(tmp, {"--help"}).strSortie;
    for (const char* c : {"config", "identify", "ls", "get", "put", "rm", "mkdir", "rmdir", "scan", "sync"}) {
        EXPECT_NE(man.find(std::string(".B ") + c), std::string::npos) << c;
        EXPECT_TRUE(std::regex_search(completion, std::regex(std::string("[\\s\"]") + c + "[\\s\"]"))) << c;
        aide += Otdr(tmp, {c, "--help"}).strSortie;
    }
    std::set<std::string> options = Options(aide);
    options.erase("-l");   // 'ls -l', the listing it looks like
    ASSERT_GT(options.size(), 25u);
    for (const std::string& o : options) {
        EXPECT_FALSE(Options(man).count(o) == 0) << o << " is in the help, not in the manual page";
        EXPECT_NE(completion.find(" " + o), std::string::npos) << o << " is not completed";
    }
    for (const std::string& o : Options(man)) EXPECT_TRUE(options.count(o)) << o << " is in the manual page only";

    // Where the packages take them from.
    const fs::path prefixe = tmp.Chemin() / "prefix";
    const auto r = Executer({OTDR_CMAKE, "--install", OTDR_BUILD_DIR, "--prefix", prefixe.string()}, {}, {},
                            std::chrono::seconds(120));
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(CRepertoireTemp::Lire(prefixe / "share/man/man1/otdr.1"), CRepertoireTemp::Lire(dossier / "otdr.1"));
    EXPECT_EQ(CRepertoireTemp::Lire(prefixe / "share/bash-completion/completions/otdr"), completion);
}
