// CPU time of the server thread in real running: the server on the sound server's
// default devices, all five receivers active, a PSK31 signal played into the default
// sink, and the spectrum read every 256 samples as the tuning display would. Prints
// the server thread's CPU time (from /proc/self/task/<tid>/stat) as a share of one core.
//
// Usage: measure_server_cpu [SECONDS]   (at least 20; run it under tests/with-services.sh
// or against a desktop sound server whose default source hears the default sink)
#include <dirent.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "modem/transmitter.h"
#include "server/server.h"

namespace {

// utime + stime in clock ticks of a stat file (fields 14 and 15; the command name
// in parentheses may hold blanks, so count from the closing parenthesis).
long cpu_ticks(const std::string& stat_path) {
    std::ifstream in(stat_path);
    std::string line;
    std::getline(in, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

std::string find_server_thread() {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return "";
    std::string found;
    while (dirent* entry = readdir(tasks)) {
        const std::string tid = entry->d_name;
        if (tid[0] == '.') continue;
        std::ifstream comm("/proc/self/task/" + tid + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name == "vorda-server") found = tid;
    }
    closedir(tasks);
    return found;
}

// Plays a steady stream of PSK31 text at 1000 Hz into the default sink.
void play_signal(const std::atomic<bool>& stop) {
    pa_sample_spec spec{PA_SAMPLE_S16LE, 8000, 2};
    int error = 0;
    pa_simple* out = pa_simple_new(nullptr, "vorda-measure", PA_STREAM_PLAYBACK, nullptr,
                                   "signal", &spec, nullptr, nullptr, &error);
    if (out == nullptr) {
        std::fprintf(stderr, "measure: cannot open playback: %s\n", pa_strerror(error));
        return;
    }
    psk31_transmitter tx;
    tx.sink.context = out;
    tx.sink.write = [](void* context, const void* data, size_t bytes, int* err) {
        return pa_simple_write(static_cast<pa_simple*>(context), data, bytes, err) < 0 ? 1 : 0;
    };
    tx.sink.error_text = pa_strerror;
    tx.put_command(TX_FREQUENCY + 100000);
    tx.put_command(TX_BEGIN);
    const std::string text = "cq cq cq de vorda measuring the server thread pse k\n";
    while (!stop.load()) {
        if (tx.queued() < 64) {
            for (unsigned char c : text) tx.put_command(c);
        }
        tx.processor();
    }
    pa_simple_free(out);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    if (seconds < 20) {
        std::fprintf(stderr, "measure: at least 20 seconds\n");
        return 2;
    }
    server_init(nullptr, VORDA_SOURCE_DATA_DIR);
    const int32_t frequencies[] = {100000, 60000, 140000, 180000, 220000};
    for (int32_t ch = 2; ch <= 6; ++ch) {
        if (ch > 2) server_enable_receiver(ch);
        server_set_frequency(ch, frequencies[ch - 2]);
        server_set_squelch(ch, 15);
    }
    server_set_fft_interval(256);

    std::atomic<bool> stop{false};
    std::thread signal([&stop] { play_signal(stop); });

    const std::string tid = find_server_thread();
    if (tid.empty()) {
        std::fprintf(stderr, "measure: no thread named vorda-server\n");
        return 1;
    }
    const std::string thread_stat = "/proc/self/task/" + tid + "/stat";
    const long ticks_per_second = sysconf(_SC_CLK_TCK);

    std::this_thread::sleep_for(std::chrono::seconds(1));  // streams settled
    const long thread_start = cpu_ticks(thread_stat);
    const long process_start = cpu_ticks("/proc/self/stat");
    const auto wall_start = std::chrono::steady_clock::now();

    std::vector<float> spectrum(4096);
    std::vector<long> characters(7, 0);
    long spectra = 0;
    char bytes[256];
    // The poll loop's pace: every 10 ms read everything that is waiting.
    while (std::chrono::steady_clock::now() - wall_start < std::chrono::seconds(seconds)) {
        if (server_read(1, spectrum.data(), static_cast<int32_t>(spectrum.size() * 4)) > 0) ++spectra;
        for (int32_t ch : {0, 2, 3, 4, 5, 6}) {
            for (int32_t n; (n = server_read(ch, bytes, sizeof bytes)) > 0;) characters[ch] += n;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
    const double thread_cpu =
        static_cast<double>(cpu_ticks(thread_stat) - thread_start) / ticks_per_second;
    const double process_cpu =
        static_cast<double>(cpu_ticks("/proc/self/stat") - process_start) / ticks_per_second;

    std::printf("wall time                 %.1f s\n", wall);
    std::printf("spectra read              %ld (%.1f per second)\n", spectra, spectra / wall);
    std::printf("characters on channel 2   %ld (channels 3-6: %ld %ld %ld %ld)\n", characters[2],
                characters[3], characters[4], characters[5], characters[6]);
    std::printf("server thread CPU         %.2f s = %.2f %% of one core\n", thread_cpu,
                100.0 * thread_cpu / wall);
    std::printf("whole process CPU         %.2f s = %.2f %% of one core "
                "(signal player and PulseAudio client threads included)\n",
                process_cpu, 100.0 * process_cpu / wall);
    std::fflush(stdout);
    stop.store(true);
    signal.join();
    std::_Exit(0);  // the server thread runs until the process ends
}
