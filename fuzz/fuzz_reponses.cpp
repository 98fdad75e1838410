// The command channel's reply reader (CTcpIpCom::LireReponse) over a real
// loopback connection, the fuzzer playing the instrument.
//
// The input is what the instrument sends, one reply a line; the bytes after
// the last line feed are a reply cut by the instrument closing the
// connection. A line "\x01<count> <text>" stands for <text> repeated to
// <count> bytes, so that short inputs reach the 64 KiB limit.
//
// Invariants: no reply is longer than the limit; a line within the limit is
// read whole (up to a NUL, where the text ends) and reported as read; a line
// over it is a failure (-2) whose rest is discarded up to its line feed, so
// the reply behind it, already sent, is read intact; a reply cut by the
// closing is a failure (-2), never taken as read.

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "Bouclage.h"
#include "Invariant.h"
#include "comm/CTcpIpCom.h"
#include "common/Conversions.h"

namespace {

constexpr size_t LIMITE = CTcpIpCom::TAILLE_MAX_REPONSE;
// Well below the length past which the channel gives a line up unread.
constexpr size_t LONGUEUR_MAX = 3 * LIMITE;
constexpr size_t LIGNES_MAX = 64;

std::string Deplier(const std::string& ligne)
{
    if (ligne.empty() || ligne[0] != '\x01') return ligne;
    size_t i = 1, n = 0;
    for (; i < ligne.size() && ligne[i] >= '0' && ligne[i] <= '9'; ++i)
        n = std::min(n * 10 + static_cast<size_t>(ligne[i] - '0'), LONGUEUR_MAX);
    if (i == 1 || i == ligne.size() || ligne[i] != ' ') return ligne;
    const std::string motif = i + 1 < ligne.size() ? ligne.substr(i + 1) : "x";
    std::string s;
    s.reserve(n);
    while (s.size() < n) s.append(motif, 0, std::min(motif.size(), n - s.size()));
    return s;
}

CString TexteAttendu(const std::string& ligne) { return CString(AnsiToWide(ligne.substr(0, ligne.find('\0')))); }

// The instrument's bytes, written from a thread of their own: a long line
// does not fit in the socket's buffers before the channel reads it.
class CEnvoi
{
public:
    CEnvoi(CBouclage& pair, std::string octets, bool bFermer)
        : m_thread([&pair, octets = std::move(octets), bFermer] {
              pair.Envoyer(octets);
              if (bFermer) pair.FermerEnvoi();
          })
    {
    }
    ~CEnvoi() { m_thread.join(); }

private:
    std::thread m_thread;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    const std::string entree(reinterpret_cast<const char*>(donnees), taille);
    std::vector<std::string> lignes;
    size_t debut = 0;
    for (size_t fin; lignes.size() < LIGNES_MAX && (fin = entree.find('\n', debut)) != std::string::npos;
         debut = fin + 1)
        lignes.push_back(Deplier(entree.substr(debut, fin - debut)));
    const std::string coupee = lignes.size() < LIGNES_MAX ? Deplier(entree.substr(debut)) : "";

    CTcpIpCom canal;
    tDelaisCom delais;
    delais.nAttenteReponseMs = 5000;  // never reached: every reply is sent before it is read
    delais.nPauseMs = 0;
    canal.SetDelais(delais);
    CBouclage pair(canal);

    size_t nEnvoyees = 0;
    for (size_t i = 0; i < lignes.size(); ++i) {
        std::string octets;
        if (nEnvoyees == i) octets = lignes[nEnvoyees++] + '\n';
        // The instrument's next reply is already there behind the long one.
        if (lignes[i].size() > LIMITE && nEnvoyees < lignes.size()) octets += lignes[nEnvoyees++] + '\n';

        CString reponse;
        short r;
        {
            CEnvoi envoi(pair, octets, false);
            r = canal.LireReponse(reponse);
        }
        VERIFIER(reponse.size() <= LIMITE);
        if (lignes[i].size() <= LIMITE) {
            VERIFIER(r == 0);
            VERIFIER(reponse == TexteAttendu(lignes[i]));
        } else {
            VERIFIER(r == -2);
            VERIFIER(canal.GetCauseEchec() == eCauseEchec::ReponseTropLongue);
        }
    }

    CString reponse;
    short r;
    {
        CEnvoi envoi(pair, coupee, true);
        r = canal.LireReponse(reponse);
    }
    VERIFIER(r == -2);
    VERIFIER(reponse.size() <= LIMITE);
    VERIFIER(TexteAttendu(coupee).compare(0, reponse.size(), reponse) == 0);
    return 0;
}
