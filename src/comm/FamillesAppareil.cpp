#include "comm/FamillesAppareil.h"

const CString g_strFamillesAppareil[NOMBRE_FAMILLES_APPAREIL] = {
    L"BOREAL", L"KRX", L"Q-LANCE", L"KRX 13a", L"KRX 13b", L"NETSCAN",
    L"NETREFL", L"FPX", L"FPXe", L"LVT 3", L"KRX 15", L"KRX 14",
};

const CString g_strEventAppareil = L"EventAppareil";
