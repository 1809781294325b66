// The command line as Windows hands it over: one raw text, read into what a run should do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Shown as a plain message box when a batch run lacks a required switch.
inline constexpr std::string_view kUsageMessage =
    "Wrong parameters.\r\n"
    "\"Velmora\" /Source <source-file> /Target <target-file> /Startdelay <delay ms> "
    "[/Enddelay <delay ms>] [/Silence] [/Nosilence] [/Repair] [/Norepair] [/Close] [/Hidden]";

// The usage line alone, which follows the first line of every wrong-parameters message.
inline constexpr std::string_view kUsageLine = kUsageMessage.substr(kUsageMessage.find('\n') + 1);

// What the switches of one batch run asked for. Both command-line forms (the raw Windows
// text and the POSIX argument vector) produce it, so the run itself is the same for both.
struct BatchRequest {
    // /Source, /Target and /Startdelay are required; a run without any of them only shows
    // the usage message.
    bool hasSource = false;
    bool hasTarget = false;
    bool hasStartDelay = false;
    std::string source;
    std::string target;
    // Whole milliseconds; text that holds no number reads as 0.
    std::int32_t startDelay = 0;
    // Only set when /Enddelay was given; otherwise the end-delay box keeps what it holds.
    std::optional<std::int32_t> endDelay;
    bool silence = false;
    // /Nosilence: the box is unchecked for this run only; it wins over /Silence where the
    // raw form finds both.
    bool noSilence = false;
    // /Repair and /Norepair: the repair box, likewise for this run only.
    bool repair = false;
    bool noRepair = false;
    bool close = false;
    bool hidden = false;

    // What was wrong with the arguments, naming the switch and the value; the run then only
    // shows it with the usage line. Only the POSIX form is this strict.
    std::string problem;

    [[nodiscard]] bool Complete() const { return hasSource && hasTarget && hasStartDelay; }
    // A hidden window could not be closed by anyone, so /Hidden ends the program as well.
    [[nodiscard]] bool CloseWhenDone() const { return close || hidden; }

    friend bool operator==(const BatchRequest&, const BatchRequest&) = default;
};

// The long form of the argument vector: GNU long options and any number of files, each
// corrected into the name proposed beside it (or in `outputDir`), never with a window.
struct FilesRequest {
    std::vector<std::string> files;
    std::optional<std::string> target;  // --target: the one file's target
    std::optional<std::int32_t> startDelay;  // else each file's name says
    std::optional<std::int32_t> endDelay;
    bool silence = false;
    bool noSilence = false;
    bool repair = false;
    bool noRepair = false;
    std::string outputDir;
    bool quiet = false;
    // --name-residual: a target named like its source, its DELAY mark giving what is left.
    bool nameResidual = false;
    // A usage error in getopt's words ("unknown option '--frobnicate'"); empty when none.
    std::string problem;

    friend bool operator==(const FilesRequest&, const FilesRequest&) = default;
};

enum class StartMode {
    Interactive,  // no arguments: show the window
    BareName,     // one file name: show the window with it chosen as the source
    Batch,        // switches: fill the boxes, press Write, maybe end
    Help,         // --help or -h: the usage text on standard output, no window
    Version,      // --version: the version on standard output, no window
    Files,        // the long form: every file in turn, a line for each, no window
};

struct StartRequest {
    StartMode mode = StartMode::Interactive;
    std::string bareName;  // StartMode::BareName only
    BatchRequest batch;    // StartMode::Batch only
    FilesRequest files;    // StartMode::Files only

    friend bool operator==(const StartRequest&, const StartRequest&) = default;
};

// The raw command line less the program's own path and the one blank after it. A quoted
// path ends at its closing quote; an unquoted one at its first blank, as Windows itself
// reads an unquoted program name. A path whose quote never closes is the whole line.
[[nodiscard]] std::string_view SkipProgramName(std::string_view rawCommandLine);

// The characters up to the second double quote, the quotes left out; the whole text when it
// has no quotes, everything after the opening quote when it has only one.
[[nodiscard]] std::string StripQuotes(std::string_view text);

// The value of a switch found at the 1-based `position` of the argument text, the name being
// `nameLength` characters long. One character after the name is skipped unseen (a blank or
// "="); a quoted value runs to its closing quote, any other to the next blank.
[[nodiscard]] std::string SwitchValue(std::string_view argumentText, std::size_t position,
                                      std::size_t nameLength);

// Finds the switches anywhere in the argument text, without regard to case, by their first
// occurrence; a switch name inside a longer word or a path counts.
[[nodiscard]] BatchRequest ParseCommandLine(std::string_view argumentText);

// Empty text: interactive; any "/" in it: switches; otherwise a bare (maybe quoted) name.
[[nodiscard]] StartRequest ChooseStartMode(std::string_view argumentText);

// The whole reading of a raw Windows command line: SkipProgramName, then ChooseStartMode.
[[nodiscard]] StartRequest ReadRawCommandLine(std::string_view rawCommandLine);

}  // namespace velmora
