#include "ui/CVoletTransfert.h"

#include <algorithm>

#include "common/TableChaines.h"
#include "ui/CDlgFileTransfert.h"
#include "ui/Ressources.h"

CVoletTransfert::CVoletTransfert(CDlgFileTransfert& dlg, CString& strRep, const tIds& ids)
    : m_dlg(dlg), m_strRep(strRep), m_ids(ids)
{
}

CVoletTransfert::~CVoletTransfert() = default;

bool CVoletTransfert::EstLien(const CString& /*strChemin*/) const
{
    return false;
}

void CVoletTransfert::FermerConfirmation()
{
    m_strRepDemande.clear();
    ChangerEtatRangee(tEtatRangee::Normal);
}

bool CVoletTransfert::DemanderSuppression()
{
    const CString strRep = RepertoireSelectionne();
    if (strRep.IsEmpty() || strRep == L"..")
        return false;
    m_strRepDemande = strRep;
    CString strQuestion;
    strQuestion.Format(Ressources::ChargerChaine(Ressources::IDS_QUESTION_SUPPRESSION_REP), strRep.c_str());
    if (IControle* question = Controle(m_ids.nQuestion))
        question->SetWindowText(strQuestion);
    ChangerEtatRangee(tEtatRangee::Confirmation);
    return true;
}

void CVoletTransfert::SelectionChangee()
{
    // The removal's own walk changes the selection as it goes.
    if (!m_strRepDemande.IsEmpty() && !m_dlg.TransfertEnCours())
        FermerConfirmation();
}

void CVoletTransfert::ListesRemplacees()
{
    m_strAffiche = m_strRep;
    SelectionChangee();
}

bool CVoletTransfert::RempliSansBouger()
{
    if (!m_dlg.Annule() || !m_dlg.TransfertEnCours())
        return false;
    // Going back up (a walk restoring where it started) is kept: the pane is
    // listed there once the walk has ended.
    if (m_strAffiche.compare(0, m_strRep.size(), m_strRep) != 0)
        RevenirAuRepertoireAffiche();
    return true;
}

void CVoletTransfert::RevenirAuRepertoireAffiche()
{
    if (!m_strAffiche.IsEmpty())
        m_strRep = m_strAffiche;
}

IControle* CVoletTransfert::Controle(unsigned nId) const
{
    return m_dlg.GetDlgItem(nId);
}

void CVoletTransfert::AjouterColonnes()
{
    IControle* table = Controle(m_ids.nFichiers);
    if (!table)
        return;
    table->InsertColumn(0, Ressources::Chaine(Ressources::IDS_COLONNE_NOM), tAlignement::Gauche, 120);
    table->InsertColumn(1, Ressources::Chaine(Ressources::IDS_COLONNE_TAILLE), tAlignement::Centre, 48);
    table->InsertColumn(2, Ressources::Chaine(Ressources::IDS_COLONNE_DATE), tAlignement::Gauche, 111);
}

void CVoletTransfert::ActiverBoutons(bool bActifs)
{
    for (unsigned id : {m_ids.nRafraichir, m_ids.nSupprFichiers, m_ids.nCreerRep, m_ids.nSupprRep,
                        m_ids.nConfirmer, m_ids.nAnnulerSuppr})
        m_dlg.Activer(id, bActifs);
}

void CVoletTransfert::ChangerEtatRangee(tEtatRangee etat)
{
    const tEtatRangee avant = m_etatRangee;
    m_etatRangee = etat;
    IFenetreDialogue* f = m_dlg.GetFenetre();
    if (avant == tEtatRangee::Normal && etat != tEtatRangee::Normal) {
        IControle* focus = f ? f->GetFocus() : nullptr;
        m_nFocusAvant = focus ? focus->GetId() : 0;
    }
    const bool bNormal = etat == tEtatRangee::Normal;
    const bool bSaisie = etat == tEtatRangee::Saisie || etat == tEtatRangee::Renommage;
    const bool bConfirmation = etat == tEtatRangee::Confirmation;
    for (unsigned id : {m_ids.nRafraichir, m_ids.nSupprFichiers, m_ids.nCreerRep, m_ids.nSupprRep})
        m_dlg.Afficher(id, bNormal);
    if (IControle* libelle = bSaisie ? Controle(m_ids.nLibelleNom) : nullptr)
        libelle->SetWindowText(Ressources::Chaine(etat == tEtatRangee::Renommage ? Ressources::IDS_NOUVEAU_NOM
                                                                                  : Ressources::IDS_NOM_NOUVEAU_REP));
    for (unsigned id : {m_ids.nLibelleNom, m_ids.nNom, m_ids.nValiderNom, m_ids.nAnnulerNom})
        m_dlg.Afficher(id, bSaisie);
    for (unsigned id : {m_ids.nConfirmer, m_ids.nAnnulerSuppr, m_ids.nQuestion})
        m_dlg.Afficher(id, bConfirmation);
    if (bSaisie)
        Focaliser(m_ids.nNom);
    else if (bConfirmation)
        Focaliser(m_ids.nAnnulerSuppr);
    else if (avant != tEtatRangee::Normal)
        Focaliser(m_dlg.Utilisable(m_nFocusAvant) ? m_nFocusAvant : m_ids.nReps);
}

void CVoletTransfert::Focaliser(unsigned nId)
{
    if (!m_dlg.Utilisable(nId))
        return;
    if (IControle* c = Controle(nId))
        c->SetFocus();
}

void CVoletTransfert::Rafraichir()
{
    m_dlg.DesactiverTout();
    Remplir();
    m_dlg.ActiverTout();
}

void CVoletTransfert::EntrerSelection()
{
    IControle* reps = Controle(m_ids.nReps);
    if (!reps || reps->GetCurSel() < 0)
        return;
    const CString strTexte = reps->GetText(reps->GetCurSel());
    m_strRep = strTexte == L"[..]" ? Parent() : CheminRepertoire(SansCrochets(strTexte));
    Remplir();
}

void CVoletTransfert::MonterAuParent()
{
    m_strRep = Parent();
    Remplir();
}

CString CVoletTransfert::SansCrochets(const CString& strTexte)
{
    if (strTexte.GetLength() < 2)
        return CString();
    return strTexte.Mid(1, strTexte.GetLength() - 2);
}

CString CVoletTransfert::RepertoireSelectionne() const
{
    IControle* liste = Controle(m_ids.nReps);
    if (!liste)
        return CString();
    const int n = liste->GetCurSel();
    if (n < 0)
        return CString();
    return SansCrochets(liste->GetText(n));
}

bool CVoletTransfert::RepertoireEstSelectionne() const
{
    IControle* liste = Controle(m_ids.nReps);
    return liste && liste->GetCurSel() >= 0;
}

void CVoletTransfert::SelectionnerRep(const CString& strNom)
{
    if (IControle* liste = Controle(m_ids.nReps))
        liste->SelectString(-1, L"[" + strNom + L"]");
}

std::vector<CString> CVoletTransfert::NomsSelectionnes() const
{
    std::vector<CString> noms;
    IControle* table = Controle(m_ids.nFichiers);
    if (!table)
        return noms;
    // The next selected row is looked up before the current one is handled.
    for (int i = table->GetNextSelected(-1); i >= 0; i = table->GetNextSelected(i))
        noms.push_back(table->GetItemText(i, 0));
    return noms;
}

int CVoletTransfert::NombreFichiersSelectionnes() const
{
    IControle* table = Controle(m_ids.nFichiers);
    return table ? table->GetSelectedCount() : 0;
}

void CVoletTransfert::SelectionnerTout()
{
    if (IControle* table = Controle(m_ids.nFichiers))
        table->SetItemSelected(-1, true);
}

void CVoletTransfert::SelectionnerFichiers(const std::vector<CString>& noms)
{
    if (IControle* liste = Controle(m_ids.nReps))
        liste->SetCurSel(-1);
    IControle* table = Controle(m_ids.nFichiers);
    if (!table)
        return;
    table->SetItemSelected(-1, false);
    for (int i = 0; i < table->GetItemCount(); ++i)
        if (std::find(noms.begin(), noms.end(), table->GetItemText(i, 0)) != noms.end())
            table->SetItemSelected(i, true);
}

bool CVoletTransfert::ContientFichier(const CString& strNom) const
{
    IControle* table = Controle(m_ids.nFichiers);
    for (int i = 0; table && i < table->GetItemCount(); ++i)
        if (table->GetItemText(i, 0) == strNom)
            return true;
    return false;
}

void CVoletTransfert::PriseFocus(unsigned nId)
{
    if (nId == m_ids.nReps) {
        if (IControle* table = Controle(m_ids.nFichiers))
            table->SetItemSelected(-1, false);
    } else if (nId == m_ids.nFichiers) {
        IControle* liste = Controle(m_ids.nReps);
        if (liste && liste->GetCurSel() >= 0) {
            liste->SetCurSel(-1);
            SelectionChangee();
        }
    }
}
