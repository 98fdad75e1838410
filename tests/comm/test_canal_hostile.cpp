// Instruments that send lines nobody asked for: a greeting on connecting, a
// line just before the reply or a status byte, a line just after the reply, a
// late reply, a close right after accepting. Whatever they do, neither the
// connection sequence nor a probe takes a stray line for the instrument's
// identity, and the message names the first cause. (Streams without end are
// run against whole processes and a host: tests/apps, tests/driver.)

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "ServeurScripte.h"
#include "comm/CAppareilBaseTcpIp.h"
#include "comm/SondeAppareils.h"

using namespace std::chrono_literals;

namespace {

const std::string IDN = "Maker,KRX 15,SN1,1.5\r\n";
// A settle time long enough for the scripted peer's greeting or close to land
// first on a loaded machine.
constexpr int REPOS_MS = 300;
const std::string INTRUS = "Liar,FAKE-9,0,0\r\n";   // has the shape of an identification

// An instrument whose "*IDN?" reply is `idn(n)`, n counting the "*IDN?" received from 1.
CServeurScripte::Repondeur Instrument(std::function<std::string(int)> idn)
{
    auto n = std::make_shared<std::atomic<int>>(0);
    return [idn, n](const std::string& ligne) -> std::string {
        if (ligne == "*STB?") return "0\r\n";
        if (ligne == "*IDN?") return idn(++*n);
        return {};
    };
}

struct tCasHostile
{
    const char* nom;
    std::string accueil;                  // sent on accepting
    CServeurScripte::Repondeur repondeur;
    // The connection sequence (Ouvrir, Initialiser, Identifier).
    short sequence;
    const wchar_t* modele;
    const char* raisonSequence;           // in the reason when it failed ("" when it did not)
    // The probe.
    eEtatSonde etat;
    const char* modeleSonde;
    const char* raisonSonde;
};

std::vector<tCasHostile> Cas()
{
    return {
        {"greeting with commas on connecting", INTRUS, Instrument([](int) { return IDN; }), 0, L"KRX 15", "",
         eEtatSonde::Identifie, "KRX 15", ""},
        {"a line just before every reply", "", Instrument([](int) { return INTRUS + IDN; }), -2, L"",
         "\"*IDN?\" was answered \"Liar,FAKE-9,0,0\" twice, each time followed by a line nobody asked for",
         eEtatSonde::Muet, "", "was answered \"Liar,FAKE-9,0,0\" twice"},
        {"a line just before the first reply", "", Instrument([](int n) { return n == 1 ? INTRUS + IDN : IDN; }), -2,
         L"", "\"*IDN?\" was answered \"Liar,FAKE-9,0,0\", then \"Maker,KRX 15,SN1,1.5\"", eEtatSonde::Muet, "",
         "was answered \"Liar,FAKE-9,0,0\""},
        {"a line just before the first status byte", "",
         [n = std::make_shared<int>(0)](const std::string& ligne) -> std::string {
             if (ligne == "*STB?") return ++*n == 1 ? INTRUS + "0\r\n" : "0\r\n";
             return ligne == "*IDN?" ? IDN : std::string();
         },
         0, L"KRX 15", "", eEtatSonde::Identifie, "KRX 15", ""},
        {"a line just after the first reply", "", Instrument([](int n) { return n == 1 ? IDN + INTRUS : IDN; }), 0,
         L"KRX 15", "", eEtatSonde::Identifie, "KRX 15", ""},
        {"late reply", "", Instrument([](int) {
             std::this_thread::sleep_for(400ms);
             return IDN;
         }),
         -1, L"", "no reply to \"*IDN?\" within 0.2 s", eEtatSonde::Muet, "", "no reply to \"*IDN?\" within 0.1 s"},
        {"closes after accepting", CServeurScripte::FERMER, Instrument([](int) { return IDN; }), -2, L"",
         "the instrument closed the connection on accepting it", eEtatSonde::Muet, "",
         "the instrument closed the connection on accepting it"},
        {"a maker without a model", "", Instrument([](int) { return std::string("ACME,\r\n"); }), 0, L"", "",
         eEtatSonde::Muet, "", "names no maker and model: \"ACME,\""},
        {"a maker and a model only", "", Instrument([](int) { return std::string("ACME,MODEL-X\r\n"); }), 0,
         L"MODEL-X", "", eEtatSonde::Identifie, "MODEL-X", ""},
    };
}

bool Contient(const std::string& texte, const std::string& extrait) { return texte.find(extrait) != std::string::npos; }

} // namespace

TEST(HostileInstrument, NoStrayLineIsTakenForTheIdentityOfTheConnectionSequence)
{
    for (const tCasHostile& c : Cas()) {
        CServeurScripte serveur(c.repondeur);
        serveur.SetAccueil(c.accueil);
        CAppareilBaseTcpIp appareil;
        tDelaisCom d = DelaisTest(100, 0);
        d.nReposMs = REPOS_MS;
        Preparer(appareil, serveur.Port(), d);
        appareil.SansPortSecours();
        short r = appareil.Ouvrir();
        if (r == 0) r = appareil.Initialiser();
        if (r == 0) r = appareil.Identifier();
        EXPECT_EQ(r, c.sequence) << c.nom << ": " << appareil.GetRaisonEchec();
        EXPECT_EQ(appareil.GetModele(), CString(c.modele)) << c.nom;
        if (r != 0) {
            EXPECT_TRUE(Contient(appareil.GetRaisonEchec(), c.raisonSequence))
                << c.nom << ": " << appareil.GetRaisonEchec();
        }
        appareil.Fermer();
    }
}

TEST(HostileInstrument, NoStrayLineIsTakenForTheIdentityOfAProbe)
{
    for (const tCasHostile& c : Cas()) {
        CServeurScripte serveur(c.repondeur);
        serveur.SetAccueil(c.accueil);
        tParametresSonde p;
        p.nPort = static_cast<unsigned>(serveur.Port());
        p.nReponseMs = 100;
        p.nReposMs = REPOS_MS;
        std::vector<tAppareilSonde> r;
        std::string erreur;
        ASSERT_TRUE(SonderAppareils({"127.0.0.1"}, p, r, erreur)) << erreur;
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0].eEtat, c.etat) << c.nom << ": " << r[0].strRaison;
        EXPECT_EQ(r[0].strModele, c.modeleSonde) << c.nom;
        EXPECT_TRUE(Contient(r[0].strRaison, c.raisonSonde)) << c.nom << ": " << r[0].strRaison;
        // The probe asks nothing but "*IDN?", twice at most.
        const std::string recu = serveur.Recu();
        EXPECT_TRUE(recu.empty() || recu == "*IDN?\n" || recu == "*IDN?\n*IDN?\n") << c.nom << ": " << recu;
    }
}
