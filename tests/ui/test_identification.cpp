// Which FTP logins the file transfer entry points try, and in what order,
// against a real FTP server that logs every attempt.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "support/EcouteSaturee.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"
#include "support/ServeurFtp.h"
#include "common/Conversions.h"
#include "driver/COtdrDriver.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "ftp/CFTPDirect.h"
#include "support/FrontalScripte.h"
#include "driver/IdentifiantsFtp.h"
#include "ui/IdsControles.h"

using namespace ClesProfil;
using tLogins = std::vector<std::pair<CString, CString>>;

namespace {

const std::pair<CString, CString> kA{L"krx11", L"QWPZ"}, kB{L"krx12", L"QWPZ"}, kC{L"tellmar", L"ulk"},
    kD{L"krx14", L"brimola"}, kE{L"krx15", L"brimola"}, kF{L"brimola", L"pelvu7"}, kG{L"FPX", L"LANTERNS"};

// Records the logins and accepts the one named.
struct CJournal {
    tLogins logins;
    CString accepte;
    std::function<int(const CString&, const CString&)> Fn()
    {
        return [this](const CString& u, const CString& p) {
            logins.emplace_back(u, p);
            return u == accepte ? 1 : 0;
        };
    }
};

// The test FTP server; Logins() returns the attempts it has seen so far.
class CServeurFtp : public CServeurFtpTest
{
public:
    explicit CServeurFtp(std::vector<std::string> options)
    {
        options.push_back("--print-logins");
        m_bPret = Demarrer(options);
    }
    bool Pret() const { return m_bPret; }

    // Every attempt up to now: a marker login is made and waited for, so that
    // the lines of earlier attempts have all been read.
    tLogins Logins()
    {
        CFTPDirect marqueur(L"127.0.0.1", Port());
        marqueur.FtpConnexion(L"fin", L"fin");
        EXPECT_TRUE(Processus().AttendreLigne("LOGIN fin fin"));
        const std::vector<std::string> lignes = Processus().Lignes();
        tLogins l;
        for (size_t i = m_nLus; i < lignes.size(); ++i) {
            const std::string& ligne = lignes[i];
            if (ligne.rfind("LOGIN ", 0) != 0 || ligne == "LOGIN fin fin") continue;
            const size_t blanc = ligne.find(' ', 6);
            l.emplace_back(Utf8ToWide(ligne.substr(6, blanc - 6)), Utf8ToWide(ligne.substr(blanc + 1)));
        }
        m_nLus = lignes.size();
        return l;
    }

private:
    bool m_bPret = false;
    size_t m_nLus = 0;
};

tLogins OrdreComplet(const std::pair<CString, CString>& premier)
{
    return {premier, kD, kB, kA, kC, {L"anonymous", IdentifiantsFtp::H.szMotDePasse}};
}

} // namespace

TEST(FtpCredentials, CredentialsByModelAndByUser)
{
    struct {
        const wchar_t* modele;
        const wchar_t* user;
        const wchar_t* pwd;
        tLogins attendu;
    } const cas[] = {
        {L"KRX 15", nullptr, nullptr, {kC}},
        {L"FPX 7200", L"host", L"given", {kG}},          // the family wins over the host's choice
        {L"NETSCAN FPX", nullptr, nullptr, {kG}},        // a later match replaces an earlier one
        {L"NETREFL 2", nullptr, nullptr, {kF}},
        {L"krx 15", nullptr, nullptr, {kE}},             // case-sensitive: no family
        {L"Q-LANCE", L"host", L"given", {{L"host", L"given"}}},
        {L"", L"host", nullptr, {{L"host", L"brimola"}}},  // a user given: one login only
        {L"", nullptr, L"pw", OrdreComplet({L"krx15", L"pw"})},
        {L"", nullptr, nullptr, OrdreComplet(kE)},
    };
    for (const auto& c : cas) {
        CJournal j;
        EXPECT_EQ(IdentifiantsFtp::Connecter(c.modele, c.user, c.pwd, j.Fn()), 0);
        EXPECT_EQ(j.logins, c.attendu) << CString(c.modele).c_str();
    }
}

TEST(FtpCredentials, LoginsStopAtTheFirstSuccess)
{
    CJournal j;
    j.accepte = L"krx12";
    EXPECT_EQ(IdentifiantsFtp::Connecter(L"", nullptr, nullptr, j.Fn()), 1);
    EXPECT_EQ(j.logins, (tLogins{kE, kD, kB}));
}

TEST(FtpCredentials, EachFixedTypeOfTheIdentificationDialogGivesItsPair)
{
    CString u = L"keep", p = L"keep";
    EXPECT_FALSE(IdentifiantsFtp::ParType(0, u, p));
    EXPECT_FALSE(IdentifiantsFtp::ParType(6, u, p));
    EXPECT_EQ(u, CString(L"keep"));
    const std::pair<CString, CString> parType[] = {kA, kB, kC, kD, kE};
    for (int t = 1; t <= 5; ++t) {
        ASSERT_TRUE(IdentifiantsFtp::ParType(t, u, p));
        EXPECT_EQ(std::make_pair(u, p), parType[t - 1]) << t;
    }
}

TEST(FtpCredentials, AStoredChoiceLogsInOnceUnlessTheModelNamesAFamily)
{
    const struct { const wchar_t* modele; int nType; const wchar_t* login; tLogins attendus; } cas[] = {
        {L"", 6, L"bob", {{L"bob", L"pw"}}},
        {L"", 2, L"bob", {kB}},
        {L"OTHER 1", 6, L"bob", {{L"bob", L"pw"}}},
        {L"KRX 15", 6, L"bob", {kC}},            // a family wins, as in the entry points
        {L"", 6, L"", {kE, kD, kB, kA, kC, {}}},  // "Other" without a login: the automatic order (H last)
        {L"", 0, L"bob", {kE, kD, kB, kA, kC, {}}},
    };
    const std::pair<CString, CString> kH{IdentifiantsFtp::H.szUtilisateur, IdentifiantsFtp::H.szMotDePasse};
    for (auto c : cas) {
        if (c.attendus.size() == 6) c.attendus.back() = kH;
        CJournal j;
        IdentifiantsFtp::ConnecterSelonChoix(c.modele, c.nType, c.login, L"pw", j.Fn());
        EXPECT_EQ(j.logins, c.attendus) << c.nType << " " << WideToUtf8(c.login);
    }
}

TEST(FtpCredentials, NetrcGivesTheMachinesLoginElseTheDefault)
{
    const std::string netrc = "machine a.b login x password 1\n"
                              "macdef init\nmachine 10.0.0.1 login macro\n\n"
                              "machine 10.0.0.1\n\tlogin carol\n\tpassword c4rol\n"
                              "machine nopass login dave\n"
                              "machine nologin password p\n"
                              "default login anonymous password me@here\n";
    const struct { const char* machine; bool bTrouve; const char* u; const char* p; bool bMotDePasse; } cas[] = {
        {"10.0.0.1", true, "carol", "c4rol", true},
        {"nopass", true, "dave", "", false},
        {"nologin", false, "", "", false},
        {"elsewhere", true, "anonymous", "me@here", true},
    };
    for (const auto& c : cas) {
        std::string u, p;
        bool bMotDePasse = false;
        EXPECT_EQ(IdentifiantsFtp::ParNetrc(netrc, c.machine, u, p, bMotDePasse), c.bTrouve) << c.machine;
        if (!c.bTrouve) continue;
        EXPECT_EQ(u, c.u) << c.machine;
        EXPECT_EQ(p, c.p) << c.machine;
        EXPECT_EQ(bMotDePasse, c.bMotDePasse) << c.machine;
    }
    std::string u, p;
    bool b = false;
    EXPECT_FALSE(IdentifiantsFtp::ParNetrc("machine a login b\n", "c", u, p, b));
}

namespace {

// Counts the windows made, by template (the worker makes wait windows on its thread).
class CFrontalCompteur : public CFrontalScripte
{
public:
    std::unique_ptr<IFenetreDialogue> CreerDialogue(const tModeleDialogue& modele, IEcouteurDialogue& e) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutexCrees);
            m_crees.push_back(modele.nId);
        }
        return CFrontalScripte::CreerDialogue(modele, e);
    }
    std::vector<unsigned> Crees()
    {
        std::lock_guard<std::mutex> lock(m_mutexCrees);
        return m_crees;
    }

private:
    std::mutex m_mutexCrees;
    std::vector<unsigned> m_crees;
};

// A started facade whose instrument identifies itself as told, and whose FTP
// client points at the test server.
class FacadeLoginTest : public ::testing::Test
{
protected:
    // nPortFtp: where the instrument's FTP server is (default: the test server).
    void Demarrer(const std::vector<std::string>& optionsSim, int nPortFtp = 0)
    {
        frontal = std::make_shared<CFrontalCompteur>();
        DefinirFrontal(frontal);
        profil = std::make_shared<CProfilMemoire>();
        DefinirProfil(profil);
        ASSERT_TRUE(serveur.Pret());
        ASSERT_TRUE(DemarrerSimulateur(sim, optionsSim));
        profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"127.0.0.1");
        profil->WriteProfileInt(SECTION_DRIVER, PORT, sim.Port("command"));
        profil->WriteProfileInt(SECTION_DRIVER, FTP_PORT, nPortFtp ? nPortFtp : serveur.Port());
        profil->WriteProfileString(SECTION_FTPDIRECT, REP_LOCAL, (racineLocale.Chemin().wstring() + L"/").c_str());
        ASSERT_EQ(driver.StartDriver(), 1);
        ASSERT_EQ(driver.IsConnexionEnCours(), 1);
        // The wait window came and went on the worker's thread.
        EXPECT_EQ(frontal->Crees(), std::vector<unsigned>{2070});
        EXPECT_EQ(frontal->NombreFenetres(), 0);
    }
    void TearDown() override
    {
        driver.StopDriver();
        DefinirFrontal(nullptr);
        DefinirProfil(std::make_shared<CProfilMemoire>());
    }

    CServeurFtp serveur{{"--anonymous"}};
    CRepertoireTemp racineLocale{"otdr-ui-local"};
    CProcessusTest sim;
    std::shared_ptr<CFrontalCompteur> frontal;
    std::shared_ptr<CProfilMemoire> profil;
    COtdrDriver driver;
};

} // namespace

TEST_F(FacadeLoginTest, UnidentifiedInstrumentTriesTheFixedOrder)
{
    Demarrer({"--idn", "Vardenholm Optics"});  // no fields: no model name
    EXPECT_EQ(driver.FileTransfert(nullptr, nullptr), 1);
    EXPECT_EQ(serveur.Logins(), OrdreComplet(kE));
    // Logged in: the transfer dialog ran (nobody answered) and saved its directories.
    EXPECT_EQ(frontal->ModauxLances(), std::vector<unsigned>{2055});
    EXPECT_EQ(profil->Contient(SECTION_FTPDIRECT, REP_DISTANT), 1);
}

TEST_F(FacadeLoginTest, UserGivenByTheHostIsTheOnlyLoginAndItsRefusalIsSaid)
{
    Demarrer({"--idn", "Vardenholm Optics"});
    EXPECT_EQ(driver.FileTransfert(L"nobody", L"x"), 0);
    EXPECT_EQ(serveur.Logins(), (tLogins{{L"nobody", L"x"}}));
    EXPECT_TRUE(frontal->ModauxLances().empty());
    // The login ran under the wait window, and its failure is told.
    EXPECT_EQ(frontal->Crees(), (std::vector<unsigned>{2070, 2070}));
    EXPECT_EQ(frontal->NombreFenetres(), 0);
    ASSERT_EQ(frontal->Messages().size(), 1u);
    EXPECT_EQ(frontal->Messages()[0].Find(L"Could not log in to the instrument's FTP server (tried: nobody)"), 0);
    EXPECT_NE(frontal->Messages()[0].Find(L"530"), -1) << "the server's reply";
}

TEST_F(FacadeLoginTest, WhenEveryLoginIsRefusedEachIsNamedWithItsOwnReply)
{
    CServeurFtp refus{std::vector<std::string>{}};  // knows none of the fixed logins
    ASSERT_TRUE(refus.Pret());
    Demarrer({"--idn", "Vardenholm Optics"}, refus.Port());
    EXPECT_EQ(driver.FileTransfert(nullptr, nullptr), 0);
    ASSERT_EQ(frontal->Messages().size(), 1u);
    const CString texte = frontal->Messages()[0];
    for (const auto& login : OrdreComplet(kE)) {
        const CString strLigne = L"\n" + login.first + L": 530";
        EXPECT_NE(texte.Find(strLigne), -1) << "no line for " << std::string(login.first.begin(), login.first.end())
                                           << " in " << std::string(texte.begin(), texte.end());
    }
}

TEST_F(FacadeLoginTest, AServerThatCannotBeReachedEndsTheLoginsAtTheFirst)
{
    CEcouteSaturee muet;
    ASSERT_GT(muet.Port(), 0);
    Demarrer({"--idn", "Vardenholm Optics"}, muet.Port());
    driver.GetFTPDirect()->SetDelaiConnexion(std::chrono::milliseconds(200));
    EXPECT_EQ(driver.FileTransfert(nullptr, nullptr), 0);
    ASSERT_EQ(frontal->Messages().size(), 1u);
    // Not the six logins: the first one's failure was not a refusal.
    EXPECT_EQ(frontal->Messages()[0].Find(L"(tried: krx15)"), 48) << frontal->Messages()[0].c_str();
}

TEST_F(FacadeLoginTest, TypeChosenInTheIdentificationDialogIsStoredAndTheOnlyLogin)
{
    Demarrer({"--idn", "Vardenholm Optics"});
    frontal->AjouterScriptModal([](CFenetreScriptee& f) {
        f.Cliquer(IdsControles::IDC_RADIO_KRX12);
        f.Cliquer(ID_OK);
    });
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 0);
    EXPECT_EQ(serveur.Logins(), (tLogins{kB}));
    EXPECT_EQ(profil->GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, -1), 2);
}

TEST_F(FacadeLoginTest, KnownModelNeedsNoDialogAndTouchesNoProfileKey)
{
    Demarrer({"--model", "KRX 15"});
    EXPECT_EQ(driver.FileTransfertAvecDemandeLogin(), 0);
    EXPECT_EQ(serveur.Logins(), (tLogins{kC}));
    EXPECT_TRUE(frontal->ModauxLances().empty());
    EXPECT_EQ(profil->Contient(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION), 0);
    EXPECT_EQ(profil->Contient(SECTION_DRIVER, FTP_LOGIN), 0);
}

TEST_F(FacadeLoginTest, TheProfilesPassiveKeyGivesTheDriversFtpClientPassiveDataConnections)
{
    Demarrer({"--model", "KRX 15"});
    ASSERT_NE(driver.GetFTPDirect(), nullptr);
    EXPECT_EQ(driver.GetFTPDirect()->GetModeDonnees(), CFTPDirect::tModeDonnees::Actif);
    profil->WriteProfileInt(SECTION_DRIVER, FTP_PASSIF, 1);
    ASSERT_EQ(driver.StartDriver(), 1);
    ASSERT_NE(driver.GetFTPDirect(), nullptr);
    EXPECT_EQ(driver.GetFTPDirect()->GetModeDonnees(), CFTPDirect::tModeDonnees::Passif);
}
