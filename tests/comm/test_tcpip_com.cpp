// The TCP/IP channel against scripted instruments on loopback.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "ServeurScripte.h"
#include "comm/CAppareilBaseTcpIp.h"
#include "comm/CTcpIpCom.h"
#include "support/ProcessusTest.h"

using namespace std::chrono_literals;

namespace {

void Connecter(CTcpIpCom& canal, const CServeurScripte& serveur, tDelaisCom delais = DelaisTest())
{
    Preparer(canal, serveur.Port(), delais);
    ASSERT_EQ(canal.Connecter(), 0);
    ASSERT_TRUE(canal.IsConnecte());
}

bool PortFerme(int port)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ferme = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0;
    close(s);
    return ferme;
}

} // namespace

TEST(TcpChannel, CommandsAreFramedWithTheirTerminator)
{
    CTcpIpCom libre;
    // An empty command succeeds without a connection; anything else needs one.
    EXPECT_EQ(libre.EnvoyerCommande(L"", 0, 1), 0);
    EXPECT_EQ(libre.EnvoyerCommande(L"*CLS", 0, 0), -2);
    CString reponse;
    EXPECT_EQ(libre.LireReponse(reponse), -2);
    EXPECT_EQ(libre.ViderReception(), -2);
    EXPECT_FALSE(libre.IsConnecte());

    CServeurScripte serveur;
    CTcpIpCom canal;
    Connecter(canal, serveur);
    EXPECT_EQ(canal.EnvoyerCommande(L"*REM", 0, 0), 0);          // 0 means line feed
    EXPECT_EQ(canal.EnvoyerCommande(CString(L"A"), '\r', 0), 0); // another terminator
    EXPECT_EQ(canal.EnvoyerCommande(L"", '\n', 0), 0);
    EXPECT_EQ(canal.EnvoyerCommande(CString(L"caf\u00e9"), '\n', 0), 0); // one byte per character
    const std::string longue(5000, 'x');                                // beyond the 4096-byte buffer
    EXPECT_EQ(canal.EnvoyerCommande(CString(longue.c_str()), '\n', 0), 0);
    const std::string attendu = "*REM\nA\rcaf\xe9\n" + longue + "\n";
    ASSERT_TRUE(serveur.AttendreRecu(attendu));
    EXPECT_EQ(serveur.Recu(), attendu);

    // After Deconnecter the channel is no longer usable, though it was connected.
    EXPECT_EQ(canal.Deconnecter(), 0);
    EXPECT_FALSE(canal.IsConnecte());
    EXPECT_EQ(canal.EnvoyerCommande(L"*CLS", 0, 0), -2);
    EXPECT_EQ(canal.LireTampon(nullptr, 0, '\n'), -2);
    ASSERT_TRUE(serveur.AttendreFinConnexions(1));
}

TEST(TcpChannel, StatusCheckReadsTheEventRegisterOnlyOnTheSummaryBit)
{
    const struct {
        int stb, esr;
        short attendu;
        bool esrDemande;
    } cas[] = {
        {0, 0, 0, false},     // no summary bit: "*ESR?" is not sent
        {16, 60, 0, false},   // other bits of the status byte do not matter
        {32, 4, -3, true},    // query error
        {32, 8, -3, true},    // device-dependent error
        {32, 16, -3, true},   // execution error
        {32, 32, -3, true},   // command error
        {32, 1, 0, true},     // operation complete only
        {32, 128 + 64, 0, true},
        {32 + 256, 4 + 256, -3, true}, // only the low byte is read
    };
    for (const auto& c : cas) {
        CServeurScripte serveur(InstrumentSimple(c.stb, c.esr));
        CTcpIpCom canal;
        Connecter(canal, serveur);
        EXPECT_EQ(canal.EnvoyerCommande(L"*CLS", 0, 1), c.attendu) << c.stb << "/" << c.esr;
        const std::string attendu = c.esrDemande ? "*CLS\n*STB?\n*ESR?\n" : "*CLS\n*STB?\n";
        EXPECT_EQ(serveur.Recu(), attendu) << c.stb << "/" << c.esr;
    }
}

TEST(TcpChannel, QueryChecksTheStatusOnlyAfterNonCommonQueries)
{
    CServeurScripte serveur([](const std::string& ligne) -> std::string {
        if (ligne == "*STB?") return "32\r\n";
        if (ligne == "*ESR?") return "32\r\n";
        if (ligne == "POWER?") return "-3.5 dBm\r\n";
        if (ligne == "*OPC?") return "1\r\n";
        return {};
    });
    CTcpIpCom canal;
    Connecter(canal, serveur);
    CString reponse;
    EXPECT_EQ(canal.Interroger(reponse, L"*OPC?"), 0);
    EXPECT_EQ(reponse, CString(L"1\r")); // the carriage return stays
    EXPECT_EQ(canal.Interroger(reponse, CString(L"POWER?")), -3);
    EXPECT_EQ(reponse, CString(L"-3.5 dBm\r"));
    EXPECT_EQ(serveur.Recu(), "*OPC?\nPOWER?\n*STB?\n*ESR?\n");
}

TEST(TcpChannel, BufferReadAtItsSizeLimits)
{
    CServeurScripte serveur(InstrumentSimple());
    CTcpIpCom canal;
    Connecter(canal, serveur);
    char tampon[100];

    // 98 bytes and the line feed fit: the line feed is consumed.
    serveur.Envoyer(std::string(98, 'a') + "\n");
    EXPECT_EQ(canal.LireTampon(tampon, 100, '\n'), 0);
    EXPECT_EQ(std::string(tampon), std::string(98, 'a'));
    EXPECT_EQ(canal.ViderReception(), 0);

    // 99 bytes fill the buffer: the line feed stays in the socket ...
    serveur.Envoyer(std::string(99, 'b') + "\n");
    EXPECT_EQ(canal.LireTampon(tampon, 100, '\n'), 0);
    EXPECT_EQ(std::string(tampon), std::string(99, 'b'));
    // ... until the next query discards it.
    CString reponse;
    EXPECT_EQ(canal.Interroger(reponse, L"*STB?"), 0);
    EXPECT_EQ(reponse, CString(L"0\r"));

    // Two lines in one chunk are two reads: the second stays in the socket.
    serveur.Envoyer("a\nb\n");
    for (int i = 0; i < 400 && canal.AttendreDonnees() < 4; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(canal.LireTampon(tampon, 100, '\n'), 0);
    EXPECT_EQ(std::string(tampon), "a");
    EXPECT_EQ(canal.LireTampon(tampon, 100, '\n'), 0);
    EXPECT_EQ(std::string(tampon), "b");

    // Degenerate sizes do not touch memory beyond the buffer.
    tampon[0] = 'z';
    EXPECT_EQ(canal.LireTampon(tampon, 1, '\n'), 0);
    EXPECT_EQ(tampon[0], 0);
    EXPECT_EQ(canal.LireTampon(tampon, 0, '\n'), 0);
}

TEST(TcpChannel, ReplyInPiecesIsReadToItsLineFeed)
{
    // A reply arriving in pieces is read to its line feed, not cut at the first
    // buffer; a line feed arriving on its own after 99 bytes goes with the reply.
    const struct {
        std::string debut, suite, attendu;
    } cas[] = {
        {std::string(60, 'a'), std::string(150, 'b') + "\r\n", std::string(60, 'a') + std::string(150, 'b') + "\r"},
        {std::string(99, 'c'), "\n", std::string(99, 'c')},
    };
    CServeurScripte serveur;
    CTcpIpCom canal;
    Connecter(canal, serveur);
    for (const auto& c : cas) {
        serveur.Envoyer(c.debut);
        std::thread tard([&] {
            std::this_thread::sleep_for(50ms);
            serveur.Envoyer(c.suite);
        });
        CString reponse;
        EXPECT_EQ(canal.LireReponse(reponse), 0);
        tard.join();
        EXPECT_EQ(reponse, CString(c.attendu.c_str()));
        EXPECT_EQ(canal.ViderReception(), 0);
    }
}

TEST(TcpChannel, LongReplyIsFollowedByAPause)
{
    const std::string longue = std::string(120, 'L') + "\r\n";
    CServeurScripte serveur([&](const std::string& ligne) -> std::string {
        if (ligne == "*LRN?") return longue;
        if (ligne == "*OPC?") return "ok\r\n";
        if (ligne == "*STB?") return "0\r\n";
        return {};
    });
    CTcpIpCom canal;
    Connecter(canal, serveur, DelaisTest(5000, 300));
    CString reponse;
    EXPECT_EQ(canal.Interroger(reponse, L"*LRN?"), 0);
    EXPECT_EQ(reponse.GetLength(), 121);
    EXPECT_TRUE(canal.IsReponseLongue());

    const auto debut = std::chrono::steady_clock::now();
    EXPECT_EQ(canal.Interroger(reponse, L"*OPC?"), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - debut, 300ms);
    EXPECT_EQ(reponse, CString(L"ok\r"));
    EXPECT_FALSE(canal.IsReponseLongue());
}

TEST(TcpChannel, SilentPeerTimesOutAndClosingPeerFailsAtOnce)
{
    // Silent instrument: -1 once the waits pass.
    {
        CServeurScripte serveur;
        CTcpIpCom canal;
        Connecter(canal, serveur, DelaisTest(50));
        CString reponse = L"avant";
        EXPECT_EQ(canal.Interroger(reponse, L"*IDN?"), -1);
        EXPECT_EQ(reponse, CString(L""));
        EXPECT_EQ(canal.EnvoyerCommande(L"*CLS", 0, 1), -1);
        EXPECT_EQ(canal.AttendreDonnees(), 0u);
    }
    // Peer closing in the middle of a reply, or before it: -2 at once (the 20 s
    // limit would show as a hung test), with the bytes received so far.
    {
        CServeurScripte serveur([&](const std::string& ligne) -> std::string {
            if (ligne == "*IDN?") return "Maker,KR" + CServeurScripte::FERMER;
            return {};
        });
        CTcpIpCom canal;
        Connecter(canal, serveur, DelaisTest(20000));
        CString reponse;
        EXPECT_EQ(canal.Interroger(reponse, L"*IDN?"), -2);
        EXPECT_EQ(reponse, CString(L"Maker,KR"));
        // The link is gone: later reads and the drain end at once too.
        EXPECT_EQ(canal.LireReponse(reponse), -2);
        EXPECT_EQ(canal.ViderReception(), 0);
    }
    {
        CServeurScripte serveur([&](const std::string&) { return CServeurScripte::FERMER; });
        CTcpIpCom canal;
        Connecter(canal, serveur, DelaisTest(20000));
        EXPECT_EQ(canal.EnvoyerCommande(L"*CLS", 0, 1), -2);
    }
}

TEST(TcpChannel, RefusedConnectionFailsAndTheChannelIsReusable)
{
    CTcpIpCom canal;
    Preparer(canal, PortLibre());
    if (!PortFerme(21)) GTEST_SKIP() << "something listens on port 21 here";
    EXPECT_EQ(canal.Ouvrir(), -2);
    EXPECT_EQ(canal.GetPort(), 21u); // the retry port stays
    EXPECT_FALSE(canal.IsConnecte());
    EXPECT_EQ(canal.GetEtat(), 0);
    EXPECT_EQ(canal.EnvoyerCommande(L"*CLS", 0, 0), -2);
    CString reponse;
    EXPECT_EQ(canal.LireReponse(reponse), -2);
    char tampon[10];
    EXPECT_EQ(canal.LireTampon(tampon, 10, '\n'), -2); // the socket object stays, unconnected

    // The socket object is reused: the next connect to a live port works.
    CServeurScripte serveur(InstrumentSimple());
    canal.SetPort(static_cast<unsigned>(serveur.Port()));
    EXPECT_EQ(canal.Ouvrir(), 0);
    EXPECT_EQ(canal.GetEtat(), 1);
    canal.Fermer();

    CTcpIpCom inconnu;
    inconnu.SetAdresse(L"no-such-host.invalid");
    EXPECT_EQ(inconnu.Connecter(), -2);
}

TEST(TcpChannel, DestroyedOpenChannelHandsControlBack)
{
    // Open, then destroyed without Fermer: "*LOC" goes out.
    {
        CServeurScripte serveur(InstrumentSimple());
        {
            CTcpIpCom canal;
            Connecter(canal, serveur);
            canal.Fermer(); // and opened again on the same object
            ASSERT_EQ(canal.Ouvrir(), 0);
            EXPECT_EQ(canal.GetEtat(), 1);
            EXPECT_TRUE(canal.IsConnecte());
        }
        ASSERT_TRUE(serveur.AttendreFinConnexions(2));
        EXPECT_EQ(serveur.Recu(), "*REM\n*CLS\n*STB?\n*LOC\n");
    }
    // Fermer first: nothing more is sent.
    {
        CServeurScripte serveur(InstrumentSimple());
        {
            CTcpIpCom canal;
            Preparer(canal, serveur.Port());
            ASSERT_EQ(canal.Ouvrir(), 0);
            canal.Fermer();
            EXPECT_EQ(canal.GetEtat(), 0);
            EXPECT_FALSE(canal.IsConnecte());
        }
        ASSERT_TRUE(serveur.AttendreFinConnexions(1));
        EXPECT_EQ(serveur.Recu(), "*REM\n*CLS\n*STB?\n");
    }
}

TEST(TcpChannel, OpenSendsThePasswordWhenTheFirstClearIsRefused)
{
    // The first "*CLS" is refused (command error) until the password command.
    bool deverrouille = false;
    int esr = 0;
    CServeurScripte serveur([&](const std::string& ligne) -> std::string {
        if (ligne == "*PASS \"FPX\" \"LANTERNS\"") deverrouille = true;
        if (ligne == "*CLS") esr = deverrouille ? 0 : 32;
        if (ligne == "*STB?") return esr ? "32\r\n" : "0\r\n";
        if (ligne == "*ESR?") return std::to_string(esr) + "\r\n";
        return {};
    });
    CTcpIpCom canal;
    Preparer(canal, serveur.Port());
    EXPECT_EQ(canal.Ouvrir(), 0);
    EXPECT_EQ(canal.GetEtat(), 1);
    EXPECT_EQ(serveur.Recu(), "*REM\n*CLS\n*STB?\n*ESR?\n*PASS \"FPX\" \"LANTERNS\"\n*CLS\n*STB?\n");
    canal.Fermer();

    // Still refused after the password: the link stays up, the channel closed.
    CServeurScripte refus(InstrumentSimple(32, 32));
    CTcpIpCom canal2;
    Preparer(canal2, refus.Port());
    EXPECT_EQ(canal2.Ouvrir(), -3);
    EXPECT_EQ(canal2.GetEtat(), 0);
    EXPECT_TRUE(canal2.IsConnecte());
}

TEST(TcpChannel, StaleBytesAreDrainedBeforeEachQuery)
{
    CServeurScripte serveur(InstrumentSimple(0, 0, "M,KRX 15,1,2\r\n"));
    CTcpIpCom canal;
    Connecter(canal, serveur);
    // Stale bytes (more than one 50-byte block) from an earlier exchange.
    serveur.Envoyer(std::string(170, 's') + "\n");
    ASSERT_TRUE([&] {
        for (int i = 0; i < 200 && canal.AttendreDonnees() < 171; ++i) std::this_thread::sleep_for(5ms);
        return canal.AttendreDonnees() == 171;
    }());
    CString reponse;
    EXPECT_EQ(canal.Interroger(reponse, L"*IDN?"), 0);
    EXPECT_EQ(reponse, CString(L"M,KRX 15,1,2\r"));
}

TEST(TcpChannel, ConnectionMovesToAnotherChannel)
{
    CServeurScripte serveur(InstrumentSimple());
    CTcpIpCom source;
    Preparer(source, serveur.Port());
    ASSERT_EQ(source.Ouvrir(), 0);
    {
        CTcpIpCom destination;
        destination.SetDelais(DelaisTest());
        source.TransfererConnexion(&destination);
        EXPECT_FALSE(source.IsConnecte());
        EXPECT_EQ(source.GetEtat(), 0);
        EXPECT_TRUE(destination.IsConnecte());
        EXPECT_EQ(destination.GetEtat(), 1);
        EXPECT_EQ(destination.GetAdresse(), CString(L"127.0.0.1"));
        EXPECT_EQ(destination.GetPort(), static_cast<unsigned>(serveur.Port()));
        EXPECT_EQ(destination.EnvoyerCommande(L"*CLS", 0, 1), 0);
        EXPECT_EQ(source.EnvoyerCommande(L"*CLS", 0, 1), -2);
    }
    ASSERT_TRUE(serveur.AttendreFinConnexions(1));
    EXPECT_EQ(serveur.Recu(), "*REM\n*CLS\n*STB?\n*CLS\n*STB?\n*LOC\n");
}

TEST(TcpChannel, TraceSeesEveryLineSentAndReceived)
{
    CServeurScripte serveur(InstrumentSimple(0, 0, "M,KRX 15,1,2\r\n"));
    std::vector<std::string> vus;
    CAppareilBaseTcpIp appareil;
    appareil.SetTrace([&](eSensTrace sens, const std::string& texte) {
        if (sens == eSensTrace::Envoi) vus.push_back("> " + texte);
        if (sens == eSensTrace::Reception) vus.push_back("< " + texte);
    });
    Connecter(appareil, serveur);
    EXPECT_EQ(appareil.Identifier(), 0);
    const std::vector<std::string> attendu = {"> *CLS", "> *STB?", "< 0\r", "> *IDN?", "< M,KRX 15,1,2\r"};
    EXPECT_EQ(vus, attendu);

    // The process-wide trace, used when a channel has none of its own.
    std::vector<std::string> global;
    DefinirTraceCom([&](eSensTrace sens, const std::string& texte) {
        if (sens == eSensTrace::Envoi) global.push_back(texte);
    });
    CTcpIpCom autre;
    Connecter(autre, serveur);
    autre.EnvoyerCommande(L"*REM", 0, 0);
    DefinirTraceCom(nullptr);
    autre.EnvoyerCommande(L"*CLS", 0, 0);
    EXPECT_EQ(global, std::vector<std::string>{"*REM"});
}
