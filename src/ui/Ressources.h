#pragma once
// The library's string table: user-visible texts keyed by their resource ids.

#include "common/CString.h"
#include "common/Export.h"
#include "ui/ModeleDialogue.h"

namespace Ressources {

enum : unsigned {
    IDS_COMM_ECHEC = 2041,          // "Communication failure"
    IDS_COMM_SUPPORT = 2042,        // "Communication support failure"
    IDS_COMM_TIMEOUT = 2043,        // "Timeout error"
    IDS_MODEM_OCCUPE = 2048,        // "Modem busy"
    IDS_MODEM_ECHEC = 2049,         // "Modem failure"
    IDS_COLONNE_NOM = 2064,         // "Name"
    IDS_COLONNE_TAILLE = 2065,      // "Size"
    IDS_COLONNE_DATE = 2066,        // "Date/Time"
    IDS_NOM_REPERTOIRE_INVALIDE = 2067,
    IDS_TRANSFERT_TRACES = 2070,    // "Trace transfer ..."
    IDS_CONNEXION = 2071,           // "Connecting ..."
    IDS_DECONNEXION = 2072,         // "Disconnecting ..."
    // Heading of the one message that names what a copy or deletion could not handle.
    IDS_ECHECS_TRANSFERT = 2073,
};

// Dialog templates.
enum : unsigned {
    IDD_CONFIG_DRIVER = 2036,       // "File transfer : Connection"
    IDD_FILE_TRANSFERT = 2055,      // "File transfer"
    IDD_ATTENTE = 2070,             // wait window (caption set at run time)
    IDD_IDENTIFICATION_FTP = 2087,  // "FTP : Identification"
};

// Animations.
enum : unsigned {
    IDR_ANIM_CONNEXION = 2080,      // 14 frames, 80 x 50, 6.5 frames a second
    IDR_ANIM_DECONNEXION = 2084,    // 22 frames, 80 x 50, 12 frames a second
    IDR_ANIM_FIN = 2069,            // passed only with no text (removes the wait window)
};

// The text of a string resource, or null when the id is unknown.
OTDR_EXPORT const wchar_t* ChargerChaine(unsigned id);

// The same as a CString (empty when the id is unknown).
OTDR_EXPORT CString Chaine(unsigned id);

// A dialog template, or null when the id is unknown.
OTDR_EXPORT const tModeleDialogue* ModeleDialogue(unsigned id);

} // namespace Ressources
