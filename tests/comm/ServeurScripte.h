#pragma once
// A scripted instrument for the channel tests: listens on 127.0.0.1 (port
// chosen by the system), takes one connection at a time, records every byte
// received, and answers each received line with what the test's responder
// returns. Tests may also push bytes themselves.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/CTcpIpCom.h"

class CServeurScripte
{
public:
    // Given a received line (without its line feed), the bytes to send back
    // (empty: nothing). Runs on the server's thread.
    using Repondeur = std::function<std::string(const std::string& ligne)>;

    // Ending a responder's answer: the bytes before it are sent, then the
    // connection is closed.
    static const std::string FERMER;

    explicit CServeurScripte(Repondeur repondeur = {});
    ~CServeurScripte();
    CServeurScripte(const CServeurScripte&) = delete;
    CServeurScripte& operator=(const CServeurScripte&) = delete;

    int Port() const { return m_nPort; }

    // Everything received so far, over all connections.
    std::string Recu() const;

    // Bytes sent to every client as soon as it is accepted (ending in FERMER:
    // then closed). Set before the client connects.
    void SetAccueil(const std::string& octets);

    // Sends bytes to the connected client (from the server's thread).
    void Envoyer(const std::string& octets);

    // Waits until `n` connections have ended (the client closed or was closed).
    bool AttendreFinConnexions(int n, std::chrono::milliseconds limite = std::chrono::seconds(5));
    // Waits until the received bytes contain `texte`.
    bool AttendreRecu(const std::string& texte, std::chrono::milliseconds limite = std::chrono::seconds(5));

private:
    // The server's thread: accepts one client at a time, answers its lines.
    void Boucle();
    void Reveiller();
    void Accepter();
    void Recevoir();
    // Sends an answer; one that ends in FERMER closes the connection after it.
    void Repondre(std::string reponse);
    void FinirConnexion();

    int m_fdEcoute = -1;
    int m_tubeReveil[2] = {-1, -1};
    int m_nPort = 0;
    Repondeur m_repondeur;
    int m_client = -1;        // the server's thread only
    std::string m_ligne;      // the line being received (server's thread only)

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_recu;
    std::string m_aEnvoyer;
    std::string m_accueil;
    bool m_bArret = false;
    int m_nConnexionsFinies = 0;
    std::thread m_thread;
};

// A responder for a well-behaved instrument: status byte `stb`, event register
// `esr`, identification `idn`; other lines get no answer.
CServeurScripte::Repondeur InstrumentSimple(int stb = 0, int esr = 0,
                                           const std::string& idn = "Maker,KRX 15,1234,1.5\r\n");

// Limits short enough that time-outs take milliseconds, generous enough for a
// loaded machine when the peer does answer.
inline tDelaisCom DelaisTest(int attente = 5000, int pause = 10)
{
    tDelaisCom d;
    d.nAttenteReponseMs = attente;
    d.nPauseMs = pause;
    return d;
}

// Points a channel (or an instrument) at 127.0.0.1:`port`.
inline void Preparer(CTcpIpCom& canal, int port, tDelaisCom delais = DelaisTest())
{
    canal.SetDelais(delais);
    canal.SetAdresse(L"127.0.0.1");
    canal.SetPort(static_cast<unsigned>(port));
}
