#pragma once
// Instrument family identifiers, matched as substrings of the model text.

#include "common/CString.h"
#include "common/Export.h"

constexpr int NOMBRE_FAMILLES_APPAREIL = 12;

// Indices into g_strFamillesAppareil (0-based).
enum eFamilleAppareil {
    FAMILLE_BOREAL = 0,
    FAMILLE_KRX = 1,
    FAMILLE_Q_LANCE = 2,
    FAMILLE_KRX_13A = 3,
    FAMILLE_KRX_13B = 4,
    FAMILLE_NETSCAN = 5,
    FAMILLE_NETREFL = 6,
    FAMILLE_FPX = 7,
    FAMILLE_FPXE = 8,
    FAMILLE_LVT_3 = 9,
    FAMILLE_KRX_15 = 10,
    FAMILLE_KRX_14 = 11,
};

// "BOREAL", "KRX", "Q-LANCE", "KRX 13a", "KRX 13b", "NETSCAN", "NETREFL",
// "FPX", "FPXe", "LVT 3", "KRX 15", "KRX 14".
extern const CString g_strFamillesAppareil[NOMBRE_FAMILLES_APPAREIL];

// Name of the driver's completion event.
extern const CString g_strEventAppareil;
