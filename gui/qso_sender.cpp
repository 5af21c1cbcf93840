#include "gui/qso_sender.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

char* qso_read_file(const char* path, const char** what) {
    struct stat st;
    if (stat(path, &st) != 0) {
        *what = "File Stat";
        return nullptr;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    char* text = static_cast<char*>(std::malloc(size + 1));
    if (text == nullptr) {
        *what = "vordaDiags getFile - XtMalloc error";
        return nullptr;
    }
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        const int saved = errno;
        std::free(text);
        errno = saved;
        *what = "vordaDiags getFile - File Open error";
        return nullptr;
    }
    // One request for the whole file, as its size was when it was looked at.
    const ssize_t got = read(fd, text, size);
    const int saved = errno;
    close(fd);
    if (got < 0 || static_cast<size_t>(got) < size) {
        std::free(text);
        errno = got < 0 ? saved : EIO;
        *what = "vordaDiags getFile - Read error";
        return nullptr;
    }
    text[size] = '\0';
    return text;
}

namespace {

bool starts_field(const qso_sender& s, const char* p) {
    if (*p != '~') return false;
    if (p == s.buffer) return true;
    // A NUL before the "~" is the terminator of the field just answered.
    const char before = p[-1];
    return before == ' ' || before == '\n' || before == '\0';
}

void finish(qso_sender& s) {
    std::free(s.buffer);
    s.buffer = nullptr;
    s.position = nullptr;
    s.word = nullptr;
    s.started = false;
    s.prompt_pending = false;
}

}  // namespace

bool qso_send_step(qso_sender& s, char* text) {
    if (!s.started) {
        if (text == nullptr) return true;
        s.buffer = s.position = text;
        s.started = true;
    }

    if (s.prompt_pending) {
        s.word = s.position;
        char* end = s.word;
        while (*end != '\0' && *end != ' ' && *end != '\n') ++end;
        const char terminator = *end;
        // The terminator is overwritten so the WORD ends in place; after the answer
        // the NUL left here lets a "~" right behind it start the next field.
        *end = '\0';
        s.position = terminator != '\0' ? end + 1 : end;
        s.prompt_pending = false;
        s.ask(s.word, terminator, s.context);
        return true;
    }

    for (char* p = s.position;; ++p) {
        if (starts_field(s, p)) {
            s.position = p + 1;
            s.prompt_pending = true;
            return false;
        }
        if (*p == '\0') {
            finish(s);
            return true;
        }
        s.type(*p, s.context);
    }
}

void qso_type_answer(const qso_sender& s, const char* answer, char terminator) {
    for (const char* p = answer; *p != '\0'; ++p) s.type(*p, s.context);
    if (terminator != '\0') s.type(terminator, s.context);
}

void qso_abandon(qso_sender& s) {
    if (s.started) finish(s);
}
