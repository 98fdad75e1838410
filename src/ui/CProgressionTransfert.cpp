#include "ui/CProgressionTransfert.h"

#include <cmath>

#include "common/TableChaines.h"
#include "ui/TextesTransfert.h"

CProgressionTransfert::CProgressionTransfert(tHorloge horloge) : m_horloge(std::move(horloge)) {}

CProgressionTransfert::tInstant CProgressionTransfert::Maintenant() const
{
    return m_horloge ? m_horloge() : std::chrono::steady_clock::now();
}

void CProgressionTransfert::Demarrer()
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_etat = tEtatProgression();
    m_nDeplaces = 0;
    m_echantillons.clear();
    m_echantillons.emplace_back(Maintenant(), 0);
    m_dRestantLisse = -1;
}

void CProgressionTransfert::AjouterAFaire(int nFichiers, uint64_t nOctets)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_etat.nFichiersTotal += nFichiers;
    m_etat.nOctetsTotal += nOctets;
}

void CProgressionTransfert::SetTotalProvisoire(bool bProvisoire)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_etat.bTotalProvisoire = bProvisoire;
}

void CProgressionTransfert::DebutFichier(const CString& strNom, uint64_t nTaille)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_etat.strFichier = strNom;
    m_etat.bFichierEnCours = true;
    m_etat.nOctetsFichier = 0;
    m_etat.nTailleFichier = nTaille;
}

void CProgressionTransfert::Avancer(uint64_t nFaits, uint64_t nTotal)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    if (nTotal != 0 && nTotal != m_etat.nTailleFichier) {
        // The transfer knows better than the listing the copy started from.
        m_etat.nOctetsTotal = m_etat.nOctetsTotal - std::min(m_etat.nOctetsTotal, m_etat.nTailleFichier) + nTotal;
        m_etat.nTailleFichier = nTotal;
    }
    if (nFaits > m_etat.nOctetsFichier) {
        m_nDeplaces += nFaits - m_etat.nOctetsFichier;
        m_etat.nOctetsTraites += nFaits - m_etat.nOctetsFichier;
    }
    m_etat.nOctetsFichier = nFaits;
    Echantillonner();
}

void CProgressionTransfert::FinFichier(tIssueFichier issue)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    // The file's bytes count as handled, moved or not; a copy that did not
    // report them as it went moved them all the same.
    const uint64_t nReste = m_etat.nTailleFichier - std::min(m_etat.nTailleFichier, m_etat.nOctetsFichier);
    m_etat.nOctetsTraites += nReste;
    if (issue == tIssueFichier::Fait)
        m_nDeplaces += nReste;
    ++m_etat.nFichiersTraites;
    switch (issue) {
    case tIssueFichier::Fait:
        ++m_etat.nFaits;
        m_etat.nOctetsFaits += std::max(m_etat.nTailleFichier, m_etat.nOctetsFichier);
        break;
    case tIssueFichier::Passe: ++m_etat.nPasses; break;
    case tIssueFichier::Echec: ++m_etat.nEchecs; break;
    case tIssueFichier::Annule: ++m_etat.nAnnules; break;
    }
    m_etat.bFichierEnCours = false;
    m_etat.nOctetsFichier = 0;
    m_etat.nTailleFichier = 0;
    Echantillonner();
}

void CProgressionTransfert::Reprendre()
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_echantillons.clear();
    m_echantillons.emplace_back(Maintenant(), m_nDeplaces);
    m_dRestantLisse = -1;
}

void CProgressionTransfert::Echantillonner()
{
    const tInstant t = Maintenant();
    m_echantillons.emplace_back(t, m_nDeplaces);
    // Keep one sample older than the window, so that the window is covered.
    while (m_echantillons.size() > 2 && t - m_echantillons[1].first >= FENETRE_DEBIT)
        m_echantillons.pop_front();
}

tEtatProgression CProgressionTransfert::Lire() const
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    tEtatProgression etat = m_etat;
    if (m_echantillons.size() >= 2) {
        const auto& premier = m_echantillons.front();
        const auto& dernier = m_echantillons.back();
        const double dSecondes = std::chrono::duration<double>(dernier.first - premier.first).count();
        // Under half a second, a rate says more about the clock than the link.
        if (dSecondes >= 0.5)
            etat.dDebit = static_cast<double>(dernier.second - premier.second) / dSecondes;
    }
    if (etat.dDebit > 0 && etat.nOctetsTotal >= etat.nOctetsTraites) {
        const double dRestant = static_cast<double>(etat.nOctetsTotal - etat.nOctetsTraites) / etat.dDebit;
        // Until the rate covers its whole window, the estimate is taken as it is.
        const bool bFenetrePleine = m_echantillons.back().first - m_echantillons.front().first >= FENETRE_DEBIT;
        if (!bFenetrePleine)
            m_dRestantLisse = -1;
        etat.nSecondesRestantes = Lisser(dRestant);
    } else {
        m_dRestantLisse = -1;
    }
    return etat;
}

long long CProgressionTransfert::Lisser(double dRestant) const
{
    // An average that forgets in a few seconds: a bursty link moves the
    // estimate smoothly instead of making it jump with each burst, and it
    // still follows a link that really changed.
    const tInstant t = Maintenant();
    if (m_dRestantLisse < 0) {
        m_dRestantLisse = dRestant;
    } else {
        const double dEcart = std::chrono::duration<double>(t - m_tRestant).count();
        const double dPoids = 1.0 - std::exp(-std::max(0.0, dEcart) / std::chrono::duration<double>(LISSAGE_RESTANT).count());
        // The time that passed counts down before the new measure pulls.
        const double dPrevu = std::max(0.0, m_dRestantLisse - std::max(0.0, dEcart));
        m_dRestantLisse = dPrevu + dPoids * (dRestant - dPrevu);
    }
    m_tRestant = t;
    return static_cast<long long>(std::ceil(m_dRestantLisse));
}

namespace TextesProgression {

CString OctetsSur(uint64_t nFaits, uint64_t nTotal)
{
    // Both in the total's unit, so that they read against each other.
    const CString strTotal = TextesTransfert::TexteTaille(nTotal);
    CString strFaits;
    const double d = static_cast<double>(nFaits);
    switch (strTotal.empty() ? L' ' : strTotal.back()) {
    case L'k': strFaits.Format(L"%.1f k", d / 1024.0); break;
    case L'M': strFaits.Format(L"%.1f M", d / 1048576.0); break;
    case L'G': strFaits.Format(L"%.1f G", d / 1073741824.0); break;
    default: strFaits = TextesTransfert::TexteTaille(nFaits); break;
    }
    CString s;
    s.Format(Ressources::ChargerChaine(Ressources::IDS_OCTETS_SUR), strFaits.c_str(), strTotal.c_str());
    return s;
}

CString Debit(double dOctetsParSeconde)
{
    const uint64_t n = dOctetsParSeconde <= 0 ? 0 : static_cast<uint64_t>(dOctetsParSeconde);
    CString s = TextesTransfert::TexteTaille(n);
    // Below the first unit the size has no unit of its own.
    return s + (n < 2047 ? L" B/s" : L"/s");
}

CString Duree(long long nSecondes)
{
    CString s;
    if (nSecondes < 0) nSecondes = 0;
    if (nSecondes < 60)
        s.Format(L"%lld s", nSecondes);
    else if (nSecondes < 3600)
        s.Format(L"%lld min %02lld s", nSecondes / 60, nSecondes % 60);
    else
        s.Format(L"%lld h %02lld min", nSecondes / 3600, (nSecondes % 3600) / 60);
    return s;
}

} // namespace TextesProgression
