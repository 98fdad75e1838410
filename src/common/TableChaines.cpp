#include "common/TableChaines.h"

namespace Ressources {

namespace {
struct tEntree {
    unsigned id;
    const wchar_t* texte;
};

constexpr tEntree kTable[] = {
    {IDS_COMM_ECHEC, L"Communication failure"},
    {IDS_COMM_SUPPORT, L"Communication support failure"},
    {IDS_COMM_TIMEOUT, L"Timeout error"},
    {IDS_MODEM_OCCUPE, L"Modem busy"},
    {IDS_MODEM_ECHEC, L"Modem failure"},
    {IDS_COLONNE_NOM, L"Name"},
    {IDS_COLONNE_TAILLE, L"Size"},
    {IDS_COLONNE_DATE, L"Date/Time"},
    {IDS_NOM_REPERTOIRE_INVALIDE,
     L"A file name cannot be empty and cannot use the following characters :   \\ / : * ? \\\" < > |"},
    {IDS_TRANSFERT_TRACES, L"Trace transfer ..."},
    {IDS_CONNEXION, L"Connecting ..."},
    {IDS_DECONNEXION, L"Disconnecting ..."},
    {IDS_ECHECS_TRANSFERT, L"These files or directories could not be handled :"},
};
} // namespace

const wchar_t* ChargerChaine(unsigned id)
{
    for (const auto& e : kTable)
        if (e.id == id) return e.texte;
    return nullptr;
}

CString Chaine(unsigned id) { return CString(ChargerChaine(id)); }

} // namespace Ressources
