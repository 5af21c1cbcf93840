// vorda-modem: the PSK31 modem on audio files. `encode` drives the transmitter the way
// the server thread does and writes the audio to a WAV file; `decode` runs a receiver
// over a recording and prints the text as it comes.
#include <fcntl.h>
#include <getopt.h>
#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <clocale>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#include "modem/band_survey.h"
#include "modem/data_directory.h"
#include "modem/radio_frequency.h"
#include "modem/receiver.h"
#include "modem/transmitter.h"
#include "modem/varicode.h"
#include "tools/audio_file.h"
#include "tools/encode_length.h"
#include "tools/text_output.h"

#ifndef VORDA_DATA_DIR
#define VORDA_DATA_DIR "/usr/local/share/vorda"
#endif

namespace {

constexpr int kUsageError = 2;
constexpr int kRunError = 1;
constexpr size_t kMaxCallLength = 15;  // the identification sends at most this much
constexpr double kMaxTuneSeconds = 24 * 3600.0;

const char kUsage[] =
    "Usage: vorda-modem encode [options] [TEXT...]\n"
    "       vorda-modem decode [options] IN\n"
    "\n"
    "encode: send TEXT (or standard input when no TEXT is given) as PSK31 and write\n"
    "        8000 samples/s, 2-channel, 16-bit WAV: one second of preamble, the text,\n"
    "        the postamble, then the fade-out to silence.\n"
    "  -o, --output FILE   output file (default: standard output)\n"
    "      --cwid CALL     end with the Morse identification \" de CALL\"\n"
    "                      (first 15 characters of CALL)\n"
    "      --tune SECONDS  a steady tune carrier for SECONDS (at most 86400)\n"
    "                      instead of text\n"
    "\n"
    "decode: print the text decoded from IN (any format libsndfile reads, mono or\n"
    "        stereo; stereo is summed, other sample rates converted to 8000/s).\n"
    "      --no-afc        keep the receive frequency fixed (AFC is on by default)\n"
    "      --squelch N     carrier-detect threshold (default 15); characters are\n"
    "                      printed only with carrier detect on, unless N is -1\n"
    "      --status        once a second on standard error: time, frequency,\n"
    "                      carrier detect and strength\n"
    "      --all           every PSK31 signal in the recording, a receiver with AFC\n"
    "                      on each, each station's mode (BPSK or QPSK) told by\n"
    "                      itself unless --bpsk or --qpsk is given; lines start\n"
    "                      with the time, the frequency and the mode letter:\n"
    "                      \"00:12.5  1003.1 Hz  B  cq cq de ...\" (not with\n"
    "                      --freq, --status)\n"
    "      --dial HZ       with --all: the radio's dial frequency in hertz; lines show\n"
    "                      radio frequencies in kHz (\"14071.003 kHz\") in place of\n"
    "                      audio frequencies: the dial plus the audio frequency\n"
    "      --dial-lsb      the radio was on an LSB-type mode: the dial minus it\n"
    "\n"
    "common:\n"
    "      --freq HZ       audio frequency, 0 to 4000 (default 1000)\n"
    "      --qpsk          QPSK instead of BPSK\n"
    "      --bpsk          BPSK (the default, but with --all: every station as BPSK)\n"
    "      --lsb           lower sideband\n"
    "      --table DIR     directory of the code table psk31.cod\n"
    "                      (default " VORDA_DATA_DIR
    "; then $HOME, then .)\n"
    "  -h, --help          this text\n";

struct options {
    double frequency = 1000.0;
    bool qpsk = false;
    bool bpsk = false;
    bool lsb = false;
    std::string table = dataDirectoryFor(VORDA_DATA_DIR);
    // encode
    std::string output = "-";
    std::string call;
    bool cwid = false;
    double tune_seconds = -1.0;  // < 0: no tune
    // decode
    bool afc = true;
    int squelch = 15;
    bool status = false;
    bool all = false;
    bool frequency_given = false;
    radio_dial dial;  // hz 0: audio frequencies
    bool dial_lsb = false;
};

int fail(int status, const std::string& message) {
    std::fprintf(stderr, "vorda-modem: %s\n", message.c_str());
    return status;
}

int fail_output() {
    return fail(kRunError, std::string("cannot write to standard output: ") + std::strerror(errno));
}

// A closed standard output is refused at once: a file opened later would take its
// descriptor, and the text would go into it or nowhere.
bool stdout_open() {
    if (fcntl(STDOUT_FILENO, F_GETFD) != -1) return true;
    errno = EBADF;
    return false;
}

bool parse_number(const char* text, double& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool parse_int(const char* text, int& value) {
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || v < -1000000 || v > 1000000) return false;
    value = static_cast<int>(v);
    return true;
}

// Parses the options after the command word; returns 0 to go on, or an exit status
// (-1 for a successful --help).
int parse_options(int argc, char** argv, bool encode, options& o, int& first_operand) {
    enum { kFreq = 256, kQpsk, kBpsk, kLsb, kTable, kCwid, kTune, kNoAfc, kSquelch, kStatus, kAll,
           kDial, kDialLsb };
    const option encode_options[] = {{"freq", required_argument, nullptr, kFreq},
                                     {"qpsk", no_argument, nullptr, kQpsk},
                                     {"bpsk", no_argument, nullptr, kBpsk},
                                     {"lsb", no_argument, nullptr, kLsb},
                                     {"table", required_argument, nullptr, kTable},
                                     {"cwid", required_argument, nullptr, kCwid},
                                     {"tune", required_argument, nullptr, kTune},
                                     {"output", required_argument, nullptr, 'o'},
                                     {"help", no_argument, nullptr, 'h'},
                                     {nullptr, 0, nullptr, 0}};
    const option decode_options[] = {{"freq", required_argument, nullptr, kFreq},
                                     {"qpsk", no_argument, nullptr, kQpsk},
                                     {"bpsk", no_argument, nullptr, kBpsk},
                                     {"lsb", no_argument, nullptr, kLsb},
                                     {"table", required_argument, nullptr, kTable},
                                     {"no-afc", no_argument, nullptr, kNoAfc},
                                     {"squelch", required_argument, nullptr, kSquelch},
                                     {"status", no_argument, nullptr, kStatus},
                                     {"all", no_argument, nullptr, kAll},
                                     {"dial", required_argument, nullptr, kDial},
                                     {"dial-lsb", no_argument, nullptr, kDialLsb},
                                     {"help", no_argument, nullptr, 'h'},
                                     {nullptr, 0, nullptr, 0}};

    opterr = 0;  // our own one-line messages
    optind = 1;
    const char* short_options = encode ? ":o:h" : ":h";
    for (;;) {
        int index = 0;
        const int c = getopt_long(argc, argv, short_options,
                                  encode ? encode_options : decode_options, &index);
        if (c == -1) break;
        switch (c) {
            case kFreq:
                if (!parse_number(optarg, o.frequency) || o.frequency < 0 || o.frequency > 4000) {
                    return fail(kUsageError, std::string("frequency '") + optarg +
                                                 "' is not a number from 0 to 4000 Hz");
                }
                o.frequency_given = true;
                break;
            case kQpsk:
                o.qpsk = true;
                break;
            case kBpsk:
                o.bpsk = true;
                break;
            case kLsb:
                o.lsb = true;
                break;
            case kTable:
                o.table = optarg;
                break;
            case kCwid:
                o.cwid = true;
                o.call = std::string(optarg).substr(0, kMaxCallLength);
                break;
            case kTune:
                if (!parse_number(optarg, o.tune_seconds) || o.tune_seconds <= 0 ||
                    o.tune_seconds > kMaxTuneSeconds) {
                    return fail(kUsageError,
                                std::string("tune time '") + optarg +
                                    "' is not a number of seconds above 0 and at most 86400 "
                                    "(a day)");
                }
                break;
            case 'o':
                o.output = optarg;
                break;
            case kNoAfc:
                o.afc = false;
                break;
            case kSquelch:
                if (!parse_int(optarg, o.squelch)) {
                    return fail(kUsageError,
                                std::string("squelch '") + optarg + "' is not a whole number");
                }
                break;
            case kStatus:
                o.status = true;
                break;
            case kAll:
                o.all = true;
                break;
            case kDial: {
                double hz = 0;
                // Up to 300 GHz, the top of the radio spectrum.
                if (!parse_number(optarg, hz) || hz < 1 || hz > 3e11) {
                    return fail(kUsageError, std::string("dial frequency '") + optarg +
                                                 "' is not a number of hertz from 1 to 3e11");
                }
                o.dial.hz = std::llround(hz);
                break;
            }
            case kDialLsb:
                o.dial_lsb = true;
                break;
            case 'h':
                std::fputs(kUsage, stdout);
                return -1;
            case ':': {
                const std::string name = optopt >= kFreq || optopt == 0
                                             ? argv[optind - 1]
                                             : std::string("-") + static_cast<char>(optopt);
                return fail(kUsageError, "option '" + name + "' needs a value");
            }
            default: {
                const std::string name =
                    optopt != 0 ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1];
                return fail(kUsageError, "unknown option '" + name + "' (see vorda-modem --help)");
            }
        }
    }
    if (o.qpsk && o.bpsk) return fail(kUsageError, "--qpsk and --bpsk exclude each other");
    first_operand = optind;
    return 0;
}

// The transmitter's blocks go into the WAV file; the reason of a failed write is kept.
struct wav_sink {
    wav_writer writer;
    std::string error;
};

int sink_write(void* context, const void* data, size_t bytes, int* error) {
    auto* sink = static_cast<wav_sink*>(context);
    wav_writer& writer = sink->writer;
    if (write_wav(writer, static_cast<const int16_t*>(data), bytes / kWavFrameBytes, sink->error)) {
        return 0;
    }
    *error = writer.file != nullptr ? sf_error(writer.file) : SF_ERR_SYSTEM;
    if (*error == 0) *error = SF_ERR_SYSTEM;
    return -1;
}

const char* sink_error_text(int error) {
    return sf_error_number(error);
}

int32_t frequency_word(double hz) {
    return static_cast<int32_t>(TX_FREQUENCY) +
           (static_cast<int32_t>(std::lround(hz * 100)) & 0xFFFFF);
}

// One block; false when the file cannot be written.
bool run_block(psk31_transmitter& tx, int32_t& result) {
    result = tx.processor();
    return result != TX_ERROR;
}

// Queues a character or a mode word, running the transmitter while the queue is full,
// so that text of any length goes out whole, identification included.
bool queue_word(psk31_transmitter& tx, uint32_t word) {
    while (tx.put_command(word) != 0) {
        int32_t result = 0;
        if (!run_block(tx, result)) return false;
    }
    return true;
}

int encode(const options& o, const std::string& text) {
    load_code_table(o.table.c_str());
    // Refused before anything is written: a WAV file's sizes would wrap past 4 GiB.
    const uint64_t frames =
        o.tune_seconds > 0
            ? static_cast<uint64_t>(std::ceil(o.tune_seconds * kModemRate)) + kModemRate
            : encoded_frames_bound(text, o.cwid ? " de " + o.call : "");
    if (frames > kMaxWavDataBytes / kWavFrameBytes) {
        return fail(kRunError, "the text is too long: its audio (" +
                                   std::to_string(frames / kModemRate / 3600) +
                                   " hours) would not fit into a WAV file (4 GiB, 37 hours); "
                                   "send it in parts");
    }
    wav_sink sink;
    wav_writer& writer = sink.writer;
    std::string error;
    if (!open_wav(writer, o.output.c_str(), error)) return fail(kRunError, error);

    psk31_transmitter tx;
    tx.sink = {&sink_write, &sink_error_text, &sink};
    bool ok = true;
    // Settings given while idle, then the begin word, as the server thread does it.
    if (o.tune_seconds > 0) {
        tx.put_command(TX_MODE_TUNE);
        tx.put_command(static_cast<uint32_t>(frequency_word(o.frequency)));
        tx.put_command(TX_BEGIN);
        const long blocks =
            std::lround(std::ceil(o.tune_seconds * kModemRate / psk31_transmitter::kBlockFrames));
        int32_t result = 0;
        for (long b = 0; ok && b < blocks; ++b) ok = run_block(tx, result);
    } else {
        tx.put_command(TX_MODE_PSK + 2 * o.qpsk + o.lsb);
        tx.put_command(static_cast<uint32_t>(frequency_word(o.frequency)));
        tx.put_command(TX_BEGIN);
        for (size_t i = 0; ok && i < text.size(); ++i) {
            ok = queue_word(tx, static_cast<unsigned char>(text[i]));
        }
        if (ok && o.cwid) {
            ok = queue_word(tx, TX_MODE_MORSE);
            const std::string id = " de " + o.call;
            for (size_t i = 0; ok && i < id.size(); ++i) {
                ok = queue_word(tx, static_cast<unsigned char>(id[i]));
            }
        }
    }
    if (ok) {
        tx.put_command(TX_END);
        int32_t result = 0;
        while (ok && result != static_cast<int32_t>(TX_END)) ok = run_block(tx, result);
        // The transmission ends half-way through its fade-out symbol; one more block
        // lets the file end in silence rather than with a click.
        if (ok) ok = run_block(tx, result);
    }
    if (!ok) {
        close_wav(writer, error);
        return fail(kRunError, "cannot write '" + o.output + "': " + sink.error);
    }
    if (!close_wav(writer, error)) return fail(kRunError, error);
    return 0;
}

// Reads the recording at `path` block by block into `block`, which returns false when
// standard output fails; then closes standard output. Returns the exit status.
template <typename Block>
int read_recording(const options& o, const char* path, Block&& block) {
    audio_reader reader;
    std::string error;
    if (!open_audio(reader, path, error)) return fail(kRunError, error);
    load_code_table(o.table.c_str());
    for (;;) {
        const long n = read_audio(reader, error);
        if (n < 0) {
            close_audio(reader);
            return fail(kRunError, std::string("cannot read '") + path + "': " + error);
        }
        if (n == 0) break;
        if (!block(reader.samples.data(), n)) {
            close_audio(reader);
            return fail_output();
        }
    }
    close_audio(reader);
    if (!block(nullptr, 0) || std::fclose(stdout) != 0) return fail_output();
    return 0;
}

int decode(const options& o, const char* path) {
    psk31_receiver rx;
    init_receiver(rx);
    set_receiver_frequency(rx, static_cast<int32_t>(std::lround(o.frequency * 100)));
    set_receiver_mode(rx, o.qpsk ? 1 : 0, o.lsb ? 1 : 0);
    rx.afc = o.afc ? 1 : 0;
    rx.squelch = o.squelch;

    // A file or a pipe gets the bytes as received; a terminal is not left to obey
    // control sequences from the air.
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    const char* codeset = terminal && std::setlocale(LC_CTYPE, "") != nullptr
                              ? nl_langinfo(CODESET) : "";
    const bool utf8 = std::strcmp(codeset, "UTF-8") == 0;
    std::string shown;
    long total = 0;
    return read_recording(o, path, [&](const int16_t* samples, long n) {
        for (long i = 0; i < n; ++i) {
            const int c = receive_sample(rx, samples[i]);
            // As the server delivers them: without carrier detect only when squelch is -1.
            if (c != NO_CHAR && (rx.dcd != 0 || o.squelch == -1)) {
                shown.clear();
                if (terminal) {
                    append_visible(shown, static_cast<unsigned char>(c), utf8);
                } else {
                    shown.push_back(static_cast<char>(c));
                }
                if (std::fwrite(shown.data(), 1, shown.size(), stdout) != shown.size() ||
                    std::fflush(stdout) != 0) {
                    return false;
                }
            }
            if (o.status && ++total % kModemRate == 0) {
                std::fprintf(stderr, "%8.1f s  %7.2f Hz  dcd %d  strength %2d\n",
                             static_cast<double>(total) / kModemRate, rx.freq, rx.dcd, rx.strength);
            }
        }
        return true;
    });
}

// Every signal of the recording, each decoded line printed whole when it ends.
int decode_all(const options& o, const char* path) {
    band_survey survey;
    const int32_t mode = o.qpsk ? 1 : (o.bpsk ? 0 : -1);  // -1: each station's own
    survey_init(survey, mode, o.lsb ? 1 : 0, o.squelch, o.afc ? 1 : 0);
    return read_recording(o, path, [&survey, &o](const int16_t* samples, long n) {
        if (samples != nullptr) {
            survey_feed(survey, samples, static_cast<size_t>(n));
        } else {
            survey_finish(survey);  // the end of the recording
        }
        for (const survey_line& line : survey.lines) {
            const long tenths = std::lround(line.start_seconds * 10);
            char frequency[48];
            if (o.dial.hz > 0) {
                std::snprintf(frequency, sizeof frequency, "%s kHz",
                              radio_khz_text(o.dial, line.frequency).c_str());
            } else {
                std::snprintf(frequency, sizeof frequency, "%6.1f Hz", line.frequency);
            }
            // Control bytes from the air would break the line format scripts read, and
            // could drive the terminal.
            const std::string text = printable_line(line.text);
            if (std::printf("%02ld:%02ld.%ld  %s  %c  ", tenths / 600, tenths / 10 % 60,
                            tenths % 10, frequency, line.qpsk != 0 ? 'Q' : 'B') < 0 ||
                std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
                std::putchar('\n') == EOF) {
                return false;
            }
        }
        survey.lines.clear();
        return std::fflush(stdout) == 0;
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    const std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool is_encode = command == "encode";
    if (!is_encode && command != "decode") {
        return fail(kUsageError, "unknown command '" + command + "' (see vorda-modem --help)");
    }

    options o;
    int first = 0;
    if (const int status = parse_options(argc - 1, argv + 1, is_encode, o, first); status != 0) {
        return status < 0 ? 0 : status;
    }
    char** operands = argv + 1 + first;
    const int operand_count = argc - 1 - first;

    if ((!is_encode || o.output == "-") && !stdout_open()) return fail_output();
    if (is_encode) {
        if (o.output == "-" && isatty(STDOUT_FILENO)) {
            return fail(kUsageError, "will not write audio to a terminal; give -o FILE");
        }
        if (o.tune_seconds > 0) {
            if (operand_count > 0) return fail(kUsageError, "--tune sends no text");
            if (o.cwid) return fail(kUsageError, "--tune sends no identification");
            return encode(o, "");
        }
        std::string text;
        if (operand_count > 0) {
            for (int i = 0; i < operand_count; ++i) {
                if (i > 0) text += ' ';
                text += operands[i];
            }
        } else {
            text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        }
        return encode(o, text);
    }

    if (operand_count != 1) {
        return fail(kUsageError,
                    operand_count == 0 ? "no input file given" : "decode takes one input file");
    }
    if (o.all) {
        if (o.frequency_given) return fail(kUsageError, "--all finds the frequencies itself; leave out --freq");
        if (o.status) return fail(kUsageError, "--status reports one receiver; leave it out with --all");
        if (o.dial_lsb && o.dial.hz == 0) return fail(kUsageError, "--dial-lsb goes with --dial HZ");
        o.dial.lsb = o.dial_lsb;
        return decode_all(o, operands[0]);
    }
    if (o.dial.hz > 0 || o.dial_lsb) return fail(kUsageError, "--dial and --dial-lsb go with --all");
    return decode(o, operands[0]);
}
