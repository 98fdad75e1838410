#include "ui/CDlgFileTransfert.h"

#include <algorithm>

#include "ftp/CFTPDirect.h"
#include "ftp/CheminDistant.h"
#include "common/Conversions.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ui/IdsControles.h"
#include "ui/PanneauLocal.h"
#include "ui/Ressources.h"

using namespace IdsControles;

CDlgFileTransfert::CDlgFileTransfert() : CDialogue(Ressources::IDD_FILE_TRANSFERT)
{
    m_strRepLocal = PanneauLocal::RepertoireParDefaut();
    m_strRepDistant = ClesProfil::DEFAUT_REP_DISTANT;
    if (auto profil = ProfilCourant()) {
        m_strRepLocal = profil->GetProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL,
                                                 m_strRepLocal.c_str());
        m_strRepDistant = profil->GetProfileString(ClesProfil::SECTION_FTPDIRECT,
                                                   ClesProfil::REP_DISTANT, ClesProfil::DEFAUT_REP_DISTANT);
    }
    m_strRepDistant = CheminDistant::Absolu(L"/", m_strRepDistant);
    // The local directory always ends with "/": names are appended to it.
    if (m_strRepLocal.IsEmpty() || m_strRepLocal.back() != L'/')
        m_strRepLocal += L'/';
}

CDlgFileTransfert::~CDlgFileTransfert() = default;

int CDlgFileTransfert::ConnexionFtp(CString strUtilisateur, CString strMotDePasse, CFTPDirect* pFtp)
{
    m_strUtilisateur = strUtilisateur;
    m_strMotDePasse = strMotDePasse;
    m_pFtp = pFtp;
    m_bConnecte = 0;
    if (m_pFtp) {
        // The log shows the login too. The trace holds the log, not the
        // dialog: a client that outlives the dialog writes nowhere harmful.
        std::shared_ptr<CJournalTransfert> journal = m_pJournal;
        m_pFtp->SetTrace([journal](const std::string& strLigne) { journal->Ajouter(Utf8ToWide(strLigne)); });
        int bConnecte = 0;
        ExecuterHorsFil([&] { bConnecte = pFtp->FtpConnexion(strUtilisateur, strMotDePasse); });
        m_bConnecte = bConnecte ? 1 : 0;
    }
    return m_bConnecte;
}

// ---------------------------------------------------------------- control helpers

void CDlgFileTransfert::Activer(unsigned nId, bool bActif)
{
    if (IControle* c = GetDlgItem(nId))
        c->EnableWindow(bActif);
}

void CDlgFileTransfert::Afficher(unsigned nId, bool bVisible)
{
    if (IControle* c = GetDlgItem(nId))
        c->ShowWindow(bVisible);
}

bool CDlgFileTransfert::EstActif(unsigned nId) const
{
    IControle* c = GetDlgItem(nId);
    return c && c->IsWindowEnabled();
}

bool CDlgFileTransfert::Utilisable(unsigned nId) const
{
    IControle* c = GetDlgItem(nId);
    return c && c->IsWindowEnabled() && c->IsWindowVisible();
}

CVoletTransfert& CDlgFileTransfert::Autre(const CVoletTransfert& volet)
{
    if (&volet == &m_voletLocal)
        return m_voletDistant;
    return m_voletLocal;
}

CVoletTransfert* CDlgFileTransfert::VoletDe(unsigned nIdListe)
{
    for (CVoletTransfert* v : {static_cast<CVoletTransfert*>(&m_voletLocal), static_cast<CVoletTransfert*>(&m_voletDistant)})
        if (nIdListe == v->Ids().nReps || nIdListe == v->Ids().nFichiers)
            return v;
    return nullptr;
}

// ---------------------------------------------------------------- lifecycle

void CDlgFileTransfert::DoDataExchange(int bSauver)
{
    IControle* champ = GetDlgItem(IDC_REP_DISTANT);
    if (!champ)
        return;
    if (bSauver)
        m_strRepDistant = champ->GetWindowText();
    else
        champ->SetWindowText(m_strRepDistant);
}

int CDlgFileTransfert::OnInitDialog()
{
    CDialogue::OnInitDialog();
    // First: the listings below already write to the log.
    InitialiserJournal();

    m_decision.SetQuestion([this](const tQuestionEcrasement& q) {
        tReponseEcrasement reponse;
        m_travail.SurFilDialogue([&] { reponse = DemanderEcrasement(q); });
        return reponse;
    });

    m_voletLocal.AjouterColonnes();
    m_voletLocal.RemplirLecteurs();
    m_voletDistant.AjouterColonnes();
    for (unsigned id : {IDC_FICHIERS_LOCAUX, IDC_FICHIERS_DISTANTS})
        if (IControle* table = GetDlgItem(id))
            table->SetIndicateurTri(m_nColonneTri, m_abSensTri[m_nColonneTri] != 0);
    RemplirListeLocale();

    if (!m_bConnecte) {
        DesactiverDistant();
        for (unsigned id : {IDC_REPS_DISTANTS, IDC_FICHIERS_DISTANTS, IDC_REP_DISTANT, IDC_VERS_DISTANT,
                            IDC_VERS_LOCAL})
            Activer(id, false);
    }

    if (IFenetreDialogue* f = GetFenetre())
        f->SetTailleMinimale(640, 480);
    PlacerControles();

    // The user starts in a list, never in a path field (typing there would
    // replace the path).
    m_voletLocal.Focaliser(IDC_FICHIERS_LOCAUX);

    // The remote pane is listed once the dialog is on screen.
    if (IFenetreDialogue* f = GetFenetre())
        f->PosterClic(IDC_RAFRAICHIR_DISTANT);
    return 1;
}

void CDlgFileTransfert::OnOK()
{
    // Enter never closes the dialog, and does nothing while an operation runs.
    if (m_travail.EnCours())
        return;
    if (m_bSaisieRepertoire) {
        IControle* nomDistant = GetDlgItem(IDC_NOM_DISTANT);
        if (nomDistant && nomDistant->IsWindowVisible())
            CreerRepDistant();
        else
            CreerRepLocal();
        return;
    }
    IFenetreDialogue* f = GetFenetre();
    IControle* focus = f ? f->GetFocus() : nullptr;
    if (!focus)
        return;
    if (focus->GetId() == IDC_REP_DISTANT) {
        ValiderRepDistant();
    } else if (CVoletTransfert* volet = VoletDe(focus->GetId())) {
        // Enter on a directory opens it, as a double-click does.
        if (focus->GetId() == volet->Ids().nReps && volet->RepertoireEstSelectionne())
            volet->EntrerSelection();
    }
}

void CDlgFileTransfert::OnCancel()
{
    // Escape or the close box while an operation runs: that operation stops,
    // the dialog stays.
    if (m_travail.EnCours()) {
        Annuler();
        return;
    }
    if (FermerQuestionOuverte())
        return;
    CDialogue::OnCancel();
}

bool CDlgFileTransfert::FermerQuestionOuverte()
{
    for (CVoletTransfert* v : {static_cast<CVoletTransfert*>(&m_voletLocal), static_cast<CVoletTransfert*>(&m_voletDistant)}) {
        switch (v->EtatRangee()) {
        case CVoletTransfert::tEtatRangee::Saisie:
        case CVoletTransfert::tEtatRangee::Renommage: FermerSaisie(*v); return true;
        case CVoletTransfert::tEtatRangee::Confirmation: v->FermerConfirmation(); return true;
        case CVoletTransfert::tEtatRangee::Normal: break;
        }
    }
    return false;
}

void CDlgFileTransfert::OnDestroy()
{
    if (!m_pFtp)
        return;
    m_pFtp->FtpDeconnexion();
    m_pFtp->SetTrace({});
    if (auto profil = ProfilCourant()) {
        profil->WriteProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL, m_strRepLocal);
        profil->WriteProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_DISTANT, m_strRepDistant);
    }
}

void CDlgFileTransfert::OnSize(int nLargeur, int /*nHauteur*/)
{
    if (nLargeur > 0)
        PlacerControles();
}

void CDlgFileTransfert::OnCommande(unsigned nId, tNotification n, int nParametre)
{
    if (m_travail.EnCours()) {
        // The front end lets only the operation's "Cancel" through; what
        // else comes now is the dialog's own posted click, kept for later.
        if (n == tNotification::Clic && nId == IDC_ANNULER_OPERATION)
            Annuler();
        else if (n == tNotification::Clic)
            m_vecClicsDifferes.push_back(nId);
        return;
    }
    switch (n) {
    case tNotification::Clic:
        switch (nId) {
        case IDC_FERMER: CDialogue::OnOK(); break;
        case IDC_ANNULER_OPERATION: Annuler(); break;
        case IDC_AFFICHER_JOURNAL: BasculerJournal(); break;
        case IDC_RAFRAICHIR_LOCAL: RafraichirLocal(); break;
        case IDC_RAFRAICHIR_DISTANT: RafraichirDistant(); break;
        case IDC_VERS_LOCAL: CopierVersLocal(); break;
        case IDC_VERS_DISTANT: CopierVersDistant(); break;
        case IDC_SUPPR_FICHIERS_LOCAUX: SupprimerFichiersLocaux(); break;
        case IDC_SUPPR_FICHIERS_DISTANTS: SupprimerFichiersDistants(); break;
        case IDC_CREER_REP_LOCAL: OuvrirSaisieRepLocal(); break;
        case IDC_CREER_REP_DISTANT: OuvrirSaisieRepDistant(); break;
        case IDC_VALIDER_NOM_LOCAL: CreerRepLocal(); break;
        case IDC_VALIDER_NOM_DISTANT: CreerRepDistant(); break;
        case IDC_ANNULER_NOM_LOCAL: FermerSaisieRepLocal(); break;
        case IDC_ANNULER_NOM_DISTANT: FermerSaisieRepDistant(); break;
        case IDC_SUPPR_REP_LOCAL: DemanderSuppressionRepLocal(); break;
        case IDC_SUPPR_REP_DISTANT: DemanderSuppressionRepDistant(); break;
        case IDC_CONFIRMER_SUPPR_LOCAL: ConfirmerSuppressionRepLocal(); break;
        case IDC_CONFIRMER_SUPPR_DISTANT: ConfirmerSuppressionRepDistant(); break;
        case IDC_ANNULER_SUPPR_LOCAL: FermerConfirmationLocale(); break;
        case IDC_ANNULER_SUPPR_DISTANT: FermerConfirmationDistante(); break;
        default: break;
        }
        break;
    case tNotification::DoubleClic:
        if (nId == IDC_REPS_LOCAUX)
            EntrerRepLocal();
        else if (nId == IDC_REPS_DISTANTS)
            EntrerRepDistant();
        break;
    case tNotification::ChangementSelection:
        if (nId == IDC_LECTEURS)
            ChangerLecteur();
        else if (CVoletTransfert* volet = VoletDe(nId))
            volet->SelectionChangee();
        break;
    case tNotification::ToucheSuppr:
    case tNotification::Touche:
    case tNotification::MenuContextuel:
    case tNotification::Depot:
        CommandeListe(nId, n, nParametre);
        break;
    case tNotification::ChangementTexte:
        if (nId == IDC_NOM_LOCAL)
            FiltrerNomLocal();
        else if (nId == IDC_NOM_DISTANT)
            FiltrerNomDistant();
        break;
    case tNotification::PriseFocus:
        m_voletLocal.PriseFocus(nId);
        m_voletDistant.PriseFocus(nId);
        break;
    case tNotification::PerteFocus:
        if (nId == IDC_REP_DISTANT)
            ValiderRepDistant();
        break;
    case tNotification::ClicEnTete:
        if (nId == IDC_FICHIERS_LOCAUX || nId == IDC_FICHIERS_DISTANTS)
            ClicEnTete(nParametre);
        break;
    }
}

// ---------------------------------------------------------------- layout and enabling

tRect CDlgFileTransfert::RectDe(unsigned nId) const
{
    IControle* c = GetDlgItem(nId);
    return c ? c->GetRect() : tRect{};
}

void CDlgFileTransfert::Placer(unsigned nId, int x, int y, int cx, int cy)
{
    if (IControle* c = GetDlgItem(nId))
        c->MoveWindow(x, y, cx, cy);
}

void CDlgFileTransfert::PlacerControles()
{
    IFenetreDialogue* f = GetFenetre();
    if (!f || !GetDlgItem(IDC_PROGRESSION))
        return;
    const tRect client = f->GetClientRect();
    const int nHautBande = PlacerJournal(client, PlacerBandeEtat(client));
    PlacerColonneCentrale(client);
    PlacerVolets(client, nHautBande);
}

int CDlgFileTransfert::PlacerBandeEtat(const tRect& client)
{
    // The status line takes the bottom, "Cancel" at its right; the two bars
    // of a copy (the file's under the left pane, the whole operation's under
    // the right one) stand just above it, each as wide as its pane.
    const int L = client.left, R = client.right, M = L + (R - L) / 2;
    const tRect annuler = RectDe(IDC_ANNULER_OPERATION);
    const int S = annuler.Hauteur();
    const int B = client.bottom - (S > 0 ? S + 4 : 0);
    Placer(IDC_ANNULER_OPERATION, R - 4 - annuler.Largeur(), B, annuler.Largeur(), S);
    Placer(IDC_ETAT_OPERATION, L + 4, B, std::max(0, R - L - annuler.Largeur() - 12), S);
    const int Hb = RectDe(IDC_PROGRESSION_FICHIER).Hauteur();
    if (Hb <= 0)
        return B;
    const int Yb = B - 2 - Hb;
    Placer(IDC_PROGRESSION_FICHIER, L + 4, Yb, std::max(0, M - 4 - (L + 4)), Hb);
    Placer(IDC_PROGRESSION, M + 4, Yb, std::max(0, R - 4 - (M + 4)), Hb);
    return Yb - 2;
}

void CDlgFileTransfert::PlacerColonneCentrale(const tRect& client)
{
    const int L = client.left, R = client.right;
    for (unsigned id : {IDC_FERMER, IDC_VERS_DISTANT, IDC_VERS_LOCAL}) {
        const tRect r = RectDe(id);
        Placer(id, L + (R - L - r.Largeur()) / 2, r.top, r.Largeur(), r.Hauteur());
    }
}

void CDlgFileTransfert::PlacerVolets(const tRect& client, int B)
{
    const int L = client.left, T = client.top, R = client.right;
    const int M = L + (R - L) / 2;
    // The middle column, as wide as "Close" with a margin, parts the upper rows.
    const int nDemiColonne = (RectDe(IDC_FERMER).Largeur() + 12) / 2 - 4;
    tZone hautG{L, T, M - nDemiColonne, B};
    tZone hautD{M + nDemiColonne, T, R, B};
    const int Y = B - 8 - RectDe(IDC_RAFRAICHIR_LOCAL).Hauteur();
    tZone listeG{L, T, M, Y}, listeD{M, T, R, Y};
    tZone rangeeG{L, Y, M, B}, rangeeD{M, Y, R, B};
    for (tZone* z : {&hautG, &hautD, &listeG, &listeD, &rangeeG, &rangeeD}) {
        z->l += 4; z->t += 4; z->r -= 4; z->b -= 4;
    }
    PlacerVoletLocal(hautG, listeG, (R - L) / 2);
    PlacerVoletDistant(hautD, listeD);
    PlacerRangee(rangeeG, m_voletLocal.Ids());
    PlacerRangee(rangeeD, m_voletDistant.Ids());
}

void CDlgFileTransfert::PlacerVoletLocal(const tZone& haut, const tZone& liste, int nMilieu)
{
    // The path field: from its label to the middle.
    const tRect lib = RectDe(IDC_LIBELLE_LOCAL);
    const tRect chemin = RectDe(IDC_REP_LOCAL);
    Placer(IDC_REP_LOCAL, lib.right, chemin.top, nMilieu - lib.right, chemin.Hauteur());
    for (unsigned id : {IDC_LECTEURS, IDC_REPS_LOCAUX}) {
        const tRect r = RectDe(id);
        Placer(id, haut.l, r.top, haut.r - haut.l, r.Hauteur());
    }
    const tRect fic = RectDe(IDC_FICHIERS_LOCAUX);
    Placer(IDC_FICHIERS_LOCAUX, liste.l, fic.top, liste.r - liste.l, liste.b - fic.top);
}

void CDlgFileTransfert::PlacerVoletDistant(const tZone& haut, const tZone& liste)
{
    const tRect lib = RectDe(IDC_LIBELLE_DISTANT);
    Placer(IDC_LIBELLE_DISTANT, haut.l, lib.top, lib.Largeur(), lib.Hauteur());
    const int nDroiteLibelle = haut.l + lib.Largeur();
    const tRect chemin = RectDe(IDC_REP_DISTANT);
    Placer(IDC_REP_DISTANT, nDroiteLibelle, chemin.top, haut.r - nDroiteLibelle, chemin.Hauteur());
    const tRect reps = RectDe(IDC_REPS_DISTANTS);
    Placer(IDC_REPS_DISTANTS, haut.l, reps.top, haut.r - haut.l, reps.Hauteur());
    const tRect fic = RectDe(IDC_FICHIERS_DISTANTS);
    Placer(IDC_FICHIERS_DISTANTS, liste.l, fic.top, liste.r - liste.l, liste.b - fic.top);
}

void CDlgFileTransfert::PlacerRangee(const tZone& z, const CVoletTransfert::tIds& ids)
{
    const int X0 = z.l, X1 = z.r, Y0 = z.t, Y1 = z.b;
    const tRect ref = RectDe(ids.nRafraichir);
    const int bw = ref.Largeur(), bh = ref.Hauteur();
    const int G = (X1 - X0 - bw) / 3;
    Placer(ids.nRafraichir, X0, Y0, bw, bh);
    Placer(ids.nConfirmer, X0, Y0, bw, bh);
    Placer(ids.nSupprFichiers, X0 + G, Y0, bw, bh);
    Placer(ids.nCreerRep, X1 - G - bw, Y0, bw, bh);
    Placer(ids.nSupprRep, X1 - bw, Y0, bw, bh);
    Placer(ids.nAnnulerSuppr, X1 - bw, Y0, bw, bh);
    const tRect lib = RectDe(ids.nLibelleNom);
    const int lw = lib.Largeur(), lh = lib.Hauteur();
    Placer(ids.nLibelleNom, X0 + bw + 4, Y0, lw, lh);
    Placer(ids.nNom, X0 + bw + 4, Y0 + lh + 4, (X1 - bw - 4) - (X0 + bw + 4), lh);
    const int ch = RectDe(ids.nAnnulerNom).Hauteur();
    // "Cancel" and "Create" share the row's height one above the other, as
    // in the template; inset by 4 pixels each they would overlap by 8 and
    // "Create" would be hidden under "Cancel".
    Placer(ids.nAnnulerNom, X1 - bw, Y0, bw, ch);
    Placer(ids.nValiderNom, X1 - bw, Y1 - ch, bw, ch);
    Placer(ids.nQuestion, X0 + bw + 4, Y0, (X1 - bw - 4) - (X0 + bw + 4), Y1 - Y0);
}

void CDlgFileTransfert::AfficherBarres(const tEtatProgression& e)
{
    constexpr int kPas = 1000;
    auto montrer = [this](unsigned nId, double dPart) {
        IControle* barre = GetDlgItem(nId);
        if (!barre)
            return;
        if (!barre->IsWindowVisible()) {
            barre->SetRange(0, kPas);
            barre->ShowWindow(true);
        }
        barre->SetPos(static_cast<int>(std::clamp(dPart, 0.0, 1.0) * kPas));
    };
    montrer(IDC_PROGRESSION, e.nOctetsTotal > 0
                                 ? static_cast<double>(e.nOctetsTraites) / static_cast<double>(e.nOctetsTotal)
                                 : static_cast<double>(e.nFichiersTraites) / e.nFichiersTotal);
    // The file's own bar: for copies, whose files have a size.
    if (m_genre != tGenre::Copie)
        return;
    double dFichier = e.bFichierEnCours ? 0.0 : 1.0;
    if (e.bFichierEnCours && e.nTailleFichier > 0)
        dFichier = static_cast<double>(e.nOctetsFichier) / static_cast<double>(e.nTailleFichier);
    montrer(IDC_PROGRESSION_FICHIER, dFichier);
}

void CDlgFileTransfert::DesactiverDistant()
{
    m_voletDistant.ActiverBoutons(false);
}

void CDlgFileTransfert::DesactiverTout()
{
    DesactiverDistant();
    m_voletLocal.ActiverBoutons(false);
    Activer(IDC_FERMER, false);
}

void CDlgFileTransfert::ActiverTout()
{
    m_voletLocal.ActiverBoutons(true);
    Activer(IDC_FERMER, true);
    if (m_bConnecte == 1)
        m_voletDistant.ActiverBoutons(true);
}

