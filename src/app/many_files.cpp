// The long form's run: every file of the call corrected in turn, one line for each.
#include "app/many_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "analysis/analyse_source.h"
#include "app/start_up.h"
#include "common/number_text.h"
#include "app/window_events.h"
#include "correction/correction_plan.h"
#include "platform/headless/headless_front_end.h"
#include "platform/standard_streams.h"
#include "report/plan_lines.h"
#include "ui/file_naming.h"
#include "ui/main_window.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

// One name for a file whatever way it is written, so that collisions are found.
std::string Resolved(const std::string& name) {
    std::error_code ignored;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(name, ignored), ignored);
    return resolved.empty() ? name : resolved.string();
}

// The source's own name with its mark giving the delay left for the muxer, in whole ms;
// empty where the name has no mark, or where that would be the source's name again.
std::string ResidualName(const FilesRequest& request, const std::string& file) {
    const std::optional<DelayMark> mark = FindDelayMark(file);
    if (!mark) {
        return {};
    }
    const FileType type = FileTypeFromExtension(file);
    const SourceAnalysis analysis = AnalyseSource(file, type);
    const CorrectionPlan plan = MakeCorrectionPlan(request.startDelay.value_or(mark->delay),
                                                   request.endDelay.value_or(0), analysis.info)
                                    .plan;
    const std::string named =
        NameWithDelay(file, *mark, RoundToInt64(RemainingStartDelayMs(plan, analysis.info)));
    return named == file ? std::string() : named;
}

std::string TargetFor(const FilesRequest& request, const std::string& file) {
    if (request.target) {
        return *request.target;
    }
    std::string proposed = request.nameResidual ? ResidualName(request, file) : std::string();
    if (proposed.empty()) {
        proposed = ProposeTargetName(file, FileTypeFromExtension(file));
    }
    return request.outputDir.empty()
               ? proposed
               : (fs::path(request.outputDir) / fs::path(proposed).filename()).string();
}

std::string OutputDirProblem(const std::string& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return "output folder '" + folder + "' is no folder";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "output folder '" + folder + "' cannot be written to: " + std::strerror(errno);
    }
    return {};
}

std::string Frames(std::int64_t count, const std::string& unit, const char* what) {
    return std::to_string(count) + " " + unit + (count == 1 ? "" : "s") + " " + what;
}

// "film DELAY -40ms.ac3: start delay -40ms (from its name), 1 frame cut at start, remaining
// -8.0ms: written to film.ac3"
std::string FileLine(const std::string& file, std::int32_t delay, const char* delaySource,
                     const CorrectionPlan& plan, const StreamInfo& info,
                     const std::string& target, bool written) {
    const std::string unit = info.SampleUnits ? "sample" : "frame";
    std::string line = file + ": start delay " + std::to_string(delay) + "ms (" + delaySource + ")";
    if (plan.cutStartFrames > 0) {
        line += ", " + Frames(plan.cutStartFrames, unit, "cut at start");
    } else if (plan.addStartFrames > 0) {
        line += ", " + Frames(plan.addStartFrames, unit, "added at start");
    }
    if (plan.cutEndFrames > 0) {
        line += ", " + Frames(plan.cutEndFrames, unit, "cut at end");
    } else if (plan.addEndFrames > 0) {
        line += ", " + Frames(plan.addEndFrames, unit, "added at end");
    }
    const std::string remaining = RemainingDelayText(RemainingStartDelayMs(plan, info));
    if (!remaining.empty()) {
        line += ", remaining " + remaining;
    }
    return line + (written ? ": written to " + target : ": failed");
}

}  // namespace

int RunFiles(const FilesRequest& request, const std::string& settingsPath, std::ostream& out,
             std::ostream& err) {
    if (!request.problem.empty()) {
        err << "velmora: " << request.problem << "\nTry 'velmora --help' for more information."
            << std::endl;
        return kExitWrongParameters;
    }
    if (!request.outputDir.empty()) {
        if (const std::string problem = OutputDirProblem(request.outputDir); !problem.empty()) {
            err << "velmora: " << problem << std::endl;
            return kExitWrongParameters;
        }
    }
    std::vector<std::string> targets;
    std::vector<std::string> resolvedTargets;
    std::vector<std::string> sources;
    for (const std::string& file : request.files) {
        targets.push_back(TargetFor(request, file));
        resolvedTargets.push_back(Resolved(targets.back()));
        sources.push_back(Resolved(file));
    }
    bool allWritten = true;
    for (std::size_t n = 0; n < request.files.size(); ++n) {
        const std::string& file = request.files[n];
        const std::string& target = targets[n];
        bool collides = false;
        for (std::size_t other = 0; other < request.files.size(); ++other) {
            collides = collides || sources[other] == resolvedTargets[n] ||
                       (other != n && resolvedTargets[other] == resolvedTargets[n]);
        }
        const std::optional<std::int32_t> named = DelayFromFileName(file);
        const std::int32_t delay = request.startDelay.value_or(named.value_or(0));
        const char* delaySource = request.startDelay ? "given"
                                  : named            ? "from its name"
                                                     : "none in its name";
        ProgramState state;
        state.SettingsPath = settingsPath;
        bool written = false;
        if (collides) {
            err << "velmora: " << file << ": target \"" << target
                << "\" is a source or another file's target in this call; nothing was written."
                << std::endl;
        } else {
            BatchRequest batch;
            batch.hasSource = batch.hasTarget = batch.hasStartDelay = true;
            batch.source = file;
            batch.target = target;
            batch.startDelay = delay;
            batch.endDelay = request.endDelay;
            batch.silence = request.silence;
            batch.noSilence = request.noSilence;
            batch.repair = request.repair;
            batch.noRepair = request.noRepair;
            batch.hidden = true;
            // The report is saved beside the target; only its line is printed here.
            std::ostringstream report;
            HeadlessFrontEnd frontEnd(report, err, StandardErrorIsTerminal(),
                                      "[" + std::to_string(n + 1) + "/" +
                                          std::to_string(request.files.size()) + "] ");
            MainWindow window(state, frontEnd.View());
            frm_WinMain_Load(frontEnd.View(), state);
            written = RunBatch(batch, window).exitStatus == kExitSuccess;
            static_cast<void>(frontEnd.Finish());
        }
        allWritten = allWritten && written;
        if (!request.quiet) {
            const PlannedCorrection planned =
                MakeCorrectionPlan(delay, request.endDelay.value_or(0), state.streamInfo);
            out << FileLine(file, delay, delaySource, planned.plan, state.streamInfo, target,
                            written)
                << std::endl;
        }
    }
    return allWritten ? kExitSuccess : kExitWriteFailed;
}

}  // namespace velmora
