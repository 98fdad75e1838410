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
    IDS_COLONNE_DATE = 2066,        // "Date/Time"
    IDS_NOM_REPERTOIRE_INVALIDE = 2067,
    IDS_TRANSFERT_TRACES = 2070,    // "Trace transfer ..."
    IDS_CONNEXION = 2071,           // "Connecting ..."
    IDS_DECONNEXION = 2072,         // "Disconnecting ..."
    // Heading of the one message that names what a copy or deletion could not handle.
    IDS_ECHECS_TRANSFERT = 2073,
};

// The text of a string resource, or null when the id is unknown.
const wchar_t* ChargerChaine(unsigned id);

// The same as a CString (empty when the id is unknown).
CString Chaine(unsigned id);

} // namespace Ressources
