#include "ServeurScripte.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

const std::string CServeurScripte::FERMER("\x01<close>\x01");

CServeurScripte::CServeurScripte(Repondeur repondeur) : m_repondeur(std::move(repondeur))
{
    m_fdEcoute = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int un = 1;
    setsockopt(m_fdEcoute, SOL_SOCKET, SO_REUSEADDR, &un, sizeof un);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(m_fdEcoute, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(m_fdEcoute, 4) == 0) {
        socklen_t len = sizeof a;
        getsockname(m_fdEcoute, reinterpret_cast<sockaddr*>(&a), &len);
        m_nPort = ntohs(a.sin_port);
    }
    if (pipe2(m_tubeReveil, O_CLOEXEC | O_NONBLOCK) != 0) m_tubeReveil[0] = m_tubeReveil[1] = -1;
    m_thread = std::thread([this] { Boucle(); });
}

CServeurScripte::~CServeurScripte()
{
    {
        std::lock_guard<std::mutex> v(m_mutex);
        m_bArret = true;
    }
    Reveiller();
    m_thread.join();
    close(m_fdEcoute);
    close(m_tubeReveil[0]);
    close(m_tubeReveil[1]);
}

void CServeurScripte::Reveiller()
{
    char c = 0;
    if (write(m_tubeReveil[1], &c, 1) < 0) { /* the loop also wakes every 20 ms */ }
}

std::string CServeurScripte::Recu() const
{
    std::lock_guard<std::mutex> v(m_mutex);
    return m_recu;
}

void CServeurScripte::SetAccueil(const std::string& octets)
{
    std::lock_guard<std::mutex> v(m_mutex);
    m_accueil = octets;
}

void CServeurScripte::Envoyer(const std::string& octets)
{
    {
        std::lock_guard<std::mutex> v(m_mutex);
        m_aEnvoyer += octets;
    }
    Reveiller();
}

bool CServeurScripte::AttendreFinConnexions(int n, std::chrono::milliseconds limite)
{
    std::unique_lock<std::mutex> v(m_mutex);
    return m_cv.wait_for(v, limite, [&] { return m_nConnexionsFinies >= n; });
}

bool CServeurScripte::AttendreRecu(const std::string& texte, std::chrono::milliseconds limite)
{
    std::unique_lock<std::mutex> v(m_mutex);
    return m_cv.wait_for(v, limite, [&] { return m_recu.find(texte) != std::string::npos; });
}

void CServeurScripte::FinirConnexion()
{
    close(m_client);
    m_client = -1;
    m_ligne.clear();
    std::lock_guard<std::mutex> v(m_mutex);
    ++m_nConnexionsFinies;
    m_aEnvoyer.clear();
    m_cv.notify_all();
}

void CServeurScripte::Repondre(std::string reponse)
{
    const bool fermer = reponse.size() >= FERMER.size() &&
                        reponse.compare(reponse.size() - FERMER.size(), FERMER.size(), FERMER) == 0;
    if (fermer) reponse.resize(reponse.size() - FERMER.size());
    if (!reponse.empty()) send(m_client, reponse.data(), reponse.size(), MSG_NOSIGNAL);
    if (fermer) FinirConnexion();
}

void CServeurScripte::Accepter()
{
    m_client = accept4(m_fdEcoute, nullptr, nullptr, SOCK_CLOEXEC);
    std::string accueil;
    {
        std::lock_guard<std::mutex> v(m_mutex);
        accueil = m_accueil;
    }
    if (m_client >= 0 && !accueil.empty()) Repondre(accueil);
}

void CServeurScripte::Recevoir()
{
    char tampon[4096];
    const ssize_t n = recv(m_client, tampon, sizeof tampon, 0);
    if (n <= 0) return FinirConnexion();
    {
        std::lock_guard<std::mutex> v(m_mutex);
        m_recu.append(tampon, static_cast<size_t>(n));
        m_cv.notify_all();
    }
    for (ssize_t i = 0; i < n && m_client >= 0; ++i) {
        if (tampon[i] != '\n') {
            m_ligne.push_back(tampon[i]);
            continue;
        }
        std::string reponse = m_repondeur ? m_repondeur(m_ligne) : std::string();
        m_ligne.clear();
        Repondre(std::move(reponse));
    }
}

void CServeurScripte::Boucle()
{
    for (;;) {
        std::string aEnvoyer;
        {
            std::lock_guard<std::mutex> v(m_mutex);
            if (m_bArret) break;
            if (m_client >= 0) aEnvoyer.swap(m_aEnvoyer);
        }
        if (!aEnvoyer.empty()) send(m_client, aEnvoyer.data(), aEnvoyer.size(), MSG_NOSIGNAL);
        pollfd p[2] = {{m_client >= 0 ? m_client : m_fdEcoute, POLLIN, 0}, {m_tubeReveil[0], POLLIN, 0}};
        if (poll(p, 2, 20) <= 0) continue;
        if (p[1].revents & POLLIN) {
            char tampon[64];
            while (read(m_tubeReveil[0], tampon, sizeof tampon) > 0) {}
        }
        if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        if (m_client < 0)
            Accepter();
        else
            Recevoir();
    }
    if (m_client >= 0) close(m_client);
}

CServeurScripte::Repondeur InstrumentSimple(int stb, int esr, const std::string& idn)
{
    return [=](const std::string& ligne) -> std::string {
        if (ligne == "*STB?") return std::to_string(stb) + "\r\n";
        if (ligne == "*ESR?") return std::to_string(esr) + "\r\n";
        if (ligne == "*IDN?") return idn;
        return {};
    };
}
