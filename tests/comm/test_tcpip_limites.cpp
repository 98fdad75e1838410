// The TCP/IP channel's limits and its account of failures: connecting to an
// address that never answers, replies over the length limit, and the reason
// every failure is given with.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "ServeurScripte.h"
#include "comm/CSocketDebug.h"
#include "comm/CTcpIpCom.h"
#include "support/EcouteSaturee.h"
#include "support/ProcessusTest.h"

using namespace std::chrono_literals;

namespace {

bool Contient(const std::string& texte, const std::string& extrait) { return texte.find(extrait) != std::string::npos; }

bool PortOuvert(int port)
{
    CSocketDebug s;
    return s.Connecter("127.0.0.1", static_cast<unsigned>(port), 1000);
}

} // namespace

TEST(TcpChannelLimits, ConnectingToAnAddressThatNeverAnswersEndsAtTheLimit)
{
    CEcouteSaturee muet;
    ASSERT_NE(muet.Port(), 0) << "the accept queue could not be filled";
    if (PortOuvert(21)) GTEST_SKIP() << "something listens on port 21 here";

    CTcpIpCom canal;
    tDelaisCom d = DelaisTest();
    d.nConnexionMs = 300;
    Preparer(canal, muet.Port(), d);
    const auto debut = std::chrono::steady_clock::now();
    EXPECT_EQ(canal.Ouvrir(), -2);
    const auto duree = std::chrono::steady_clock::now() - debut;
    EXPECT_GE(duree, 300ms);
    EXPECT_LT(duree, 5s);   // the system's own limit would be minutes
    EXPECT_EQ(canal.GetCauseEchec(), eCauseEchec::DelaiConnexion);
    EXPECT_EQ(canal.GetRaisonEchec(), "port " + std::to_string(muet.Port()) +
                                          ": no answer to the connection within 0.3 s; port 21: connection refused");
    EXPECT_FALSE(canal.IsConnecte());
}

TEST(TcpChannelLimits, ConnectFailuresNameTheirCauseAndBothPorts)
{
    if (PortOuvert(21)) GTEST_SKIP() << "something listens on port 21 here";
    const int libre = PortLibre();
    const struct {
        const wchar_t* adresse;
        eCauseEchec cause;
        std::string raison;
    } cas[] = {
        {L"127.0.0.1", eCauseEchec::ConnexionRefusee,
         "port " + std::to_string(libre) + ": connection refused; port 21: connection refused"},
        {L"no-such-host.invalid", eCauseEchec::AdresseInconnue, "cannot resolve 'no-such-host.invalid' ("},
    };
    for (const auto& c : cas) {
        CTcpIpCom canal;
        Preparer(canal, libre);
        canal.SetAdresse(c.adresse);
        EXPECT_EQ(canal.Connecter(), -2);
        EXPECT_EQ(canal.GetCauseEchec(), c.cause);
        EXPECT_EQ(canal.GetRaisonEchec().rfind(c.raison, 0), 0u) << canal.GetRaisonEchec();
    }
    // A name that does not resolve is said once, not once per port.
    CTcpIpCom inconnu;
    inconnu.SetAdresse(L"no-such-host.invalid");
    EXPECT_EQ(inconnu.Connecter(), -2);
    EXPECT_FALSE(Contient(inconnu.GetRaisonEchec(), "port")) << inconnu.GetRaisonEchec();
}

TEST(TcpChannelLimits, FailuresAfterConnectingNameTheirCause)
{
    const struct {
        const char* nom;
        CServeurScripte::Repondeur repondeur;
        short attendu;
        eCauseEchec cause;
        const char* raison;
    } cas[] = {
        // Both waits of 50 ms: the time said is the time waited.
        {"silent", {}, -1, eCauseEchec::SansReponse, "no reply to \"*STB?\" within 0.1 s"},
        {"closes", [](const std::string&) { return CServeurScripte::FERMER; }, -2, eCauseEchec::FermeeParAppareil,
         "the instrument closed the connection while \"*STB?\" awaited its reply"},
        {"command error", InstrumentSimple(32, 36), -3, eCauseEchec::ErreurSignalee,
         "the instrument reported an error after \"*CLS\" (event status register 36: query error, command error)"},
    };
    for (const auto& c : cas) {
        CServeurScripte serveur(c.repondeur);
        CTcpIpCom canal;
        Preparer(canal, serveur.Port(), DelaisTest(50));
        ASSERT_EQ(canal.Connecter(), 0) << c.nom;
        EXPECT_EQ(canal.EnvoyerCommande(L"*CLS", 0, 1), c.attendu) << c.nom;
        EXPECT_EQ(canal.GetCauseEchec(), c.cause) << c.nom;
        EXPECT_EQ(canal.GetRaisonEchec(), c.raison) << c.nom;
    }
}

TEST(TcpChannelLimits, ReplyOverTheLimitFailsAndLaterRepliesStayInStep)
{
    const size_t limite = CTcpIpCom::TAILLE_MAX_REPONSE;
    const std::string trop = std::string(limite + 5000, 'x') + "\r\n";
    const std::string juste = std::string(limite, 'y') + "\n";
    const std::string justeCrLf = std::string(limite, 'z') + "\r\n";   // the limit counts the text only
    CServeurScripte serveur([&](const std::string& ligne) -> std::string {
        if (ligne == "*LRN?") return trop;
        if (ligne == "*JST?") return juste;
        if (ligne == "*CRLF?") return justeCrLf;
        if (ligne == "*IDN?") return "M,KRX 15,1,2\r\n";
        if (ligne == "*STB?") return "0\r\n";
        return {};
    });
    CTcpIpCom canal;
    Preparer(canal, serveur.Port(), DelaisTest(5000, 0));
    ASSERT_EQ(canal.Connecter(), 0);

    CString reponse;
    EXPECT_EQ(canal.Interroger(reponse, L"*LRN?"), -2);
    EXPECT_EQ(static_cast<size_t>(reponse.GetLength()), limite);
    EXPECT_EQ(canal.GetCauseEchec(), eCauseEchec::ReponseTropLongue);
    EXPECT_EQ(canal.GetRaisonEchec(), "the reply to \"*LRN?\" is longer than 65536 bytes");
    // Right after it, with nothing drained: the next reply is the next query's own.
    EXPECT_EQ(canal.EnvoyerCommande(L"*IDN?", '\n', 0), 0);
    EXPECT_EQ(canal.LireReponse(reponse), 0);
    EXPECT_EQ(reponse, CString(L"M,KRX 15,1,2\r"));
    // A reply of exactly the limit is whole.
    EXPECT_EQ(canal.Interroger(reponse, L"*JST?"), 0);
    EXPECT_EQ(static_cast<size_t>(reponse.GetLength()), limite);
    EXPECT_EQ(canal.Interroger(reponse, L"*CRLF?"), 0);
    EXPECT_EQ(static_cast<size_t>(reponse.GetLength()), limite + 1);   // its CR stays, as for every reply

    // The rest of an over-long line is dropped up to its line feed only: a
    // reply already waiting behind it is still read.
    serveur.Envoyer(trop + "next\r\n");
    EXPECT_EQ(canal.LireReponse(reponse), -2);
    EXPECT_EQ(canal.LireReponse(reponse), 0);
    EXPECT_EQ(reponse, CString(L"next\r"));
}

TEST(TcpChannelLimits, PasswordCommandIsMaskedInTracesAndMessages)
{
    CServeurScripte serveur(InstrumentSimple(32, 32));
    std::vector<std::string> envois;
    CTcpIpCom canal;
    canal.SetTrace([&](eSensTrace sens, const std::string& texte) {
        if (sens == eSensTrace::Envoi) envois.push_back(texte);
    });
    Preparer(canal, serveur.Port());
    EXPECT_EQ(canal.Ouvrir(), -3);
    EXPECT_NE(std::find(envois.begin(), envois.end(), "*PASS ****"), envois.end());
    for (const std::string& e : envois) EXPECT_FALSE(Contient(e, "LANTERNS")) << e;
    EXPECT_TRUE(Contient(serveur.Recu(), "*PASS \"FPX\" \"LANTERNS\"\n"));   // the instrument gets it whole
    EXPECT_TRUE(Contient(canal.GetRaisonEchec(), "after \"*CLS\"")) << canal.GetRaisonEchec();
}
