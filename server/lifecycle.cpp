// The server's life cycle: the program's record, start-up, the server thread, and
// what happens at exit. The audio thread's phases and the five calls never call back
// into this file; it alone calls them (the thread) and sets up what they share.
#include <pthread.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "modem/receiver.h"
#include "modem/varicode.h"
#include "server/server_state.h"

int32_t server_sample_rate = 8000;
ServerPtt server_ptt;

namespace {

// However the process ends (quit, a signal, an error dialog's OK), the radio is
// not left keyed, and a rig is closed. A change-over under way is waited for.
void release_ptt_at_exit() {
    server_state& s = server_instance();
    // Hamlib's two tries of 10 s each, and a little more.
    rig_worker_stop(s.rig_thread, std::chrono::seconds(25));
    if (s.rig_thread.io != nullptr) return;  // the rig thread unkeyed and closed it
    std::lock_guard<std::mutex> hold(s.ptt_lock);
    keyer_release(*s.ptt, *s.rig, s.keyer);
}

// The rig thread, when a rig keys by CAT or its dial is to be read. A rig opened for
// reading alone that does not answer at start-up is tried again once a second.
void start_rig_thread(server_state& s) {
    const ServerPtt& settings = s.ptt_settings;
    const bool keys = settings.method == PttMethod::cat && s.keyer.asked;
    const bool reads = settings.method == PttMethod::cat || settings.rig_read == 1;
    if (!keys && !(reads && s.rig->get_dial != nullptr)) return;
    if (!keys) {
        const std::string problem = rig_open(*s.rig, settings.rig_model, settings.rig_port,
                                             settings.rig_speed, s.keyer.rig);
        if (!problem.empty() && settings.method != PttMethod::cat) {
            std::fprintf(stderr, "Cannot open the rig, %s: %s: its frequency is not shown\n",
                         s.keyer.rig.name.c_str(), problem.c_str());
        }
    }
    rig_worker_start(s.rig_thread, *s.rig, s.keyer.rig, keys, reads, &s.unkey_failed);
}

void* server_thread(void*) {
    for (;;) master_handler();
    return nullptr;
}

}  // namespace

server_state::~server_state() {
    rig_worker_stop(rig_thread, std::chrono::seconds(25));
    if (keyer.rig.rig != nullptr) rig->close(keyer.rig.rig);
    for (uint32_t ch = 2; ch <= 6; ++ch) {
        if (channels[ch].decoder != nullptr) destroy_receiver(channels[ch].decoder);
        channels[ch].decoder = nullptr;
    }
}

server_state& server_instance() {
    // Never destroyed: the server thread runs until the process ends, exit included.
    static server_state* instance = new server_state;
    return *instance;
}

int32_t init_audio(server_state& s) {
    int error = 0;
    s.capture = s.audio->open(audio_direction::capture, server_sample_rate, &error);
    if (s.capture == nullptr) {
        std::fprintf(stderr, "init_audio sprx error - %d %s\n", error, s.audio->error_text(error));
        return 0;
    }
    s.playback = s.audio->open(audio_direction::playback, server_sample_rate, &error);
    if (s.playback == nullptr) {
        std::fprintf(stderr, "init_audio sptx error - %d %s\n", error, s.audio->error_text(error));
        return 0;
    }
    return 1;
}

void server_setup(server_state& s, const char* ptt_device, const char* data_dir) {
    for (channel_buffer& channel : s.channels) channel_clear(channel);
    if (init_audio(s) == 0) std::exit(1);
    // Before the thread exists: the rig's time to answer holds up the start only.
    keyer_open(*s.ptt, *s.rig, s.ptt_settings, ptt_device, s.keyer);
    start_rig_thread(s);
    load_code_table(data_dir);
    s.spectrum.configure(1024, 1024, 0);
    psk31_receiver* main_receiver = create_receiver();
    main_receiver->spectrum = &s.spectrum;
    {
        std::lock_guard<std::mutex> hold(s.decoder_lock);
        s.channels[2].decoder = main_receiver;
    }
    // The transmitter starts in its initial state; its blocks go to the playback stream.
    s.transmitter.sink.context = &s;
    s.transmitter.sink.write = [](void* context, const void* data, size_t bytes, int* error) {
        auto* owner = static_cast<server_state*>(context);
        return owner->audio->write(owner->playback, data, bytes, error) < 0 ? 1 : 0;
    };
    s.transmitter.sink.error_text = s.audio->error_text;
}

int32_t init_audio() { return init_audio(server_instance()); }

void master_handler() {
    // A dead capture stream leaves nothing to do; the exit status tells it was a failure.
    if (run_master_handler(server_instance()) < 0) std::exit(1);
}

ServerDial server_get_dial() {
    server_state& s = server_instance();
    const radio_dial dial = rig_worker_dial(s.rig_thread, rig_worker::clock::now());
    return ServerDial{dial.hz, dial.lsb ? 1 : 0};
}

const char* server_ptt_problem() { return server_instance().keyer.problem.c_str(); }

int32_t server_init(const char* ptt_device, const char* data_dir) {
    server_instance().ptt_settings = server_ptt;
    server_setup(server_instance(), ptt_device, data_dir);
    std::atexit(release_ptt_at_exit);

    // The pthread calls return their error instead of setting errno; perror reads errno.
    pthread_attr_t attributes;
    if (const int rc = pthread_attr_init(&attributes); rc != 0) {
        errno = rc;
        std::perror("Cannot initialize pthread attributes");
        std::exit(4);
    }
    pthread_t thread;
    if (const int rc = pthread_create(&thread, &attributes, server_thread, nullptr); rc != 0) {
        errno = rc;
        std::perror("Cannot create IO processing thread");
        std::exit(7);
    }
    pthread_setname_np(thread, "vorda-server");  // tells it apart in top -H and /proc
    std::fputs("run_master_thread: master thread started\n", stderr);
    if (const int rc = pthread_attr_destroy(&attributes); rc != 0) {
        errno = rc;
        std::perror("Failed to destroy attribute");
    }
    return 1;
}
