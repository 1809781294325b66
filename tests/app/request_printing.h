// Readable test output for the command-line requests (gtest finds PrintTo by argument type).
#pragma once

#include <ostream>

#include "app/command_line.h"

namespace velmora {

inline void PrintTo(const BatchRequest& r, std::ostream* os) {
    *os << "{source " << (r.hasSource ? "\"" + r.source + "\"" : "absent") << ", target "
        << (r.hasTarget ? "\"" + r.target + "\"" : "absent") << ", start "
        << (r.hasStartDelay ? std::to_string(r.startDelay) : "absent") << ", end "
        << (r.endDelay ? std::to_string(*r.endDelay) : "absent") << (r.silence ? ", silence" : "")
        << (r.close ? ", close" : "") << (r.hidden ? ", hidden" : "") << "}";
}

inline void PrintTo(const StartRequest& r, std::ostream* os) {
    switch (r.mode) {
        case StartMode::Interactive:
            *os << "Interactive";
            break;
        case StartMode::BareName:
            *os << "BareName \"" << r.bareName << "\"";
            break;
        case StartMode::Batch:
            *os << "Batch ";
            PrintTo(r.batch, os);
            break;
    }
}

}  // namespace velmora
