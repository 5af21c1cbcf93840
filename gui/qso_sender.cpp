#include "gui/qso_sender.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

char* refuse(qso_read_failure& failure, const char* what, const std::string& reason) {
    failure.what = what;
    failure.reason = reason;
    return nullptr;
}

char* refuse(qso_read_failure& failure, const char* what) {
    return refuse(failure, what, std::strerror(errno));
}

// Only a regular file of a sane size: a FIFO would block the window in open() or
// read(), a device such as /dev/zero would never end.
const char* refusal(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return "it is a directory";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    if (st.st_size > QSO_MAX_BYTES) return "it is larger than 64 KiB";
    return nullptr;
}

}  // namespace

char* qso_read_file(const char* path, qso_read_failure& failure) {
    struct stat st;
    if (stat(path, &st) != 0) return refuse(failure, "File Stat");
    if (const char* why = refusal(st)) return refuse(failure, "vordaDiags getFile", why);
    // Not blocking, in case the name has become a FIFO since: checked again below.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refuse(failure, "vordaDiags getFile - File Open error");
    if (fstat(fd, &st) != 0) {
        const int saved = errno;
        close(fd);
        errno = saved;
        return refuse(failure, "vordaDiags getFile - File Stat error");
    }
    if (const char* why = refusal(st)) {
        close(fd);
        return refuse(failure, "vordaDiags getFile", why);
    }
    const size_t size = static_cast<size_t>(st.st_size);
    char* text = static_cast<char*>(std::malloc(size + 1));
    if (text == nullptr) {
        close(fd);
        errno = ENOMEM;
        return refuse(failure, "vordaDiags getFile - XtMalloc error");
    }
    // One request for the whole file, as its size was when it was looked at.
    const ssize_t got = read(fd, text, size);
    const int saved = errno;
    close(fd);
    if (got < 0 || static_cast<size_t>(got) < size) {
        std::free(text);
        errno = got < 0 ? saved : EIO;
        return refuse(failure, "vordaDiags getFile - Read error");
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

bool qso_start(qso_sender& s, char* text) {
    if (s.started || text == nullptr) return false;
    s.buffer = s.position = text;
    s.started = true;
    s.prompt_pending = false;
    return true;
}

bool qso_send_step(qso_sender& s, char* text) {
    if (!s.started && !qso_start(s, text)) return true;

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
        if (p - s.position == QSO_SLICE) {
            s.position = p;  // the rest at the next call
            return false;
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
