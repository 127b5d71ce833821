// Real orbit lines of the Minor Planet Center's files, unchanged, for the
// tests that need the catalogue as it really is.

#ifndef ORBITPICK_TESTS_MPC_LINES_H_
#define ORBITPICK_TESTS_MPC_LINES_H_

namespace orbitpick {
namespace test {
namespace mpc {

// Real lines of the MPC's NEA.txt (2019; (433) Eros is its first line, and
// (4450) Pan) and Distant.txt ((134340) Pluto, (15788) 1993 SB). The
// unnumbered 2010 LF64 has a blank H.
inline constexpr char kEros[] =
    "00433   11.16  0.46 K1972  84.17190  178.83549  304.30424   10.828"
    "58  0.2227385  0.55973997   1.4581823  0 MPO467611  8406  52 1893-"
    "2019 0.69 M-v 38h MPCLINUX   1804    (433) Eros               2019"
    "0509";
inline constexpr char kPan[] =
    "04450   17.1   0.15 K1972 171.67182  291.82238  311.82151    5.520"
    "33  0.5866544  0.56901163   1.4422990  0 MPO431548   880  21 1987-"
    "2018 0.49 M-v 3Eh MPCLINUX   9803   (4450) Pan                2018"
    "0112";
inline constexpr char kPluto[] =
    "D4340   -0.76  0.12 K194R  41.54710  115.01131  110.29733   17.103"
    "37  0.2537532  0.00391855  39.8461085  0 MPO459634  9482  94 1914-"
    "2018 0.30 M-v 38h MPCLINUX   000E (134340) Pluto              2018"
    "0927";
inline constexpr char k1993Sb[] =
    "15788    7.9   0.15 K194R 354.71118   79.19551  354.74150    1.936"
    "89  0.3158956  0.00403256  39.0914888  2 MPO452394    54  11 1993-"
    "2017 0.73 M-v 38h MPCLINUX   000E  (15788) 1993 SB            2017"
    "1208";
inline constexpr char k2010Lf64[] =
    "K10L64F             K1972 283.37046  239.61117   19.10043   17.520"
    "69  0.1645012  0.63390490   1.3421055  8 MPO460897    24   1    3 "
    "days 1.00 M-v 38h MPCW       3804          2010 LF64          2010"
    "0605";

}  // namespace mpc
}  // namespace test
}  // namespace orbitpick

#endif  // ORBITPICK_TESTS_MPC_LINES_H_
