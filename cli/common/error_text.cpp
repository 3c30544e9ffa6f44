// The reasons of failed system calls, as the command line words them.
#include "common/error_text.h"

#include <cerrno>
#include <cstring>

std::string ErrnoText(int err) {
    switch (err) {
        case ENOENT:
            return "no such file";
        case EACCES:
            return "permission denied";
        case EISDIR:
            return "is a directory";
        default:
            break;
    }
    // No error recorded (a stream that failed without saying why) reads as an I/O error.
    std::string text = std::strerror(err != 0 ? err : EIO);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = char(text[0] - 'A' + 'a');
    return text;
}
