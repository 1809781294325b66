// Which runs get the desktop window, and what is said when it cannot be had.
#include "app/front_end_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/posix_arguments.h"

namespace velmora {
namespace {

struct ChoiceRow {
    std::string why;
    std::vector<std::string> arguments;
    bool windowBuilt;
    bool display;
    bool useWindow;
    bool notice;
};

TEST(FrontEndChoice, OnlyRunsThatShowTheWindowNeedADisplay) {
    const std::vector<std::string> batch = {"/Source", "a", "/Target", "b", "/Startdelay", "0"};
    std::vector<std::string> hidden = batch;
    hidden.push_back("/Hidden");
    std::vector<std::string> closing = batch;
    closing.push_back("/Close");
    const std::vector<ChoiceRow> rows = {
        {"interactive with a display", {}, true, true, true, false},
        {"interactive without a display", {}, true, false, false, true},
        {"interactive in a build without the window", {}, false, true, false, true},
        {"bare name with a display", {"/mnt/a.ac3"}, true, true, true, false},
        {"bare name without a display", {"/mnt/a.ac3"}, true, false, false, true},
        {"batch shows the window", batch, true, true, true, false},
        {"batch with /Close shows it too", closing, true, true, true, false},
        {"batch without a display", batch, true, false, false, true},
        {"hidden batch never uses the window", hidden, true, true, false, false},
        {"hidden batch without a display is not worth a word", hidden, true, false, false, false},
        {"hidden batch in a build without the window", hidden, false, false, false, false},
        // The usage message is shown, not the window, but it is a window's message box.
        {"wrong parameters", {"/Close"}, true, true, true, false},
    };
    for (const ChoiceRow& row : rows) {
        const FrontEndChoice choice =
            ChooseFrontEnd(ReadArguments(row.arguments), row.windowBuilt, row.display);
        EXPECT_EQ(choice.useWindow, row.useWindow) << row.why;
        EXPECT_EQ(!choice.notice.empty(), row.notice) << row.why;
        if (!choice.notice.empty()) {
            EXPECT_EQ(choice.notice.find('\n'), std::string::npos) << row.why;
            EXPECT_EQ(choice.notice.rfind("velmora: ", 0), 0U) << row.why;
        }
    }
}

}  // namespace
}  // namespace velmora
