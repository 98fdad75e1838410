#pragma once
// Calendar arithmetic, once for the listing parser and the transfer panes: a
// listed date becomes a time without the process's time zone or locale.

#include <cstdint>

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (negative
// before it). The month is 1 to 12; the day is not checked against the month.
int64_t JoursDepuis1970(int64_t nAnnee, int nMois, int nJour);
