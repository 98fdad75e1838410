// otdr identify and otdr scan, whole processes, against an instrument that
// sends lines nobody asked for (support/serveur_commande_hostile.py): a
// greeting with commas, a line just before or just after the reply, a late
// reply, a stream without end, a close right after accepting. No stray line
// ever becomes the identity printed with status 0, and every run ends with a
// bounded output, the trace included.

#include <gtest/gtest.h>

#include "ExecutionTest.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"

namespace {

const std::string kCommandeHostile = std::string(OTDR_TESTS_DIR) + "/support/serveur_commande_hostile.py";

tResultatExecution Otdr(const CRepertoireTemp& tmp, std::vector<std::string> args)
{
    args.insert(args.begin(), {OTDR_CLI_PATH, "--profile", (tmp.Chemin() / "p.ini").string()});
    return Executer(args, {"XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string(), "OTDR_PASSWORD="},
                    tmp.Chemin().string(), std::chrono::seconds(20));
}

bool Contient(const std::string& texte, const std::string& extrait) { return texte.find(extrait) != std::string::npos; }

} // namespace

TEST(OtdrStrayLines, NoStrayLineIsPrintedAsTheInstrumentAndEveryRunEnds)
{
    const struct
    {
        std::vector<std::string> options;   // of the hostile peer
        int nSortie;                        // of identify and of scan alike
        const char* identify;               // in its output (status 0) or its message
        const char* scan;                   // in its output
    } cas[] = {
        {{"--at", "CONNECT", "--mode", "before"}, 0, "Model:       KRX 15", "127.0.0.1  KRX 15"},
        {{"--mode", "before"}, 1, "was answered \"Liar Optics,FAKE-9,LX0001,6.66\" twice",
         "(not identified: \"*IDN?\" was answered \"Liar Optics,FAKE-9,LX0001,6.66\" twice"},
        {{"--mode", "after"}, 1, "followed by a line nobody asked for (\"Liar Optics,FAKE-9,LX0001,6.66\")",
         "followed by a line nobody asked for"},
        {{"--mode", "late", "--delay", "1.5"}, 1, "no reply to \"*IDN?\"",
         "(not identified: no reply to \"*IDN?\" within 0.3 s)"},
        {{"--at", "CONNECT", "--mode", "stream"}, 1, "", "(not identified: "},
        {{"--at", "CONNECT", "--mode", "cut"}, 1, "(the instrument closed the connection",
         "(not identified: the instrument closed the connection"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.options[0] + " " + c.options[1]);
        CRepertoireTemp tmp("otdr-intrus");
        CProcessusTest serveur;
        std::vector<std::string> argv = {OTDR_PYTHON, kCommandeHostile};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        ASSERT_TRUE(serveur.Demarrer(argv) && serveur.AttendreLigne("READY"));
        const std::string port = std::to_string(serveur.Port("command"));

        auto r = Otdr(tmp, {"--address", "127.0.0.1", "--port", port, "--timeout", "0.3", "--verbose", "identify"});
        EXPECT_EQ(r.nSortie, c.nSortie) << r.strErreur;
        EXPECT_FALSE(Contient(r.strSortie, "FAKE-9")) << r.strSortie;
        EXPECT_TRUE(Contient(c.nSortie == 0 ? r.strSortie : r.strErreur, c.identify)) << r.strSortie << r.strErreur;
        // The trace summarises what was thrown away: never the stream itself.
        EXPECT_LT(r.strErreur.size(), 16384u);

        r = Otdr(tmp, {"scan", "--port", port, "--timeout", "0.3", "127.0.0.1"});
        EXPECT_EQ(r.nSortie, c.nSortie) << r.strErreur;
        EXPECT_TRUE(Contient(r.strSortie, c.scan)) << r.strSortie;
        EXPECT_FALSE(Contient(r.strSortie, "FAKE-9  ")) << r.strSortie;
    }
}
