// Starts the server on the default sound server and asks for a transmission at once,
// as an operator pressing Xmit the moment the window appears. Prints how long the
// first character took to go out after the request, ends the transmission and waits
// until the radio would be unkeyed. Exit status 0 when all of that happened.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "server/server.h"

int main(int argc, char** argv) {
    using namespace std::chrono;
    if (argc != 2) {
        std::fputs("usage: first_transmission DATA_DIR\n", stderr);
        return 2;
    }
    server_init(nullptr, argv[1]);
    server_set_tx_mode(SERVER_TX_MODE_PSK);
    server_send_text("k", 0);
    const auto asked = steady_clock::now();
    server_request(SERVER_TX_NOW);

    char echo = 0;
    while (server_read(SERVER_ECHO_CHANNEL, &echo, 1) == 0) {
        if (steady_clock::now() - asked > seconds(10)) {
            std::puts("no echo within 10 s");
            return 1;
        }
        std::this_thread::sleep_for(milliseconds(2));
    }
    std::printf("%ld\n", static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - asked).count()));
    std::fflush(stdout);

    server_request(SERVER_TX_END);
    ServerStatus status{};
    const auto ended = steady_clock::now();
    do {
        if (steady_clock::now() - ended > seconds(10)) return 1;
        std::this_thread::sleep_for(milliseconds(5));
        server_get_status(SERVER_TX_CHANNEL, &status, sizeof status);
    } while (status.transmitting != 0);
    _exit(0);  // the server thread is never stopped
}
