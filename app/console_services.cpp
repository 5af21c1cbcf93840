#include "app/console_services.h"

#include "app/band_place.h"
#include "app/shutdown.h"
#include "app/state_file.h"

namespace {

void savedPosition(int slot, int* x, int* y) {
    const WindowPosition& saved = stateValues.decoderPos[slot];
    *x = saved.x;
    *y = saved.y;
}

}  // namespace

ConsoleServices consoleServices() { return {quitProgram, savedPosition, qsoDirectory, savedBandPlace}; }
