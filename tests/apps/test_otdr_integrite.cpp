// The otdr CLI's transfers against an FTP server that sends short, cuts an
// upload, or a folder another run is working in: every run either ends with
// the source's bytes or fails naming the file and the cause, and the
// instrument's files stay whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <unistd.h>

#include "ExecutionTest.h"
#include "ftp/CParcoursDistant.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"
#include "support/ServeurFtp.h"

namespace fs = std::filesystem;

namespace {

struct tOtdrFtp
{
    CRepertoireTemp tmp{"otdr-cli-integrite"};
    CServeurFtpTest ftp{OTDR_TEST_HOSTILE_SERVER};

    bool Demarrer(const std::vector<std::string>& options)
    {
        fs::create_directories(ftp.Racine() / "T");
        std::ofstream(ftp.Racine() / "T/trace.sor") << std::string(200000, 't');
        std::ofstream(ftp.Racine() / "T/a.sor") << "alpha";
        return ftp.Demarrer(options);
    }
    tResultatExecution operator()(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {OTDR_CLI_PATH, "--profile", (tmp.Chemin() / "p.ini").string(), "--address",
                                   "127.0.0.1", "--ftp-port", std::to_string(ftp.Port()), "--user", "test",
                                   "--password", "secret", "--timeout", "2"});
        return Executer(args, {"XDG_CONFIG_HOME=" + (tmp.Chemin() / "config").string(), "OTDR_PASSWORD="},
                        tmp.Chemin().string(), std::chrono::seconds(20));
    }
    fs::path Copie() const { return tmp.Chemin() / "copy"; }
};

} // namespace

TEST(OtdrCliIntegrity, ADownloadThatEndsShortFailsInEveryCommand)
{
    tOtdrFtp otdr;
    ASSERT_TRUE(otdr.Demarrer({"--no-mlsd", "--retr", "trace.sor=short:150000"}));
    const std::string copie = otdr.Copie().string();
    const struct
    {
        std::vector<std::string> args;
        const char* message;
    } cas[] = {
        {{"get", "/T/trace.sor", (otdr.tmp.Chemin() / "one.sor").string()},
         "the file arrived incomplete: 150000 of 200000 bytes"},
        {{"get", "-r", "/T", copie}, "incomplete"},
        {{"sync", "/T", copie}, "incomplete"},
        {{"--parallel", "2", "sync", "/T", copie}, "incomplete"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const auto r = otdr(c.args);
        EXPECT_EQ(r.nSortie, 1) << r.strSortie;
        EXPECT_NE(r.strErreur.find(c.message), std::string::npos) << r.strErreur;
        EXPECT_NE(r.strErreur.find("trace.sor"), std::string::npos) << r.strErreur;
        EXPECT_FALSE(fs::exists(otdr.Copie() / "trace.sor"));
        EXPECT_FALSE(fs::exists(otdr.tmp.Chemin() / "one.sor"));
    }
}

TEST(OtdrCliIntegrity, AnUploadCutMidwayLeavesTheInstrumentsFileWhole)
{
    tOtdrFtp otdr;
    ASSERT_TRUE(otdr.Demarrer({"--stor-hangup", "100000"}));
    const fs::path source = otdr.tmp.Ecrire("new.sor", std::string(300000, 'n'));
    const auto r = otdr({"put", source.string(), "/T/trace.sor"});
    EXPECT_EQ(r.nSortie, 1);
    EXPECT_NE(r.strErreur.find("cannot upload"), std::string::npos) << r.strErreur;
    EXPECT_EQ(CRepertoireTemp::Lire(otdr.ftp.Racine() / "T/trace.sor"), std::string(200000, 't'));
    std::vector<std::string> noms;
    for (const auto& e : fs::directory_iterator(otdr.ftp.Racine() / "T"))
        noms.push_back(e.path().filename().string());
    std::sort(noms.begin(), noms.end());
    EXPECT_EQ(noms, (std::vector<std::string>{"a.sor", "trace.sor"}));
}

TEST(OtdrCliIntegrity, ASecondRunIntoTheSameFolderStopsAtOnceNamingTheFirst)
{
    tOtdrFtp otdr;
    ASSERT_TRUE(otdr.Demarrer({}));
    // get -r into an existing folder makes the remote directory's name there.
    fs::create_directories(otdr.Copie() / "T");
    const fs::path source = otdr.tmp.Ecrire("up/x.sor", "x");
    const std::string attendu = "another otdr run (process " + std::to_string(::getpid()) + ") is working in '";
    {
        // This process stands for the first run: it holds the folders.
        CVerrouDossier copie, copieT, envoi;
        std::string raison;
        ASSERT_TRUE(copie.Prendre(otdr.Copie(), raison)) << raison;
        ASSERT_TRUE(copieT.Prendre(otdr.Copie() / "T", raison)) << raison;
        ASSERT_TRUE(envoi.Prendre(source.parent_path(), raison)) << raison;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"sync", "/T", otdr.Copie().string()},
              std::vector<std::string>{"get", "-r", "/T", otdr.Copie().string()},
              std::vector<std::string>{"put", "-r", source.parent_path().string(), "/U"}}) {
            SCOPED_TRACE(args[0]);
            const auto r = otdr(args);
            EXPECT_EQ(r.nSortie, 1);
            EXPECT_NE(r.strErreur.find(attendu), std::string::npos) << r.strErreur;
            EXPECT_EQ(std::count(r.strErreur.begin(), r.strErreur.end(), '\n'), 1) << r.strErreur;
        }
        EXPECT_TRUE(fs::is_empty(otdr.Copie() / "T"));
        EXPECT_FALSE(fs::exists(otdr.Copie() / "trace.sor"));
    }
    const auto r = otdr({"sync", "/T", otdr.Copie().string()});
    EXPECT_EQ(r.nSortie, 0) << r.strErreur;
    EXPECT_EQ(CRepertoireTemp::Lire(otdr.Copie() / "trace.sor"), std::string(200000, 't'));
}

TEST(OtdrCliIntegrity, OverlappingSyncsThenAKillAndARerunEndByteIdentical)
{
    CRepertoireTemp tmp("otdr-cli-overlap");
    std::map<std::string, std::string> attendu;
    for (int i = 0; i < 3; ++i) {
        const std::string nom = "T/t" + std::to_string(i) + ".sor";
        std::string contenu(600000, '\0');
        for (size_t k = 0; k < contenu.size(); ++k)
            contenu[k] = static_cast<char>((k * 31 + static_cast<size_t>(i) * 7 + k / 251) & 0xff);
        tmp.Ecrire("served/" + nom, contenu);
        attendu["t" + std::to_string(i) + ".sor"] = contenu;
    }
    CProcessusTest serveur;
    ASSERT_TRUE(serveur.Demarrer({OTDR_PYTHON, OTDR_TEST_FTP_SERVER, "--root", (tmp.Chemin() / "served").string(),
                                  "--throttle", "262144"}));
    ASSERT_TRUE(serveur.AttendreLigne("READY"));
    const fs::path copie = tmp.Chemin() / "copy";
    const std::vector<std::string> base{OTDR_CLI_PATH, "--profile", (tmp.Chemin() / "p.ini").string(),
                                        "--address", "127.0.0.1", "--ftp-port", std::to_string(serveur.Port("ftp")),
                                        "--user", "test", "--password", "secret"};
    auto avec = [&base](std::vector<std::string> args) {
        args.insert(args.begin(), base.begin(), base.end());
        return args;
    };

    // The first run is inside its transfers when the second starts.
    CProcessusTest premier;
    ASSERT_TRUE(premier.Demarrer(avec({"sync", "/T", copie.string()})));
    auto enVol = [&] {
        std::error_code ec;
        for (fs::directory_iterator it(copie, ec), fin; !ec && it != fin; it.increment(ec))
            if (it->path().extension() == ".part")
                return true;
        return false;
    };
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!enVol() && std::chrono::steady_clock::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(enVol());
    const auto second = Executer(avec({"sync", "/T", copie.string()}), {"OTDR_PASSWORD="}, tmp.Chemin().string());
    EXPECT_EQ(second.nSortie, 1);
    EXPECT_NE(second.strErreur.find("(process " + std::to_string(premier.Pid()) + ")"), std::string::npos)
        << second.strErreur;

    // Killed outright, then run again: the copy ends as the instrument's.
    premier.Tuer();
    const auto reprise = Executer(avec({"sync", "/T", copie.string()}), {"OTDR_PASSWORD="}, tmp.Chemin().string());
    EXPECT_EQ(reprise.nSortie, 0) << reprise.strErreur;
    EXPECT_EQ(CRepertoireTemp::Arbre(copie), attendu);
}
