// The closing entry of a run ended by Ctrl+C (SIGINT). The handler uses
// only async-signal-safe calls: open, write, close, raise.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "platform/interrupt_text.h"
#include "platform/platform.h"
#include "platform/posix/host_path.h"

namespace platform {
namespace {

char host_file[4096];
char entry_bytes[INTERRUPT_TEXT_CAPACITY];
std::size_t entry_length = 0;
char notice_line[INTERRUPT_TEXT_CAPACITY + 2];
std::size_t notice_length = 0;
volatile std::sig_atomic_t armed = 0;

void write_closing_entry(int signal_number) {
    if (armed) {
        armed = 0;
        int file = open(host_file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (file >= 0) {
            ssize_t written = write(file, entry_bytes, entry_length);
            (void)written;
            close(file);
        }
        ssize_t shown = write(STDOUT_FILENO, notice_line, notice_length);
        (void)shown;
    }
    // The handler was reset to the default: the program now ends by the
    // signal, as it would have without this handler.
    raise(signal_number);
}

}  // namespace

void set_interrupt_entry(const char* path, const char* entry, std::size_t length,
                         const char* notice) {
    armed = 0;
    if (entry == nullptr || !host_path::to_host(path, host_file, sizeof host_file)) return;
    entry_length = copy_cut(entry_bytes, entry, length);
    notice_line[0] = '\n';
    notice_length = 1 + copy_cut(notice_line + 1, notice, std::strlen(notice));
    notice_line[notice_length++] = '\n';

    struct sigaction handler {};
    handler.sa_handler = write_closing_entry;
    handler.sa_flags = SA_RESETHAND;
    sigemptyset(&handler.sa_mask);
    sigaction(SIGINT, &handler, nullptr);
    armed = 1;
}

}  // namespace platform
