#include "app/shutdown.h"

#include <Xm/Xm.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/state_file.h"
#include "gui/main_window.h"

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

void quitCB(Widget, XtPointer window, XtPointer) {
    const auto* mw = static_cast<const MainWindow*>(window);
    for (int slot = 0; slot < DECODER_SLOTS; ++slot) {
        const SecondaryDecoder& decoder = mw->decoders[slot];
        // Never opened, or open: the position read at start-up is kept.
        if (decoder.state != 0 || decoder.secondaryDiag == nullptr) continue;
        Position x = 0;
        Position y = 0;
        XtVaGetValues(decoder.secondaryDiag, XmNx, &x, XmNy, &y, nullptr);
        stateValues.decoderPos[slot] = {x, y};
    }
    if (iniProc('w') == 0) std::fputs("iniProc failed\n", stderr);
    std::exit(0);
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
}
