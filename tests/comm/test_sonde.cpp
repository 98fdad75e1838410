// Probing addresses for instruments: what each kind of peer gives, and that a
// probe sends "*IDN?" and nothing else, never a second port.

#include <gtest/gtest.h>

#include "ServeurScripte.h"
#include "comm/SondeAppareils.h"
#include "support/ProcessusTest.h"

namespace {

std::vector<tAppareilSonde> Sonder(const std::vector<std::string>& cibles, int nPort, int nReponseMs = 2000)
{
    tParametresSonde p;
    p.nPort = static_cast<unsigned>(nPort);
    p.nReponseMs = nReponseMs;
    std::vector<tAppareilSonde> r;
    std::string erreur;
    EXPECT_TRUE(SonderAppareils(cibles, p, r, erreur)) << erreur;
    return r;
}

} // namespace

TEST(SondeAppareils, EachPeerIsIdentifiedOrSaysWhyNotAndHearsOnlyIdn)
{
    const struct {
        const char* nom;
        std::string reponse;   // to "*IDN?"
        eEtatSonde etat;
        const char* modele, *serie, *version, *raison;
    } cas[] = {
        {"instrument", "Mk,KRX 15,SN1,2.0\r\n", eEtatSonde::Identifie, "KRX 15", "SN1", "2.0", ""},
        {"version with commas", "Mk,FPX,SN2,1.2,b7\n", eEtatSonde::Identifie, "FPX", "SN2", "1.2,b7", ""},
        {"three fields", "Mk,M,v3\r\n", eEtatSonde::Identifie, "M", "", "v3", ""},
        {"not an identification", "220 FTP ready\r\n", eEtatSonde::Muet, "", "", "",
         "the reply to \"*IDN?\" names no maker and model"},
        {"silent", "", eEtatSonde::Muet, "", "", "", "no reply to \"*IDN?\" within 0.2 s"},
        {"closes mid-reply", "Mk,KR" + CServeurScripte::FERMER, eEtatSonde::Muet, "", "", "",
         "closed the connection"},
    };
    for (const auto& c : cas) {
        CServeurScripte serveur([&](const std::string&) { return c.reponse; });
        const auto r = Sonder({"127.0.0.1"}, serveur.Port(), 200);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0].eEtat, c.etat) << c.nom;
        EXPECT_EQ(r[0].strModele, c.modele) << c.nom;
        EXPECT_EQ(r[0].strNumeroSerie, c.serie) << c.nom;
        EXPECT_EQ(r[0].strVersion, c.version) << c.nom;
        EXPECT_NE(r[0].strRaison.find(c.raison), std::string::npos) << c.nom << ": " << r[0].strRaison;
        EXPECT_TRUE(serveur.AttendreFinConnexions(1)) << c.nom;
        EXPECT_EQ(serveur.Recu(), "*IDN?\n") << c.nom;
    }
}

TEST(SondeAppareils, AClosedPortIsAbsentWithoutTryingTheFtpPort)
{
    const auto r = Sonder({"127.0.0.1"}, PortLibre());
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].eEtat, eEtatSonde::Absent);
    EXPECT_NE(r[0].strRaison.find("connection refused"), std::string::npos) << r[0].strRaison;
    EXPECT_EQ(r[0].strRaison.find("port 21"), std::string::npos) << r[0].strRaison;
}

TEST(SondeAppareils, BlocksExpandInOrderOnceAndLargeOnesAreRefused)
{
    const struct { std::vector<std::string> cibles; std::vector<std::string> adresses; } cas[] = {
        {{"127.0.9.5/30"}, {"127.0.9.5", "127.0.9.6"}},   // base bits cleared, network and broadcast left out
        {{"127.0.9.8/31"}, {"127.0.9.8", "127.0.9.9"}},
        {{"127.0.9.3/32", "127.0.9.0/29", "127.0.9.3"},
         {"127.0.9.3", "127.0.9.1", "127.0.9.2", "127.0.9.4", "127.0.9.5", "127.0.9.6"}},
    };
    const int nPort = PortLibre();
    for (const auto& c : cas) {
        std::vector<std::string> adresses;
        for (const auto& r : Sonder(c.cibles, nPort)) adresses.push_back(r.strAdresse);
        EXPECT_EQ(adresses, c.adresses);
    }
    // The largest block, 64 probes at a time: every address answered for, in order.
    const auto r = Sonder({"127.0.4.0/22"}, nPort);
    ASSERT_EQ(r.size(), 1022u);
    EXPECT_EQ(r.front().strAdresse, "127.0.4.1");
    EXPECT_EQ(r.back().strAdresse, "127.0.7.254");
    for (const auto& a : r) EXPECT_EQ(a.eEtat, eEtatSonde::Absent) << a.strAdresse;

    for (const char* refusee : {"127.0.0.0/21", "127.0.0.0/0", "127.0.0.1/", "127.0.0.1/-1", "::1/64", "a b"}) {
        std::vector<tAppareilSonde> resultats;
        std::string erreur;
        EXPECT_FALSE(SonderAppareils({"127.0.0.1", refusee}, tParametresSonde{}, resultats, erreur)) << refusee;
        EXPECT_TRUE(resultats.empty()) << refusee;
        EXPECT_NE(erreur.find(refusee), std::string::npos) << erreur;
    }
}
