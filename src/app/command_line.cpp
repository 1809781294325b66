// Reading the raw Windows command line: the program path, quotes, switches and their values.
#include "app/command_line.h"

#include <algorithm>

#include "common/ascii_text.h"
#include "common/number_text.h"

namespace velmora {

namespace {

struct FoundSwitch {
    bool present = false;
    std::string value;
};

FoundSwitch FindValueSwitch(std::string_view argumentText, std::string_view upper,
                            std::string_view name) {
    const std::size_t index = upper.find(name);
    if (index == std::string_view::npos) {
        return {};
    }
    return {true, SwitchValue(argumentText, index + 1, name.size())};
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

constexpr std::string_view kValueSwitches[] = {"/SOURCE", "/TARGET", "/STARTDELAY", "/ENDDELAY"};
constexpr std::string_view kFlagSwitches[] = {"/SILENCE", "/NOSILENCE", "/REPAIR",
                                              "/NOREPAIR", "/CLOSE",    "/HIDDEN"};

// A word written as a switch (a leading "/", outside quotes, not a switch's value) that holds
// none of the names: /Enddleay 5 would otherwise be passed over and the run go on without
// it. A name inside a longer word still counts, as it always has (/Closed closes).
std::string UnknownSwitch(std::string_view text, std::string_view upper) {
    bool valueNext = false;
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        std::size_t end = at;
        if (text[at] == '"') {
            end = text.find('"', at + 1);
            end = end == std::string_view::npos ? text.size() : end + 1;
        }
        end = std::min(text.find(' ', end), text.size());
        const std::string_view word = upper.substr(at, end - at);
        const std::string_view name = word.substr(0, word.find('='));
        if (!valueNext && word.starts_with('/')) {
            bool known = false;
            for (const std::string_view switchName : kValueSwitches) {
                known = known || Contains(name, switchName);
                valueNext = valueNext || (name == switchName && name.size() == word.size());
            }
            for (const std::string_view switchName : kFlagSwitches) {
                known = known || Contains(name, switchName);
            }
            if (!known) {
                return std::string(text.substr(at, end - at));
            }
        } else {
            valueNext = false;
        }
        at = end;
    }
    return {};
}

// A delay that is not an optionally signed whole number of milliseconds: refused as the
// argument vector refuses it, instead of running with some other delay.
std::string DelayProblem(const FoundSwitch& delay, const std::string& shown) {
    if (!delay.present || ParseWholeMilliseconds(delay.value)) {
        return {};
    }
    return delay.value.empty()
               ? shown + " needs a value."
               : shown + " \"" + delay.value + "\" is not a whole number of milliseconds.";
}

}  // namespace

std::string_view SkipProgramName(std::string_view rawCommandLine) {
    std::size_t pathEnd = 0;
    if (!rawCommandLine.empty() && rawCommandLine.front() == '"') {
        pathEnd = rawCommandLine.find('"', 1);
    } else {
        pathEnd = rawCommandLine.find_first_of(" \t");
    }
    if (pathEnd == std::string_view::npos) {
        return {};
    }
    // A quoted path is followed by its closing quote and then one blank; an unquoted path
    // only by the blank.
    const std::size_t argumentsStart =
        (!rawCommandLine.empty() && rawCommandLine.front() == '"') ? pathEnd + 2 : pathEnd + 1;
    if (argumentsStart >= rawCommandLine.size()) {
        return {};
    }
    return rawCommandLine.substr(argumentsStart);
}

std::string StripQuotes(std::string_view text) {
    std::string result;
    int quotes = 0;
    for (const char c : text) {
        if (c == '"') {
            if (++quotes == 2) {
                break;
            }
            continue;
        }
        result += c;
    }
    return result;
}

std::string SwitchValue(std::string_view argumentText, std::size_t position,
                        std::size_t nameLength) {
    // The value starts at 1-based position + nameLength + 1: the character right after the
    // name is skipped whatever it is, which is why "/Source=x" works like "/Source x".
    const std::size_t start = position + nameLength;
    if (position == 0 || start >= argumentText.size()) {
        return {};
    }
    const std::string_view value = argumentText.substr(start);
    if (value.front() == '"') {
        return StripQuotes(value);
    }
    return std::string(value.substr(0, value.find(' ')));
}

BatchRequest ParseCommandLine(std::string_view argumentText) {
    // Switch names are matched without regard to case, but values keep their own case.
    // Only ASCII letters change, so every position in the copy is the same as in the given
    // text, whatever bytes a file name holds.
    const std::string upper = AsciiUpperCase(argumentText);

    BatchRequest request;
    const FoundSwitch source = FindValueSwitch(argumentText, upper, "/SOURCE");
    const FoundSwitch target = FindValueSwitch(argumentText, upper, "/TARGET");
    const FoundSwitch startDelay = FindValueSwitch(argumentText, upper, "/STARTDELAY");
    const FoundSwitch endDelay = FindValueSwitch(argumentText, upper, "/ENDDELAY");

    request.hasSource = source.present;
    request.source = source.value;
    request.hasTarget = target.present;
    request.target = target.value;
    request.hasStartDelay = startDelay.present;
    request.startDelay = ReadWholeMilliseconds(startDelay.value);
    if (endDelay.present) {
        request.endDelay = ReadWholeMilliseconds(endDelay.value);
    }
    request.silence = Contains(upper, "/SILENCE");
    // "/NOSILENCE" never holds "/SILENCE", so the two are told apart by substring search too.
    request.noSilence = Contains(upper, "/NOSILENCE");
    request.repair = Contains(upper, "/REPAIR");
    request.noRepair = Contains(upper, "/NOREPAIR");
    request.close = Contains(upper, "/CLOSE");
    request.hidden = Contains(upper, "/HIDDEN");
    if (const std::string unknown = UnknownSwitch(argumentText, upper); !unknown.empty()) {
        request.problem = "unknown switch \"" + unknown + "\".";
    } else if (const std::string problem = DelayProblem(startDelay, "/Startdelay");
               !problem.empty()) {
        request.problem = problem;
    } else {
        request.problem = DelayProblem(endDelay, "/Enddelay");
    }
    return request;
}

StartRequest ChooseStartMode(std::string_view argumentText) {
    StartRequest request;
    std::string_view words = argumentText;
    while (words.ends_with(' ')) {
        words.remove_suffix(1);
    }
    if (words == "/?" || words == "-h" || words == "--help") {
        request.mode = StartMode::Help;
    } else if (words == "--version") {
        request.mode = StartMode::Version;
    } else if (argumentText.empty()) {
        request.mode = StartMode::Interactive;
    } else if (Contains(argumentText, "/")) {
        request.mode = StartMode::Batch;
        request.batch = ParseCommandLine(argumentText);
    } else {
        // What Windows passes for a file dropped on the program: only the first quoted
        // name counts, an unquoted one is taken whole, blanks included.
        request.mode = StartMode::BareName;
        request.bareName = StripQuotes(argumentText);
    }
    return request;
}

StartRequest ReadRawCommandLine(std::string_view rawCommandLine) {
    return ChooseStartMode(SkipProgramName(rawCommandLine));
}

}  // namespace velmora
