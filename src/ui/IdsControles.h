#pragma once
// Control ids of the dialog templates (ModelesDialogues.cpp).

namespace IdsControles {

// 2036 "File transfer : Connection"
enum : unsigned {
    IDC_ADRESSE = 2439,
};

// 2087 "FTP : Identification": the radio group in template order, then the edits.
enum : unsigned {
    IDC_RADIO_AUTOMATIQUE = 2351,
    IDC_RADIO_KRX11 = 2353,
    IDC_RADIO_KRX12 = 2352,
    IDC_RADIO_KRX13 = 2347,
    IDC_RADIO_KRX14 = 2348,
    IDC_RADIO_KRX15 = 2349,
    IDC_RADIO_AUTRE = 2350,
    IDC_UTILISATEUR = 2436,
    IDC_MOT_DE_PASSE = 2437,
};

// 2070 wait window
enum : unsigned {
    IDC_ANIMATION = 2427,
};

// 2055 "File transfer"
enum : unsigned {
    IDC_LIBELLE_LOCAL = 2437,
    IDC_REP_LOCAL = 2337,
    IDC_LECTEURS = 2318,
    IDC_REPS_LOCAUX = 2317,
    IDC_FICHIERS_LOCAUX = 2315,
    IDC_RAFRAICHIR_LOCAL = 2331,
    IDC_SUPPR_FICHIERS_LOCAUX = 2320,
    IDC_CREER_REP_LOCAL = 2322,
    IDC_SUPPR_REP_LOCAL = 2330,
    IDC_LIBELLE_NOM_LOCAL = 2328,
    IDC_NOM_LOCAL = 2325,
    IDC_VALIDER_NOM_LOCAL = 2324,
    IDC_ANNULER_NOM_LOCAL = 2335,
    IDC_LIBELLE_DISTANT = 2438,
    IDC_REP_DISTANT = 2338,
    IDC_REPS_DISTANTS = 2316,
    IDC_FICHIERS_DISTANTS = 2314,
    IDC_RAFRAICHIR_DISTANT = 2332,
    IDC_SUPPR_FICHIERS_DISTANTS = 2321,
    IDC_CREER_REP_DISTANT = 2323,
    IDC_SUPPR_REP_DISTANT = 2334,
    IDC_LIBELLE_NOM_DISTANT = 2329,
    IDC_NOM_DISTANT = 2326,
    IDC_VALIDER_NOM_DISTANT = 2327,
    IDC_ANNULER_NOM_DISTANT = 2336,
    IDC_VERS_DISTANT = 2311,
    IDC_VERS_LOCAL = 2310,
    IDC_FERMER = 2333,
    IDC_PROGRESSION = 2340,
    IDC_ANNULER_SUPPR_DISTANT = 2339,
    IDC_CONFIRMER_SUPPR_DISTANT = 2341,
    IDC_QUESTION_DISTANT = 2342,
    IDC_ANNULER_SUPPR_LOCAL = 2343,
    IDC_CONFIRMER_SUPPR_LOCAL = 2344,
    IDC_QUESTION_LOCAL = 2345,
    // Under the panes: what the running operation is doing, and its "Cancel".
    IDC_ETAT_OPERATION = 2440,
    IDC_ANNULER_OPERATION = 2441,
    // Above the status line while a copy runs: the file's bar (IDC_PROGRESSION
    // is the whole operation's).
    IDC_PROGRESSION_FICHIER = 2442,
    // Commands of the panes' context menu and keys that no button gives.
    IDC_MENU_OUVRIR = 2443,
    IDC_MENU_RENOMMER = 2444,
    // The session log under the panes, the button that shows or hides it and
    // its menu's "Copy".
    IDC_JOURNAL = 2445,
    IDC_AFFICHER_JOURNAL = 2446,
    IDC_MENU_COPIER = 2447,
};

// 2090 "File already exists" (the overwrite question; Cancel is ID_ANNULER)
enum : unsigned {
    IDC_TEXTE_ECRASEMENT = 2450,
    IDC_FICHIER_EXISTANT = 2451,
    IDC_FICHIER_COPIE = 2452,
    IDC_ECRASER = 2453,
    IDC_PASSER = 2454,
    IDC_ECRASER_SI_RECENT = 2455,
    IDC_ECRASER_TOUT = 2456,
    IDC_PASSER_TOUT = 2457,
    IDC_ECRASER_TOUT_SI_RECENT = 2458,
};

} // namespace IdsControles
