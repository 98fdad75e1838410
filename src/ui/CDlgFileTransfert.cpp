#include "ui/CDlgFileTransfert.h"

#include <algorithm>

#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CheminDistant.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"
#include "ui/TextesTransfert.h"

using namespace IdsControles;
using CheminDistant::EstSpecial;
using CheminDistant::NomSur;
using TextesTransfert::NomLocalSur;

namespace {

constexpr unsigned kBoutonsDistants[] = {IDC_RAFRAICHIR_DISTANT, IDC_SUPPR_FICHIERS_DISTANTS,
                                         IDC_CREER_REP_DISTANT,  IDC_SUPPR_REP_DISTANT,
                                         IDC_CONFIRMER_SUPPR_DISTANT, IDC_ANNULER_SUPPR_DISTANT};
constexpr unsigned kBoutonsLocaux[] = {IDC_RAFRAICHIR_LOCAL, IDC_SUPPR_FICHIERS_LOCAUX,
                                       IDC_CREER_REP_LOCAL,  IDC_SUPPR_REP_LOCAL,
                                       IDC_CONFIRMER_SUPPR_LOCAL, IDC_ANNULER_SUPPR_LOCAL};

// The failure message names at most this many paths; a long list would not fit a box.
constexpr size_t kEchecsNommes = 20;

CString SansCrochets(const CString& strTexte)
{
    if (strTexte.GetLength() < 2)
        return CString();
    return strTexte.Mid(1, strTexte.GetLength() - 2);
}

} // namespace

// One pane: its button row, its lists, its directory and the operations that
// differ between the file system and the instrument.
struct CDlgFileTransfert::tVolet
{
    unsigned nRafraichir, nSupprFichiers, nCreerRep, nSupprRep;
    unsigned nLibelleNom, nNom, nValiderNom, nAnnulerNom;
    unsigned nConfirmer, nAnnulerSuppr, nQuestion;
    unsigned nReps, nFichiers;
    CString CDlgFileTransfert::*pRep;
    void (CDlgFileTransfert::*pRemplir)();
    void (CDlgFileTransfert::*pFermerConfirmation)();
    bool (CDlgFileTransfert::*pSupprimerRep)(const CString&, int);
    void (CDlgFileTransfert::*pSupprimerFichiersSelectionnes)();
};

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
    if (m_pFtp)
        m_bConnecte = m_pFtp->FtpConnexion(m_strUtilisateur, m_strMotDePasse) ? 1 : 0;
    return m_bConnecte;
}

// ---------------------------------------------------------------- helpers

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

const CDlgFileTransfert::tVolet& CDlgFileTransfert::Volet(bool bDistant)
{
    static const tVolet kLocal{
        IDC_RAFRAICHIR_LOCAL,  IDC_SUPPR_FICHIERS_LOCAUX, IDC_CREER_REP_LOCAL,
        IDC_SUPPR_REP_LOCAL,   IDC_LIBELLE_NOM_LOCAL,     IDC_NOM_LOCAL,
        IDC_VALIDER_NOM_LOCAL, IDC_ANNULER_NOM_LOCAL,     IDC_CONFIRMER_SUPPR_LOCAL,
        IDC_ANNULER_SUPPR_LOCAL, IDC_QUESTION_LOCAL,
        IDC_REPS_LOCAUX, IDC_FICHIERS_LOCAUX,
        &CDlgFileTransfert::m_strRepLocal, &CDlgFileTransfert::RemplirListeLocale,
        &CDlgFileTransfert::FermerConfirmationLocale, &CDlgFileTransfert::SupprimerRepLocal,
        &CDlgFileTransfert::SupprimerFichiersLocauxSelectionnes};
    static const tVolet kDistant{
        IDC_RAFRAICHIR_DISTANT,  IDC_SUPPR_FICHIERS_DISTANTS, IDC_CREER_REP_DISTANT,
        IDC_SUPPR_REP_DISTANT,   IDC_LIBELLE_NOM_DISTANT,     IDC_NOM_DISTANT,
        IDC_VALIDER_NOM_DISTANT, IDC_ANNULER_NOM_DISTANT,     IDC_CONFIRMER_SUPPR_DISTANT,
        IDC_ANNULER_SUPPR_DISTANT, IDC_QUESTION_DISTANT,
        IDC_REPS_DISTANTS, IDC_FICHIERS_DISTANTS,
        &CDlgFileTransfert::m_strRepDistant, &CDlgFileTransfert::RemplirListeDistante,
        &CDlgFileTransfert::FermerConfirmationDistante, &CDlgFileTransfert::SupprimerRepDistant,
        &CDlgFileTransfert::SupprimerFichiersDistantsSelectionnes};
    return bDistant ? kDistant : kLocal;
}

void CDlgFileTransfert::ChangerEtatRangee(bool bDistant, tEtatRangee etat)
{
    const tVolet& r = Volet(bDistant);
    const bool bNormal = etat == tEtatRangee::Normal;
    const bool bSaisie = etat == tEtatRangee::Saisie;
    const bool bConfirmation = etat == tEtatRangee::Confirmation;
    for (unsigned id : {r.nRafraichir, r.nSupprFichiers, r.nCreerRep, r.nSupprRep})
        Afficher(id, bNormal);
    for (unsigned id : {r.nLibelleNom, r.nNom, r.nValiderNom, r.nAnnulerNom})
        Afficher(id, bSaisie);
    for (unsigned id : {r.nConfirmer, r.nAnnulerSuppr, r.nQuestion})
        Afficher(id, bConfirmation);
}

void CDlgFileTransfert::AjouterColonnes(IControle* pListe)
{
    if (!pListe)
        return;
    pListe->InsertColumn(0, Ressources::Chaine(Ressources::IDS_COLONNE_NOM), tAlignement::Gauche, 120);
    pListe->InsertColumn(1, Ressources::Chaine(Ressources::IDS_COLONNE_TAILLE), tAlignement::Centre, 48);
    pListe->InsertColumn(2, Ressources::Chaine(Ressources::IDS_COLONNE_DATE), tAlignement::Gauche, 111);
}

CString CDlgFileTransfert::RepertoireSelectionne(unsigned nIdListe) const
{
    IControle* liste = GetDlgItem(nIdListe);
    if (!liste)
        return CString();
    const int n = liste->GetCurSel();
    if (n < 0)
        return CString();
    return SansCrochets(liste->GetText(n));
}

std::vector<CString> CDlgFileTransfert::NomsSelectionnes(unsigned nIdTable) const
{
    std::vector<CString> noms;
    IControle* table = GetDlgItem(nIdTable);
    if (!table)
        return noms;
    // The next selected row is looked up before the current one is handled.
    for (int i = table->GetNextSelected(-1); i >= 0; i = table->GetNextSelected(i))
        noms.push_back(table->GetItemText(i, 0));
    return noms;
}

void CDlgFileTransfert::SelectionnerTout(unsigned nIdTable)
{
    if (IControle* table = GetDlgItem(nIdTable))
        table->SetItemSelected(-1, true);
}

void CDlgFileTransfert::SelectionnerRep(unsigned nIdListe, const CString& strNom)
{
    if (IControle* reps = GetDlgItem(nIdListe))
        reps->SelectString(-1, L"[" + strNom + L"]");
}

bool CDlgFileTransfert::EntrerVolet(bool bDistant, const CString& strChemin)
{
    const tVolet& v = Volet(bDistant);
    this->*v.pRep = strChemin;
    (this->*v.pRemplir)();
    if (this->*v.pRep == strChemin)
        return true;
    NoterEchec(strChemin);
    return false;
}

std::vector<CString> CDlgFileTransfert::SousRepertoires(bool bDistant) const
{
    if (bDistant)
        return m_vecRepsDistants;
    std::vector<CString> sousReps;
    for (const CString& nom : m_contenuLocal.m_vecRepertoires)
        if (!EstSpecial(nom))
            sousReps.push_back(nom);
    return sousReps;
}

void CDlgFileTransfert::Restaurer(const CString& strRepLocal, const CString& strRepDistant)
{
    m_strRepDistant = strRepDistant;
    RemplirListeDistante();
    m_strRepLocal = strRepLocal;
    RemplirListeLocale();
}

void CDlgFileTransfert::NoterEchec(const CString& strChemin)
{
    m_vecEchecs.push_back(strChemin);
}

void CDlgFileTransfert::DebutOperation()
{
    if (m_nOperations++ == 0)
        m_vecEchecs.clear();
}

void CDlgFileTransfert::FinOperation()
{
    if (--m_nOperations > 0 || m_vecEchecs.empty())
        return;
    CString strTexte = Ressources::Chaine(Ressources::IDS_ECHECS_TRANSFERT);
    for (size_t i = 0; i < m_vecEchecs.size() && i < kEchecsNommes; ++i)
        strTexte += L"\n" + m_vecEchecs[i];
    if (m_vecEchecs.size() > kEchecsNommes) {
        CString strSuite;
        strSuite.Format(L"\n(+%d)", static_cast<int>(m_vecEchecs.size() - kEchecsNommes));
        strTexte += strSuite;
    }
    m_vecEchecs.clear();
    MessageBox(strTexte, tBoutonsMessage::Ok);
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

    AjouterColonnes(GetDlgItem(IDC_FICHIERS_LOCAUX));

    if (IControle* lecteurs = GetDlgItem(IDC_LECTEURS)) {
        lecteurs->ResetContent();
        for (const CString& s : PanneauLocal::Lecteurs())
            lecteurs->AddString(s);
        lecteurs->SetCurSel(0);
    }
    RemplirListeLocale();

    AjouterColonnes(GetDlgItem(IDC_FICHIERS_DISTANTS));

    if (!m_bConnecte) {
        DesactiverDistant();
        for (unsigned id : {IDC_REPS_DISTANTS, IDC_FICHIERS_DISTANTS, IDC_REP_DISTANT, IDC_VERS_DISTANT,
                            IDC_VERS_LOCAL})
            Activer(id, false);
    }

    if (IFenetreDialogue* f = GetFenetre())
        f->SetTailleMinimale(640, 480);
    PlacerControles();

    // The remote pane is listed once the dialog is on screen.
    if (IFenetreDialogue* f = GetFenetre())
        f->PosterClic(IDC_RAFRAICHIR_DISTANT);
    return 1;
}

void CDlgFileTransfert::OnOK()
{
    // Enter never closes the dialog.
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
    if (focus && focus->GetId() == IDC_REP_DISTANT)
        ValiderRepDistant();
}

void CDlgFileTransfert::OnDestroy()
{
    if (!m_pFtp)
        return;
    m_pFtp->FtpDeconnexion();
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
    switch (n) {
    case tNotification::Clic:
        switch (nId) {
        case IDC_FERMER: CDialogue::OnOK(); break;
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
        break;
    case tNotification::ChangementTexte:
        if (nId == IDC_NOM_LOCAL)
            FiltrerNomLocal();
        else if (nId == IDC_NOM_DISTANT)
            FiltrerNomDistant();
        break;
    case tNotification::PriseFocus:
        // Within a pane, either a directory or files are selected, never both.
        for (bool bDistant : {false, true}) {
            const tVolet& v = Volet(bDistant);
            if (nId == v.nReps) {
                if (IControle* t = GetDlgItem(v.nFichiers)) t->SetItemSelected(-1, false);
            } else if (nId == v.nFichiers) {
                if (IControle* l = GetDlgItem(v.nReps)) l->SetCurSel(-1);
            }
        }
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

void CDlgFileTransfert::PlacerControles()
{
    IControle* progression = GetDlgItem(IDC_PROGRESSION);
    IFenetreDialogue* f = GetFenetre();
    if (!progression || !f)
        return;

    struct tZone { int l, t, r, b; };
    auto deplacer = [](IControle* c, int x, int y, int cx, int cy) {
        if (c) c->MoveWindow(x, y, cx, cy);
    };
    auto rect = [this](unsigned id) { IControle* c = GetDlgItem(id); return c ? c->GetRect() : tRect{}; };

    const tRect client = f->GetClientRect();
    const int L = client.left, T = client.top, R = client.right, B = client.bottom;
    (void)T;
    const int M = L + (R - L) / 2;
    const int Pw = progression->GetRect().Largeur();

    tZone hautG{L, T, M - (Pw / 2 - 4), B};
    tZone hautD{M + (Pw / 2 - 4), T, R, B};
    const int H = rect(IDC_RAFRAICHIR_LOCAL).Hauteur();
    const int Y = B - 8 - H;
    tZone listeG{L, T, M, Y}, listeD{M, T, R, Y};
    tZone rangeeG{L, Y, M, B}, rangeeD{M, Y, R, B};
    for (tZone* z : {&hautG, &hautD, &listeG, &listeD, &rangeeG, &rangeeD}) {
        z->l += 4; z->t += 4; z->r -= 4; z->b -= 4;
    }

    // Local path field: from its label to the middle.
    {
        const tRect lib = rect(IDC_LIBELLE_LOCAL);
        const tRect r = rect(IDC_REP_LOCAL);
        deplacer(GetDlgItem(IDC_REP_LOCAL), lib.right, r.top, (R - L) / 2 - lib.right, r.Hauteur());
    }
    for (unsigned id : {IDC_LECTEURS, IDC_REPS_LOCAUX}) {
        const tRect r = rect(id);
        deplacer(GetDlgItem(id), hautG.l, r.top, hautG.r - hautG.l, r.Hauteur());
    }
    {
        const tRect r = rect(IDC_FICHIERS_LOCAUX);
        deplacer(GetDlgItem(IDC_FICHIERS_LOCAUX), listeG.l, r.top, listeG.r - listeG.l, listeG.b - r.top);
    }
    {
        const tRect lib = rect(IDC_LIBELLE_DISTANT);
        deplacer(GetDlgItem(IDC_LIBELLE_DISTANT), hautD.l, lib.top, lib.Largeur(), lib.Hauteur());
        const int nDroiteLibelle = hautD.l + lib.Largeur();
        const tRect r = rect(IDC_REP_DISTANT);
        deplacer(GetDlgItem(IDC_REP_DISTANT), nDroiteLibelle, r.top, hautD.r - nDroiteLibelle, r.Hauteur());
        const tRect reps = rect(IDC_REPS_DISTANTS);
        deplacer(GetDlgItem(IDC_REPS_DISTANTS), hautD.l, reps.top, hautD.r - hautD.l, reps.Hauteur());
        const tRect fic = rect(IDC_FICHIERS_DISTANTS);
        deplacer(GetDlgItem(IDC_FICHIERS_DISTANTS), listeD.l, fic.top, listeD.r - listeD.l, listeD.b - fic.top);
    }
    for (unsigned id : {IDC_FERMER, IDC_VERS_DISTANT, IDC_VERS_LOCAL, IDC_PROGRESSION}) {
        const tRect r = rect(id);
        deplacer(GetDlgItem(id), L + (R - L - r.Largeur()) / 2, r.top, r.Largeur(), r.Hauteur());
    }

    auto placerRangee = [&](const tZone& z, const tVolet& ids) {
        const int X0 = z.l, X1 = z.r, Y0 = z.t, Y1 = z.b;
        const tRect ref = rect(ids.nRafraichir);
        const int bw = ref.Largeur(), bh = ref.Hauteur();
        const int G = (X1 - X0 - bw) / 3;
        deplacer(GetDlgItem(ids.nRafraichir), X0, Y0, bw, bh);
        deplacer(GetDlgItem(ids.nConfirmer), X0, Y0, bw, bh);
        deplacer(GetDlgItem(ids.nSupprFichiers), X0 + G, Y0, bw, bh);
        deplacer(GetDlgItem(ids.nCreerRep), X1 - G - bw, Y0, bw, bh);
        deplacer(GetDlgItem(ids.nSupprRep), X1 - bw, Y0, bw, bh);
        deplacer(GetDlgItem(ids.nAnnulerSuppr), X1 - bw, Y0, bw, bh);
        const tRect lib = rect(ids.nLibelleNom);
        const int lw = lib.Largeur(), lh = lib.Hauteur();
        deplacer(GetDlgItem(ids.nLibelleNom), X0 + bw + 4, Y0, lw, lh);
        deplacer(GetDlgItem(ids.nNom), X0 + bw + 4, Y0 + lh + 4, (X1 - bw - 4) - (X0 + bw + 4), lh);
        const int ch = rect(ids.nAnnulerNom).Hauteur();
        // "Cancel" and "Create" share the row's height one above the other, as
        // in the template; inset by 4 pixels each they would overlap by 8 and
        // "Create" would be hidden under "Cancel".
        deplacer(GetDlgItem(ids.nAnnulerNom), X1 - bw, Y0, bw, ch);
        deplacer(GetDlgItem(ids.nValiderNom), X1 - bw, Y1 - ch, bw, ch);
        deplacer(GetDlgItem(ids.nQuestion), X0 + bw + 4, Y0, (X1 - bw - 4) - (X0 + bw + 4), Y1 - Y0);
    };
    placerRangee(rangeeG, Volet(false));
    placerRangee(rangeeD, Volet(true));
}

void CDlgFileTransfert::DesactiverDistant()
{
    for (unsigned id : kBoutonsDistants)
        Activer(id, false);
}

void CDlgFileTransfert::DesactiverTout()
{
    DesactiverDistant();
    for (unsigned id : kBoutonsLocaux)
        Activer(id, false);
    Activer(IDC_FERMER, false);
}

void CDlgFileTransfert::ActiverTout()
{
    for (unsigned id : kBoutonsLocaux)
        Activer(id, true);
    Activer(IDC_FERMER, true);
    if (m_bConnecte == 1)
        for (unsigned id : kBoutonsDistants)
            Activer(id, true);
}

// ---------------------------------------------------------------- panes

void CDlgFileTransfert::RemplirListeLocale()
{
    IControle* reps = GetDlgItem(IDC_REPS_LOCAUX);
    IControle* table = GetDlgItem(IDC_FICHIERS_LOCAUX);
    if (reps) reps->ResetContent();
    if (table) table->DeleteAllItems();

    // A directory that cannot be listed gives way to home, then to "/".
    PanneauLocal::ListerAvecRepli(m_strRepLocal, m_contenuLocal);

    if (IControle* lecteurs = GetDlgItem(IDC_LECTEURS))
        lecteurs->SelectString(-1, PanneauLocal::LecteurDe(m_strRepLocal));
    if (reps)
        for (const CString& nom : m_contenuLocal.m_vecRepertoires)
            reps->AddString(L"[" + nom + L"]");
    if (table) {
        for (const auto& f : m_contenuLocal.m_vecFichiers) {
            const int n = table->InsertItem(table->GetItemCount(), f.m_strNom);
            if (n < 0)
                continue;
            table->SetItemText(n, 1, TextesTransfert::TexteTaille(f.m_nTaille));
            table->SetItemText(n, 2, f.m_strDate);
        }
        TrierListe(m_nColonneTri, table);
        table->UpdateWindow();
    }
    if (reps) reps->UpdateWindow();
    if (IControle* champ = GetDlgItem(IDC_REP_LOCAL))
        champ->SetWindowText(m_strRepLocal);
}

void CDlgFileTransfert::RemplirListeDistante()
{
    if (!m_pFtp)
        return;
    CListeFichiersFtp liste;
    m_pFtp->GetDir(&m_strRepDistant, liste, 1);

    IControle* reps = GetDlgItem(IDC_REPS_DISTANTS);
    IControle* table = GetDlgItem(IDC_FICHIERS_DISTANTS);
    if (reps) reps->ResetContent();
    if (table) table->DeleteAllItems();
    m_vecRepsDistants.clear();

    if (reps && m_strRepDistant != L"/")
        reps->AddString(L"[..]");
    for (int i = 0; i < liste.m_nNombre; ++i) {
        const tInfosFichierFtp& e = liste.m_pElements[i];
        // A name that cannot be one path component is never shown: the user
        // could not act on it without it turning into another path.
        if (!NomSur(e.m_strNom) && !EstSpecial(e.m_strNom))
            continue;
        const bool bSansAttribut = e.m_strAttributs.IsEmpty();
        const bool bRepertoire = bSansAttribut || e.m_strAttributs.Find(L'd') >= 0;
        if (bRepertoire) {
            if (!bSansAttribut && EstSpecial(e.m_strNom))
                continue;
            if (reps) reps->AddString(L"[" + e.m_strNom + L"]");
            m_vecRepsDistants.push_back(e.m_strNom);
            continue;
        }
        if (!table)
            continue;
        const int n = table->InsertItem(table->GetItemCount(), e.m_strNom);
        if (n >= 0 && !m_bTransfertEnCours) {
            table->SetItemText(n, 1, TextesTransfert::TexteTaille(e.m_nTaille));
            table->SetItemText(n, 2, e.m_strDate);
        }
    }
    if (reps) reps->UpdateWindow();
    if (table) {
        if (!m_bTransfertEnCours)
            TrierListe(m_nColonneTri, table);
        table->UpdateWindow();
    }
    if (IControle* champ = GetDlgItem(IDC_REP_DISTANT)) {
        champ->SetWindowText(m_strRepDistant);
        champ->UpdateWindow();
    }
}

void CDlgFileTransfert::ChangerLecteur()
{
    IControle* lecteurs = GetDlgItem(IDC_LECTEURS);
    if (!lecteurs)
        return;
    const int n = lecteurs->GetCurSel();
    if (n < 0)
        return;
    m_strRepLocal = PanneauLocal::RepertoireDuLecteur(lecteurs->GetText(n));
    RemplirListeLocale();
}

void CDlgFileTransfert::EntrerRepLocal()
{
    IControle* reps = GetDlgItem(IDC_REPS_LOCAUX);
    if (!reps || reps->GetCurSel() < 0)
        return;
    const CString strTexte = reps->GetText(reps->GetCurSel());
    if (strTexte == L"[..]")
        m_strRepLocal = PanneauLocal::Parent(m_strRepLocal);
    else
        m_strRepLocal += SansCrochets(strTexte) + L"/";
    RemplirListeLocale();
}

void CDlgFileTransfert::EntrerRepDistant()
{
    IControle* reps = GetDlgItem(IDC_REPS_DISTANTS);
    if (!reps || reps->GetCurSel() < 0)
        return;
    const CString strTexte = reps->GetText(reps->GetCurSel());
    if (strTexte == L"[..]") {
        m_strRepDistant = CheminDistant::Parent(m_strRepDistant);
    } else {
        m_strRepDistant = CheminDistant::Joindre(m_strRepDistant, SansCrochets(strTexte));
    }
    RemplirListeDistante();
}

void CDlgFileTransfert::RafraichirLocal()
{
    DesactiverTout();
    RemplirListeLocale();
    ActiverTout();
}

void CDlgFileTransfert::RafraichirDistant()
{
    DesactiverTout();
    RemplirListeDistante();
    ActiverTout();
}

void CDlgFileTransfert::ValiderRepDistant()
{
    const CString strAvant = m_strRepDistant;
    UpdateData(1);
    // The remote directory is always held absolute and without a final "/":
    // a relative text would be resolved against wherever the connection
    // happens to stand, and going up from "/a/" would stay in /a.
    const CString strTape = m_strRepDistant;
    m_strRepDistant = CheminDistant::Absolu(strAvant, m_strRepDistant);
    if (m_strRepDistant != strAvant)
        RemplirListeDistante();
    else if (strTape != m_strRepDistant)
        UpdateData(0);
}

// ---------------------------------------------------------------- progress

void CDlgFileTransfert::DebutProgression(int nTotal)
{
    IControle* barre = GetDlgItem(IDC_PROGRESSION);
    if (!barre)
        return;
    barre->ShowWindow(true);
    barre->SetRange(0, nTotal);
    barre->SetPos(0);
}

void CDlgFileTransfert::AvancerProgression(int nFaits)
{
    if (IControle* barre = GetDlgItem(IDC_PROGRESSION))
        barre->SetPos(nFaits);
}

void CDlgFileTransfert::FinProgression()
{
    Afficher(IDC_PROGRESSION, false);
}

// ---------------------------------------------------------------- single-level work

void CDlgFileTransfert::ParcourirSelection(unsigned nIdTable,
                                           const std::function<void(const CString&)>& traiter)
{
    const std::vector<CString> noms = NomsSelectionnes(nIdTable);
    DebutProgression(static_cast<int>(noms.size()));
    int nFaits = 0;
    for (const CString& nom : noms) {
        traiter(nom);
        AvancerProgression(++nFaits);
    }
    FinProgression();
}

void CDlgFileTransfert::CopierFichiersDistantsSelectionnes()
{
    ParcourirSelection(IDC_FICHIERS_DISTANTS, [this](const CString& nom) {
        const CString strDistant = CheminDistant::Joindre(m_strRepDistant, nom);
        if (!NomSur(nom) || !m_pFtp->GetFile(strDistant, m_strRepLocal + nom))
            NoterEchec(strDistant);
    });
}

void CDlgFileTransfert::CopierFichiersLocauxSelectionnes()
{
    ParcourirSelection(IDC_FICHIERS_LOCAUX, [this](const CString& nom) {
        // A local name that is not one remote component ("a\b") is not sent.
        if (!NomSur(nom) ||
            !m_pFtp->PutFile(m_strRepLocal + nom, CheminDistant::Joindre(m_strRepDistant, nom)))
            NoterEchec(m_strRepLocal + nom);
    });
}

void CDlgFileTransfert::SupprimerFichiersLocauxSelectionnes()
{
    ParcourirSelection(IDC_FICHIERS_LOCAUX, [this](const CString& nom) {
        if (!NomLocalSur(nom) || !PanneauLocal::SupprimerFichier(m_strRepLocal + nom))
            NoterEchec(m_strRepLocal + nom);
    });
}

void CDlgFileTransfert::SupprimerFichiersDistantsSelectionnes()
{
    ParcourirSelection(IDC_FICHIERS_DISTANTS, [this](const CString& nom) {
        const CString strDistant = CheminDistant::Joindre(m_strRepDistant, nom);
        if (!NomSur(nom) || !m_pFtp->DelFile(strDistant))
            NoterEchec(strDistant);
    });
}

// ---------------------------------------------------------------- copies

void CDlgFileTransfert::CopierVersLocal()
{
    if (!m_pFtp)
        return;
    DebutOperation();
    Activer(IDC_VERS_DISTANT, false);

    const CString strRep = RepertoireSelectionne(IDC_REPS_DISTANTS);
    if (!strRep.IsEmpty() && strRep != L"..") {
        DesactiverTout();
        m_bTransfertEnCours = 1;
        CopierRepDistantVersLocal(strRep, 0);
        m_bTransfertEnCours = 0;
        RemplirListeLocale();
        RemplirListeDistante();
        ActiverTout();
    }
    IControle* table = GetDlgItem(IDC_FICHIERS_DISTANTS);
    if (table && table->GetSelectedCount() > 0) {
        DesactiverTout();
        CopierFichiersDistantsSelectionnes();
        RemplirListeLocale();
        FinProgression();
        ActiverTout();
    }

    Activer(IDC_VERS_DISTANT, true);
    FinOperation();
}

void CDlgFileTransfert::CopierVersDistant()
{
    if (!m_pFtp)
        return;
    DebutOperation();
    Activer(IDC_VERS_LOCAL, false);

    const CString strRep = RepertoireSelectionne(IDC_REPS_LOCAUX);
    if (!strRep.IsEmpty() && strRep != L"..") {
        DesactiverTout();
        m_bTransfertEnCours = 1;
        // The directory the user stands in is part of the chain: a link back
        // to it would copy the tree into itself.
        std::vector<CString> chaine{PanneauLocal::Canonique(m_strRepLocal)};
        CopierRepLocalVersDistant(strRep, 0, chaine);
        m_bTransfertEnCours = 0;
        RemplirListeDistante();
        ActiverTout();
    }
    IControle* table = GetDlgItem(IDC_FICHIERS_LOCAUX);
    if (table && table->GetSelectedCount() > 0) {
        DesactiverTout();
        CopierFichiersLocauxSelectionnes();
        if (!m_bTransfertEnCours)
            RemplirListeDistante();
        FinProgression();
        ActiverTout();
    }

    Activer(IDC_VERS_LOCAL, true);
    FinOperation();
}

void CDlgFileTransfert::CopierRepDistantVersLocal(CString strNom)
{
    if (!m_pFtp)
        return;
    DebutOperation();
    CopierRepDistantVersLocal(strNom, 0);
    FinOperation();
}

void CDlgFileTransfert::CopierRepLocalVersDistant(CString strNom)
{
    if (!m_pFtp)
        return;
    DebutOperation();
    std::vector<CString> chaine{PanneauLocal::Canonique(m_strRepLocal)};
    CopierRepLocalVersDistant(strNom, 0, chaine);
    FinOperation();
}

bool CDlgFileTransfert::CopierRepDistantVersLocal(const CString& strNom, int nProfondeur)
{
    const CString strRepLocal = m_strRepLocal;
    const CString strRepDistant = m_strRepDistant;
    if (EstSpecial(strNom))
        return true;
    const CString strCheminDistant = CheminDistant::Joindre(strRepDistant, strNom);
    const CString strCheminLocal = strRepLocal + strNom + L"/";
    if (!m_pFtp || !NomSur(strNom) || nProfondeur >= m_nProfondeurMax) {
        NoterEchec(strCheminDistant);
        return false;
    }

    // Both panes must stand where the copy expects them: a fallback (the
    // listing's root, the local home) is never written to.
    if (!EntrerVolet(true, strCheminDistant)) {
        Restaurer(strRepLocal, strRepDistant);
        return false;
    }
    // Made once the remote side could be entered. An existing directory of
    // that name is merged into; anything else that cannot be made a
    // directory stops this branch when the pane cannot enter it.
    if (!PanneauLocal::EstRepertoire(strCheminLocal))
        PanneauLocal::CreerRepertoire(strCheminLocal);
    if (!EntrerVolet(false, strCheminLocal)) {
        Restaurer(strRepLocal, strRepDistant);
        return false;
    }

    SelectionnerTout(IDC_FICHIERS_DISTANTS);
    CopierFichiersDistantsSelectionnes();
    RemplirListeLocale();

    // The refills of the nested calls replace the list: walk a copy of it.
    for (const CString& nom : SousRepertoires(true)) {
        DesactiverTout();
        SelectionnerRep(IDC_REPS_DISTANTS, nom);
        CopierRepDistantVersLocal(nom, nProfondeur + 1);
    }
    DesactiverTout();
    Restaurer(strRepLocal, strRepDistant);
    return true;
}

bool CDlgFileTransfert::CopierRepLocalVersDistant(const CString& strNom, int nProfondeur,
                                                  std::vector<CString>& chaine)
{
    const CString strRepLocal = m_strRepLocal;
    const CString strRepDistant = m_strRepDistant;
    if (EstSpecial(strNom))
        return true;
    const CString strCheminLocal = strRepLocal + strNom + L"/";
    const CString strCheminDistant = CheminDistant::Joindre(strRepDistant, strNom);
    if (!m_pFtp || !NomSur(strNom) || nProfondeur >= m_nProfondeurMax) {
        NoterEchec(strCheminLocal);
        return false;
    }
    // A link back to a directory being copied would never end.
    const CString strCanonique = PanneauLocal::Canonique(strCheminLocal);
    if (strCanonique.IsEmpty() ||
        std::find(chaine.begin(), chaine.end(), strCanonique) != chaine.end()) {
        NoterEchec(strCheminLocal);
        return false;
    }

    // Refused when it exists already: the copy then merges into it.
    m_pFtp->MakeDir(strNom, strRepDistant);

    if (!EntrerVolet(true, strCheminDistant) || !EntrerVolet(false, strCheminLocal)) {
        Restaurer(strRepLocal, strRepDistant);
        return false;
    }

    SelectionnerTout(IDC_FICHIERS_LOCAUX);
    CopierFichiersLocauxSelectionnes();

    chaine.push_back(strCanonique);
    for (const CString& nom : SousRepertoires(false)) {
        DesactiverTout();
        SelectionnerRep(IDC_REPS_LOCAUX, nom);
        CopierRepLocalVersDistant(nom, nProfondeur + 1, chaine);
    }
    chaine.pop_back();
    DesactiverTout();
    Restaurer(strRepLocal, strRepDistant);
    return true;
}

// ---------------------------------------------------------------- file deletion

void CDlgFileTransfert::SupprimerFichiersLocaux()
{
    IControle* table = GetDlgItem(IDC_FICHIERS_LOCAUX);
    if (!table || table->GetSelectedCount() <= 0)
        return;
    DebutOperation();
    DesactiverTout();
    SupprimerFichiersLocauxSelectionnes();
    RemplirListeLocale();
    FinProgression();
    ActiverTout();
    FinOperation();
}

void CDlgFileTransfert::SupprimerFichiersDistants()
{
    IControle* table = GetDlgItem(IDC_FICHIERS_DISTANTS);
    if (!m_pFtp || !table || table->GetSelectedCount() <= 0)
        return;
    DebutOperation();
    DesactiverTout();
    SupprimerFichiersDistantsSelectionnes();
    if (!m_bTransfertEnCours)
        RemplirListeDistante();
    FinProgression();
    ActiverTout();
    FinOperation();
}

// ---------------------------------------------------------------- name entry

void CDlgFileTransfert::OuvrirSaisie(bool bDistant)
{
    // One entry at a time: the other pane's closes first.
    if (m_bSaisieRepertoire) {
        IControle* autre = GetDlgItem(Volet(!bDistant).nNom);
        if (autre && autre->IsWindowVisible())
            FermerSaisie(!bDistant);
    }
    m_bSaisieRepertoire = 1;
    IControle* champ = GetDlgItem(Volet(bDistant).nNom);
    if (champ) champ->SetWindowText(CString());
    ChangerEtatRangee(bDistant, tEtatRangee::Saisie);
    if (champ) champ->SetFocus();
}

void CDlgFileTransfert::FermerSaisie(bool bDistant)
{
    m_bSaisieRepertoire = 0;
    ChangerEtatRangee(bDistant, tEtatRangee::Normal);
}

void CDlgFileTransfert::OuvrirSaisieRepLocal()
{
    OuvrirSaisie(false);
}

void CDlgFileTransfert::OuvrirSaisieRepDistant()
{
    OuvrirSaisie(true);
}

void CDlgFileTransfert::FermerSaisieRepLocal()
{
    FermerSaisie(false);
}

void CDlgFileTransfert::FermerSaisieRepDistant()
{
    FermerSaisie(true);
}

int CDlgFileTransfert::NomRepValide(CString strNom)
{
    return TextesTransfert::NomRepertoireValide(strNom) ? 1 : 0;
}

namespace {

// Cuts the field back to its longest valid beginning. Setting the text reports
// a change again, which then finds a valid (or empty) text and stops.
void Filtrer(IControle* champ)
{
    if (!champ)
        return;
    CString s = champ->GetWindowText();
    if (s.IsEmpty() || TextesTransfert::NomRepertoireValide(s))
        return;
    while (!s.IsEmpty() && !TextesTransfert::NomRepertoireValide(s))
        s.pop_back();
    champ->SetWindowText(s);
    champ->SetSel(-1, -1);
}

} // namespace

void CDlgFileTransfert::FiltrerNomLocal()
{
    Filtrer(GetDlgItem(IDC_NOM_LOCAL));
}

void CDlgFileTransfert::FiltrerNomDistant()
{
    Filtrer(GetDlgItem(IDC_NOM_DISTANT));
}

bool CDlgFileTransfert::LireNomRep(bool bDistant, CString& strNom)
{
    IControle* champ = GetDlgItem(Volet(bDistant).nNom);
    strNom = champ ? champ->GetWindowText() : CString();
    if (NomRepValide(strNom))
        return true;
    MessageBox(Ressources::IDS_NOM_REPERTOIRE_INVALIDE, tBoutonsMessage::Ok);
    if (champ) champ->SetFocus();
    return false;
}

void CDlgFileTransfert::CreerRepLocal()
{
    CString strNom;
    if (!LireNomRep(false, strNom))
        return;
    PanneauLocal::CreerRepertoire(m_strRepLocal + strNom);
    FermerSaisieRepLocal();
    RemplirListeLocale();
}

void CDlgFileTransfert::CreerRepDistant()
{
    CString strNom;
    if (!m_pFtp || !LireNomRep(true, strNom))
        return;
    m_pFtp->MakeDir(strNom, m_strRepDistant);
    FermerSaisieRepDistant();
    if (!m_bTransfertEnCours)
        RemplirListeDistante();
}

// ---------------------------------------------------------------- directory removal

void CDlgFileTransfert::DemanderSuppression(bool bDistant)
{
    const CString strRep = RepertoireSelectionne(Volet(bDistant).nReps);
    if (!strRep.IsEmpty() && strRep != L"..")
        ChangerEtatRangee(bDistant, tEtatRangee::Confirmation);
}

void CDlgFileTransfert::DemanderSuppressionRepLocal()
{
    DemanderSuppression(false);
}

void CDlgFileTransfert::DemanderSuppressionRepDistant()
{
    DemanderSuppression(true);
}

void CDlgFileTransfert::FermerConfirmationLocale()
{
    ChangerEtatRangee(false, tEtatRangee::Normal);
}

void CDlgFileTransfert::FermerConfirmationDistante()
{
    ChangerEtatRangee(true, tEtatRangee::Normal);
    Activer(IDC_CONFIRMER_SUPPR_DISTANT, true);
    Activer(IDC_ANNULER_SUPPR_DISTANT, true);
}

void CDlgFileTransfert::ConfirmerSuppression(bool bDistant)
{
    const tVolet& v = Volet(bDistant);
    IControle* reps = GetDlgItem(v.nReps);
    if (!reps || reps->GetCurSel() < 0)
        return;
    const CString strRep = RepertoireSelectionne(v.nReps);
    DebutOperation();
    DesactiverTout();
    const bool bVersDistant = EstActif(IDC_VERS_DISTANT), bVersLocal = EstActif(IDC_VERS_LOCAL);
    Activer(IDC_VERS_DISTANT, false);
    Activer(IDC_VERS_LOCAL, false);
    if (strRep != L"..") {
        m_bTransfertEnCours = 1;
        (this->*v.pSupprimerRep)(strRep, 0);
        m_bTransfertEnCours = 0;
        (this->*v.pRemplir)();
        (this->*v.pFermerConfirmation)();
    }
    Activer(IDC_VERS_DISTANT, bVersDistant);
    Activer(IDC_VERS_LOCAL, bVersLocal);
    ActiverTout();
    FinOperation();
}

void CDlgFileTransfert::ConfirmerSuppressionRepLocal()
{
    ConfirmerSuppression(false);
}

void CDlgFileTransfert::ConfirmerSuppressionRepDistant()
{
    ConfirmerSuppression(true);
}

void CDlgFileTransfert::SupprimerRepLocal(CString strNom)
{
    DebutOperation();
    SupprimerRepLocal(strNom, 0);
    FinOperation();
}

void CDlgFileTransfert::SupprimerRepDistant(CString strNom)
{
    DebutOperation();
    SupprimerRepDistant(strNom, 0);
    FinOperation();
}

bool CDlgFileTransfert::ViderRepertoire(bool bDistant, const CString& strChemin, int nProfondeur)
{
    const tVolet& v = Volet(bDistant);
    const CString strRep = this->*v.pRep;
    if (!EntrerVolet(bDistant, strChemin)) {
        // The pane fell back elsewhere (local: home or "/", remote: the root):
        // nothing there is ours to delete.
        this->*v.pRep = strRep;
        (this->*v.pRemplir)();
        return false;
    }

    Activer(IDC_VERS_DISTANT, false);
    Activer(IDC_VERS_LOCAL, false);
    SelectionnerTout(v.nFichiers);
    (this->*v.pSupprimerFichiersSelectionnes)();
    (this->*v.pRemplir)();
    DesactiverTout();

    // Each subdirectory is tried once: one that survives its removal does not
    // hold the walk.
    for (const CString& nom : SousRepertoires(bDistant)) {
        SelectionnerRep(v.nReps, nom);
        (this->*v.pSupprimerRep)(nom, nProfondeur + 1);
        DesactiverTout();
    }
    this->*v.pRep = strRep;
    return true;
}

bool CDlgFileTransfert::SupprimerRepLocal(const CString& strNom, int nProfondeur)
{
    const CString strRep = m_strRepLocal;
    if (EstSpecial(strNom))
        return true;
    const CString strChemin = strRep + strNom + L"/";
    if (!NomLocalSur(strNom) || nProfondeur >= m_nProfondeurMax) {
        NoterEchec(strChemin);
        return false;
    }
    // A link is removed as a link: the removal never reaches what it names.
    if (!PanneauLocal::EstLien(strChemin)) {
        if (!ViderRepertoire(false, strChemin, nProfondeur))
            return false;
        RemplirListeLocale();
    }
    const bool bFait = PanneauLocal::SupprimerRepertoire(strRep + strNom);
    if (!bFait)
        NoterEchec(strChemin);
    RemplirListeLocale();
    return bFait;
}

bool CDlgFileTransfert::SupprimerRepDistant(const CString& strNom, int nProfondeur)
{
    const CString strRep = m_strRepDistant;
    if (!m_pFtp || EstSpecial(strNom))
        return true;
    const CString strChemin = CheminDistant::Joindre(strRep, strNom);
    if (!NomSur(strNom) || nProfondeur >= m_nProfondeurMax) {
        NoterEchec(strChemin);
        return false;
    }

    if (!ViderRepertoire(true, strChemin, nProfondeur))
        return false;
    const bool bFait = m_pFtp->RemDir(strNom, strRep) == 0;
    if (!bFait)
        NoterEchec(strChemin);
    RemplirListeDistante();
    return bFait;
}

// ---------------------------------------------------------------- sorting

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
        lignes[i].m_bSelection = pListe->IsItemSelected(i);
    }
    TriListe::TrierLignes(lignes, nColonne, m_abSensTri[nColonne] != 0);
    // Rows move by rewriting their cells; the selection moves with the row.
    for (int i = 0; i < n; ++i) {
        const tLigneListe& l = lignes[i];
        for (int k = 0; k < 3; ++k)
            if (pListe->GetItemText(i, k) != l.m_astrTextes[k])
                pListe->SetItemText(i, k, l.m_astrTextes[k]);
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
    TrierListe(nColonne, GetDlgItem(IDC_FICHIERS_LOCAUX));
    TrierListe(nColonne, GetDlgItem(IDC_FICHIERS_DISTANTS));
}
