// The built shindo on records whose computation stops with a MATH report, and
// on their nearest neighbours that complete: the console transcript, the
// report, the exit status and the files pin exactly how far each run gets.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace {

using shindo::testing::list_directory;
using shindo::testing::read_file;
using shindo::testing::RunRequest;
using shindo::testing::RunResult;
using shindo::testing::TemporaryDirectory;
using shindo::testing::write_file;

// A file the run leaves: its size and its bytes, or, for a file too long to
// hold here, its first and its last record of 26 bytes.
struct LeftFile {
  const char* name;
  std::size_t size;
  std::string bytes;
};

struct FailingRun {
  const char* name;
  std::string record;  // the acceleration file r.txt
  std::string out;
  std::string err;
  int status;
  std::vector<LeftFile> files;  // besides r.txt
};

const FailingRun kRuns[] = {
  {"ZeroIntervalDividesByZero",
      "0.0 1 2 3\n"
      "0.0 4 5 6\n"
      "0.0 7 8 9\n"
      "0.0 1 1 1\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00        1.000000        2.000000        3.000000\r\n"
      "   0.000000E+00        4.000000        5.000000        6.000000\r\n"
      "   0.000000E+00        7.000000        8.000000        9.000000\r\n"
      "   0.000000E+00        1.000000        1.000000        1.000000\r\n"
      " nt, dt=          4    0.000000E+00\r\n"
      "\r\n"
      " IF1,NF=          2           4\r\n",
      "\r\n"
      "run-time error M6103: MATH\r\n"
      "- floating-point error: divide by zero\r\n",
   1,
   {
   }},
  {"NegativeIntervalTakesTheRootOfANegativeFrequency",
      "-0.00 0 0 0\n"
      "-0.01 1 2 3\n"
      "-0.02 2 4 6\n"
      "-0.03 3 6 9\n"
      "-0.04 4 8 12\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "  -1.000000E-02        1.000000        2.000000        3.000000\r\n"
      "  -2.000000E-02        2.000000        4.000000        6.000000\r\n"
      "  -3.000000E-02        3.000000        6.000000        9.000000\r\n"
      "  -4.000000E-02        4.000000        8.000000       12.000000\r\n"
      " nt, dt=          5   -1.000000E-02\r\n"
      "\r\n"
      " IF1,NF=          3           8\r\n"
      "\r\n"
      " DUR,DOM,NOM,EOM=  -8.000000E-02      -78.539820           5     -392.699100\r\n",
      "\r\n"
      "run-time error M6201: MATH\r\n"
      "- sqrt: DOMAIN error\r\n",
   1,
   {
   }},
  {"MicrosecondIntervalOverflowsTheHighCut",
      "0 100 50 0\n"
      "1e-06 -100 50 1\n"
      "2e-06 100 50 2\n"
      "3e-06 -100 50 3\n"
      "4e-06 100 50 4\n"
      "5e-06 -100 50 5\n"
      "6e-06 100 50 6\n"
      "7e-06 -100 50 7\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00      100.000000       50.000000    0.000000E+00\r\n"
      "   1.000000E-06     -100.000000       50.000000        1.000000\r\n"
      "   2.000000E-06      100.000000       50.000000        2.000000\r\n"
      "   3.000000E-06     -100.000000       50.000000        3.000000\r\n"
      "   4.000000E-06      100.000000       50.000000        4.000000\r\n"
      "   5.000000E-06     -100.000000       50.000000        5.000000\r\n"
      "   6.000000E-06      100.000000       50.000000        6.000000\r\n"
      "   7.000000E-06     -100.000000       50.000000        7.000000\r\n"
      " nt, dt=          8    1.000000E-06\r\n"
      "\r\n"
      " IF1,NF=          3           8\r\n"
      "\r\n"
      " DUR,DOM,NOM,EOM=   8.000000E-06   785398.200000           5  3926991.000000\r\n",
      "\r\n"
      "run-time error M6104: MATH\r\n"
      "- floating-point error: overflow\r\n",
   1,
   {
   }},
  {"TwoLargestValuesOverflowTheForwardTransform",
      "0 3.4e38 3.4e38 3.4e38\n"
      "0.01 3.4e38 0 0\n"
      "0.02 0 0 0\n"
      "0.03 0 0 0\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00    3.400000E+38    3.400000E+38    3.400000E+38\r\n"
      "   1.000000E-02    3.400000E+38    0.000000E+00    0.000000E+00\r\n"
      "   2.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   3.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      " nt, dt=          4    1.000000E-02\r\n"
      "\r\n"
      " IF1,NF=          2           4\r\n",
      "\r\n"
      "run-time error M6104: MATH\r\n"
      "- floating-point error: overflow\r\n",
   1,
   {
   }},
  {"LargestValueAtOneSecondOverflowsTheInverseTransform",
      "0 3.4e38 3.4e38 3.4e38\n"
      "1 0 0 0\n"
      "2 0 0 0\n"
      "3 0 0 0\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00    3.400000E+38    3.400000E+38    3.400000E+38\r\n"
      "       1.000000    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "       2.000000    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "       3.000000    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      " nt, dt=          4        1.000000\r\n"
      "\r\n"
      " IF1,NF=          2           4\r\n"
      "\r\n"
      " DUR,DOM,NOM,EOM=       4.000000        1.570796           3        4.712389\r\n",
      "\r\n"
      "run-time error M6104: MATH\r\n"
      "- floating-point error: overflow\r\n",
   1,
   {
   }},
  {"LargeValueOverflowsTheSecondVectorSample",
      "0 0 0 0\n"
      "0.3 2.5e38 2.5e38 2.5e38\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   3.000000E-01    2.500000E+38    2.500000E+38    2.500000E+38\r\n"
      " nt, dt=          2    3.000000E-01\r\n"
      "\r\n"
      " IF1,NF=          2           4\r\n"
      "\r\n"
      " DUR,DOM,NOM,EOM=       1.200000        5.235988           3       15.707960\r\n"
      "\r\n"
      "wave1_dat (filtered wave):\r\n",
      "\r\n"
      "run-time error M6104: MATH\r\n"
      "- floating-point error: overflow\r\n",
   1,
   {
    {"wave1_dat", 26,
     "   .0000E+00   .5072E+38\r\n"},
   }},
  {"FourSamplesAtALongIntervalComplete",
      "0.0000 10 0 0\n"
      "0.3595 11 -5 1\n"
      "0.7190 12 -10 4\n"
      "1.0785 13 -15 9\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00       10.000000    0.000000E+00    0.000000E+00\r\n"
      "   3.595000E-01       11.000000       -5.000000        1.000000\r\n"
      "   7.190000E-01       12.000000      -10.000000        4.000000\r\n"
      "       1.078500       13.000000      -15.000000        9.000000\r\n"
      " nt, dt=          4    3.595000E-01\r\n"
      "\r\n"
      " IF1,NF=          2           4\r\n"
      "\r\n"
      " DUR,DOM,NOM,EOM=       1.438000        4.369392           3       13.108180\r\n"
      "\r\n"
      "wave1_dat (filtered wave):\r\n"
      "\r\n"
      " Amax of Filtered wave (gal) =      22.213560\r\n"
      "\r\n"
      "a0tau_dat (A0-Tau Relation):\r\n"
      "\r\n"
      " A0 (gal) =      22.191350\r\n"
      " Shindo   =       3.635367\r\n"
      "\r\n"
      "Data are stored in fort.11 and fort.11\r\n"
      "Stop - Program terminated.\r\n"
      "\r\n",
      "",
   0,
   {
    {"a0tau_dat", 26000,
     "   .2219E+02   .3595E+00\r\n"
     "   .5513E-06   .1438E+01\r\n"},
    {"res.txt", 58,
     "  A0 (gal) =      22.191350\r\n"
     "  Shindo   =       3.635367\r\n"},
    {"wave1_dat", 104,
     "   .0000E+00   .1249E+02\r\n"
     "   .3595E+00   .1430E+02\r\n"
     "   .7190E+00   .1837E+02\r\n"
     "   .1079E+01   .2221E+02\r\n"},
   }},
  {"AllZeroRecordHasNoLevel",
      "0.00 0 0 0\n"
      "0.01 0 0 0\n"
      "0.02 0 0 0\n"
      "0.03 0 0 0\n"
      "0.04 0 0 0\n"
      "0.05 0 0 0\n"
      "0.06 0 0 0\n"
      "0.07 0 0 0\n"
      "0.08 0 0 0\n"
      "0.09 0 0 0\n"
      "0.10 0 0 0\n"
      "0.11 0 0 0\n"
      "0.12 0 0 0\n"
      "0.13 0 0 0\n"
      "0.14 0 0 0\n"
      "0.15 0 0 0\n"
      "0.16 0 0 0\n"
      "0.17 0 0 0\n"
      "0.18 0 0 0\n"
      "0.19 0 0 0\n"
      "0.20 0 0 0\n"
      "0.21 0 0 0\n"
      "0.22 0 0 0\n"
      "0.23 0 0 0\n"
      "0.24 0 0 0\n"
      "0.25 0 0 0\n"
      "0.26 0 0 0\n"
      "0.27 0 0 0\n"
      "0.28 0 0 0\n"
      "0.29 0 0 0\n"
      "0.30 0 0 0\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   3.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   4.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   5.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   6.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   7.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   8.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   9.000000E-02    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.000000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.100000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.200000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.300000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.400000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.500000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.600000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.700000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.800000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.900000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.000000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.100000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.200000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.300000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.400000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.500000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.600000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.700000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.800000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   2.900000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   3.000000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      " nt, dt=         31    1.000000E-02\r\n"
      "\r\n"
      " IF1,NF=          5          32\r\n"
      "\r\n"
      " DUR,DOM,NOM,EOM=   3.200000E-01       19.634950          17      333.794200\r\n"
      "\r\n"
      "wave1_dat (filtered wave):\r\n"
      "\r\n"
      " Amax of Filtered wave (gal) =   0.000000E+00\r\n"
      "\r\n"
      "a0tau_dat (A0-Tau Relation):\r\n"
      "\r\n"
      " A0 (gal) =   0.000000E+00\r\n",
      "\r\n"
      "run-time error M6202: MATH\r\n"
      "- log10: SING error\r\n",
   1,
   {
    {"a0tau_dat", 26000,
     "   .0000E+00   .0000E+00\r\n"
     "   .0000E+00   .0000E+00\r\n"},
    {"res.txt", 29,
     "  A0 (gal) =   0.000000E+00\r\n"},
    {"wave1_dat", 806,
     "   .0000E+00   .0000E+00\r\n"
     "   .1000E-01   .0000E+00\r\n"
     "   .2000E-01   .0000E+00\r\n"
     "   .3000E-01   .0000E+00\r\n"
     "   .4000E-01   .0000E+00\r\n"
     "   .5000E-01   .0000E+00\r\n"
     "   .6000E-01   .0000E+00\r\n"
     "   .7000E-01   .0000E+00\r\n"
     "   .8000E-01   .0000E+00\r\n"
     "   .9000E-01   .0000E+00\r\n"
     "   .1000E+00   .0000E+00\r\n"
     "   .1100E+00   .0000E+00\r\n"
     "   .1200E+00   .0000E+00\r\n"
     "   .1300E+00   .0000E+00\r\n"
     "   .1400E+00   .0000E+00\r\n"
     "   .1500E+00   .0000E+00\r\n"
     "   .1600E+00   .0000E+00\r\n"
     "   .1700E+00   .0000E+00\r\n"
     "   .1800E+00   .0000E+00\r\n"
     "   .1900E+00   .0000E+00\r\n"
     "   .2000E+00   .0000E+00\r\n"
     "   .2100E+00   .0000E+00\r\n"
     "   .2200E+00   .0000E+00\r\n"
     "   .2300E+00   .0000E+00\r\n"
     "   .2400E+00   .0000E+00\r\n"
     "   .2500E+00   .0000E+00\r\n"
     "   .2600E+00   .0000E+00\r\n"
     "   .2700E+00   .0000E+00\r\n"
     "   .2800E+00   .0000E+00\r\n"
     "   .2900E+00   .0000E+00\r\n"
     "   .3000E+00   .0000E+00\r\n"},
   }},
  {"RecordOfAQuarterSecondHasNoLevel",
      "0.00 0 0 1\n"
      "0.01 1 1 1\n"
      "0.02 2 2 1\n"
      "0.03 0 3 1\n"
      "0.04 1 4 1\n"
      "0.05 2 0 1\n"
      "0.06 0 1 1\n"
      "0.07 1 2 1\n"
      "0.08 2 3 1\n"
      "0.09 0 4 1\n"
      "0.10 1 0 1\n"
      "0.11 2 1 1\n"
      "0.12 0 2 1\n"
      "0.13 1 3 1\n"
      "0.14 2 4 1\n"
      "0.15 0 0 1\n"
      "0.16 1 1 1\n"
      "0.17 2 2 1\n"
      "0.18 0 3 1\n"
      "0.19 1 4 1\n"
      "0.20 2 0 1\n"
      "0.21 0 1 1\n"
      "0.22 1 2 1\n"
      "0.23 2 3 1\n"
      "0.24 0 4 1\n"
      "0.25 1 0 1\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00    0.000000E+00    0.000000E+00        1.000000\r\n"
      "   1.000000E-02        1.000000        1.000000        1.000000\r\n"
      "   2.000000E-02        2.000000        2.000000        1.000000\r\n"
      "   3.000000E-02    0.000000E+00        3.000000        1.000000\r\n"
      "   4.000000E-02        1.000000        4.000000        1.000000\r\n"
      "   5.000000E-02        2.000000    0.000000E+00        1.000000\r\n"
      "   6.000000E-02    0.000000E+00        1.000000        1.000000\r\n"
      "   7.000000E-02        1.000000        2.000000        1.000000\r\n"
      "   8.000000E-02        2.000000        3.000000        1.000000\r\n"
      "   9.000000E-02    0.000000E+00        4.000000        1.000000\r\n"
      "   1.000000E-01        1.000000    0.000000E+00        1.000000\r\n"
      "   1.100000E-01        2.000000        1.000000        1.000000\r\n"
      "   1.200000E-01    0.000000E+00        2.000000        1.000000\r\n"
      "   1.300000E-01        1.000000        3.000000        1.000000\r\n"
      "   1.400000E-01        2.000000        4.000000        1.000000\r\n"
      "   1.500000E-01    0.000000E+00    0.000000E+00        1.000000\r\n"
      "   1.600000E-01        1.000000        1.000000        1.000000\r\n"
      "   1.700000E-01        2.000000        2.000000        1.000000\r\n"
      "   1.800000E-01    0.000000E+00        3.000000        1.000000\r\n"
      "   1.900000E-01        1.000000        4.000000        1.000000\r\n"
      "   2.000000E-01        2.000000    0.000000E+00        1.000000\r\n"
      "   2.100000E-01    0.000000E+00        1.000000        1.000000\r\n"
      "   2.200000E-01        1.000000        2.000000        1.000000\r\n"
      "   2.300000E-01        2.000000        3.000000        1.000000\r\n"
      "   2.400000E-01    0.000000E+00        4.000000        1.000000\r\n"
      "   2.500000E-01        1.000000    0.000000E+00        1.000000\r\n"
      " nt, dt=         26    1.000000E-02\r\n"
      "\r\n"
      " IF1,NF=          5          32\r\n"
      "\r\n"
      " DUR,DOM,NOM,EOM=   3.200000E-01       19.634950          17      333.794200\r\n"
      "\r\n"
      "wave1_dat (filtered wave):\r\n"
      "\r\n"
      " Amax of Filtered wave (gal) =       1.312776\r\n"
      "\r\n"
      "a0tau_dat (A0-Tau Relation):\r\n"
      "\r\n"
      " A0 (gal) =   0.000000E+00\r\n",
      "\r\n"
      "run-time error M6202: MATH\r\n"
      "- log10: SING error\r\n",
   1,
   {
    {"a0tau_dat", 26000,
     "   .1311E+01   .1000E-01\r\n"
     "  -.3912E-07   .2600E+00\r\n"},
    {"res.txt", 29,
     "  A0 (gal) =   0.000000E+00\r\n"},
    {"wave1_dat", 676,
     "   .0000E+00   .7138E+00\r\n"
     "   .1000E-01   .9014E+00\r\n"
     "   .2000E-01   .1079E+01\r\n"
     "   .3000E-01   .1195E+01\r\n"
     "   .4000E-01   .1222E+01\r\n"
     "   .5000E-01   .1191E+01\r\n"
     "   .6000E-01   .1189E+01\r\n"
     "   .7000E-01   .1245E+01\r\n"
     "   .8000E-01   .1299E+01\r\n"
     "   .9000E-01   .1287E+01\r\n"
     "   .1000E+00   .1235E+01\r\n"
     "   .1100E+00   .1224E+01\r\n"
     "   .1200E+00   .1266E+01\r\n"
     "   .1300E+00   .1313E+01\r\n"
     "   .1400E+00   .1298E+01\r\n"
     "   .1500E+00   .1235E+01\r\n"
     "   .1600E+00   .1219E+01\r\n"
     "   .1700E+00   .1260E+01\r\n"
     "   .1800E+00   .1294E+01\r\n"
     "   .1900E+00   .1271E+01\r\n"
     "   .2000E+00   .1202E+01\r\n"
     "   .2100E+00   .1166E+01\r\n"
     "   .2200E+00   .1182E+01\r\n"
     "   .2300E+00   .1177E+01\r\n"
     "   .2400E+00   .1068E+01\r\n"
     "   .2500E+00   .8644E+00\r\n"},
   }},
  {"LowestLevelBelowZeroIsTheFirstToLastLongEnough",
      "0 0 0 0\n"
      "0.1 1 0 0\n"
      "0.2 0 0 0\n"
      "0.3 -1 0 0\n",
      "\r\n"
      "\r\n"
      "Calculation of Shindo\r\n"
      "------------------------------------------------\r\n"
      "\r\n"
      "Enter acceleration file name:\r\n"
      "   0.000000E+00    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   1.000000E-01        1.000000    0.000000E+00    0.000000E+00\r\n"
      "   2.000000E-01    0.000000E+00    0.000000E+00    0.000000E+00\r\n"
      "   3.000000E-01       -1.000000    0.000000E+00    0.000000E+00\r\n"
      " nt, dt=          4    1.000000E-01\r\n"
      "\r\n"
      " IF1,NF=          2           4\r\n"
      "\r\n"
      " DUR,DOM,NOM,EOM=   4.000000E-01       15.707960           3       47.123890\r\n"
      "\r\n"
      "wave1_dat (filtered wave):\r\n"
      "\r\n"
      " Amax of Filtered wave (gal) =   4.100510E-01\r\n"
      "\r\n"
      "a0tau_dat (A0-Tau Relation):\r\n"
      "\r\n"
      " A0 (gal) =  -8.847564E-09\r\n",
      "\r\n"
      "run-time error M6201: MATH\r\n"
      "- log10: DOMAIN error\r\n",
   1,
   {
    {"a0tau_dat", 26000,
     "   .4096E+00   .2000E+00\r\n"
     "  -.8848E-08   .4000E+00\r\n"},
    {"res.txt", 29,
     "  A0 (gal) =  -8.847564E-09\r\n"},
    {"wave1_dat", 104,
     "   .0000E+00   .1792E-07\r\n"
     "   .1000E+00   .4101E+00\r\n"
     "   .2000E+00   .1792E-07\r\n"
     "   .3000E+00   .4101E+00\r\n"},
   }},
};

struct FailingRuns : ::testing::TestWithParam<FailingRun> {};

TEST_P(FailingRuns, StopAtTheSamePointWithTheSameReport) {
  const FailingRun& run = GetParam();
  TemporaryDirectory work;
  write_file(work.path / "r.txt", run.record);
  const RunResult result =
      shindo::testing::run_piped(RunRequest{SHINDO_BINARY, {"res.txt"}, work.path}, "r.txt\r\n1\r\n");
  EXPECT_EQ(result.out, run.out);
  EXPECT_EQ(result.err, run.err);
  EXPECT_EQ(result.exit_code, run.status);

  std::vector<std::string> expected_names{"r.txt"};
  for (const LeftFile& file : run.files) expected_names.push_back(file.name);
  std::sort(expected_names.begin(), expected_names.end());
  ASSERT_EQ(list_directory(work.path), expected_names);
  for (const LeftFile& file : run.files) {
    SCOPED_TRACE(file.name);
    const std::string bytes = read_file(work.path / file.name);
    ASSERT_EQ(bytes.size(), file.size);
    if (file.bytes.size() == file.size) {
      EXPECT_EQ(bytes, file.bytes);
    } else {
      const std::size_t half = file.bytes.size() / 2;
      EXPECT_EQ(bytes.substr(0, half), file.bytes.substr(0, half));
      EXPECT_EQ(bytes.substr(bytes.size() - half), file.bytes.substr(half));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Records, FailingRuns, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
