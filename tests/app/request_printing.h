// Building expected command-line requests, and printing them readably (gtest finds PrintTo
// by argument type).
#pragma once

#include <ostream>
#include <string>
#include <utility>

#include "app/command_line.h"

namespace velmora {

// A request with the three required switches present.
inline BatchRequest Complete(std::string source, std::string target, std::int32_t startDelay) {
    BatchRequest r;
    r.hasSource = r.hasTarget = r.hasStartDelay = true;
    r.source = std::move(source);
    r.target = std::move(target);
    r.startDelay = startDelay;
    return r;
}

// A copy of the request with one change made to it.
template <typename Change>
BatchRequest With(BatchRequest r, Change change) {
    change(r);
    return r;
}

inline void PrintTo(const BatchRequest& r, std::ostream* os) {
    *os << "{source " << (r.hasSource ? "\"" + r.source + "\"" : "absent") << ", target "
        << (r.hasTarget ? "\"" + r.target + "\"" : "absent") << ", start "
        << (r.hasStartDelay ? std::to_string(r.startDelay) : "absent") << ", end "
        << (r.endDelay ? std::to_string(*r.endDelay) : "absent") << (r.silence ? ", silence" : "")
        << (r.noSilence ? ", no silence" : "") << (r.close ? ", close" : "")
        << (r.hidden ? ", hidden" : "") << (r.problem.empty() ? "" : ", problem: " + r.problem)
        << "}";
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
        case StartMode::Help:
            *os << "Help";
            break;
        case StartMode::Version:
            *os << "Version";
            break;
        case StartMode::Files:
            *os << "Files " << r.files.files.size()
                << (r.files.problem.empty() ? "" : ", problem: " + r.files.problem);
            break;
    }
}

}  // namespace velmora
