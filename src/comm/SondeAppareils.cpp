#include "comm/SondeAppareils.h"

#include <arpa/inet.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <system_error>
#include <thread>

#include "comm/AdresseIp.h"
#include "comm/CAppareilBaseTcp.h"
#include "comm/CTcpIpCom.h"
#include "common/Conversions.h"

namespace {

constexpr int PREFIXE_MIN = 22;

std::string Pointee(uint32_t n)
{
    in_addr a{};
    a.s_addr = htonl(n);
    char t[INET_ADDRSTRLEN];
    return inet_ntop(AF_INET, &a, t, sizeof t) ? t : std::string();
}

// Appends a target's addresses; false with the reason when it is not a target.
bool Developper(const std::string& cible, std::vector<std::string>& adresses, std::string& erreur)
{
    if (cible.empty() || cible.find_first_of(" \t\r\n") != std::string::npos) {
        erreur = "'" + cible + "' is not an address, a host name or a block";
        return false;
    }
    const size_t barre = cible.find('/');
    if (barre == std::string::npos) {
        // A dotted address in its one form, so that each is probed once.
        adresses.push_back(WideToUtf8(NormaliserAdresseIp(Utf8ToWide(cible).c_str())));
        return true;
    }
    const std::string base = cible.substr(0, barre), longueur = cible.substr(barre + 1);
    in_addr a{};
    char* fin = nullptr;
    errno = 0;
    const long n = std::strtol(longueur.c_str(), &fin, 10);
    if (inet_pton(AF_INET, base.c_str(), &a) != 1 || longueur.empty() || *fin != '\0' || errno != 0 || n < 0 ||
        n > 32) {
        erreur = "'" + cible + "' is not an IPv4 block (a.b.c.d/N)";
        return false;
    }
    if (n < PREFIXE_MIN) {
        erreur = "'" + cible + "' is too large a block: at most /" + std::to_string(PREFIXE_MIN) +
                 " (1024 addresses) at a time";
        return false;
    }
    const uint32_t masque = n == 0 ? 0 : ~uint32_t(0) << (32 - n);
    const uint32_t premiere = ntohl(a.s_addr) & masque;
    const uint32_t taille = uint32_t(1) << (32 - n);
    // A /31 or /32 has no network nor broadcast address to leave out.
    const uint32_t nMarge = n <= 30 ? 1 : 0;
    for (uint32_t i = nMarge; i + nMarge < taille; ++i)
        adresses.push_back(Pointee(premiere + i));
    return true;
}

// A target made of digits and dots only is meant as an IPv4 address: one
// that is not (300.1.1.1) must not go to the resolver as a name.
bool EstAdresseInvalide(const std::string& adresse)
{
    if (adresse.find_first_not_of("0123456789.") != std::string::npos) return false;
    in_addr a{};
    return inet_pton(AF_INET, adresse.c_str(), &a) != 1;
}

void Preparer(CTcpIpCom& com, const std::string& strAdresse, const tParametresSonde& p)
{
    com.SansPortSecours();
    com.SetAdresse(CString(Utf8ToWide(strAdresse)));
    com.SetPort(p.nPort);
    tDelaisCom d;
    d.nConnexionMs = p.nConnexionMs;
    d.nAttenteReponseMs = p.nReponseMs;
    d.nAttentesReponse = 1;
    d.nReposMs = p.nReposMs;
    d.nPauseMs = 0;
    com.SetDelais(d);
    if (p.trace) {
        const auto& trace = p.trace;
        com.SetTrace(
            [strAdresse, &trace](eSensTrace sens, const std::string& texte) { trace(strAdresse, sens, texte); });
    }
}

void Sonder(tAppareilSonde& r, const tParametresSonde& p)
{
    if (EstAdresseInvalide(r.strAdresse)) {
        r.eEtat = eEtatSonde::Inconnu;
        r.strRaison = "'" + r.strAdresse + "' is not an IPv4 address";
        return;
    }
    CTcpIpCom com;
    Preparer(com, r.strAdresse, p);
    // A probe ends in its own time whatever the peer does (a trickle of bytes
    // included): connecting, the settle time, and "*IDN?" at most twice.
    if (p.nConnexionMs >= 0 && p.nReponseMs >= 0)
        com.SetEcheance(std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(p.nConnexionMs + 2LL * p.nReponseMs + 3LL * std::max(p.nReposMs, 0)));
    if (com.Connecter() != CGenericCom::COM_OK) {
        if (com.GetCauseEchec() == eCauseEchec::AdresseInconnue) r.eEtat = eEtatSonde::Inconnu;
        r.strRaison = com.GetRaisonEchec();
        return;
    }
    r.eEtat = eEtatSonde::Muet;
    CString reponse;
    // Only the reply to its own question counts: what came before it goes.
    short n = com.ViderApresRepos();
    if (n == CGenericCom::COM_OK) n = com.InterrogerSansAmbiguite(reponse, CString(L"*IDN?"));
    com.Deconnecter();
    if (n != CGenericCom::COM_OK) {
        r.strRaison = com.GetRaisonEchec();
        return;
    }
    const auto id = CAppareilBaseTcp::DecouperIdentification(reponse);
    // The line as sent, without its CR.
    const std::wstring ligne = reponse.substr(0, reponse.find_first_of(L"\r\n"));
    r.strReponse = WideToUtf8(ligne);
    if (!id.EstIdentification()) {
        constexpr size_t LONGUEUR_CITEE = 80;
        r.strRaison = "the reply to \"*IDN?\" names no maker and model: \"" +
                      WideToUtf8(ligne.substr(0, LONGUEUR_CITEE)) + (ligne.size() > LONGUEUR_CITEE ? "...\"" : "\"");
        return;
    }
    r.eEtat = eEtatSonde::Identifie;
    r.strFabricant = WideToUtf8(id.strFabricant);
    r.strModele = WideToUtf8(id.strModele);
    r.strNumeroSerie = WideToUtf8(id.strNumeroSerie);
    r.strVersion = WideToUtf8(id.strVersion);
}

} // namespace

bool SonderAppareils(const std::vector<std::string>& cibles, const tParametresSonde& p,
                     std::vector<tAppareilSonde>& resultats, std::string& strErreur)
{
    resultats.clear();
    strErreur.clear();
    std::vector<std::string> adresses;
    for (const std::string& c : cibles)
        if (!Developper(c, adresses, strErreur)) return false;
    std::set<std::string> vues;
    for (const std::string& a : adresses) {
        if (!vues.insert(a).second) continue;
        tAppareilSonde r;
        r.strAdresse = a;
        resultats.push_back(std::move(r));
    }

    std::atomic<size_t> suivant{0};
    auto travailler = [&] {
        for (size_t i; (i = suivant.fetch_add(1)) < resultats.size();) {
            try {
                Sonder(resultats[i], p);
            } catch (const std::exception&) {
                resultats[i].strRaison = "out of memory";
            }
        }
    };
    const size_t nFils = std::min<size_t>(std::max(p.nSimultanes, 1u), resultats.size());
    std::vector<std::thread> fils;
    fils.reserve(nFils);
    for (size_t i = 0; i < nFils; ++i) {
        try {
            fils.emplace_back(travailler);
        } catch (const std::system_error&) {
            break;   // fewer threads than asked: they share the same addresses
        }
    }
    if (fils.empty()) travailler();
    for (std::thread& f : fils) f.join();
    return true;
}
