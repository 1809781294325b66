// The window's behaviour: choosing source and target, the Write button rule, the Write
// operation. Works on any MainView, so it runs the same with or without a display.
#pragma once

#include "correction/target_writer.h"
#include "ui/main_view.h"
#include "ui/program_state.h"

namespace velmora {

// What pressing Write came to, for a batch run's exit status.
enum class WriteRun {
    Written,        // target and report saved
    SourceMissing,  // the source does not exist or cannot be read
    Cancelled,      // the user declined to overwrite, or stopped the write
    Failed,         // refused, damaged source, read, write or report failure
};

class MainWindow {
  public:
    MainWindow(ProgramState& state, MainView& view) : state_(state), view_(view) {}

    void cmd_Source_Click();
    void cmd_Target_Click();
    WriteRun cmd_Write_Click();

    void SourceChosen();
    // A name typed into the source box and left: chosen when it is a file that can be read,
    // else the status line says why not.
    void SourceTyped(const std::string& typed);
    void UpdateWriteButton();

    ProgramState& State() { return state_; }
    MainView& View() { return view_; }

  private:
    // AnalyseSource, then the silent-frame loader; replaces the report unless the source
    // does not exist.
    void Analyse();
    // Shows what the write's result calls for, and what the run then was.
    WriteRun Told(const WriteResult& result);

    ProgramState& state_;
    MainView& view_;
};

}  // namespace velmora
