#include "common/Dates.h"

int64_t JoursDepuis1970(int64_t nAnnee, int nMois, int nJour)
{
    // Years counted from March, so the leap day ends a year; eras of 400 years
    // (146097 days) repeat exactly.
    const int64_t a = nAnnee - (nMois <= 2 ? 1 : 0);
    const int64_t ere = (a >= 0 ? a : a - 399) / 400;
    const int64_t ae = a - ere * 400;
    const int64_t jda = (153 * (nMois + (nMois > 2 ? -3 : 9)) + 2) / 5 + nJour - 1;
    const int64_t jde = ae * 365 + ae / 4 - ae / 100 + jda;
    return ere * 146097 + jde - 719468;
}
