#pragma once
// The five 15 x 15 state images both task lists share, drawn in code: 0 green downward arrow, 1 two
// pause bars, 2 clock, 3 cross, 4 green check mark.
#include <QIcon>

namespace morvalin {

inline constexpr int kStateImageCount = 5;
inline constexpr int kStateImageSize = 15;

// The image at `index`; a null icon for an index outside 0..4.
QIcon StateImage(int index);

}  // namespace morvalin
