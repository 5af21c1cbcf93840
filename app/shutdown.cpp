#include "app/shutdown.h"

#include <Xm/Xm.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/band_place.h"
#include "app/state_file.h"
#include "gui/secondary.h"

namespace {

// The signal handler only writes the signal number into this pipe; the main
// loop reads it and runs the quit sequence, which touches widgets and files.
int signalPipe[2] = {-1, -1};

void writeMessage(const char* text, size_t length) {
    // Nothing to do about a failed write to standard error inside a handler.
    if (write(STDERR_FILENO, text, length) < 0) return;
}

void signalInputCB(XtPointer window, int* fd, XtInputId*) {
    unsigned char signalNumber = 0;
    if (read(*fd, &signalNumber, 1) == 1) quitCB(nullptr, window, nullptr);
}

}  // namespace

void quitProgram(const MainWindow* mw) {
    for (int slot = 0; slot < DECODER_SLOTS; ++slot) {
        int x = 0;
        int y = 0;
        if (decoder_closed_position(mw, slot, &x, &y)) {
            stateValues.decoderPos[slot] = {static_cast<int16_t>(x), static_cast<int16_t>(y)};
        }
    }
    saveBandPlace(mw);
    if (iniProc('w') == 0) std::fputs("iniProc failed\n", stderr);
    std::exit(0);
}

void quitCB(Widget, XtPointer window, XtPointer) {
    quitProgram(static_cast<const MainWindow*>(window));
}

void signalHandler(int signalNumber) {
    if (signalNumber == SIGQUIT) {
        writeMessage("QUIT\n", 5);
    } else if (signalNumber == SIGINT) {
        writeMessage("INTERRUPT\n", 10);
    } else {
        // SIGTERM: a logout or shutdown, which must not lose the state either.
        writeMessage("TERMINATE\n", 10);
    }
    std::signal(SIGINT, SIG_IGN);
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (write(signalPipe[1], &byte, 1) < 0) return;
}

void installSignalHandlers(XtAppContext app, XtPointer window) {
    if (signalPipe[0] < 0) {
        if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            std::perror("pipe");
            return;
        }
        XtAppAddInput(app, signalPipe[0], reinterpret_cast<XtPointer>(XtInputReadMask),
                      signalInputCB, window);
    }
    struct sigaction action {};
    action.sa_handler = signalHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGQUIT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A file grown past its size limit is a write error to report (the contact log
    // keeps its dialog open), not the end of the program.
    std::signal(SIGXFSZ, SIG_IGN);
}
