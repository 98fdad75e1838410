#pragma once
// The dialogs' resources: template and animation ids, and the templates. The
// string table they share with the channel lives in common/TableChaines.h.

#include "common/Export.h"
#include "common/TableChaines.h"
#include "ui/ModeleDialogue.h"

namespace Ressources {

// Dialog templates.
enum : unsigned {
    IDD_CONFIG_DRIVER = 2036,       // "File transfer : Connection"
    IDD_FILE_TRANSFERT = 2055,      // "File transfer"
    IDD_ATTENTE = 2070,             // wait window (caption set at run time)
    IDD_IDENTIFICATION_FTP = 2087,  // "FTP : Identification"
    IDD_ECRASEMENT = 2090,          // "File already exists": the overwrite question
};

// Animations.
enum : unsigned {
    IDR_ANIM_CONNEXION = 2080,      // 14 frames, 80 x 50, 6.5 frames a second
    IDR_ANIM_DECONNEXION = 2084,    // 22 frames, 80 x 50, 12 frames a second
    IDR_ANIM_FIN = 2069,            // passed only with no text (removes the wait window)
};

// A dialog template, or null when the id is unknown.
const tModeleDialogue* ModeleDialogue(unsigned id);

} // namespace Ressources
