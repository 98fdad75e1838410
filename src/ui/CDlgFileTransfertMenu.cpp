// The file transfer dialog's command keys and context menu on its lists, and
// renaming: what users of two-pane clients reach for besides the buttons.
// Each command does what its button does (same questions, same rules).

#include "ui/CDlgFileTransfert.h"

#include "ui/IdsControles.h"
#include "ui/Ressources.h"

using namespace IdsControles;

void CDlgFileTransfert::Commander(unsigned nId)
{
    // As the button would, only when the user could press it.
    if (Utilisable(nId))
        OnCommande(nId, tNotification::Clic, 0);
}

void CDlgFileTransfert::CommandeListe(unsigned nIdListe, tNotification n, int nParametre)
{
    if (nIdListe == IDC_JOURNAL) {
        CommandeJournal(n, nParametre);
        return;
    }
    switch (n) {
    case tNotification::ToucheSuppr:
        // The Delete key does what the pane's button would, if it could be pressed.
        SupprimerDepuisListe(nIdListe);
        break;
    case tNotification::Touche:
        ToucheListe(nIdListe, static_cast<tTouche>(nParametre));
        break;
    case tNotification::MenuContextuel:
        MenuListe(nIdListe);
        break;
    case tNotification::Depot:
        // Files dragged to the other pane: the copy its button makes.
        if (nIdListe == IDC_FICHIERS_DISTANTS && static_cast<unsigned>(nParametre) == IDC_FICHIERS_LOCAUX)
            Commander(IDC_VERS_DISTANT);
        else if (nIdListe == IDC_FICHIERS_LOCAUX && static_cast<unsigned>(nParametre) == IDC_FICHIERS_DISTANTS)
            Commander(IDC_VERS_LOCAL);
        break;
    default:
        break;
    }
}

void CDlgFileTransfert::SupprimerDepuisListe(unsigned nIdListe)
{
    CVoletTransfert* volet = VoletDe(nIdListe);
    if (!volet)
        return;
    if (nIdListe == volet->Ids().nFichiers && Utilisable(volet->Ids().nSupprFichiers))
        DemanderSuppressionFichiers(*volet);
    else if (nIdListe == volet->Ids().nReps && Utilisable(volet->Ids().nSupprRep))
        DemanderSuppression(*volet);
}

void CDlgFileTransfert::ToucheListe(unsigned nIdListe, tTouche touche)
{
    CVoletTransfert* volet = VoletDe(nIdListe);
    if (!volet)
        return;
    switch (touche) {
    case tTouche::F5: Commander(volet->Ids().nRafraichir); break;
    case tTouche::F7: Commander(volet->Ids().nCreerRep); break;
    case tTouche::F8: SupprimerDepuisListe(nIdListe); break;
    case tTouche::F2: OuvrirRenommage(*volet, nIdListe); break;
    case tTouche::RetourArriere:
        // Up one level, as "[..]" does; not while the row asks something.
        if (volet->EtatRangee() == CVoletTransfert::tEtatRangee::Normal && Utilisable(volet->Ids().nRafraichir))
            volet->MonterAuParent();
        break;
    case tTouche::Copier: break;  // the panes copy nothing to the clipboard
    }
}

CString CDlgFileTransfert::NomARenommer(CVoletTransfert& volet, unsigned nIdListe) const
{
    if (nIdListe == volet.Ids().nFichiers) {
        const std::vector<CString> noms = volet.NomsSelectionnes();
        return noms.size() == 1 ? noms.front() : CString();
    }
    const CString strRep = volet.RepertoireSelectionne();
    return strRep == L".." ? CString() : strRep;
}

std::vector<tEntreeMenu> CDlgFileTransfert::EntreesMenu(CVoletTransfert& volet, unsigned nIdListe)
{
    const bool bFichiers = nIdListe == volet.Ids().nFichiers;
    const bool bSelection = bFichiers ? volet.NombreFichiersSelectionnes() > 0 : !NomARenommer(volet, nIdListe).IsEmpty();
    const bool bLocal = &volet == &m_voletLocal;
    const unsigned nCopie = bLocal ? IDC_VERS_DISTANT : IDC_VERS_LOCAL;
    const unsigned nSuppr = bFichiers ? volet.Ids().nSupprFichiers : volet.Ids().nSupprRep;
    using namespace Ressources;
    std::vector<tEntreeMenu> entrees;
    if (!bFichiers)
        entrees.push_back({IDC_MENU_OUVRIR, Chaine(IDS_MENU_OUVRIR), volet.RepertoireEstSelectionne()});
    entrees.push_back({nCopie, Chaine(bLocal ? IDS_MENU_COPIER_VERS_DISTANT : IDS_MENU_COPIER_VERS_LOCAL),
                       bSelection && Utilisable(nCopie)});
    entrees.push_back({IDC_MENU_RENOMMER, Chaine(IDS_MENU_RENOMMER),
                       !NomARenommer(volet, nIdListe).IsEmpty() && Utilisable(volet.Ids().nRafraichir)});
    entrees.push_back({nSuppr, Chaine(IDS_MENU_SUPPRIMER), bSelection && Utilisable(nSuppr)});
    entrees.push_back({});
    entrees.push_back({volet.Ids().nCreerRep, Chaine(IDS_MENU_CREER_REP), Utilisable(volet.Ids().nCreerRep)});
    entrees.push_back({volet.Ids().nRafraichir, Chaine(IDS_MENU_RAFRAICHIR), Utilisable(volet.Ids().nRafraichir)});
    return entrees;
}

void CDlgFileTransfert::MenuListe(unsigned nIdListe)
{
    CVoletTransfert* volet = VoletDe(nIdListe);
    IFenetreDialogue* f = GetFenetre();
    if (!volet || !f)
        return;
    const std::vector<tEntreeMenu> entrees = EntreesMenu(*volet, nIdListe);
    const unsigned nChoix = f->MenuContextuel(entrees);
    bool bPermis = false;
    for (const tEntreeMenu& e : entrees)
        bPermis = bPermis || (e.nCommande == nChoix && e.nCommande != 0 && e.bActif);
    if (!bPermis)
        return;
    if (nChoix == IDC_MENU_OUVRIR)
        volet->EntrerSelection();
    else if (nChoix == IDC_MENU_RENOMMER)
        OuvrirRenommage(*volet, nIdListe);
    else if (nChoix == volet->Ids().nSupprRep || nChoix == volet->Ids().nSupprFichiers)
        SupprimerDepuisListe(nIdListe);
    else
        Commander(nChoix);
}

// ---------------------------------------------------------------- renaming

void CDlgFileTransfert::OuvrirRenommage(CVoletTransfert& volet, unsigned nIdListe)
{
    const CString strNom = NomARenommer(volet, nIdListe);
    if (strNom.IsEmpty() || !volet.Disponible() || !Utilisable(volet.Ids().nRafraichir))
        return;
    OuvrirSaisie(volet);
    m_strARenommer = strNom;
    volet.ChangerEtatRangee(CVoletTransfert::tEtatRangee::Renommage);
    if (IControle* champ = volet.Controle(volet.Ids().nNom)) {
        champ->SetWindowText(strNom);
        champ->SetSel(0, -1);
    }
}

void CDlgFileTransfert::Renommer(CVoletTransfert& volet)
{
    CString strNouveau;
    if (!LireNomRep(volet, strNouveau))
        return;
    const CString strAncien = m_strARenommer;
    DebutOperation();
    if (strNouveau != strAncien && !volet.Renommer(strAncien, strNouveau))
        NoterEchec(volet.CheminFichier(strAncien), volet.DerniereErreur());
    FermerSaisie(volet);
    volet.Actualiser();
    FinOperation();
    volet.Focaliser(volet.Ids().nFichiers);
}
