// What --help and --version print.
#include "app/usage_text.h"

namespace velmora {

namespace {

#ifdef _WIN32
constexpr const char* kSettingsPlace = "velmora.ini beside the program.";
#else
constexpr const char* kSettingsPlace =
    "velmora.ini beside the program when that file exists there; otherwise in\n"
    "$XDG_CONFIG_HOME/velmora/velmora.ini\n"
    "(~/.config/velmora/velmora.ini when XDG_CONFIG_HOME is not set).";
#endif

}  // namespace

std::string HelpText() {
    return R"(Usage: velmora                       open the window
       velmora FILE                  open the window with FILE chosen as the source
       velmora /Source FILE /Target FILE /Startdelay MS [more switches]
       velmora [OPTIONS] FILE...     correct every FILE, never with a window
       velmora --help | -h | --version | -V

Velmora corrects the delay of an AC-3 (.ac3), DTS (.dts), MPEG audio (.mpa, .mp1,
.mp2, .mp3, .m2a) or AAC in ADTS (.aac, .adts) elementary stream by cutting or adding
whole frames, or of PCM in WAV (.wav, .rf64, .bw64) to the sample, and saves a report
beside the target (TARGET with .txt).

Switches (names in any letter case; a value is the next argument, or follows "="):
  /Source FILE       the stream to correct (required)
  /Target FILE       where the corrected stream goes (required)
  /Startdelay MS     start delay in whole milliseconds (required): negative cuts frames
                     at the start, positive adds frames there
  /Enddelay MS       end delay in whole milliseconds: negative cuts frames at the end,
                     positive adds copies of the last frame there
  /Silence           frames added at the start of an AC-3, MPEG audio or AAC stream
                     are silent frames (DTS always gets copies, WAV always silence),
                     for this run only
  /Nosilence         frames added at the start are copies of the first frame, for this
                     run only
  /Repair            a damaged frame becomes a silent one and junk between frames is left
                     out, keeping the time, instead of ending the write; for this run only
  /Norepair          a damaged frame ends the write (a frame whose only fault is its CRC
                     is copied and named), for this run only
  /Close             end the program after the write
  /Hidden            no window (no display needed); implies /Close
A misspelt or repeated switch, a missing value, a word that is no switch and no value,
or a delay that is not a whole number ends the run with status 2 before anything is read
or written.

Options (the long form; a long option, "--" or two files or more select it, and it
does not mix with the switches; unique abbreviations work; a value follows "=" or is
the next word, "--start-delay -100" included):
  --source FILE      a file to correct (files may also simply be listed)
  --target FILE      the target of the one file given
  --start-delay MS   the start delay of every file; without it, each file's name says
                     ("DELAY -66ms", "_DELAY_957ms_", "[DELAY 0ms]"; none means 0)
  --end-delay MS     the end delay of every file
  --silence, --no-silence, --repair, --no-repair
                     as /Silence, /Nosilence, /Repair and /Norepair
  --output-dir DIR   targets go into DIR instead of beside their files
  --name-residual    a target named like its file, its DELAY mark giving the delay
                     left over ("film DELAY -100ms.ac3" gives "film DELAY -4ms.ac3")
  -q, --quiet        no line per file; errors still go to standard error
  --                 everything after it is a file
Each file goes into its proposed name (film.ac3 gives film_fix.ac3) with its report
beside it, and gets one line on standard output. A target that is a file of the call or
another file's target fails that file before anything is written; failures do not stop
the others. Exit status 0 when every file was written, 1 when any failed.

Exit status:
  0  the target and its report were written
  1  the write failed or was refused, the source does not exist or cannot be read,
     or the report could not be printed to standard output
  2  wrong parameters

Without a window the report is printed to standard output, messages go to standard
error, and a write shows its progress on standard error when that is a terminal.

Settings: the states of the "add silence" and "repair" check boxes are remembered in
)" + std::string(kSettingsPlace) + R"( Without /Silence and
/Nosilence (or /Repair and /Norepair) a batch run uses the remembered state; these
switches are never stored.

Example:
  velmora /Source "film DELAY -40ms.ac3" /Target film.ac3 /Startdelay -40 /Hidden
)";
}

std::string VersionText() {
    return std::string("velmora ") + VELMORA_VERSION + "\n";
}

int PrintProgramInformation(StartMode mode, std::ostream& out) {
    out << (mode == StartMode::Version ? VersionText() : HelpText());
    out.flush();
    return out.fail() ? 1 : 0;
}

}  // namespace velmora
