#include "common/TableChaines.h"

#include <cstdarg>

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
    {IDS_COLONNE_DATE, L"Date/Time (local)"},
    {IDS_NOM_REPERTOIRE_INVALIDE,
     L"A file name cannot be empty and cannot use the following characters :   \\ / : * ? \\\" < > |"},
    {IDS_TRANSFERT_TRACES, L"Trace transfer ..."},
    {IDS_CONNEXION, L"Connecting ..."},
    {IDS_DECONNEXION, L"Disconnecting ..."},
    {IDS_ECHECS_TRANSFERT, L"These files or directories could not be handled :"},
    {IDS_COPIE_EN_COURS, L"Copying %ls"},
    {IDS_SUPPRESSION_EN_COURS, L"Deleting %ls"},
    {IDS_LISTE_EN_COURS, L"Listing %ls ..."},
    {IDS_RANG, L"(%d of %d)"},
    {IDS_RANG_PROVISOIRE, L"(%d of %d so far)"},
    {IDS_OCTETS_SUR, L"%ls of %ls"},
    {IDS_TOTAL, L"total %ls"},
    {IDS_TEMPS_RESTANT, L"%ls left"},
    {IDS_ANNULATION_EN_COURS, L"Cancelling ..."},
    {IDS_BILAN_COPIES, L"%d of %d files copied (%ls)"},
    {IDS_BILAN_SUPPRESSIONS, L"%d of %d files deleted"},
    {IDS_BILAN_PASSES, L"%d skipped"},
    {IDS_BILAN_ECHECS, L"%d failed"},
    {IDS_BILAN_NON_FAITS, L"%d not done"},
    {IDS_BILAN_ANNULE, L"Cancelled: %ls"},
    {IDS_SUPPRIMER_FICHIER_LOCAL, L"Delete \"%ls\" from this computer ?"},
    {IDS_SUPPRIMER_FICHIERS_LOCAUX, L"Delete the %d selected files from this computer ?"},
    {IDS_SUPPRIMER_FICHIER_DISTANT, L"Delete \"%ls\" from the instrument ?"},
    {IDS_SUPPRIMER_FICHIERS_DISTANTS, L"Delete the %d selected files from the instrument ?"},
    {IDS_QUESTION_SUPPRESSION_REP, L"Do you really want to delete the whole directory \"%ls\" ?"},
    {IDS_ECRASEMENT_LOCAL, L"The file \"%ls\" already exists on this computer, in %ls"},
    {IDS_ECRASEMENT_DISTANT, L"The file \"%ls\" already exists on the instrument, in %ls"},
    {IDS_FICHIER_EXISTANT, L"Existing file : %ls"},
    {IDS_FICHIER_COPIE, L"Copied file : %ls"},
    {IDS_TAILLE_DATE, L"%ls (%ls bytes), %ls"},
    {IDS_PLUS_RECENT, L" - newer"},
    {IDS_CONNEXION_FTP, L"Logging in to the instrument ..."},
    {IDS_ECHEC_LOGIN, L"Could not log in to the instrument's FTP server (tried: %ls).\n\n%ls"},
    {IDS_ECHEC_LOGIN_SANS_RAISON, L"Could not log in to the instrument's FTP server (tried: %ls)."},
    {IDS_ANNULE, L"cancelled"},
    {IDS_DATE_INCONNUE, L"date unknown"},
    {IDS_MENU_OUVRIR, L"Open\tEnter"},
    {IDS_MENU_COPIER_VERS_DISTANT, L"Copy to the instrument"},
    {IDS_MENU_COPIER_VERS_LOCAL, L"Copy to this computer"},
    {IDS_MENU_RENOMMER, L"Rename\tF2"},
    {IDS_MENU_SUPPRIMER, L"Delete\tDel"},
    {IDS_MENU_CREER_REP, L"Create directory\tF7"},
    {IDS_MENU_RAFRAICHIR, L"Refresh\tF5"},
    {IDS_NOUVEAU_NOM, L"New name :"},
    {IDS_NOM_NOUVEAU_REP, L"Name of the new directory :"},
    {IDS_ADRESSE_DOUTEUSE, L"\"%ls\" is neither an IPv4 address (four numbers from 0 to 255) nor a host name.\n\n"
                           L"Store it anyway ?"},
    {IDS_JOURNAL_FAIT, L"%ls: done"},
    {IDS_JOURNAL_PASSE, L"%ls: skipped"},
    {IDS_JOURNAL_ANNULE, L"%ls: cancelled"},
    {IDS_JOURNAL_ECHEC, L"%ls: failed: %ls"},
    {IDS_JOURNAL_ECHEC_SANS_CAUSE, L"%ls: failed"},
    {IDS_MONTRER_JOURNAL, L"Show log"},
    {IDS_CACHER_JOURNAL, L"Hide log"},
    {IDS_MENU_COPIER_JOURNAL, L"Copy\tCtrl+C"},
};
} // namespace

const wchar_t* ChargerChaine(unsigned id)
{
    for (const auto& e : kTable)
        if (e.id == id) return e.texte;
    return nullptr;
}

CString Chaine(unsigned id) { return CString(ChargerChaine(id)); }

CString Formater(unsigned idChaine, ...)
{
    CString s;
    va_list args;
    va_start(args, idChaine);
    s.FormatV(ChargerChaine(idChaine), args);
    va_end(args);
    return s;
}

} // namespace Ressources
