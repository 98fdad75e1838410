#include "ui/CJournalTransfert.h"

#include "ui/Controles.h"

void CJournalTransfert::Ajouter(const CString& strLigne)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_vecAttente.push_back(strLigne);
    // Lines nobody moves (a long login before the window exists) stay bounded too.
    const size_t nMax = static_cast<size_t>(LIGNES_MAX);
    if (m_vecAttente.size() > 2 * nMax)
        m_vecAttente.erase(m_vecAttente.begin(), m_vecAttente.end() - static_cast<long>(nMax));
}

void CJournalTransfert::Afficher(IControle* pListe)
{
    std::vector<CString> nouvelles;
    {
        std::lock_guard<std::mutex> verrou(m_mutex);
        if (!pListe)
            return;
        nouvelles.swap(m_vecAttente);
    }
    for (const CString& s : nouvelles)
        pListe->InsertItem(pListe->GetItemCount(), s);
    while (pListe->GetItemCount() > LIGNES_MAX)
        pListe->DeleteItem(0);
}
