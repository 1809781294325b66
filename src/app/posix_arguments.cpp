// Reading an argument vector: whole-argument switches, next-argument values, bare names.
#include "app/posix_arguments.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/number_text.h"

namespace velmora {

namespace {

enum class Switch {
    Source,
    Target,
    StartDelay,
    EndDelay,
    Silence,
    NoSilence,
    Repair,
    NoRepair,
    Close,
    Hidden,
};

struct SwitchName {
    std::string_view name;  // upper case
    Switch which;
    bool takesValue;
    std::string_view shown;  // as the usage line writes it
};

constexpr std::array<SwitchName, 10> kSwitches{{
    {"/SOURCE", Switch::Source, true, "/Source"},
    {"/TARGET", Switch::Target, true, "/Target"},
    {"/STARTDELAY", Switch::StartDelay, true, "/Startdelay"},
    {"/ENDDELAY", Switch::EndDelay, true, "/Enddelay"},
    {"/SILENCE", Switch::Silence, false, "/Silence"},
    {"/NOSILENCE", Switch::NoSilence, false, "/Nosilence"},
    {"/REPAIR", Switch::Repair, false, "/Repair"},
    {"/NOREPAIR", Switch::NoRepair, false, "/Norepair"},
    {"/CLOSE", Switch::Close, false, "/Close"},
    {"/HIDDEN", Switch::Hidden, false, "/Hidden"},
}};

struct SwitchArgument {
    const SwitchName* name = nullptr;
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

// A leading "/" and no other: written like a switch, whether or not it names one.
bool ShapedLikeSwitch(std::string_view argument) {
    const std::string_view name = argument.substr(0, argument.find('='));
    return name.size() > 1 && name.front() == '/' &&
           name.find('/', 1) == std::string_view::npos;
}

std::optional<SwitchArgument> RecogniseSwitch(std::string_view argument) {
    if (!ShapedLikeSwitch(argument)) {
        return std::nullopt;
    }
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    for (const SwitchName& candidate : kSwitches) {
        if (EqualsUpper(name, candidate.name)) {
            SwitchArgument found{&candidate, std::nullopt};
            if (equals != std::string_view::npos) {
                found.inlineValue = std::string(argument.substr(equals + 1));
            }
            return found;
        }
    }
    return std::nullopt;
}

bool PathExists(const std::string& name) {
    std::error_code ignored;
    return std::filesystem::exists(name, ignored);
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// Collects the switches of one batch run and the first thing wrong with them.
class BatchReader {
  public:
    void Fail(std::string problem) {
        if (request_.problem.empty()) {
            request_.problem = std::move(problem);
        }
    }

    void Flag(const SwitchArgument& found) {
        if (found.inlineValue) {
            Fail(std::string(found.name->shown) + " takes no value, but was given " +
                 Quoted(*found.inlineValue) + ".");
        }
        switch (found.name->which) {
            case Switch::Silence:
                request_.silence = true;
                break;
            case Switch::NoSilence:
                request_.noSilence = true;
                break;
            case Switch::Repair:
                request_.repair = true;
                break;
            case Switch::NoRepair:
                request_.noRepair = true;
                break;
            case Switch::Close:
                request_.close = true;
                break;
            case Switch::Hidden:
                request_.hidden = true;
                break;
            default:
                break;
        }
    }

    void Value(const SwitchName& name, const std::string& value) {
        if (value.empty()) {
            Fail(std::string(name.shown) + " needs a value.");
            return;
        }
        switch (name.which) {
            case Switch::Source:
                request_.hasSource = true;
                request_.source = value;
                break;
            case Switch::Target:
                request_.hasTarget = true;
                request_.target = value;
                break;
            case Switch::StartDelay:
            case Switch::EndDelay: {
                const std::optional<std::int32_t> delay = ParseWholeMilliseconds(value);
                if (!delay) {
                    Fail(std::string(name.shown) + " " + Quoted(value) +
                         " is not a whole number of milliseconds.");
                    return;
                }
                if (name.which == Switch::StartDelay) {
                    request_.hasStartDelay = true;
                    request_.startDelay = *delay;
                } else {
                    request_.endDelay = *delay;
                }
                break;
            }
            default:
                break;
        }
    }

    // False for a switch seen before: a second value would silently lose to the first.
    bool FirstTime(const SwitchName& name) {
        const auto index = static_cast<std::size_t>(&name - kSwitches.data());
        if (seen_[index]) {
            Fail(std::string(name.shown) + " is given twice.");
            return false;
        }
        seen_[index] = true;
        return true;
    }

    BatchRequest Finish() {
        if (request_.silence && request_.noSilence) {
            Fail("/Silence and /Nosilence contradict each other.");
        }
        if (request_.repair && request_.noRepair) {
            Fail("/Repair and /Norepair contradict each other.");
        }
        return std::move(request_);
    }

  private:
    BatchRequest request_;
    std::array<bool, kSwitches.size()> seen_{};
};

BatchRequest ReadBatch(const std::vector<std::string>& arguments) {
    BatchReader reader;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const std::optional<SwitchArgument> found = RecogniseSwitch(argument);
        if (!found) {
            // A misspelt switch (/Enddleay) or a stray word (a second file meant for another
            // run) must not be passed over: the run would do something else than asked.
            if (argument.starts_with('/') && !PathExists(argument)) {
                reader.Fail(ShapedLikeSwitch(argument)
                                ? "unknown switch " + Quoted(argument) + "."
                                : Quoted(argument) + " is no switch and no existing file.");
            } else {
                reader.Fail(Quoted(argument) + " is no switch and no switch's value.");
            }
            continue;
        }
        const SwitchName& name = *found->name;
        if (!reader.FirstTime(name)) {
            continue;
        }
        if (!name.takesValue) {
            reader.Flag(*found);
            continue;
        }
        if (found->inlineValue) {
            reader.Value(name, *found->inlineValue);
        } else if (i + 1 < arguments.size() && !RecogniseSwitch(arguments[i + 1])) {
            reader.Value(name, arguments[++i]);
        } else if (i + 1 < arguments.size()) {
            // "/Target /Hidden" once wrote a file named /Hidden at the root.
            reader.Fail(std::string(name.shown) + " needs a value, but is followed by the switch " +
                        Quoted(arguments[i + 1]) + ".");
        } else {
            reader.Fail(std::string(name.shown) + " needs a value.");
        }
    }
    return reader.Finish();
}

struct LongOption {
    std::string_view name;
    bool takesValue;
};

constexpr std::array<LongOption, 13> kLongOptions{{
    {"source", true},     {"target", true},      {"start-delay", true}, {"end-delay", true},
    {"silence", false},   {"no-silence", false}, {"repair", false},     {"no-repair", false},
    {"output-dir", true}, {"quiet", false},      {"help", false},       {"version", false},
    {"name-residual", false},
}};

// A GNU long option or the end of options: what selects the long form. "--5" is a mistyped
// delay of the switches form, not an option.
bool IsLongOption(std::string_view argument) {
    return argument == "--" ||
           (argument.size() > 2 && argument.starts_with("--") &&
            std::isalpha(static_cast<unsigned char>(argument[2])) != 0);
}

// The option a written name stands for: itself, or the one option it begins (as getopt_long
// takes abbreviations); nullptr with the reason when none or several.
const LongOption* FindLongOption(std::string_view name, std::string& problem) {
    const LongOption* found = nullptr;
    int matches = 0;
    std::string candidates;
    for (const LongOption& option : kLongOptions) {
        if (option.name == name) {
            return &option;
        }
        if (option.name.starts_with(name)) {
            candidates += " '--" + std::string(option.name) + "'";
            found = &option;
            ++matches;
        }
    }
    if (matches == 0) {
        problem = "unknown option '--" + std::string(name) + "'";
    } else if (matches > 1) {
        problem = "option '--" + std::string(name) + "' is ambiguous; possibilities:" + candidates;
        return nullptr;
    }
    return found;
}

std::optional<std::int32_t> LongDelay(const std::string& value, std::string_view option,
                                      std::string& problem) {
    const std::optional<std::int32_t> delay = ParseWholeMilliseconds(value);
    if (!delay && problem.empty()) {
        problem = "invalid delay '" + value + "' for '--" + std::string(option) +
                  "': a whole number of milliseconds is needed";
    }
    return delay;
}

// Every argument after the options' values is a file; "--" ends the options. Options may
// stand anywhere (POSIXLY_CORRECT is not looked at: a script behaves the same everywhere).
StartRequest ReadLongForm(const std::vector<std::string>& arguments) {
    StartRequest result;
    result.mode = StartMode::Files;
    FilesRequest& request = result.files;
    std::string& problem = request.problem;
    std::vector<std::string> operands;
    std::optional<std::string> source;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size() && problem.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-") {
            problem = "'-' is no file here: a stream cannot be replaced safely through a pipe";
        } else if (optionsEnded || !argument.starts_with('-') || argument.size() == 1) {
            operands.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (!argument.starts_with("--")) {
            for (const char letter : std::string_view(argument).substr(1)) {
                if (letter == 'q') {
                    request.quiet = true;
                } else if (letter == 'h' || letter == 'V') {
                    result.mode = letter == 'h' ? StartMode::Help : StartMode::Version;
                } else if (problem.empty()) {
                    problem = std::string("invalid option -- '") + letter + "'";
                }
            }
        } else {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(2, equals - 2);
            const LongOption* option = FindLongOption(name, problem);
            if (option == nullptr) {
                break;
            }
            std::optional<std::string> value;
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
            }
            if (!option->takesValue && value) {
                problem = "option '--" + std::string(option->name) + "' doesn't allow an argument";
                break;
            }
            if (option->takesValue && !value) {
                // A required value is the next word whatever it looks like: --start-delay -100.
                if (i + 1 == arguments.size()) {
                    problem = "option '--" + std::string(option->name) + "' requires an argument";
                    break;
                }
                value = arguments[++i];
            }
            const std::string_view which = option->name;
            if (which == "source") {
                source = *value;
            } else if (which == "target") {
                request.target = *value;
            } else if (which == "start-delay") {
                request.startDelay = LongDelay(*value, which, problem);
            } else if (which == "end-delay") {
                request.endDelay = LongDelay(*value, which, problem);
            } else if (which == "output-dir") {
                request.outputDir = *value;
            } else if (which == "help" || which == "version") {
                result.mode = which == "help" ? StartMode::Help : StartMode::Version;
            } else {
                request.silence = request.silence || which == "silence";
                request.noSilence = request.noSilence || which == "no-silence";
                request.repair = request.repair || which == "repair";
                request.noRepair = request.noRepair || which == "no-repair";
                request.quiet = request.quiet || which == "quiet";
                request.nameResidual = request.nameResidual || which == "name-residual";
            }
        }
    }
    if (source) {
        operands.insert(operands.begin(), *source);
    }
    request.files = std::move(operands);
    if (!problem.empty() || result.mode != StartMode::Files) {
        return result;
    }
    if (request.files.empty()) {
        problem = "no file given";
    } else if (request.target && request.files.size() != 1) {
        problem = "'--target' names the target of one file, but " +
                  std::to_string(request.files.size()) + " files are given";
    } else if (request.target && request.nameResidual) {
        problem = "'--target' and '--name-residual' cannot be given together";
    } else if (request.target && !request.outputDir.empty()) {
        problem = "'--target' and '--output-dir' cannot be given together";
    } else if (request.silence && request.noSilence) {
        problem = "'--silence' and '--no-silence' contradict each other";
    } else if (request.repair && request.noRepair) {
        problem = "'--repair' and '--no-repair' contradict each other";
    }
    return result;
}

}  // namespace

StartRequest ReadArguments(const std::vector<std::string>& arguments) {
    StartRequest result;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            result.mode = StartMode::Help;
            return result;
        }
        if (argument == "--version" || argument == "-V") {
            result.mode = StartMode::Version;
            return result;
        }
    }
    // A long option (-q included) or two files or more select the long form; the switches
    // form, with its own rules, cannot take them.
    const bool classic = std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) {
        return RecogniseSwitch(a).has_value();
    });
    const bool longOption =
        std::any_of(arguments.begin(), arguments.end(),
                    [](const std::string& a) { return IsLongOption(a) || a == "-q"; });
    if (classic && longOption) {
        result.mode = StartMode::Batch;
        result.batch.problem = "the /Switch form and --options cannot be mixed in one call.";
        return result;
    }
    if (longOption || (!classic && arguments.size() >= 2)) {
        return ReadLongForm(arguments);
    }
    if (arguments.empty()) {
        result.mode = StartMode::Interactive;
        return result;
    }
    const std::string& first = arguments.front();
    // A lone unknown switch is a mistake, not a file to open; a lone existing file written
    // like one (/vmlinuz) is still a name.
    if (arguments.size() == 1 && !RecogniseSwitch(first) &&
        (!ShapedLikeSwitch(first) || PathExists(first))) {
        result.mode = StartMode::BareName;
        result.bareName = first;
        return result;
    }
    result.mode = StartMode::Batch;
    result.batch = ReadBatch(arguments);
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
