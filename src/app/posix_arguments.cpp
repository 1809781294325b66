// Reading an argument vector: whole-argument switches, next-argument values, bare names.
#include "app/posix_arguments.h"

#include <array>
#include <optional>
#include <string_view>

#include "common/number_text.h"

namespace velmora {

namespace {

enum class Switch { Source, Target, StartDelay, EndDelay, Silence, Close, Hidden };

struct SwitchName {
    std::string_view name;  // upper case
    Switch which;
    bool takesValue;
};

constexpr std::array<SwitchName, 7> kSwitches{{
    {"/SOURCE", Switch::Source, true},
    {"/TARGET", Switch::Target, true},
    {"/STARTDELAY", Switch::StartDelay, true},
    {"/ENDDELAY", Switch::EndDelay, true},
    {"/SILENCE", Switch::Silence, false},
    {"/CLOSE", Switch::Close, false},
    {"/HIDDEN", Switch::Hidden, false},
}};

struct SwitchArgument {
    Switch which = Switch::Source;
    bool takesValue = false;
    // The text after "=" in /Source=x.
    std::optional<std::string> inlineValue;
};

bool EqualsUpper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != upper[i]) {
            return false;
        }
    }
    return true;
}

bool StartsWithUpper(std::string_view text, std::string_view upper) {
    return text.size() >= upper.size() && EqualsUpper(text.substr(0, upper.size()), upper);
}

std::optional<SwitchArgument> RecogniseSwitch(std::string_view argument) {
    if (argument.empty() || argument.front() != '/') {
        return std::nullopt;
    }
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    // Switch names hold one "/" only, at their start; anything with more is a path.
    if (name.find('/', 1) != std::string_view::npos) {
        return std::nullopt;
    }
    for (const SwitchName& candidate : kSwitches) {
        if (candidate.takesValue && EqualsUpper(name, candidate.name)) {
            SwitchArgument found{candidate.which, true, std::nullopt};
            if (equals != std::string_view::npos) {
                found.inlineValue = std::string(argument.substr(equals + 1));
            }
            return found;
        }
        if (!candidate.takesValue && StartsWithUpper(name, candidate.name)) {
            return SwitchArgument{candidate.which, false, std::nullopt};
        }
    }
    return std::nullopt;
}

// Applies one switch; the first occurrence of each counts, later ones are read but ignored.
void Apply(BatchRequest& request, Switch which, const std::string& value) {
    switch (which) {
        case Switch::Source:
            if (!request.hasSource) {
                request.hasSource = true;
                request.source = value;
            }
            break;
        case Switch::Target:
            if (!request.hasTarget) {
                request.hasTarget = true;
                request.target = value;
            }
            break;
        case Switch::StartDelay:
            if (!request.hasStartDelay) {
                request.hasStartDelay = true;
                request.startDelay = ReadWholeMilliseconds(value);
            }
            break;
        case Switch::EndDelay:
            if (!request.endDelay) {
                request.endDelay = ReadWholeMilliseconds(value);
            }
            break;
        case Switch::Silence:
            request.silence = true;
            break;
        case Switch::Close:
            request.close = true;
            break;
        case Switch::Hidden:
            request.hidden = true;
            break;
    }
}

}  // namespace

StartRequest ReadArguments(const std::vector<std::string>& arguments) {
    StartRequest result;
    if (arguments.empty()) {
        result.mode = StartMode::Interactive;
        return result;
    }
    if (arguments.size() == 1 && !RecogniseSwitch(arguments.front())) {
        result.mode = StartMode::BareName;
        result.bareName = arguments.front();
        return result;
    }

    result.mode = StartMode::Batch;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::optional<SwitchArgument> found = RecogniseSwitch(arguments[i]);
        if (!found) {
            continue;
        }
        std::string value;
        if (found->inlineValue) {
            value = *found->inlineValue;
        } else if (found->takesValue && i + 1 < arguments.size()) {
            // The next argument is this switch's value, even when it looks like a switch.
            value = arguments[++i];
        }
        Apply(result.batch, found->which, value);
    }
    return result;
}

StartRequest ReadArgv(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return ReadArguments(arguments);
}

}  // namespace velmora
