#include "comm/CAppareil.h"

#include <atomic>
#include <cwchar>

const CRuntimeClass CAppareil::classCAppareil = {"CAppareil", &CGenericCom::classCGenericCom};

namespace {
// One flag for every instrument of the process: a status read must not start
// while another is in progress.
std::atomic<bool> g_bLectureRegistreEnCours{false};
} // namespace

CAppareil::~CAppareil() = default;

const CRuntimeClass* CAppareil::GetRuntimeClass() const { return &classCAppareil; }

short CAppareil::Identifier() { return 0; }

signed char CAppareil::LireOctetEtat()
{
    CString reponse;
    if (Interroger(reponse, CString(L"*STB?")) != 0) return -1;
    return static_cast<signed char>(std::wcstol(reponse.c_str(), nullptr, 10) & 0xFF);
}

short CAppareil::LireRegistreEvenements()
{
    if (g_bLectureRegistreEnCours.exchange(true)) return 0;
    CString reponse;
    short r = Interroger(reponse, CString(L"*ESR?"));
    if (r == 0) r = static_cast<short>(std::wcstol(reponse.c_str(), nullptr, 10) & 0xFFFF);
    g_bLectureRegistreEnCours.store(false);
    return r;
}
