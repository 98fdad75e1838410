// The instrument classes: identification, status registers, and the whole
// connect-and-identify exchange against the simulator.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "ServeurScripte.h"
#include "comm/CAppareilBaseTcpIp.h"
#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"

using namespace std::chrono_literals;

namespace {

// The transcript once it contains `fin` (the simulator writes it from its own thread).
std::string Transcription(const std::filesystem::path& fichier, const std::string& fin)
{
    std::string texte;
    for (int i = 0; i < 500; ++i) {
        texte = CRepertoireTemp::Lire(fichier);
        if (texte.size() >= fin.size() && texte.compare(texte.size() - fin.size(), fin.size(), fin) == 0) break;
        std::this_thread::sleep_for(10ms);
    }
    return texte;
}

} // namespace

TEST(Instrument, IdentificationReplySplitsIntoModelAndVersion)
{
    const struct {
        const char* reponse;
        const wchar_t* modele;
        const wchar_t* version;
    } cas[] = {
        {"Maker,KRX 15,1234,1.5\r\n", L"KRX 15", L"1.5"},
        {"maker,model,serial,ver-a,ver-b\r\n", L"model", L"ver-a,ver-b"},
        {"maker,model,serial\r\n", L"model", L"serial"},
        // Identified means a maker and a model: two fields are enough, and
        // anything less stores nothing.
        {"maker,model\r\n", L"model", L""},
        {"maker\r\n", L"avant", L"avant"},
        {"maker,\r\n", L"avant", L"avant"},
        {",model,serial,1.0\r\n", L"avant", L"avant"},
        {"maker, ,serial,1.0\r\n", L"avant", L"avant"},
        {"maker, model , serial, 2.0\n", L" model ", L" 2.0"},
        {"maker,model,serial,1.0\rtrailing\r\n", L"model", L"1.0"},
    };
    for (const auto& c : cas) {
        CServeurScripte serveur(InstrumentSimple(0, 0, c.reponse));
        CAppareilBaseTcpIp appareil;
        Preparer(appareil, serveur.Port());
        ASSERT_EQ(appareil.Connecter(), 0);
        appareil.SetModele(L"avant");
        appareil.SetVersion(L"avant");
        EXPECT_EQ(appareil.Identifier(), 0) << c.reponse;
        EXPECT_EQ(appareil.GetModele(), CString(c.modele)) << c.reponse;
        EXPECT_EQ(appareil.GetVersion(), CString(c.version)) << c.reponse;
    }
}

TEST(Instrument, FailedIdentificationStoresNothing)
{
    // Status error after "*CLS": -3 and "*IDN?" is never sent.
    {
        CServeurScripte serveur(InstrumentSimple(32, 16));
        CAppareilBaseTcpIp appareil;
        Preparer(appareil, serveur.Port());
        ASSERT_EQ(appareil.Connecter(), 0);
        EXPECT_EQ(appareil.Identifier(), -3);
        EXPECT_TRUE(appareil.GetModele().IsEmpty());
        EXPECT_EQ(serveur.Recu(), "*CLS\n*STB?\n*ESR?\n");
    }
    // Silent on "*IDN?": -1, nothing stored.
    {
        CServeurScripte serveur([](const std::string& l) { return l == "*STB?" ? std::string("0\r\n") : std::string(); });
        CAppareilBaseTcpIp appareil;
        Preparer(appareil, serveur.Port(), DelaisTest(40));
        ASSERT_EQ(appareil.Connecter(), 0);
        EXPECT_EQ(appareil.Identifier(), -1);
        EXPECT_TRUE(appareil.GetModele().IsEmpty());
        EXPECT_TRUE(appareil.GetVersion().IsEmpty());
    }
    // Not connected at all.
    CAppareilBaseTcpIp appareil;
    EXPECT_EQ(appareil.Initialiser(), -2);
    EXPECT_EQ(appareil.Identifier(), -2);
}

TEST(Instrument, StatusRegistersAreCutToTheirWidths)
{
    CServeurScripte serveur([](const std::string& l) -> std::string {
        if (l == "*STB?") return "200\r\n";   // read as a signed byte
        if (l == "*ESR?") return "65572\r\n"; // 0x10024: truncated to 16 bits
        return {};
    });
    CAppareilBaseTcpIp appareil;
    Preparer(appareil, serveur.Port());
    ASSERT_EQ(appareil.Connecter(), 0);
    EXPECT_EQ(appareil.LireOctetEtat(), static_cast<signed char>(200));
    EXPECT_EQ(appareil.LireRegistreEvenements(), 0x24);
    appareil.Fermer();
    EXPECT_EQ(appareil.LireOctetEtat(), -1);
    EXPECT_EQ(appareil.LireRegistreEvenements(), -2);
}

TEST(Instrument, EventRegisterReadIsNotReentrant)
{
    // While one instrument is reading its event register, a read on any other
    // instrument returns 0 without sending anything.
    std::promise<void> requeteRecue, liberer;
    auto libere = liberer.get_future().share();
    CServeurScripte lent([&](const std::string& l) -> std::string {
        if (l != "*ESR?") return {};
        requeteRecue.set_value();
        libere.wait_for(5s);
        return "4\r\n";
    });
    CServeurScripte autre(InstrumentSimple(0, 8));
    CAppareilBaseTcpIp a, b;
    Preparer(a, lent.Port());
    Preparer(b, autre.Port());
    ASSERT_EQ(a.Connecter(), 0);
    ASSERT_EQ(b.Connecter(), 0);
    auto lecture = std::async(std::launch::async, [&] { return a.LireRegistreEvenements(); });
    ASSERT_EQ(requeteRecue.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(b.LireRegistreEvenements(), 0);
    liberer.set_value();
    EXPECT_EQ(lecture.get(), 4);
    EXPECT_EQ(b.LireRegistreEvenements(), 8); // the flag is cleared again
    EXPECT_EQ(autre.Recu(), "*ESR?\n");
}

TEST(Simulator, ConnectIdentifyAndHandControlBack)
{
    CRepertoireTemp temp;
    const auto transcription = temp.Chemin() / "wire.txt";
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--transcript", transcription.string()}));

    auto* appareil = new CAppareilBaseTcpIp;
    Preparer(*appareil, sim.Port("command"));
    ASSERT_EQ(appareil->Ouvrir(), 0);
    ASSERT_EQ(appareil->Initialiser(), 0);
    ASSERT_EQ(appareil->Identifier(), 0);
    EXPECT_EQ(appareil->GetModele(), CString(L"KRX 15"));
    EXPECT_EQ(appareil->GetVersion(), CString(L"2.07"));
    EXPECT_TRUE(appareil->IsConnecte());
    // Still open when deleted through the shared base: control is handed back.
    delete static_cast<CGenericCom*>(appareil);

    EXPECT_EQ(Transcription(transcription, "# connection closed\n"),
              "# connection opened\n"
              "*REM\n*CLS\n*STB?\n"
              "*CLS\n*STB?\n"
              "*CLS\n*STB?\n*IDN?\n"
              "*LOC\n"
              "# connection closed\n");
}

TEST(Simulator, PasswordUnlocksAndRegistersFollowTheStatusModel)
{
    CRepertoireTemp temp;
    const auto transcription = temp.Chemin() / "wire.txt";
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--transcript", transcription.string(), "--require-password", "--lf-only",
                                 "--idn", "Someone,FPXe 2,77,3.1.4"}));
    CAppareilBaseTcpIp appareil;
    Preparer(appareil, sim.Port("command"));
    ASSERT_EQ(appareil.Ouvrir(), 0);
    ASSERT_EQ(appareil.Identifier(), 0);
    EXPECT_EQ(appareil.GetModele(), CString(L"FPXe 2"));
    EXPECT_EQ(appareil.GetVersion(), CString(L"3.1.4"));

    // Real registers: an unknown command raises the summary bit, "*CLS" clears it;
    // with ESE 1, operation complete alone is no error.
    EXPECT_EQ(appareil.EnvoyerCommande(L"*BOGUS", 0, 1), -3);
    EXPECT_EQ(appareil.EnvoyerCommande(L"*BOGUS", 0, 0), 0);
    EXPECT_EQ(appareil.LireOctetEtat(), 32);
    EXPECT_EQ(appareil.Initialiser(), 0);
    EXPECT_EQ(appareil.LireOctetEtat(), 0);
    EXPECT_EQ(appareil.EnvoyerCommande(L"*ESE 1", 0, 1), 0);
    EXPECT_EQ(appareil.EnvoyerCommande(L"*OPC", 0, 1), 0);
    EXPECT_EQ(appareil.LireRegistreEvenements(), 0); // read and cleared by the check
    appareil.Fermer();

    const std::string fil = Transcription(transcription, "# connection closed\n");
    EXPECT_EQ(fil.rfind("# connection opened\n*REM\n*CLS\n*STB?\n*ESR?\n*PASS \"FPX\" \"LANTERNS\"\n*CLS\n*STB?\n", 0), 0u)
        << fil;
    EXPECT_EQ(fil.find("*LOC"), std::string::npos);
}

TEST(Simulator, FaultsAreReportedAndStoreNoModel)
{
    const struct {
        std::vector<std::string> options;
        int attente;
        short ouvrir, identifier;
    } cas[] = {
        {{"--close-mid-reply", "*IDN?"}, 20000, 0, -2},                // -2 at once, nothing stored
        {{"--silent"}, 30, -1, 0},                                      // after the password fallback
        {{"--fail", "*CLS:4", "--reply-delay", "20"}, 5000, -3, 0},     // query error after "*CLS"
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.options[0]);
        CProcessusTest sim;
        ASSERT_TRUE(DemarrerSimulateur(sim, c.options));
        CAppareilBaseTcpIp appareil;
        Preparer(appareil, sim.Port("command"), DelaisTest(c.attente));
        EXPECT_EQ(appareil.Ouvrir(), c.ouvrir);
        EXPECT_EQ(appareil.GetEtat(), c.ouvrir == 0 ? 1 : 0);
        if (c.ouvrir == 0) {
            EXPECT_EQ(appareil.Identifier(), c.identifier);
        }
        EXPECT_TRUE(appareil.GetModele().IsEmpty());
    }
    // Long replies: the identification is padded past 100 characters.
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--long-replies"}));
    CAppareilBaseTcpIp appareil;
    Preparer(appareil, sim.Port("command"));
    ASSERT_EQ(appareil.Ouvrir(), 0);
    ASSERT_EQ(appareil.Identifier(), 0);
    EXPECT_TRUE(appareil.IsReponseLongue());
    EXPECT_EQ(appareil.GetModele(), CString(L"KRX 15"));
    EXPECT_EQ(appareil.GetVersion().Left(4), CString(L"2.07"));
    EXPECT_EQ(appareil.Initialiser(), 0); // the query after it still works
}

TEST(Simulator, Ipv6AddressIsUsedAsTyped)
{
    // An IPv6 address is passed to the resolver as typed.
    CProcessusTest sim;
    ASSERT_TRUE(DemarrerSimulateur(sim, {"--address", "::1"}));
    CAppareilBaseTcpIp appareil;
    Preparer(appareil, sim.Port("command"));
    appareil.SetAdresse(L"::1");
    EXPECT_EQ(appareil.GetAdresse(), CString(L"::1"));
    ASSERT_EQ(appareil.Ouvrir(), 0);
    ASSERT_EQ(appareil.Identifier(), 0);
    EXPECT_EQ(appareil.GetModele(), CString(L"KRX 15"));
    appareil.Fermer();
}
