#pragma once
// How the commands end: an exception carrying the exit status and the one-line
// message for standard error. Only the CLI throws these; the library never does.

#include <stdexcept>
#include <string>

enum : int {
    SORTIE_SUCCES = 0,
    SORTIE_ECHEC = 1,   // the operation failed (instrument, network, files)
    SORTIE_USAGE = 2,   // the command line is wrong
};

class CErreurOtdr : public std::runtime_error
{
public:
    CErreurOtdr(int nSortie, const std::string& strMessage)
        : std::runtime_error(strMessage), m_nSortie(nSortie) {}
    int Sortie() const { return m_nSortie; }

private:
    int m_nSortie;
};

inline CErreurOtdr ErreurUsage(const std::string& s) { return CErreurOtdr(SORTIE_USAGE, s); }
inline CErreurOtdr ErreurOperation(const std::string& s) { return CErreurOtdr(SORTIE_ECHEC, s); }
