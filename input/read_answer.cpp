#include "input/read_answer.h"

#include "platform/platform.h"
#include "setup/console_output.h"
#include "setup/log_event.h"

namespace {

// Bytes looked at to find a byte order mark at the start of the input, then
// handed out again. Never more than the first line holds: the look stops at
// the first byte that differs from a mark.
unsigned char looked_at[3];
int looked_count = 0;
int looked_next = 0;
bool start_seen = false;
bool utf16_mark = false;

void look_at_start() {
    start_seen = true;
    static const unsigned char UTF8_MARK[] = {0xEF, 0xBB, 0xBF};
    for (int i = 0; i < 3; ++i) {
        int c = platform::read_input_byte();
        if (c < 0) return;
        looked_at[looked_count++] = static_cast<unsigned char>(c);
        if (i == 1 &&
            ((looked_at[0] == 0xFF && c == 0xFE) || (looked_at[0] == 0xFE && c == 0xFF))) {
            utf16_mark = true;
            return;
        }
        if (c != UTF8_MARK[i]) return;
    }
    looked_count = 0;  // the whole mark: skipped
}

}  // namespace

int read_input_character() {
    if (!start_seen) look_at_start();
    if (looked_next < looked_count) return looked_at[looked_next++];
    return platform::read_input_byte();
}

LineRead read_answer_line(char* field, std::size_t capacity) {
    std::size_t used = 0;
    bool any = false;
    bool overflow = false;
    bool pending_cr = false;  // a CR is only kept when no line feed follows it
    bool nul = false;
    field[0] = '\0';
    for (;;) {
        int c = read_input_character();
        if (c == 0) nul = true;
        if (c < 0 || c == '\n') {
            if (!any && c < 0) return LineRead::end_of_input;
            break;
        }
        any = true;
        if (pending_cr) {
            pending_cr = false;
            if (used + 1 < capacity)
                field[used++] = '\r';
            else
                overflow = true;
        }
        if (c == '\r') {
            pending_cr = true;
            continue;
        }
        if (used + 1 < capacity)
            field[used++] = static_cast<char>(c);
        else
            overflow = true;
    }
    if (nul || utf16_mark) {
        field[0] = '\0';
        return LineRead::not_text;
    }
    if (overflow) {
        field[0] = '\0';
        return LineRead::too_long;
    }
    field[used] = '\0';
    return LineRead::answer;
}

void refuse_not_text() {
    write_text("\n");
    print_line(NOT_TEXT_MESSAGE);
    log_event("%s", NOT_TEXT_MESSAGE);
}

bool discard_rest_of_line() {
    for (;;) {
        int c = read_input_character();
        if (c < 0) return false;
        if (c == '\n') return true;
    }
}
