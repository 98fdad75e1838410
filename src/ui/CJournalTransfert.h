#pragma once
// The transfer dialog's session log: the FTP commands and replies (from the
// client's trace, password already masked) and each file's outcome. Lines
// come from any thread (the trace runs on the work's thread) and wait here
// until the dialog's thread moves them into the log's list; no control is
// touched off that thread. The list keeps the last LIGNES_MAX lines.

#include <mutex>
#include <vector>

#include "common/CString.h"

class IControle;

class CJournalTransfert
{
public:
    static constexpr int LIGNES_MAX = 3000;

    // Any thread.
    void Ajouter(const CString& strLigne);
    // On the dialog's thread: moves the waiting lines into the log's list view
    // (may be null: they are dropped), dropping its oldest beyond LIGNES_MAX.
    void Afficher(IControle* pListe);

private:
    std::mutex m_mutex;
    std::vector<CString> m_vecAttente;
};
