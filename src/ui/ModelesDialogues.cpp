// The dialog templates of the library, as data (ids, kinds, captions, styles,
// positions in dialog units, start states).

#include "ui/IdsControles.h"
#include "ui/Ressources.h"

using namespace IdsControles;

namespace {

using T = tTypeControle;

constexpr unsigned BOUTON_ML = STYLE_MULTILIGNE;
constexpr unsigned EDIT_DEF = STYLE_DEFILEMENT_HORIZ;
constexpr unsigned LISTE_NOTIF = STYLE_TRIE | STYLE_NOTIFIANT;
constexpr unsigned VUE = STYLE_MULTISELECTION | STYLE_SELECTION_VISIBLE;

// Shown and enabled / hidden and enabled.
constexpr bool V = true;
constexpr bool H = false;

const tModeleDialogue kConfigDriver{
    Ressources::IDD_CONFIG_DRIVER,
    L"File transfer : Connection",
    DLG_CADRE_MODAL | DLG_TITRE | DLG_MENU_SYSTEME,
    L"MS Sans Serif", 8, 239, 81,
    {
        {ID_STATIQUE, T::Statique, L"Address or host name :", 0, 7, 6, 197, 11, V, true},
        {IDC_ADRESSE, T::Edition, L"", STYLE_BORDURE | EDIT_DEF | STYLE_TABULATION, 18, 24, 213, 22, V, true},
        {1, T::Bouton, L"Connect", STYLE_DEFAUT | STYLE_TABULATION, 57, 56, 50, 14, V, true},
        {2, T::Bouton, L"Cancel", STYLE_TABULATION, 133, 56, 50, 14, V, true},
    }};

const tModeleDialogue kFileTransfert{
    Ressources::IDD_FILE_TRANSFERT,
    L"File transfer",
    DLG_REDIMENSIONNABLE | DLG_TITRE | DLG_MENU_SYSTEME | DLG_CENTRE | DLG_PREMIER_PLAN,
    L"MS Sans Serif", 8, 410, 292,
    {
        {IDC_LIBELLE_LOCAL, T::Statique, L"Local system :", 0, 3, 3, 63, 10, V, true},
        {IDC_REP_LOCAL, T::Edition, L"", STYLE_LECTURE_SEULE | EDIT_DEF, 68, 2, 135, 12, V, true},
        {IDC_LECTEURS, T::ListeDeroulante, L"", STYLE_TRIE, 3, 15, 175, 109, V, true},
        {IDC_REPS_LOCAUX, T::ListeSimple, L"", LISTE_NOTIF, 3, 32, 175, 75, V, true},
        {IDC_FICHIERS_LOCAUX, T::VueListe, L"", VUE, 3, 111, 199, 135, V, true},
        {IDC_RAFRAICHIR_LOCAL, T::Bouton, L"Refresh", BOUTON_ML, 3, 249, 40, 22, V, true},
        {IDC_SUPPR_FICHIERS_LOCAUX, T::Bouton, L"Delete files", BOUTON_ML, 56, 249, 40, 22, V, true},
        {IDC_CREER_REP_LOCAL, T::Bouton, L"Create a directory", BOUTON_ML, 110, 249, 40, 22, V, true},
        {IDC_SUPPR_REP_LOCAL, T::Bouton, L"Delete directory", BOUTON_ML, 163, 249, 40, 22, V, true},
        {IDC_LIBELLE_NOM_LOCAL, T::Statique, L"Name of the new directory :", 0, 40, 249, 95, 9, H, true},
        {IDC_NOM_LOCAL, T::Edition, L"", EDIT_DEF, 40, 259, 95, 12, H, true},
        {IDC_VALIDER_NOM_LOCAL, T::Bouton, L"Create", BOUTON_ML, 138, 260, 32, 11, H, true},
        {IDC_ANNULER_NOM_LOCAL, T::Bouton, L"Cancel", BOUTON_ML, 138, 249, 32, 11, H, true},
        {IDC_LIBELLE_DISTANT, T::Statique, L"Remote system :", 0, 231, 3, 63, 10, V, true},
        {IDC_REP_DISTANT, T::Edition, L"", EDIT_DEF, 296, 2, 110, 12, V, true},
        {IDC_REPS_DISTANTS, T::ListeSimple, L"", LISTE_NOTIF, 231, 15, 175, 92, V, true},
        {IDC_FICHIERS_DISTANTS, T::VueListe, L"", VUE, 207, 111, 199, 135, V, true},
        {IDC_RAFRAICHIR_DISTANT, T::Bouton, L"Refresh", BOUTON_ML, 207, 249, 40, 22, V, true},
        {IDC_SUPPR_FICHIERS_DISTANTS, T::Bouton, L"Delete files", BOUTON_ML, 260, 249, 40, 22, V, true},
        {IDC_CREER_REP_DISTANT, T::Bouton, L"Create a directory", BOUTON_ML, 314, 249, 40, 22, V, true},
        {IDC_SUPPR_REP_DISTANT, T::Bouton, L"Delete directory", BOUTON_ML, 367, 249, 40, 22, V, true},
        {IDC_LIBELLE_NOM_DISTANT, T::Statique, L"Name of the new directory :", 0, 244, 249, 95, 9, H, true},
        {IDC_NOM_DISTANT, T::Edition, L"", EDIT_DEF, 244, 259, 95, 12, H, true},
        {IDC_VALIDER_NOM_DISTANT, T::Bouton, L"Create", BOUTON_ML, 343, 260, 32, 11, H, true},
        {IDC_ANNULER_NOM_DISTANT, T::Bouton, L"Cancel", BOUTON_ML, 343, 249, 32, 11, H, true},
        {IDC_VERS_DISTANT, T::Bouton, L">", 0, 195, 53, 19, 14, V, true},
        {IDC_VERS_LOCAL, T::Bouton, L"<", 0, 195, 71, 19, 14, V, true},
        {IDC_FERMER, T::Bouton, L"Close", 0, 185, 15, 40, 16, V, true},
        {IDC_PROGRESSION, T::BarreProgression, L"", 0, 181, 98, 48, 9, H, true},
        {IDC_ANNULER_SUPPR_DISTANT, T::Bouton, L"Cancel", BOUTON_ML, 366, 249, 40, 22, H, true},
        {IDC_CONFIRMER_SUPPR_DISTANT, T::Bouton, L"Remove", BOUTON_ML, 207, 249, 40, 22, H, true},
        {IDC_QUESTION_DISTANT, T::Statique, L"Do you really want to delete the whole directory ?", 0,
         253, 252, 105, 19, H, true},
        {IDC_ANNULER_SUPPR_LOCAL, T::Bouton, L"Cancel", BOUTON_ML, 162, 249, 40, 22, H, true},
        {IDC_CONFIRMER_SUPPR_LOCAL, T::Bouton, L"Remove", BOUTON_ML, 3, 249, 40, 22, H, true},
        {IDC_QUESTION_LOCAL, T::Statique, L"Do you really want to delete the whole directory ?", 0,
         50, 252, 105, 19, H, true},
        // A strip under the button rows: the status line, and the "Cancel"
        // of the operation in course (shown while one runs).
        {IDC_ETAT_OPERATION, T::Statique, L"", STYLE_CENTRE_VERT, 3, 275, 358, 14, V, true},
        {IDC_ANNULER_OPERATION, T::Bouton, L"Cancel", 0, 366, 275, 40, 14, H, true},
        {IDC_PROGRESSION_FICHIER, T::BarreProgression, L"", 0, 181, 110, 48, 9, H, true},
        {IDC_AFFICHER_JOURNAL, T::Bouton, L"Show log", 0, 185, 89, 40, 14, V, true},
        {IDC_JOURNAL, T::VueListe, L"", VUE | STYLE_JOURNAL, 3, 200, 404, 60, H, true},
    }};

const tModeleDialogue kEcrasement{
    Ressources::IDD_ECRASEMENT,
    L"File already exists",
    DLG_CADRE_MODAL | DLG_TITRE | DLG_MENU_SYSTEME | DLG_CENTRE | DLG_PREMIER_PLAN,
    L"MS Sans Serif", 8, 292, 124,
    {
        {IDC_TEXTE_ECRASEMENT, T::Statique, L"", 0, 7, 7, 278, 26, V, true},
        {IDC_FICHIER_EXISTANT, T::Statique, L"", 0, 7, 37, 278, 10, V, true},
        {IDC_FICHIER_COPIE, T::Statique, L"", 0, 7, 49, 278, 10, V, true},
        {IDC_ECRASER, T::Bouton, L"Overwrite", STYLE_TABULATION, 7, 66, 90, 14, V, true},
        {IDC_PASSER, T::Bouton, L"Skip", STYLE_DEFAUT | STYLE_TABULATION, 101, 66, 90, 14, V, true},
        {IDC_ECRASER_SI_RECENT, T::Bouton, L"Overwrite if newer", STYLE_TABULATION, 195, 66, 90, 14, V, true},
        {IDC_ECRASER_TOUT, T::Bouton, L"Overwrite all", STYLE_TABULATION, 7, 84, 90, 14, V, true},
        {IDC_PASSER_TOUT, T::Bouton, L"Skip all", STYLE_TABULATION, 101, 84, 90, 14, V, true},
        {IDC_ECRASER_TOUT_SI_RECENT, T::Bouton, L"Overwrite all if newer", STYLE_TABULATION, 195, 84, 90, 14, V,
         true},
        {2, T::Bouton, L"Cancel", STYLE_TABULATION, 235, 103, 50, 14, V, true},
    }};

const tModeleDialogue kAttente{
    Ressources::IDD_ATTENTE,
    L"",
    DLG_TITRE | DLG_SYSTEME_MODAL | DLG_PREMIER_PLAN | DLG_CENTRE | DLG_ASPECT_3D | DLG_CADRE_MODAL,
    L"MS Sans Serif", 8, 227, 50,
    {
        {IDC_ANIMATION, T::Animation, L"",
         STYLE_TABULATION | STYLE_ANIM_CENTRE | STYLE_ANIM_TRANSPARENT | STYLE_ANIM_AUTO, 7, 7, 213, 36, V, true},
    }};

const tModeleDialogue kIdentificationFtp{
    Ressources::IDD_IDENTIFICATION_FTP,
    L"FTP : Identification",
    DLG_CADRE_MODAL | DLG_TITRE | DLG_MENU_SYSTEME,
    L"MS Sans Serif", 8, 140, 177,
    {
        {IDC_RADIO_AUTOMATIQUE, T::BoutonRadio, L"Automatic", STYLE_DEBUT_GROUPE | STYLE_TABULATION, 7, 7, 99, 14, V, true},
        {IDC_RADIO_KRX11, T::BoutonRadio, L"KRX 11", 0, 7, 22, 99, 14, V, true},
        {IDC_RADIO_KRX12, T::BoutonRadio, L"KRX 12", 0, 7, 37, 99, 14, V, true},
        {IDC_RADIO_KRX13, T::BoutonRadio, L"KRX 13", 0, 7, 52, 99, 14, V, true},
        {IDC_RADIO_KRX14, T::BoutonRadio, L"KRX 14", 0, 7, 67, 99, 14, V, true},
        {IDC_RADIO_KRX15, T::BoutonRadio, L"KRX 15", 0, 7, 82, 99, 14, V, true},
        {IDC_RADIO_AUTRE, T::BoutonRadio, L"Other :", 0, 7, 97, 99, 14, V, true},
        {ID_STATIQUE, T::Statique, L"User :", STYLE_DEBUT_GROUPE | STYLE_CENTRE_VERT, 7, 118, 57, 14, V, true},
        {IDC_UTILISATEUR, T::Edition, L"", STYLE_BORDURE | EDIT_DEF | STYLE_TABULATION, 68, 118, 65, 14, V, true},
        {ID_STATIQUE, T::Statique, L"Password :", STYLE_CENTRE_VERT, 7, 133, 57, 14, V, true},
        {IDC_MOT_DE_PASSE, T::Edition, L"", STYLE_BORDURE | EDIT_DEF | STYLE_TABULATION, 68, 133, 65, 14, V, true},
        {1, T::Bouton, L"OK", STYLE_DEFAUT | STYLE_TABULATION | STYLE_DEBUT_GROUPE, 7, 156, 50, 14, V, true},
        {2, T::Bouton, L"Cancel", STYLE_TABULATION, 69, 156, 50, 14, V, true},
    }};

} // namespace

namespace Ressources {

const tModeleDialogue* ModeleDialogue(unsigned id)
{
    switch (id) {
    case IDD_CONFIG_DRIVER: return &kConfigDriver;
    case IDD_FILE_TRANSFERT: return &kFileTransfert;
    case IDD_ATTENTE: return &kAttente;
    case IDD_IDENTIFICATION_FTP: return &kIdentificationFtp;
    case IDD_ECRASEMENT: return &kEcrasement;
    default: return nullptr;
    }
}

} // namespace Ressources
