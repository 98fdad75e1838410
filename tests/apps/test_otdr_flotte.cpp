// otdr scan, --json and --fleet end to end: the real binary against simulators
// on loopback addresses. JSON documents are read by Python's own parser, never
// compared as text.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ExecutionTest.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"

#include <sstream>

namespace fs = std::filesystem;

namespace {

tResultatExecution Otdr(const CRepertoireTemp& tmp, std::vector<std::string> args)
{
    args.insert(args.begin(), OTDR_CLI_PATH);
    return Executer(args, {"XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string(), "OTDR_PASSWORD="});
}

// Python's value of `expression` over the document `d` (printed with repr for
// strings, so "'a'" distinguishes a string from a number); "INVALID" when the
// text does not parse as one JSON document.
std::string Json(const CRepertoireTemp& tmp, const std::string& document, const std::string& expression)
{
    const fs::path f = tmp.Ecrire("document.json", document);
    const auto r = Executer({OTDR_PYTHON, "-c",
                             "import json,sys\n"
                             "try: d = json.load(open(sys.argv[1], encoding='utf-8'))\n"
                             "except ValueError: print('INVALID'); sys.exit(0)\n"
                             "print(repr(eval(sys.argv[2])))\n",
                             f.string(), expression});
    std::string s = r.strSortie;
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return r.nSortie == 0 ? s : "python failed: " + r.strErreur;
}

// A port that accepts connections on `adresse` (queued, never read) and never answers.
class CEcouteMuette
{
public:
    CEcouteMuette(const char* adresse, int nPort)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        const int un = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &un, sizeof un);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(nPort));
        inet_pton(AF_INET, adresse, &a.sin_addr);
        m_bOk = bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(m_fd, 8) == 0;
    }
    ~CEcouteMuette() { close(m_fd); }
    bool Ok() const { return m_bOk; }

private:
    int m_fd = -1;
    bool m_bOk = false;
};

const char* const kSeulementIdn = "# connection opened\n*IDN?\n# connection closed\n";

} // namespace

TEST(OtdrScan, FindsSimulatorsOnLoopbackAndSendsThemNothingButIdn)
{
    CRepertoireTemp tmp("otdr-scan");
    const fs::path t2 = tmp.Chemin() / "t2", t5 = tmp.Chemin() / "t5";
    CProcessusTest sim2, sim5;
    ASSERT_TRUE(DemarrerSimulateur(sim2, {"--address", "127.0.0.2", "--transcript", t2.string()}));
    const std::string port = std::to_string(sim2.Port("command"));
    ASSERT_TRUE(DemarrerSimulateur(sim5, {"--address", "127.0.0.5", "--port", port, "--model", "KRX 14",
                                          "--serial", "SN-5", "--transcript", t5.string()}));
    CEcouteMuette muette("127.0.0.3", sim2.Port("command"));
    ASSERT_TRUE(muette.Ok());

    // .5 named first, then the block (where .5 is not probed again, nor .2
    // written another way); .3 accepts but never answers; 300.1.1.1 is no
    // address and never reaches the resolver.
    auto r = Otdr(tmp, {"scan", "--port", port, "--timeout", "0.3", "127.0.0.5", "127.0.0.0/29", "127.0.0.002",
                        "300.1.1.1"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(r.strSortie.substr(0, r.strSortie.find('\n')), "ADDRESS    MODEL   VERSION  SERIAL");
    const size_t p5 = r.strSortie.find("127.0.0.5  KRX 14  2.07     SN-5\n");
    const size_t p2 = r.strSortie.find("127.0.0.2  KRX 15  2.07     VH150427\n");
    const size_t p3 = r.strSortie.find("127.0.0.3  (not identified: no reply to \"*IDN?\" within 0.3 s)");
    EXPECT_TRUE(p5 != std::string::npos && p2 != std::string::npos && p3 != std::string::npos) << r.strSortie;
    const size_t p300 = r.strSortie.find("300.1.1.1  (not identified: '300.1.1.1' is not an IPv4 address)");
    EXPECT_TRUE(p5 < p2 && p2 < p3 && p3 < p300 && p300 != std::string::npos) << r.strSortie;
    EXPECT_EQ(CRepertoireTemp::Lire(t2), kSeulementIdn);
    EXPECT_EQ(CRepertoireTemp::Lire(t5), kSeulementIdn);

    r = Otdr(tmp, {"--json", "scan", "--port", port, "--timeout", "0.3", "127.0.0.0/29"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(Json(tmp, r.strSortie, "d['probed']"), "6");   // .0 and .7 are the block's own
    EXPECT_EQ(Json(tmp, r.strSortie, "[(i['address'], i['model'], i['version'], i['serial'], i['maker']) "
                                     "for i in d['instruments']]"),
              "[('127.0.0.2', 'KRX 15', '2.07', 'VH150427', 'Vardenholm Optics'), "
              "('127.0.0.5', 'KRX 14', '2.07', 'SN-5', 'Vardenholm Optics')]");
    EXPECT_EQ(Json(tmp, r.strSortie, "[(u['address'], u['reply']) for u in d['unidentified']]"),
              "[('127.0.0.3', None)]");
    EXPECT_EQ(CRepertoireTemp::Lire(t2), std::string(kSeulementIdn) + kSeulementIdn);
}

TEST(OtdrScan, RefusesBlocksLargerThanA22AndFindingNothingIsStatusOne)
{
    CRepertoireTemp tmp("otdr-scan");
    // Loopback blocks only: a refusal that failed would still stay on this machine.
    const struct { std::vector<std::string> cibles; const char* message; } cas[] = {
        {{"127.0.0.0/21"}, "'127.0.0.0/21' is too large a block: at most /22 (1024 addresses)"},
        {{"127.0.0.1", "127.0.0.0/8"}, "'127.0.0.0/8' is too large a block"},
        {{"127.0.0.0/33"}, "'127.0.0.0/33' is not an IPv4 block"},
        {{"127.0.0.0/x"}, "is not an IPv4 block"},
        {{"::1/128"}, "'::1/128' is not an IPv4 block"},
        {{}, "missing operand: usage: otdr scan"},
    };
    for (const auto& c : cas) {
        std::vector<std::string> args{"--json", "scan"};
        args.insert(args.end(), c.cibles.begin(), c.cibles.end());
        const auto r = Otdr(tmp, args);
        EXPECT_EQ(r.nSortie, 2) << c.message;
        EXPECT_TRUE(r.strSortie.empty()) << r.strSortie;
        EXPECT_EQ(Json(tmp, r.strErreur, "d['status']"), "2");
        EXPECT_NE(Json(tmp, r.strErreur, "d['error']").find(c.message), std::string::npos) << r.strErreur;
    }
    // A whole /22 of loopback with the port closed: nothing identified.
    const auto r = Otdr(tmp, {"scan", "--port", std::to_string(PortLibre()), "127.0.4.0/22"});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_TRUE(r.strSortie.empty()) << r.strSortie;
    EXPECT_NE(r.strErreur.find("no instrument identified itself on port"), std::string::npos) << r.strErreur;
    EXPECT_NE(r.strErreur.find("(1022 addresses probed)"), std::string::npos) << r.strErreur;
}

TEST(OtdrJson, IdentifyAndLsPrintOneDocumentWhateverTheInstrumentSends)
{
    CRepertoireTemp tmp("otdr-json");
    tmp.Ecrire("racine/Traces/a \"b\".sor", "12345");
    fs::create_directories(tmp.Chemin() / "racine/Vide");
    // Quotes, a backslash, a tab, ESC and a Latin-1 letter in the identification.
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--ftp-root", (tmp.Chemin() / "racine").string(), "--idn",
                                         "Mk,KRX \"15\"\\\t\x1b[2J\xc3\xa9,S1,v2"}));
    const std::vector<std::string> cible{"--json", "--address", "127.0.0.1", "--port",
                                         std::to_string(sim.Port("command")), "--ftp-port",
                                         std::to_string(sim.Port("ftp"))};
    auto avec = [&](std::vector<std::string> args) {
        args.insert(args.begin(), cible.begin(), cible.end());
        return Otdr(tmp, args);
    };
    auto r = avec({"identify"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(Json(tmp, r.strSortie, "(d['model'], d['version'], d['connected'], d['port'] > 0)"),
              "('KRX \"15\"\\\\\\t\\x1b[2Jé', 'v2', True, True)");
    EXPECT_EQ(r.strSortie.find('\x1b'), std::string::npos);   // escaped, never raw

    r = avec({"ls", "/"});
    ASSERT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(Json(tmp, r.strSortie, "(d['path'], d['complete'], [(e['name'], e['type']) for e in d['entries']])"),
              "('/', True, [('Traces', 'directory'), ('Vide', 'directory')])");
    r = avec({"ls", "/Traces"});
    // MLSD times: ISO 8601 UTC to the second, the same instant as "time".
    EXPECT_EQ(Json(tmp, r.strSortie,
                   "[(e['name'], e['size'], e['type'], e['precision'], e['attributes'], "
                   "__import__('datetime').datetime.strptime(e['date'], '%Y-%m-%dT%H:%M:%SZ')"
                   ".replace(tzinfo=__import__('datetime').timezone.utc).timestamp() == e['time']) "
                   "for e in d['entries']]"),
              "[('a \"b\".sor', 5, 'file', 'second', 'n', True)]");
    EXPECT_EQ(Json(tmp, r.strSortie, "d['unreadable']"), "[]");

    r = avec({"ls", "/nowhere"});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_EQ(Json(tmp, r.strErreur, "(d['status'], 'nowhere' in d['error'])"), "(1, True)");
}

TEST(OtdrFleet, CopiesEveryLiveInstrumentAndNamesTheDeadOne)
{
    CRepertoireTemp tmp("otdr-fleet");
    CProcessusTest a, b;
    ASSERT_TRUE(DemarrerSimulateur(a));
    ASSERT_TRUE(DemarrerSimulateur(b, {"--model", "KRX 14"}));
    const std::string mort = std::to_string(PortLibre());
    const fs::path flotte = tmp.Ecrire(
        "fleet.txt", "# the bench\n\nnord 127.0.0.1 " + std::to_string(a.Port("command")) + " " +
                         std::to_string(a.Port("ftp")) + "   # first\n  sud\t127.0.0.1 " +
                         std::to_string(b.Port("command")) + " " + std::to_string(b.Port("ftp")) +
                         "\nmort 127.0.0.1 " + mort + " " + mort + "\n");
    const fs::path local = tmp.Chemin() / "collected";

    for (const char* jobs : {"1", "3"}) {
        auto r = Otdr(tmp, {"--fleet", flotte.string(), "--jobs", jobs, "--timeout", "2", "get", "-r", "/Traces",
                            local.string()});
        EXPECT_EQ(r.nSortie, 1) << r.strErreur;
        for (const char* nom : {"nord", "sud"}) {
            const auto arbre = CRepertoireTemp::Arbre(local / nom / "Traces");
            EXPECT_GT(arbre.size(), 10u) << nom;
            EXPECT_NE(r.strSortie.find(std::string(nom) + ": Downloaded "), std::string::npos) << r.strSortie;
        }
        // Whole lines only, each carrying its instrument's name.
        std::istringstream lignes(r.strSortie);
        for (std::string l; std::getline(lignes, l);)
            EXPECT_TRUE(l.rfind("nord: ", 0) == 0 || l.rfind("sud: ", 0) == 0) << l;
        EXPECT_NE(r.strErreur.find("otdr: mort (127.0.0.1) failed: cannot reach the FTP server at 127.0.0.1:" + mort),
                  std::string::npos) << r.strErreur;
        EXPECT_NE(r.strErreur.find("otdr: 1 of 3 instruments failed\n"), std::string::npos) << r.strErreur;
    }

    auto r = Otdr(tmp, {"--json", "--fleet", flotte.string(), "--timeout", "2", "identify"});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_EQ(Json(tmp, r.strSortie, "[(i['name'], i['status'], i['result'] and i['result']['model']) "
                                     "for i in d['instruments']] + [d['failed']]"),
              "[('nord', 0, 'KRX 15'), ('sud', 0, 'KRX 14'), ('mort', 1, None), 1]");
    EXPECT_EQ(Json(tmp, r.strSortie, "'connection refused' in d['instruments'][2]['error']"), "True");
    EXPECT_EQ(Json(tmp, r.strErreur, "(d['name'], d['status'], d['error'].startswith('mort (127.0.0.1): '))"),
              "('mort', 1, True)");

    // A command that prints text gives it as the instrument's output.
    r = Otdr(tmp, {"--json", "--fleet", flotte.string(), "--timeout", "2", "get", "-r", "/Traces", local.string()});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_EQ(Json(tmp, r.strSortie, "[(i['result'], (i['output'] or '')[:11]) for i in d['instruments']]"),
              "[(None, 'Downloaded '), (None, 'Downloaded '), (None, '')]");
}

TEST(OtdrFleet, AWrongFleetFileRunsNothing)
{
    CRepertoireTemp tmp("otdr-fleet");
    const struct { const char* texte; std::vector<std::string> args; const char* message; } cas[] = {
        {"a 127.0.0.1 1 2 3\n", {"identify"}, "line 1: expected NAME ADDRESS [PORT [FTP_PORT]]"},
        {"# none\n\nalone\n", {"identify"}, "line 3: 'alone' has no address"},
        {"a 127.0.0.1\na 127.0.0.2\n", {"ls"}, "line 2: the name 'a' is used twice"},
        {"../up 127.0.0.1\n", {"ls"}, "line 1: '../up' is not a name"},
        {"a 127.0.0.1 99999\n", {"ls"}, "line 1: PORT: '99999' is not a port number"},
        {"# nothing\n", {"ls"}, "names no instrument"},
        {"a 127.0.0.1\n", {"scan", "127.0.0.1"}, "--fleet does not apply to scan"},
        {"a 127.0.0.1\n", {"--address", "h", "ls"}, "--fleet and --address exclude each other"},
        {"a 127.0.0.1\n", {"--jobs", "0", "ls"}, "--jobs: '0' is not a number from 1 to 64"},
        {"a 127.0.0.1\n", {"--shard", "2/2", "ls"}, "--shard: '2/2' is not a shard I/N (0 <= I < N"},
        {"a 127.0.0.1\n", {"--shard=0/0", "ls"}, "--shard: '0/0' is not a shard"},
        {"a 127.0.0.1\n", {"--shard", "-1/2", "ls"}, "--shard: '-1/2' is not a shard"},
        {"a 127.0.0.1\n", {"--shard", "1", "ls"}, "--shard: '1' is not a shard"},
        {"a 127.0.0.1\n", {"--shard", "0/2x", "ls"}, "--shard: '0/2x' is not a shard"},
        {"# nothing\n", {"--shard", "0/2", "ls"}, "names no instrument"},
    };
    for (const auto& c : cas) {
        std::vector<std::string> args{"--fleet", tmp.Ecrire("f.txt", c.texte).string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = Otdr(tmp, args);
        EXPECT_EQ(r.nSortie, 2) << c.message;
        EXPECT_NE(r.strErreur.find(c.message), std::string::npos) << r.strErreur;
        EXPECT_TRUE(r.strSortie.empty()) << r.strSortie;
    }
    // Wrong operands are wrong for every instrument: said once, before any runs.
    auto r = Otdr(tmp, {"--fleet", tmp.Ecrire("f.txt", "a 127.0.0.1\nb 127.0.0.1\n").string(), "get", "/x"});
    EXPECT_EQ(r.nSortie, 2);
    EXPECT_EQ(r.strErreur, "otdr: missing operand: usage: otdr get [-r] REMOTE... LOCAL (see 'otdr get --help')\n");

    r = Otdr(tmp, {"--fleet", (tmp.Chemin() / "absent.txt").string(), "ls"});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_NE(r.strErreur.find("cannot read the fleet file"), std::string::npos) << r.strErreur;
}

TEST(OtdrFleet, ShardsTakeEveryNthInstrumentLineAndAnEmptyShardSucceeds)
{
    CRepertoireTemp tmp("otdr-fleet");
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim));
    const std::string ports = " 127.0.0.1 " + std::to_string(sim.Port("command")) + " " + std::to_string(sim.Port("ftp"));
    // Comments and blank lines do not count: the instruments' indexes are 0, 1, 2.
    const std::string flotte =
        tmp.Ecrire("fleet.txt", "# the bench\na" + ports + "\n\n   # none here\nb" + ports + "\nc" + ports + "\n").string();
    auto noms = [&](const std::string& tranche) {
        const auto r = Otdr(tmp, {"--json", "--fleet", flotte, "--shard", tranche, "--jobs", "1", "identify"});
        EXPECT_EQ(r.nSortie, 0) << tranche << ": " << r.strErreur;
        EXPECT_TRUE(r.strErreur.empty()) << r.strErreur;
        return Json(tmp, r.strSortie, "([i['name'] for i in d['instruments'] if i['status'] == 0], d['failed'])");
    };
    const struct { const char* tranche; const char* instruments; } cas[] = {
        {"0/1", "(['a', 'b', 'c'], 0)"}, {"0/2", "(['a', 'c'], 0)"}, {"1/2", "(['b'], 0)"},
        {"2/4", "(['c'], 0)"},           {"3/4", "([], 0)"},
    };
    for (const auto& c : cas) EXPECT_EQ(noms(c.tranche), c.instruments) << c.tranche;

    // In text, the empty shard says so on standard error and prints nothing else.
    auto r = Otdr(tmp, {"--fleet", flotte, "--shard=5/8", "identify"});
    EXPECT_EQ(r.nSortie, 0);
    EXPECT_TRUE(r.strSortie.empty()) << r.strSortie;
    EXPECT_EQ(r.strErreur, "otdr: shard 5/8 of the fleet file '" + flotte + "' has no instrument (it names 3)\n");
    r = Otdr(tmp, {"--fleet", flotte, "--shard", "1/2", "identify"});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(r.strSortie.rfind("b: ", 0), 0u) << r.strSortie;
    EXPECT_EQ(r.strSortie.find("a: "), std::string::npos) << r.strSortie;

    r = Otdr(tmp, {"--shard", "0/2", "identify"});
    EXPECT_EQ(r.nSortie, 2);
    EXPECT_NE(r.strErreur.find("--shard applies to --fleet only"), std::string::npos) << r.strErreur;
}
