#include <gtest/gtest.h>

#include "common/Dates.h"

TEST(Dates, DaysFrom1970CountLeapDaysAndCenturiesOnEitherSide)
{
    const struct {
        int64_t nAnnee;
        int nMois;
        int nJour;
        int64_t nJours;
    } cas[] = {
        {1970, 1, 1, 0},      {1969, 12, 31, -1},   {1972, 2, 29, 789},   {1972, 3, 1, 790},
        {2000, 2, 29, 11016}, {2000, 3, 1, 11017},  {2100, 3, 1, 47541},  {1900, 3, 1, -25508},
        {2038, 1, 19, 24855}, {9999, 12, 31, 2932896}, {100, 1, 1, -683003},
    };
    for (const auto& c : cas)
        EXPECT_EQ(JoursDepuis1970(c.nAnnee, c.nMois, c.nJour), c.nJours)
            << c.nAnnee << '-' << c.nMois << '-' << c.nJour;
}
