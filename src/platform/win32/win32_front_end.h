// The Windows desktop front end: the Win32 window, created hidden.
#pragma once

#include <memory>

#include "platform/front_end.h"

namespace velmora {

[[nodiscard]] std::unique_ptr<FrontEnd> MakeWin32FrontEnd();

}  // namespace velmora
