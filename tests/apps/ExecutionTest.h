#pragma once
// Runs a program to its end with its output captured: the CLI, the demo host,
// the demo script. A run that outlives its limit is killed and reported.

#include <chrono>
#include <string>
#include <vector>

struct tResultatExecution
{
    int nSortie = -1;        // exit status; -1 when killed or not started
    bool bTue = false;       // killed at the time limit
    std::string strSortie;   // standard output
    std::string strErreur;   // standard error
    double dSecondes = 0;
};

// argv[0] is a path. `env` entries "NAME=value" are added to (or replace) the
// environment; "NAME=" with nothing after the sign removes NAME. cwd empty: the
// test's own directory.
tResultatExecution Executer(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                            const std::string& cwd = {},
                            std::chrono::milliseconds limite = std::chrono::seconds(30));
