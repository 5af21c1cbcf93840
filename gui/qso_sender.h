// The QSO file sender's field rules, free of X. A text is typed character by
// character; a "~" at the start of the text or after a space, a newline or an
// earlier field starts a field ~WORD, for which the operator is asked. The window
// code runs qso_send_step as a work procedure and shows the prompt dialog.
#pragma once

#include <string>

// Types one character into the transmit pane.
using qso_type_fn = void (*)(char c, void* context);
// Asks the operator for `word`; the answer is later typed with qso_type_answer,
// followed by `terminator` (0 when the word ended the text).
using qso_ask_fn = void (*)(const char* word, char terminator, void* context);

struct qso_sender {
    bool started = false;         // a text is being sent
    char* position = nullptr;     // next character to look at
    char* buffer = nullptr;       // start of the text, for freeing (std::malloc'd)
    bool prompt_pending = false;  // a field's "~" has just been passed
    char* word = nullptr;         // start of the field's WORD
    qso_type_fn type = nullptr;
    qso_ask_fn ask = nullptr;
    void* context = nullptr;      // handed to both callbacks
};

// The longest QSO text taken: a canned text is a few lines, and a longer file (or
// one that never ends) would keep the window typing for minutes.
constexpr long QSO_MAX_BYTES = 64 * 1024;
// Characters typed in one call of the work procedure: a long text is typed in
// slices, and the window handles its events between them.
constexpr int QSO_SLICE = 64;

struct qso_read_failure {
    const char* what = nullptr;  // the failed step ("File Stat", "... File Open error",
                                 // "... Read error", "... not a regular file", ...)
    std::string reason;          // the system's error text, or why the file is refused
};

// Reads a whole QSO file into a new std::malloc'd buffer with a NUL after it. Only a
// regular file of at most QSO_MAX_BYTES is read: a FIFO or a device is never opened
// for waiting or endless reading. Returns nullptr with `failure` filled on failure.
char* qso_read_file(const char* path, qso_read_failure& failure);

// Takes over a text from qso_read_file to be sent, before the work procedure first
// runs: from here on `started` tells that a text is on its way, so that a second
// choice made meanwhile is not taken. Returns false (and leaves `text` to the
// caller) when a text is being sent already.
bool qso_start(qso_sender& s, char* text);

// One call of the work procedure. `text` (a buffer from qso_read_file) is taken
// over only when no text is being sent; otherwise it is ignored. Types at most
// QSO_SLICE characters. Returns true when the work procedure must be removed (a
// field is being asked for, or the text has ended and its buffer is freed) and
// false when it must be called again.
bool qso_send_step(qso_sender& s, char* text);

// Types the operator's answer and then the field's terminator (none when 0).
void qso_type_answer(const qso_sender& s, const char* answer, char terminator);

// Ends the text being sent without typing any more of it and frees its buffer,
// so that the next file chosen is sent from its beginning.
void qso_abandon(qso_sender& s);
