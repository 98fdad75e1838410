// The file transfer dialog's single-level operations: the copy buttons, file
// deletion (with its question), the new-directory name entry and the
// directory removal confirmation. Their work runs off the dialog's thread
// (CDlgFileTransfertTravail.cpp); the recursive copies and removals are in
// CDlgFileTransfertArbres.cpp.

#include "ui/CDlgFileTransfert.h"

#include "ftp/CFTPDirect.h"
#include "ftp/CheminDistant.h"
#include "ui/IdsControles.h"
#include "ui/Ressources.h"
#include "ui/TextesTransfert.h"

using namespace IdsControles;

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

// ---------------------------------------------------------------- single-level work

void CDlgFileTransfert::CopierFichiersDistantsSelectionnes()
{
    // Names, paths and listing entries are taken here, on the dialog's
    // thread; the work only copies.
    struct tCopie { CString strDistant, strLocal; tInfosFichierFtp source; };
    std::vector<tCopie> copies;
    uint64_t nOctets = 0;
    for (const CString& nom : m_voletDistant.NomsSelectionnes()) {
        tCopie c{m_voletDistant.CheminFichier(nom), m_voletLocal.CheminFichier(nom), tInfosFichierFtp()};
        if (const tInfosFichierFtp* e = m_voletDistant.Fichier(nom))
            c.source = *e;
        c.source.m_strNom = nom;
        nOctets += c.source.m_nTaille;
        copies.push_back(std::move(c));
    }
    m_genre = tGenre::Copie;
    m_progression.AjouterAFaire(static_cast<int>(copies.size()), nOctets);
    ExecuterHorsFil([&] {
        for (const tCopie& c : copies) {
            if (!CheminDistant::NomSur(c.source.m_strNom)) {
                m_progression.DebutFichier(c.source.m_strNom, c.source.m_nTaille);
                NoterEchec(c.strDistant, CString());
                m_progression.FinFichier(tIssueFichier::Echec);
                continue;
            }
            TelechargerFichier(c.strDistant, c.source, c.strLocal);
        }
    });
}

void CDlgFileTransfert::CopierFichiersLocauxSelectionnes()
{
    struct tCopie { CString strNom, strLocal, strDistant; bool bExiste; tInfosFichierFtp existant; };
    std::vector<tCopie> copies;
    uint64_t nOctets = 0;
    for (const CString& nom : m_voletLocal.NomsSelectionnes()) {
        tCopie c{nom, m_voletLocal.CheminFichier(nom), m_voletDistant.CheminFichier(nom), false, tInfosFichierFtp()};
        if (const tInfosFichierFtp* e = m_voletDistant.Fichier(nom)) {
            c.bExiste = true;
            c.existant = *e;
        }
        uint64_t nTaille = 0;
        long long nDate = 0;
        if (m_voletLocal.InfosFichier(nom, nTaille, nDate))
            nOctets += nTaille;
        copies.push_back(std::move(c));
    }
    m_genre = tGenre::Copie;
    m_progression.AjouterAFaire(static_cast<int>(copies.size()), nOctets);
    ExecuterHorsFil([&] {
        for (const tCopie& c : copies) {
            // A local name that is not one remote component ("a\b") is not sent.
            if (!CheminDistant::NomSur(c.strNom)) {
                m_progression.DebutFichier(c.strNom, 0);
                NoterEchec(c.strLocal, CString());
                m_progression.FinFichier(tIssueFichier::Echec);
                continue;
            }
            EnvoyerFichier(c.strLocal, c.strDistant, c.bExiste ? &c.existant : nullptr);
        }
    });
}

void CDlgFileTransfert::SupprimerFichiersSelectionnes(CVoletTransfert& volet)
{
    const std::vector<CString> noms = volet.NomsSelectionnes();
    if (m_genre == tGenre::Aucun)
        m_genre = tGenre::Suppression;
    m_progression.AjouterAFaire(static_cast<int>(noms.size()), 0);
    ExecuterHorsFil([&] {
        for (const CString& nom : noms) {
            m_progression.DebutFichier(nom, 0);
            if (m_bAnnule) {
                m_progression.FinFichier(tIssueFichier::Annule);
                continue;
            }
            if (volet.NomSur(nom) && volet.SupprimerFichier(nom)) {
                m_progression.FinFichier(tIssueFichier::Fait);
                continue;
            }
            const bool bAnnule = m_bAnnule;
            NoterEchec(volet.CheminFichier(nom), volet.NomSur(nom) ? volet.DerniereErreur() : CString());
            m_progression.FinFichier(bAnnule ? tIssueFichier::Annule : tIssueFichier::Echec);
        }
    });
}

// ---------------------------------------------------------------- copies

void CDlgFileTransfert::CopierVersLocal()
{
    if (!m_pFtp)
        return;
    DebutOperation();
    m_nCommandeReessai = IDC_VERS_LOCAL;
    Activer(IDC_VERS_DISTANT, false);

    const CString strRep = m_voletDistant.RepertoireSelectionne();
    if (!strRep.IsEmpty() && strRep != L"..") {
        DesactiverTout();
        m_bTransfertEnCours = 1;
        CopierRepDistantVersLocal(strRep);
        m_bTransfertEnCours = 0;
        RemplirListeLocale();
        RemplirListeDistante();
        ActiverTout();
    }
    if (m_voletDistant.NombreFichiersSelectionnes() > 0) {
        DesactiverTout();
        CopierFichiersDistantsSelectionnes();
        RemplirListeLocale();
        ActiverTout();
    }

    Activer(IDC_VERS_DISTANT, true);
    FinOperation();
    FocaliserSource(m_voletDistant);
}

void CDlgFileTransfert::CopierVersDistant()
{
    if (!m_pFtp)
        return;
    DebutOperation();
    m_nCommandeReessai = IDC_VERS_DISTANT;
    Activer(IDC_VERS_LOCAL, false);

    const CString strRep = m_voletLocal.RepertoireSelectionne();
    if (!strRep.IsEmpty() && strRep != L"..") {
        DesactiverTout();
        m_bTransfertEnCours = 1;
        CopierRepLocalVersDistant(strRep);
        m_bTransfertEnCours = 0;
        RemplirListeDistante();
        ActiverTout();
    }
    if (m_voletLocal.NombreFichiersSelectionnes() > 0) {
        DesactiverTout();
        CopierFichiersLocauxSelectionnes();
        m_voletDistant.Actualiser();
        ActiverTout();
    }

    Activer(IDC_VERS_LOCAL, true);
    FinOperation();
    FocaliserSource(m_voletLocal);
}

void CDlgFileTransfert::FocaliserSource(CVoletTransfert& volet)
{
    // Where the user chose what to copy: the files when some are selected.
    volet.Focaliser(volet.NombreFichiersSelectionnes() > 0 ? volet.Ids().nFichiers : volet.Ids().nReps);
}

// ---------------------------------------------------------------- file deletion

void CDlgFileTransfert::SupprimerFichiers(CVoletTransfert& volet)
{
    if (!volet.Disponible() || volet.NombreFichiersSelectionnes() <= 0)
        return;
    DebutOperation();
    DesactiverTout();
    SupprimerFichiersSelectionnes(volet);
    volet.Actualiser();
    ActiverTout();
    FinOperation();
    volet.Focaliser(volet.Ids().nFichiers);
}

void CDlgFileTransfert::DemanderSuppressionFichiers(CVoletTransfert& volet)
{
    const std::vector<CString> noms = volet.NomsSelectionnes();
    if (!volet.Disponible() || noms.empty())
        return;
    const bool bLocal = &volet == &m_voletLocal;
    CString strQuestion;
    if (noms.size() == 1)
        strQuestion.Format(Ressources::ChargerChaine(bLocal ? Ressources::IDS_SUPPRIMER_FICHIER_LOCAL
                                                            : Ressources::IDS_SUPPRIMER_FICHIER_DISTANT),
                           noms.front().c_str());
    else
        strQuestion.Format(Ressources::ChargerChaine(bLocal ? Ressources::IDS_SUPPRIMER_FICHIERS_LOCAUX
                                                            : Ressources::IDS_SUPPRIMER_FICHIERS_DISTANTS),
                           static_cast<int>(noms.size()));
    if (MessageBox(strQuestion, tBoutonsMessage::OuiNon) == ID_OUI)
        SupprimerFichiers(volet);
}

void CDlgFileTransfert::SupprimerFichiersLocaux()
{
    DemanderSuppressionFichiers(m_voletLocal);
}

void CDlgFileTransfert::SupprimerFichiersDistants()
{
    DemanderSuppressionFichiers(m_voletDistant);
}

// ---------------------------------------------------------------- name entry

void CDlgFileTransfert::OuvrirSaisie(CVoletTransfert& volet)
{
    // One entry at a time: the other pane's closes first.
    if (m_bSaisieRepertoire) {
        CVoletTransfert& autre = Autre(volet);
        IControle* champAutre = autre.Controle(autre.Ids().nNom);
        if (champAutre && champAutre->IsWindowVisible())
            FermerSaisie(autre);
    }
    m_bSaisieRepertoire = 1;
    IControle* champ = volet.Controle(volet.Ids().nNom);
    if (champ) champ->SetWindowText(CString());
    volet.ChangerEtatRangee(CVoletTransfert::tEtatRangee::Saisie);
}

void CDlgFileTransfert::FermerSaisie(CVoletTransfert& volet)
{
    m_bSaisieRepertoire = 0;
    volet.ChangerEtatRangee(CVoletTransfert::tEtatRangee::Normal);
}

void CDlgFileTransfert::OuvrirSaisieRepLocal()
{
    OuvrirSaisie(m_voletLocal);
}

void CDlgFileTransfert::OuvrirSaisieRepDistant()
{
    OuvrirSaisie(m_voletDistant);
}

void CDlgFileTransfert::FermerSaisieRepLocal()
{
    FermerSaisie(m_voletLocal);
}

void CDlgFileTransfert::FermerSaisieRepDistant()
{
    FermerSaisie(m_voletDistant);
}

int CDlgFileTransfert::NomRepValide(CString strNom)
{
    return TextesTransfert::NomRepertoireValide(strNom) ? 1 : 0;
}

void CDlgFileTransfert::FiltrerNomLocal()
{
    Filtrer(GetDlgItem(IDC_NOM_LOCAL));
}

void CDlgFileTransfert::FiltrerNomDistant()
{
    Filtrer(GetDlgItem(IDC_NOM_DISTANT));
}

bool CDlgFileTransfert::LireNomRep(CVoletTransfert& volet, CString& strNom)
{
    IControle* champ = volet.Controle(volet.Ids().nNom);
    strNom = champ ? champ->GetWindowText() : CString();
    if (NomRepValide(strNom))
        return true;
    MessageBox(Ressources::IDS_NOM_REPERTOIRE_INVALIDE, tBoutonsMessage::Ok);
    if (champ) champ->SetFocus();
    return false;
}

void CDlgFileTransfert::CreerRep(CVoletTransfert& volet)
{
    if (volet.EtatRangee() == CVoletTransfert::tEtatRangee::Renommage) {
        Renommer(volet);
        return;
    }
    CString strNom;
    if (!volet.Disponible() || !LireNomRep(volet, strNom))
        return;
    DebutOperation();
    if (!volet.CreerRepertoire(strNom))
        NoterEchec(volet.CheminRepertoire(strNom), volet.DerniereErreur());
    FermerSaisie(volet);
    volet.Actualiser();
    FinOperation();
    volet.Focaliser(volet.Ids().nReps);
}

void CDlgFileTransfert::CreerRepLocal()
{
    CreerRep(m_voletLocal);
}

void CDlgFileTransfert::CreerRepDistant()
{
    CreerRep(m_voletDistant);
}

// ---------------------------------------------------------------- directory removal

void CDlgFileTransfert::DemanderSuppression(CVoletTransfert& volet)
{
    volet.DemanderSuppression();
}

void CDlgFileTransfert::DemanderSuppressionRepLocal()
{
    DemanderSuppression(m_voletLocal);
}

void CDlgFileTransfert::DemanderSuppressionRepDistant()
{
    DemanderSuppression(m_voletDistant);
}

void CDlgFileTransfert::FermerConfirmationLocale()
{
    m_voletLocal.FermerConfirmation();
}

void CDlgFileTransfert::FermerConfirmationDistante()
{
    m_voletDistant.FermerConfirmation();
}

void CDlgFileTransfert::ConfirmerSuppression(CVoletTransfert& volet)
{
    // The directory the question named, whatever the list shows now.
    const CString strRep = volet.RepertoireDemande();
    if (strRep.IsEmpty())
        return;
    DebutOperation();
    m_genre = tGenre::Suppression;
    DesactiverTout();
    const bool bVersDistant = EstActif(IDC_VERS_DISTANT), bVersLocal = EstActif(IDC_VERS_LOCAL);
    Activer(IDC_VERS_DISTANT, false);
    Activer(IDC_VERS_LOCAL, false);
    m_bTransfertEnCours = 1;
    volet.SelectionnerRep(strRep);
    SupprimerRep(volet, strRep, 0);
    m_bTransfertEnCours = 0;
    volet.Remplir();
    volet.FermerConfirmation();
    Activer(IDC_VERS_DISTANT, bVersDistant);
    Activer(IDC_VERS_LOCAL, bVersLocal);
    ActiverTout();
    FinOperation();
    volet.Focaliser(volet.Ids().nReps);
}

void CDlgFileTransfert::ConfirmerSuppressionRepLocal()
{
    ConfirmerSuppression(m_voletLocal);
}

void CDlgFileTransfert::ConfirmerSuppressionRepDistant()
{
    ConfirmerSuppression(m_voletDistant);
}
