#include "display/ColourScale.h"

namespace qs {

// clang-format off
const std::array<Rgb, 101> ColourScale = {{
    MakeRgb(  0,   0, 199), MakeRgb(  1,   1, 199), MakeRgb(  1,   7, 199), MakeRgb(  1,  13, 199),  // 0
    MakeRgb(  1,  19, 199), MakeRgb(  1,  25, 199), MakeRgb(  1,  31, 199), MakeRgb(  1,  37, 199),  // 4
    MakeRgb(  1,  43, 199), MakeRgb(  1,  49, 199), MakeRgb(  1,  55, 199), MakeRgb(  1,  61, 199),  // 8
    MakeRgb(  1,  67, 199), MakeRgb(  1,  73, 199), MakeRgb(  1,  79, 199), MakeRgb(  1,  85, 199),  // 12
    MakeRgb(  1,  91, 199), MakeRgb(  1,  97, 199), MakeRgb(  1, 103, 199), MakeRgb(  1, 109, 199),  // 16
    MakeRgb(  1, 115, 199), MakeRgb(  1, 121, 199), MakeRgb(  1, 127, 199), MakeRgb(  1, 133, 199),  // 20
    MakeRgb(  1, 139, 199), MakeRgb(  1, 145, 199), MakeRgb(  1, 151, 199), MakeRgb(  1, 157, 199),  // 24
    MakeRgb(  1, 163, 199), MakeRgb(  1, 169, 199), MakeRgb(  1, 175, 199), MakeRgb(  1, 181, 199),  // 28
    MakeRgb(  1, 187, 199), MakeRgb(  1, 193, 199), MakeRgb(  1, 199, 199), MakeRgb(  7, 199, 193),  // 32
    MakeRgb( 13, 199, 187), MakeRgb( 19, 199, 181), MakeRgb( 25, 199, 175), MakeRgb( 31, 199, 169),  // 36
    MakeRgb( 37, 199, 163), MakeRgb( 43, 199, 157), MakeRgb( 49, 199, 151), MakeRgb( 55, 199, 145),  // 40
    MakeRgb( 61, 199, 139), MakeRgb( 67, 199, 133), MakeRgb( 73, 199, 127), MakeRgb( 79, 199, 121),  // 44
    MakeRgb( 85, 199, 115), MakeRgb( 91, 199,  97), MakeRgb( 97, 199, 103), MakeRgb(103, 199,  97),  // 48
    MakeRgb(109, 199,  91), MakeRgb(115, 199,  85), MakeRgb(121, 199,  79), MakeRgb(127, 199,  73),  // 52
    MakeRgb(133, 199,  67), MakeRgb(139, 199,  61), MakeRgb(145, 199,  55), MakeRgb(151, 199,  49),  // 56
    MakeRgb(157, 199,  43), MakeRgb(163, 199,  37), MakeRgb(169, 199,  31), MakeRgb(175, 199,  25),  // 60
    MakeRgb(181, 199,  19), MakeRgb(187, 199,  13), MakeRgb(193, 199,   7), MakeRgb(199, 199,   1),  // 64
    MakeRgb(199, 193,   1), MakeRgb(199, 187,   1), MakeRgb(199, 181,   1), MakeRgb(199, 175,   1),  // 68
    MakeRgb(199, 169,   1), MakeRgb(199, 163,   1), MakeRgb(199, 157,   1), MakeRgb(199, 151,   1),  // 72
    MakeRgb(199, 145,   1), MakeRgb(199, 139,   1), MakeRgb(199, 133,   1), MakeRgb(199, 127,   1),  // 76
    MakeRgb(199, 121,   1), MakeRgb(199, 115,   1), MakeRgb(199, 109,   1), MakeRgb(199, 103,   1),  // 80
    MakeRgb(199,  97,   1), MakeRgb(199,  91,   1), MakeRgb(199,  85,   1), MakeRgb(199,  79,   1),  // 84
    MakeRgb(199,  73,   1), MakeRgb(199,  67,   1), MakeRgb(199,  61,   1), MakeRgb(199,  55,   1),  // 88
    MakeRgb(199,  49,   1), MakeRgb(199,  43,   1), MakeRgb(199,  37,   1), MakeRgb(199,  31,   1),  // 92
    MakeRgb(199,  25,   1), MakeRgb(199,  19,   1), MakeRgb(199,  13,   1), MakeRgb(199,   7,   1),  // 96
    MakeRgb(199,   1,   1),  // 100
}};
// clang-format on

}  // namespace qs
