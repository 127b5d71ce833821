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

// More real lines of the same NEA.txt, for the spellings of other programs'
// lists: JPL's "1566 Icarus (1949 MA)", "4953 (1990 MU)" and
// "(2014 SM143)", XEphem's "1915 1953 EA".
inline constexpr char kIcarus[] =
    "01566   16.9   0.15 K1972 258.03935   31.38082   88.00550   22.826"
    "84  0.8269586  0.88049881   1.0780780  0 MPO452181  1020  34 1949-"
    "2018 1.07 M-v 3Eh MPCW       9803   (1566) Icarus             2018"
    "0726";
inline constexpr char kQuetzalcoatl[] =
    "01915   18.97  0.10 K1972 174.37936  347.84903  162.93719   20.403"
    "86  0.5704964  0.24299890   2.5433132  1 MPO143010    34   6 1953-"
    "2004 1.04 M-v 3Eh MPCW       4804   (1915) Quetzalcoatl       2004"
    "1009";
inline constexpr char k1990Mu[] =
    "04953   14.1   0.15 K1972  81.69152   77.76017   77.71057   24.391"
    "32  0.6574224  0.47744560   1.6212629  0 MPO458880   366  24 1974-"
    "2018 0.58 M-v 3Eh MPCW       9803   (4953) 1990 MU            2018"
    "1022";
inline constexpr char k2014Sm143[] =
    "K14SE3M 20.3   0.15 K1972 153.89024   89.59157   28.84555   24.212"
    "85  0.4226587  0.74452456   1.2056374  0 MPO460975   116   3 2014-"
    "2018 0.33 M-v 3Eh MPCALB     8803          2014 SM143         2018"
    "0928";

// Real lines of the MPC's CometEls.txt of 2026-02-13, with their line
// numbers in the copy kept beside the project's data (every second line of
// the file). C/2024 E1 stands in it twice, with two orbits.
inline constexpr char kHalley[] =  // 249: periodic
    "0001P         2061 08 10.6690  0.571790  0.967982  112.3617   59.4631  "
    "162.1654  20260213   5.5  3.2  1P/Halley                                "
    "                MPEC 2025-W75";
inline constexpr char kTsuchinshanAtlas[] =  // 172: long-period, slightly hyperbolic
    "    CK23A030  2024 09 27.7667  0.391572  1.000159  308.5455   21.6164  "
    "139.1076  20260213   6.5  3.2  C/2023 A3 (Tsuchinshan-ATLAS)            "
    "                MPEC 2025-YF1";
inline constexpr char kInterstellar[] =  // 508
    "0002I         2019 12  9.0572  1.997724  3.345952  209.2911  307.8024   "
    "44.2624  20251121  11.0  4.0  2I/Borisov                               "
    "                MPEC 2025-R69";
inline constexpr char kFragment[] =  // 17
    "    PK04V05b  2027 08  6.4017  4.433587  0.449716   87.1482   47.7339   "
    "19.3290  20260213   8.0  4.0  P/2004 V5-B (LINEAR-Hill)                "
    "                MPC 75705";
inline constexpr char kNumberedFragment[] =  // 284
    "0073P     bt  2028 01 21.8029  0.946804  0.692655   78.3928  189.7920   "
    "10.6073  20260213  11.5  6.0  73P-BT/Schwassmann-Wachmann              "
    "                MPC106348";
inline constexpr char kNoName[] =  // 392
    "0288P         2027 06 29.0073  2.442754  0.199407  280.2414   83.1076    "
    "3.2381  20260213  16.0  2.0  288P                                     "
    "                MPC133426";
inline constexpr char kNameless[] =  // 104
    "    AK19N020  2019 08 22.2968  1.936798  0.998116  347.0184  276.2241   "
    "89.3211  20260213  12.5  2.0  A/2019 N2                                "
    "                MPEC 2023-CD8";
inline constexpr char kWierzchos[] =  // 1
    "    CK24E010  2026 01 20.7687  0.566124  1.000081  243.6220  108.0795   "
    "75.2401  20260213  10.4  4.0  C/2024 E1 (Wierzchos)                    "
    "                MPEC 2026-C68";
inline constexpr char kWierzchosAgain[] =  // 195
    "    CK24E010  2026 01 20.7677  0.566097  1.000059  243.6272  108.0796   "
    "75.2401  20260213   7.0  4.0  C/2024 E1 (Wierzchos)                    "
    "                MPEC 2025-YF1";

}  // namespace mpc
}  // namespace test
}  // namespace orbitpick

#endif  // ORBITPICK_TESTS_MPC_LINES_H_
