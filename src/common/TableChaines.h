#pragma once
// The library's string table: user-visible texts keyed by their resource ids.
// Dialog templates and animations are the dialogs' own (ui/Ressources.h).

#include "common/CString.h"
#include "common/Export.h"

namespace Ressources {

enum : unsigned {
    IDS_COMM_ECHEC = 2041,          // "Communication failure"
    IDS_COMM_SUPPORT = 2042,        // "Communication support failure"
    IDS_COMM_TIMEOUT = 2043,        // "Timeout error"
    IDS_MODEM_OCCUPE = 2048,        // "Modem busy"
    IDS_MODEM_ECHEC = 2049,         // "Modem failure"
    IDS_COLONNE_NOM = 2064,         // "Name"
    IDS_COLONNE_TAILLE = 2065,      // "Size"
    IDS_COLONNE_DATE = 2066,        // "Date/Time (local)"
    IDS_NOM_REPERTOIRE_INVALIDE = 2067,
    IDS_TRANSFERT_TRACES = 2070,    // "Trace transfer ..."
    IDS_CONNEXION = 2071,           // "Connecting ..."
    IDS_DECONNEXION = 2072,         // "Disconnecting ..."
    // Heading of the one message that names what a copy or deletion could not handle.
    IDS_ECHECS_TRANSFERT = 2073,

    // The file transfer dialog's status line while an operation runs, pieces
    // joined by the dialog: "Copying a.sor (2 of 3): 1.2 M of 24.0 M, total
    // 5.0 M of 30.0 M, 1.0 M/s, 22 s left".
    IDS_COPIE_EN_COURS = 2100,          // "Copying %ls"
    IDS_SUPPRESSION_EN_COURS = 2101,    // "Deleting %ls"
    IDS_LISTE_EN_COURS = 2102,          // "Listing %ls ..."
    IDS_RANG = 2103,                    // "(%d of %d)"
    IDS_RANG_PROVISOIRE = 2104,         // "(%d of %d so far)"
    IDS_OCTETS_SUR = 2105,              // "%ls of %ls"
    IDS_TOTAL = 2106,                   // "total %ls"
    IDS_TEMPS_RESTANT = 2107,           // "%ls left"
    IDS_ANNULATION_EN_COURS = 2108,     // "Cancelling ..."
    // ... and once it has ended: "2 of 3 files copied (12.0 M), 1 skipped".
    IDS_BILAN_COPIES = 2109,
    IDS_BILAN_SUPPRESSIONS = 2110,
    IDS_BILAN_PASSES = 2111,
    IDS_BILAN_ECHECS = 2112,
    IDS_BILAN_NON_FAITS = 2113,
    IDS_BILAN_ANNULE = 2114,            // "Cancelled: %ls"
    // "Delete files" asks once.
    IDS_SUPPRIMER_FICHIER_LOCAL = 2115,
    IDS_SUPPRIMER_FICHIERS_LOCAUX = 2116,
    IDS_SUPPRIMER_FICHIER_DISTANT = 2117,
    IDS_SUPPRIMER_FICHIERS_DISTANTS = 2118,
    // The removal question, naming the directory.
    IDS_QUESTION_SUPPRESSION_REP = 2119,
    // The overwrite question.
    IDS_ECRASEMENT_LOCAL = 2120,
    IDS_ECRASEMENT_DISTANT = 2121,
    IDS_FICHIER_EXISTANT = 2122,
    IDS_FICHIER_COPIE = 2123,
    IDS_TAILLE_DATE = 2124,             // "%ls (%ls bytes), %ls"
    IDS_PLUS_RECENT = 2125,             // " - newer"
    // The FTP login of the file transfer entry points.
    IDS_CONNEXION_FTP = 2126,           // "Logging in to the instrument ..."
    IDS_ECHEC_LOGIN = 2127,             // names the users tried and the reason
    IDS_ECHEC_LOGIN_SANS_RAISON = 2128,
    IDS_ANNULE = 2129,                  // "cancelled", as the reason of a file not handled
    IDS_DATE_INCONNUE = 2130,           // "date unknown"
    // The transfer panes' context menu and rename.
    IDS_MENU_OUVRIR = 2131,
    IDS_MENU_COPIER_VERS_DISTANT = 2132,
    IDS_MENU_COPIER_VERS_LOCAL = 2133,
    IDS_MENU_RENOMMER = 2134,
    IDS_MENU_SUPPRIMER = 2135,
    IDS_MENU_CREER_REP = 2136,
    IDS_MENU_RAFRAICHIR = 2137,
    IDS_NOUVEAU_NOM = 2138,             // the name entry's label while renaming
    IDS_NOM_NOUVEAU_REP = 2139,         // and while creating a directory
    IDS_ADRESSE_DOUTEUSE = 2140,        // the configuration asks before storing such an address
    // The transfer dialog's session log: each file's outcome, the button, its menu.
    IDS_JOURNAL_FAIT = 2141,            // "%ls: done"
    IDS_JOURNAL_PASSE = 2142,           // "%ls: skipped"
    IDS_JOURNAL_ANNULE = 2143,          // "%ls: cancelled"
    IDS_JOURNAL_ECHEC = 2144,           // "%ls: failed: %ls"
    IDS_JOURNAL_ECHEC_SANS_CAUSE = 2145,// "%ls: failed"
    IDS_MONTRER_JOURNAL = 2146,
    IDS_CACHER_JOURNAL = 2147,
    IDS_MENU_COPIER_JOURNAL = 2148,
};

// The text of a string resource, or null when the id is unknown.
const wchar_t* ChargerChaine(unsigned id);

// The same as a CString (empty when the id is unknown).
CString Chaine(unsigned id);

// The string resource used as a printf format for the arguments that follow.
CString Formater(unsigned idChaine, ...);

} // namespace Ressources
