// The facade and its worker against the instrument simulator, over real sockets.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LocaleTest.h"
#include "common/Conversions.h"
#include "driver/COtdrDriver.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ftp/CFTPDirect.h"
#include "support/EcouteSaturee.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"
#include "ui/Attente.h"

using namespace ClesProfil;

namespace {

struct tAppelAttente
{
    bool bNul;
    std::wstring texte;
    unsigned animation;
    std::string unEtDemi;   // 1.5 as the calling thread formats it
};

const tAppelAttente CONNEXION{false, L"Connecting ...", 2080, ""};
const tAppelAttente DECONNEXION{false, L"Disconnecting ...", 2084, ""};
const tAppelAttente RETRAIT{true, L"", 0, ""};

class DriverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_profil = std::make_shared<CProfilMemoire>();
        DefinirProfil(m_profil);
        m_ancienneAttente = DefinirAfficherAttente([this](const wchar_t* texte, unsigned animation) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_appels.push_back({texte == nullptr, texte ? texte : L"", animation, FormaterUnEtDemi()});
        });
    }

    void TearDown() override
    {
        DefinirAfficherAttente(m_ancienneAttente);
        DefinirProfil(std::make_shared<CProfilMemoire>());
    }

    // Short limits so that failures show in well under a second per step.
    static tDelaisDriver DelaisCourts()
    {
        tDelaisDriver d;
        d.m_nDemarrage = 20000;
        d.m_nArret = 20000;
        d.m_nArretApresEchec = 20000;
        d.m_nRecuperation = 20000;
        d.m_nAttenteReponse = 150;
        d.m_nPauseCom = 10;
        return d;
    }

    bool DemarrerSim(CProcessusTest& sim, std::vector<std::string> options = {})
    {
        options.insert(options.end(), {"--transcript", m_transcript.string()});
        if (!DemarrerSimulateur(sim, options)) return false;
        m_profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"127.0.0.1");
        m_profil->WriteProfileInt(SECTION_DRIVER, PORT, sim.Port("command"));
        if (sim.Port("ftp") != 0) m_profil->WriteProfileInt(SECTION_DRIVER, FTP_PORT, sim.Port("ftp"));
        return true;
    }

    std::string Transcript() const { return CRepertoireTemp::Lire(m_transcript); }

    // Waits for the simulator to have written `texte` (`n` times) to its transcript.
    bool AttendreTranscript(const std::string& texte, int n = 1)
    {
        for (int i = 0; i < 500; ++i) {
            if (Compter(Transcript(), texte) >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    static int Compter(const std::string& dans, const std::string& texte)
    {
        int n = 0;
        for (size_t p = dans.find(texte); p != std::string::npos; p = dans.find(texte, p + 1)) ++n;
        return n;
    }

    std::vector<tAppelAttente> Appels()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_appels;
    }

    void ViderAppels()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_appels.clear();
    }

    // Compares the recorded calls with the expected ones (text, animation of a
    // shown indication; a removal's animation is not looked at).
    void VerifierAppels(const std::vector<tAppelAttente>& attendus)
    {
        auto appels = Appels();
        ASSERT_EQ(appels.size(), attendus.size());
        for (size_t i = 0; i < appels.size(); ++i) {
            EXPECT_EQ(appels[i].bNul, attendus[i].bNul) << i;
            if (!attendus[i].bNul) {
                EXPECT_EQ(appels[i].texte, attendus[i].texte) << i;
                EXPECT_EQ(appels[i].animation, attendus[i].animation) << i;
            }
        }
    }

    std::shared_ptr<CProfilMemoire> m_profil;
    CRepertoireTemp m_repertoire{"otdr-driver"};
    std::filesystem::path m_transcript = m_repertoire.Chemin() / "transcript.txt";

private:
    FnAfficherAttente m_ancienneAttente;
    std::mutex m_mutex;
    std::vector<tAppelAttente> m_appels;
};

} // namespace

TEST_F(DriverTest, NewFacadeAnswersWithoutConnection)
{
    COtdrDriver driver;
    EXPECT_EQ(driver.IsConnexionEnCours(), 0);
    EXPECT_EQ(driver.IsCommunicationEnCours(), 0);
    EXPECT_EQ(driver.GetLastError(), 0);
    EXPECT_EQ(driver.GetFTPDirect(), nullptr);
    EXPECT_EQ(driver.GetNumPort(), 1400u);
    EXPECT_EQ(driver.GetTypeAppareil(), 0);
    EXPECT_EQ(driver.GetMoyenContact(), 0);
    EXPECT_EQ(driver.GetAdresseContact(), CString());
    EXPECT_EQ(driver.GetUniteDistance(), UNITE_KILOMETRE);
    EXPECT_EQ(driver.GetIdentificationAppareil(), CString());
    const tDelaisDriver defaut = driver.GetDelais();
    EXPECT_EQ(defaut.m_nDemarrage, 120000ul);
    EXPECT_EQ(defaut.m_nArret, 60000ul);
    EXPECT_EQ(defaut.m_nArretApresEchec, 120000ul);
    EXPECT_EQ(defaut.m_nRecuperation, tDelaisDriver::DELAI_INFINI);

    // The setters only store; copies carry the values.
    driver.SetTypeAppareil(3);
    driver.SetMoyenContact(2);
    driver.SetAdresseContact(L"10.1.2.3");
    driver.SetNumPort(21);
    driver.SetUniteDistance(UNITE_PIED);
    COtdrDriver copie(driver);
    COtdrDriver affectee;
    affectee = copie;
    for (COtdrDriver* d : {&driver, &copie, &affectee}) {
        EXPECT_EQ(d->GetTypeAppareil(), 3);
        EXPECT_EQ(d->GetMoyenContact(), 2);
        EXPECT_EQ(d->GetAdresseContact(), CString(L"10.1.2.3"));
        EXPECT_EQ(d->GetNumPort(), 21u);
        EXPECT_EQ(d->GetUniteDistance(), UNITE_PIED);
    }

    // Stop when not connected: the indication is shown and removed, result 1.
    EXPECT_EQ(driver.StopDriver(), 1);
    VerifierAppels({DECONNEXION, RETRAIT});

    // The retrieval requests are not served, connected or not.
    EXPECT_EQ(driver.RecupererFichierFTP(L"a", L"b"), -2);
    EXPECT_EQ(driver.GetLastError(), -2);
    EXPECT_EQ(copie.RecupererFichierFTPBinary(nullptr, nullptr), -2) << "same worker";
    EXPECT_EQ(affectee.GetLastError(), -2);
}

TEST_F(DriverTest, StartWithoutInstrumentEndsInTime)
{
    COtdrDriver driver;
    driver.SetDelais(DelaisCourts());

    // Empty address: the connection fails, the worker still answers in time.
    EXPECT_EQ(driver.StartDriver(), 1);
    EXPECT_EQ(driver.IsConnexionEnCours(), 0);
    EXPECT_EQ(driver.GetFTPDirect(), nullptr);
    EXPECT_EQ(driver.GetLastError(), 0);
    VerifierAppels({CONNEXION, RETRAIT});

    // A contact means other than TCP/IP: no instrument at all.
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim));
    m_profil->WriteProfileInt(SECTION_DRIVER, CONTACT, 1);
    ViderAppels();
    EXPECT_EQ(driver.StartDriver(), 1);
    EXPECT_EQ(driver.IsConnexionEnCours(), 0);
    VerifierAppels({CONNEXION, RETRAIT});
    EXPECT_EQ(Compter(Transcript(), "# connection opened"), 0);
}

TEST_F(DriverTest, StartAndStopOnAnInstrument)
{
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim));
    COtdrDriver driver;
    driver.SetDelais(DelaisCourts());
    driver.SetNumPort(21);   // stored only: the profile decides where to connect

    ASSERT_EQ(driver.StartDriver(), 1);
    EXPECT_EQ(driver.GetNumPort(), 21u);
    EXPECT_EQ(driver.IsConnexionEnCours(), 1);
    EXPECT_EQ(driver.GetIdentificationAppareil(), CString(L"KRX 15"));
    EXPECT_EQ(driver.GetVersionAppareil(), CString(L"2.07"));
    CFTPDirect* ftp = driver.GetFTPDirect();
    ASSERT_NE(ftp, nullptr);
    EXPECT_EQ(ftp->GetAdresse(), CString(L"127.0.0.1"));
    EXPECT_EQ(ftp->EstConnecte(), 0) << "no login at start";
    VerifierAppels({CONNEXION, RETRAIT});
    EXPECT_EQ(Compter(Transcript(), "*REM\n"), 1);
    EXPECT_EQ(Compter(Transcript(), "*IDN?\n"), 1);

    // The client is bound to the instrument's address and the configured FTP port, and logs in.
    ASSERT_NE(sim.Port("ftp"), 0);
    EXPECT_EQ(ftp->GetPort(), sim.Port("ftp"));
    EXPECT_EQ(ftp->FtpConnexion(L"tellmar", L"ulk"), 1);
    CString repertoire;
    EXPECT_EQ(ftp->GetCurrentDirectoryW(repertoire), 1);
    EXPECT_EQ(repertoire, CString(L"/"));

    ViderAppels();
    EXPECT_EQ(driver.StopDriver(), 1);
    EXPECT_EQ(driver.IsConnexionEnCours(), 0);
    EXPECT_EQ(driver.GetFTPDirect(), nullptr);
    EXPECT_EQ(driver.GetIdentificationAppareil(), CString());
    VerifierAppels({DECONNEXION, RETRAIT});
    EXPECT_TRUE(AttendreTranscript("# connection closed"));
    EXPECT_EQ(Compter(Transcript(), "*LOC"), 0) << "a stop closes without handing control back";
}

TEST_F(DriverTest, StartWhileConnectedReplacesTheConnection)
{
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim));
    COtdrDriver driver;
    driver.SetDelais(DelaisCourts());
    ASSERT_EQ(driver.StartDriver(), 1);
    ASSERT_EQ(driver.IsConnexionEnCours(), 1);
    ASSERT_EQ(driver.StartDriver(), 1);
    EXPECT_EQ(driver.IsConnexionEnCours(), 1);
    EXPECT_EQ(driver.GetIdentificationAppareil(), CString(L"KRX 15"));
    // The first connection was released (closed, without "*LOC"), not leaked.
    EXPECT_TRUE(AttendreTranscript("# connection closed"));
    const std::string t = Transcript();
    EXPECT_EQ(Compter(t, "# connection opened"), 2);
    EXPECT_EQ(Compter(t, "# connection closed"), 1);
    EXPECT_EQ(Compter(t, "*LOC"), 0);
}

TEST_F(DriverTest, SilentOrLockedInstrumentIsHeldWithoutModel)
{
    // Silent (accepts the connection, answers nothing), or refusing remote state
    // (the password is not its own): held all the same, with no model.
    const std::vector<std::string> cas[] = {{"--silent"}, {"--require-password", "--pass-user", "SOMEONE"}};
    for (const auto& options : cas) {
        SCOPED_TRACE(options[0]);
        CProcessusTest sim;
        ASSERT_TRUE(DemarrerSim(sim, options));
        COtdrDriver driver;
        driver.SetDelais(DelaisCourts());
        EXPECT_EQ(driver.StartDriver(), 1);
        EXPECT_EQ(driver.IsConnexionEnCours(), 1);
        EXPECT_NE(driver.GetFTPDirect(), nullptr);
        EXPECT_EQ(driver.GetIdentificationAppareil(), CString());
        EXPECT_EQ(Compter(Transcript(), "*IDN?"), 0);
    }
    EXPECT_GE(Compter(Transcript(), "*PASS \"FPX\" \"LANTERNS\"\n"), 1);
}

TEST_F(DriverTest, StartOutOfTimeQueuesAStop)
{
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim, {"--silent"}));
    COtdrDriver driver;
    tDelaisDriver d = DelaisCourts();
    d.m_nDemarrage = 30;            // far shorter than the silent instrument's sequence
    driver.SetDelais(d);

    // The queued stop is waited for: once StartDriver returns, it has run.
    EXPECT_EQ(driver.StartDriver(), 0);
    EXPECT_EQ(driver.IsConnexionEnCours(), 0);
    EXPECT_EQ(driver.GetFTPDirect(), nullptr);
    VerifierAppels({CONNEXION, RETRAIT, DECONNEXION, RETRAIT});
    EXPECT_TRUE(AttendreTranscript("# connection closed"));

    // Both waits run out: start and stop are still queued when StartDriver
    // returns. Their completions must not end the next request's wait.
    d.m_nArretApresEchec = 30;
    driver.SetDelais(d);
    ViderAppels();
    EXPECT_EQ(driver.StartDriver(), 0);
    EXPECT_EQ(driver.RecupererFichierFTP(L"x", L"y"), -2);
    EXPECT_EQ(driver.IsConnexionEnCours(), 0) << "handled in order: the stop has run";
    VerifierAppels({CONNEXION, RETRAIT, DECONNEXION, RETRAIT});
}

TEST_F(DriverTest, DestroyedWhileConnectedHandsControlBackWithoutStop)
{
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim));
    auto driver = std::make_unique<COtdrDriver>();
    driver->SetDelais(DelaisCourts());
    ASSERT_EQ(driver->StartDriver(), 1);
    ASSERT_EQ(driver->IsConnexionEnCours(), 1);

    // A copy keeps the worker alive when the original goes.
    auto copie = std::make_unique<COtdrDriver>(*driver);
    driver.reset();
    EXPECT_EQ(copie->IsConnexionEnCours(), 1);
    EXPECT_EQ(copie->GetIdentificationAppareil(), CString(L"KRX 15"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Compter(Transcript(), "*LOC"), 0);

    ViderAppels();
    copie.reset();   // the last one ends the worker
    EXPECT_TRUE(AttendreTranscript("*LOC\n"));
    EXPECT_TRUE(AttendreTranscript("# connection closed"));
    for (const auto& a : Appels()) EXPECT_TRUE(a.bNul || a.texte != DECONNEXION.texte) << "no stop request";
}

TEST_F(DriverTest, TwoFacadesNeverEndEachOthersWait)
{
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim, {"--silent"}));
    COtdrDriver lente;
    tDelaisDriver d = DelaisCourts();
    d.m_nAttenteReponse = 250;   // the silent instrument's sequence lasts about a second
    lente.SetDelais(d);
    COtdrDriver rapide;
    rapide.SetDelais(DelaisCourts());

    std::atomic<bool> fini{false};
    int resultat = -1;
    int connecteALaFin = -1;
    std::thread t([&] {
        resultat = lente.StartDriver();
        connecteALaFin = lente.IsConnexionEnCours();
        fini = true;
    });
    int arrets = 0;
    while (!fini) {
        EXPECT_EQ(rapide.StopDriver(), 1);
        ++arrets;
    }
    t.join();
    EXPECT_GT(arrets, 1);
    EXPECT_EQ(resultat, 1);
    EXPECT_EQ(connecteALaFin, 1) << "the wait ended before the start sequence did";
}

TEST_F(DriverTest, StartRunsInTheCNumericLocale)
{
    const std::string virgule = LocaleVirgule();
    if (virgule.empty()) GTEST_SKIP() << "no locale with a decimal comma can be made here";
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim));
    ASSERT_NE(setlocale(LC_NUMERIC, virgule.c_str()), nullptr);
    {
        COtdrDriver driver;
        driver.SetDelais(DelaisCourts());
        EXPECT_EQ(driver.StartDriver(), 1);
        EXPECT_EQ(driver.IsConnexionEnCours(), 1);
        EXPECT_EQ(FormaterUnEtDemi(), "1,5") << "the host's thread is not touched";
        EXPECT_EQ(driver.StopDriver(), 1);
    }
    setlocale(LC_NUMERIC, "C");
    auto appels = Appels();
    ASSERT_EQ(appels.size(), 4u);
    EXPECT_EQ(appels[0].unEtDemi, "1.5") << "start, on the worker";
    EXPECT_EQ(appels[1].unEtDemi, "1.5");
    EXPECT_EQ(appels[2].unEtDemi, "1,5") << "the worker is back on the process's locale";
    EXPECT_EQ(appels[3].unEtDemi, "1,5");
}

TEST_F(DriverTest, LimitWrittenAsAllOnesMeansNoLimit)
{
    // Each reply comes late: a start, and every channel wait, last a while.
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim, {"--reply-delay", "60"}));
    COtdrDriver driver;
    tDelaisDriver d = DelaisCourts();
    const unsigned long infini = static_cast<unsigned long>(-1);
    d.m_nDemarrage = infini;
    d.m_nArret = infini;
    d.m_nAttenteReponse = infini;
    d.m_nConnexion = infini;
    driver.SetDelais(d);
    EXPECT_EQ(driver.StartDriver(), 1);
    EXPECT_EQ(driver.IsConnexionEnCours(), 1) << "the start must not be given up at once, nor stopped";
    EXPECT_EQ(driver.GetIdentificationAppareil(), CString(L"KRX 15"));
    VerifierAppels({CONNEXION, RETRAIT});
    EXPECT_EQ(driver.StopDriver(), 1);
    EXPECT_EQ(driver.IsConnexionEnCours(), 0);

    // No limit on the replies: no start budget can be set from them.
    EXPECT_EQ(d.DureeMaxDemarrage(), tDelaisDriver::DELAI_INFINI);
}

TEST_F(DriverTest, FailedStartSaysWhyAndWhichPort)
{
    COtdrDriver driver;
    EXPECT_EQ(driver.GetRaisonEchecConnexion(), CString());
    EXPECT_EQ(driver.GetPortConnexion(), 0u);
    tDelaisDriver d = DelaisCourts();
    d.m_nConnexion = 300;
    driver.SetDelais(d);

    // Nothing answers the connection: at the limit, not minutes later.
    CEcouteSaturee muet;
    ASSERT_NE(muet.Port(), 0);
    m_profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"127.0.0.1");
    m_profil->WriteProfileInt(SECTION_DRIVER, PORT, muet.Port());
    const auto debut = std::chrono::steady_clock::now();
    EXPECT_EQ(driver.StartDriver(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - debut, std::chrono::seconds(5));
    EXPECT_EQ(driver.IsConnexionEnCours(), 0);
    const std::wstring attendu = L"port " + std::to_wstring(muet.Port()) + L": no answer to the connection within 0.3 s";
    EXPECT_EQ(std::wstring(driver.GetRaisonEchecConnexion()).rfind(attendu, 0), 0u)
        << WideToUtf8(driver.GetRaisonEchecConnexion());
    EXPECT_EQ(driver.GetPortConnexion(), 21u) << "the fallback port was tried last";

    // Connected, but the instrument fails the sequence: the first cause (the
    // time actually waited), then the password fallback's, on the port used.
    const struct {
        std::vector<std::string> options;
        const wchar_t* raison;
    } cas[] = {
        {{"--silent"}, L"no reply to \"*STB?\" within 0.3 s; then, after the password command: no reply to "
                       L"\"*STB?\" within 0.3 s"},
        {{"--fail", "*CLS:32"}, L"the instrument reported an error after \"*CLS\" (event status register 32: command "
                                L"error); then, after the password command: the instrument reported an error after "
                                L"\"*CLS\" (event status register 32: command error)"},
        {{"--close-mid-reply"}, L"the instrument closed the connection while \"*IDN?\" awaited its reply"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.options[0]);
        CProcessusTest sim;
        ASSERT_TRUE(DemarrerSim(sim, c.options));
        EXPECT_EQ(driver.StartDriver(), 1);
        EXPECT_EQ(driver.IsConnexionEnCours(), 1);
        EXPECT_EQ(driver.GetIdentificationAppareil(), CString());
        EXPECT_EQ(driver.GetRaisonEchecConnexion(), CString(c.raison));
        EXPECT_EQ(driver.GetPortConnexion(), static_cast<unsigned>(sim.Port("command")));
        driver.StopDriver();
    }
    // A start limit shorter than the silent instrument's waits: the sequence
    // ends before the facade gives up, so the host still learns the cause.
    {
        CProcessusTest silencieux;
        ASSERT_TRUE(DemarrerSim(silencieux, {"--silent"}));
        COtdrDriver presse;
        tDelaisDriver p = DelaisCourts();
        p.m_nAttenteReponse = 1000;
        p.m_nDemarrage = 3000;
        presse.SetDelais(p);
        EXPECT_EQ(presse.StartDriver(), 1);
        EXPECT_EQ(presse.IsConnexionEnCours(), 1);
        const std::string raison = WideToUtf8(presse.GetRaisonEchecConnexion());
        EXPECT_EQ(raison.rfind("no reply to \"*STB?\" within 2 s; then, after the password command: no reply to ", 0), 0u)
            << raison;
        EXPECT_NE(raison.find(", the time the whole exchange had left"), std::string::npos) << raison;
        presse.StopDriver();
    }
    // A start that identifies the instrument leaves no reason behind.
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSim(sim));
    EXPECT_EQ(driver.StartDriver(), 1);
    EXPECT_EQ(driver.GetIdentificationAppareil(), CString(L"KRX 15"));
    EXPECT_EQ(driver.GetRaisonEchecConnexion(), CString());
    EXPECT_EQ(driver.GetPortConnexion(), static_cast<unsigned>(sim.Port("command")));
}

namespace {

const std::string kCommandeHostile = std::string(OTDR_TESTS_DIR) + "/support/serveur_commande_hostile.py";

bool DemarrerHostile(CProcessusTest& serveur, const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {OTDR_PYTHON, kCommandeHostile};
    argv.insert(argv.end(), options.begin(), options.end());
    return serveur.Demarrer(argv) && serveur.AttendreLigne("READY");
}

} // namespace

TEST_F(DriverTest, AHostKeepsTheRealIdentityOrNoneWhateverStrayLinesCome)
{
    const struct
    {
        std::vector<std::string> options;
        const wchar_t* modele;
        const char* raison;   // in the reason when no model was stored
    } cas[] = {
        {{"--at", "CONNECT", "--mode", "before"}, L"KRX 15", ""},
        {{"--mode", "before"}, L"", "was answered \"Liar Optics,FAKE-9,LX0001,6.66\" twice"},
        {{"--mode", "after"}, L"", "followed by a line nobody asked for"},
        {{"--at", "CONNECT", "--mode", "stream"}, L"", ""},
        {{"--at", "CONNECT", "--mode", "cut"}, L"", "the instrument closed the connection"},
    };
    COtdrDriver driver;
    driver.SetDelais(DelaisCourts());
    for (const auto& c : cas) {
        SCOPED_TRACE(c.options[0] + " " + c.options[1]);
        CProcessusTest serveur;
        ASSERT_TRUE(DemarrerHostile(serveur, c.options));
        m_profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"127.0.0.1");
        m_profil->WriteProfileInt(SECTION_DRIVER, PORT, serveur.Port("command"));
        EXPECT_EQ(driver.StartDriver(), 1);
        EXPECT_EQ(driver.GetIdentificationAppareil(), CString(c.modele));
        const std::string raison = WideToUtf8(driver.GetRaisonEchecConnexion());
        EXPECT_NE(raison.find(c.raison), std::string::npos) << raison;
        EXPECT_NE(raison.rfind("cannot send", 0), 0u) << "the first cause leads, not the fallback's: " << raison;
        driver.StopDriver();
    }
}

TEST_F(DriverTest, TwoFacadesEachKeepTheWaitWindowUntilTheirOwnStartEnds)
{
    // A's instrument never answers "*IDN?" until its server is killed; B's answers at once.
    CProcessusTest serveurA, simB;
    ASSERT_TRUE(DemarrerHostile(serveurA, {"--mode", "stall"}));
    COtdrDriver a, b;
    tDelaisDriver d = DelaisCourts();
    d.m_nAttenteReponse = 20000;
    a.SetDelais(d);
    b.SetDelais(DelaisCourts());
    m_profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"127.0.0.1");
    m_profil->WriteProfileInt(SECTION_DRIVER, PORT, serveurA.Port("command"));
    std::thread filA([&] { a.StartDriver(); });
    // Once A's worker holds its connection, the profile may name B's instrument.
    ASSERT_TRUE(serveurA.AttendreLigne("CMD " + std::string("2a49444e3f")));   // "*IDN?"
    ASSERT_TRUE(DemarrerSim(simB));
    EXPECT_EQ(b.StartDriver(), 1);
    EXPECT_EQ(b.GetIdentificationAppareil(), CString(L"KRX 15"));
    // B is done, A is not: the window stays, with A's text.
    VerifierAppels({CONNEXION, CONNEXION, CONNEXION});
    serveurA.Tuer();
    filA.join();
    VerifierAppels({CONNEXION, CONNEXION, CONNEXION, RETRAIT});
    b.StopDriver();
    a.StopDriver();
}
