// Sorting the file transfer dialog's two file tables by Name, Size or
// Date/Time: the order itself is TriListe's, computed on the displayed texts
// and the sizes the rows carry; the headers show the column and direction.

#include "ui/CDlgFileTransfert.h"

#include "ui/IdsControles.h"

using namespace IdsControles;

void CDlgFileTransfert::TrierListe(int nColonne, IControle* pListe)
{
    if (!pListe || nColonne < 0 || nColonne > 2)
        return;
    const int n = pListe->GetItemCount();
    if (n < 2)
        return;
    std::vector<tLigneListe> lignes(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k)
            lignes[i].m_astrTextes[k] = pListe->GetItemText(i, k);
        lignes[i].m_nTaille = pListe->GetItemData(i);
        lignes[i].m_bSelection = pListe->IsItemSelected(i);
    }
    TriListe::TrierLignes(lignes, nColonne, m_abSensTri[nColonne] != 0);
    // Rows move by rewriting their cells; the selection moves with the row.
    for (int i = 0; i < n; ++i) {
        const tLigneListe& l = lignes[i];
        for (int k = 0; k < 3; ++k)
            if (pListe->GetItemText(i, k) != l.m_astrTextes[k])
                pListe->SetItemText(i, k, l.m_astrTextes[k]);
        if (pListe->GetItemData(i) != l.m_nTaille)
            pListe->SetItemData(i, l.m_nTaille);
        if (pListe->IsItemSelected(i) != l.m_bSelection)
            pListe->SetItemSelected(i, l.m_bSelection);
    }
}

void CDlgFileTransfert::ClicEnTete(int nColonne)
{
    if (nColonne < 0 || nColonne > 2)
        return;
    m_nColonneTri = nColonne;
    for (int k = 0; k < 3; ++k)
        m_abSensTri[k] = k == nColonne ? !m_abSensTri[k] : 0;
    for (unsigned id : {IDC_FICHIERS_LOCAUX, IDC_FICHIERS_DISTANTS}) {
        IControle* table = GetDlgItem(id);
        TrierListe(nColonne, table);
        if (table)
            table->SetIndicateurTri(nColonne, m_abSensTri[nColonne] != 0);
    }
}
