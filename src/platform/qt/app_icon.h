// The window's icon, drawn in code: the same picture as data/velmora.svg.
#pragma once

#include <QIcon>

namespace velmora {

// Drawn rather than loaded, so the window has its icon without an image plug-in for SVG.
[[nodiscard]] QIcon MakeAppIcon();

}  // namespace velmora
