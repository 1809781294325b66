// The entry the program looks up when it loads the window module.
#include "platform/qt/qt_front_end.h"

extern "C" __attribute__((visibility("default"))) velmora::FrontEnd* velmora_make_window_front_end(
    int* argc, char** argv) {
    return velmora::MakeQtFrontEnd(*argc, argv).release();
}
