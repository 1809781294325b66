// The application-wide busy mouse pointer, counted so that it can never be left on.
#include "platform/qt/busy_pointer.h"

#include <QApplication>
#include <QCursor>

namespace velmora {

void BusyPointer::Set(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        ++depth_;
    } else if (depth_ > 0) {
        QApplication::restoreOverrideCursor();
        --depth_;
    }
}

void BusyPointer::Reset() {
    while (depth_ > 0) {
        Set(false);
    }
}

}  // namespace velmora
