// Fuzz target: the raw Windows command line and the POSIX argument vector, read into requests.
//
// The whole input is the raw command line; the same bytes split at every NUL are the
// argument vector (argv cannot hold a NUL, so nothing is lost by splitting there).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/posix_arguments.h"
#include "fuzz_scratch.h"

namespace {

using velmora::fuzz::Require;

std::string ChangeAsciiCase(std::string_view text, bool upper) {
    std::string changed(text);
    for (char& c : changed) {
        if (upper && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (!upper && c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return changed;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool SameBatch(const velmora::BatchRequest& a, const velmora::BatchRequest& b) {
    return a.hasSource == b.hasSource && a.hasTarget == b.hasTarget &&
           a.hasStartDelay == b.hasStartDelay && a.source == b.source && a.target == b.target &&
           a.startDelay == b.startDelay && a.endDelay == b.endDelay && a.silence == b.silence &&
           a.noSilence == b.noSilence && a.close == b.close && a.hidden == b.hidden &&
           a.problem == b.problem;
}

// What letter case must not change: which switches were seen and the numbers read.
bool SameSwitches(const velmora::BatchRequest& a, const velmora::BatchRequest& b) {
    return a.hasSource == b.hasSource && a.hasTarget == b.hasTarget &&
           a.hasStartDelay == b.hasStartDelay && a.startDelay == b.startDelay &&
           a.endDelay == b.endDelay && a.silence == b.silence && a.noSilence == b.noSilence &&
           a.close == b.close && a.hidden == b.hidden;
}

bool SameStart(const velmora::StartRequest& a, const velmora::StartRequest& b) {
    return a.mode == b.mode && a.bareName == b.bareName && SameBatch(a.batch, b.batch);
}

void CheckStripQuotes(std::string_view text) {
    const std::string stripped = velmora::StripQuotes(text);
    Require(!Contains(stripped, "\""), "StripQuotes: no double quote is left");
    Require(stripped.size() <= text.size(), "StripQuotes: never longer than its text");
    if (!Contains(text, "\"")) {
        Require(stripped == text, "StripQuotes: a text without quotes comes back whole");
    }
}

void CheckRawForm(std::string_view raw) {
    const std::string_view arguments = velmora::SkipProgramName(raw);
    Require(arguments.empty() || (arguments.data() >= raw.data() &&
                                  arguments.data() + arguments.size() == raw.data() + raw.size()),
            "SkipProgramName: the result is the tail of the command line");
    CheckStripQuotes(raw);

    const velmora::StartRequest start = velmora::ChooseStartMode(arguments);
    Require(SameStart(start, velmora::ReadRawCommandLine(raw)),
            "ReadRawCommandLine is SkipProgramName, then ChooseStartMode");
    Require((start.mode == velmora::StartMode::Interactive) == arguments.empty(),
            "raw form: interactive exactly when no arguments are left");
    Require((start.mode == velmora::StartMode::Batch) == Contains(arguments, "/"),
            "raw form: a batch run exactly when a slash is there");

    const velmora::BatchRequest batch = velmora::ParseCommandLine(arguments);
    // Values come from the text itself, never from the upper-cased copy or beyond its end.
    Require(!batch.hasSource || Contains(arguments, batch.source),
            "ParseCommandLine: the source is a piece of the text");
    Require(!batch.hasTarget || Contains(arguments, batch.target),
            "ParseCommandLine: the target is a piece of the text");
    const std::string upper = ChangeAsciiCase(arguments, true);
    Require(batch.hasSource == Contains(upper, "/SOURCE") &&
                batch.hasTarget == Contains(upper, "/TARGET") &&
                batch.hasStartDelay == Contains(upper, "/STARTDELAY") &&
                batch.endDelay.has_value() == Contains(upper, "/ENDDELAY"),
            "ParseCommandLine: a switch is seen wherever its name stands");
    Require(SameSwitches(batch, velmora::ParseCommandLine(upper)) &&
                SameSwitches(batch, velmora::ParseCommandLine(ChangeAsciiCase(arguments, false))),
            "ParseCommandLine: letter case changes nothing but the values' own case");
}

// SwitchValue with every placement a name of up to 12 characters can have in a short text,
// and one beyond its end.
void CheckSwitchValue(std::string_view text) {
    const std::string_view head = text.substr(0, 24);
    for (std::size_t position = 0; position <= head.size() + 1; ++position) {
        for (std::size_t nameLength = 0; nameLength <= 12; ++nameLength) {
            const std::string value = velmora::SwitchValue(head, position, nameLength);
            Require(Contains(head, value), "SwitchValue: the value is a piece of the text");
        }
    }
}

std::vector<std::string> SplitAtNul(std::string_view text) {
    std::vector<std::string> pieces;
    if (text.empty()) {
        return pieces;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\0', start);
        pieces.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

bool PieceOfAnArgument(const std::vector<std::string>& arguments, const std::string& value) {
    for (const std::string& argument : arguments) {
        if (Contains(argument, value)) {
            return true;
        }
    }
    return false;
}

void CheckPosixForm(std::string_view text) {
    const std::vector<std::string> arguments = SplitAtNul(text);
    const velmora::StartRequest start = velmora::ReadArguments(arguments);

    std::vector<const char*> argv{"velmora"};
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    Require(SameStart(start, velmora::ReadArgv(static_cast<int>(argv.size()), argv.data())),
            "ReadArgv reads argv as ReadArguments reads the arguments after the name");

    Require((start.mode == velmora::StartMode::Interactive) == arguments.empty(),
            "POSIX form: interactive exactly when there are no arguments");
    const bool answered =
        start.mode == velmora::StartMode::Help || start.mode == velmora::StartMode::Version;
    if (arguments.size() >= 2) {
        Require(start.mode == velmora::StartMode::Batch || answered,
                "POSIX form: several arguments are a batch run unless help is asked for");
    }
    if (answered) {
        return;
    }
    const velmora::BatchRequest& strict = start.batch;
    // Strict reading: every value that was taken is whole and non-empty, and a delay that was
    // taken is a number the argument spells exactly.
    Require(!strict.hasSource || !strict.source.empty(), "POSIX form: no empty source");
    Require(!strict.hasTarget || !strict.target.empty(), "POSIX form: no empty target");
    Require(!(strict.silence && strict.noSilence) || !strict.problem.empty(),
            "POSIX form: /Silence with /Nosilence is an error");
    if (start.mode == velmora::StartMode::BareName) {
        Require(start.bareName == arguments.front(), "POSIX form: a bare name is taken whole");
    }
    const velmora::BatchRequest& batch = start.batch;
    Require(!batch.hasSource || PieceOfAnArgument(arguments, batch.source),
            "POSIX form: the source comes from one argument");
    Require(!batch.hasTarget || PieceOfAnArgument(arguments, batch.target),
            "POSIX form: the target comes from one argument");

    std::vector<std::string> upper;
    for (const std::string& argument : arguments) {
        upper.push_back(ChangeAsciiCase(argument, true));
    }
    const velmora::StartRequest upperStart = velmora::ReadArguments(upper);
    // Letter case may change whether a file exists (/tmp, /TMP), and with it a lone
    // argument's mode; the switches of a batch run must not change.
    if (start.mode == velmora::StartMode::Batch && upperStart.mode == velmora::StartMode::Batch) {
        Require(SameSwitches(upperStart.batch, batch),
                "POSIX form: switch names are read without regard to case");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckRawForm(text);
    CheckSwitchValue(text);
    CheckPosixForm(text);
    return 0;
}
