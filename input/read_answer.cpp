#include "input/read_answer.h"

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"

namespace {

// Bytes read ahead to find a byte order mark, then handed out again. Never
// more than the line holds: the look stops at the first byte that differs
// from a mark.
unsigned char looked_at[6];
int looked_count = 0;
int looked_next = 0;
bool start_seen = false;
bool utf16_mark = false;
bool utf8_answers = false;  // a UTF-8 mark was seen: the answers are UTF-8
bool unspellable = false;   // the last refusal: a character the code page lacks

int next_byte() {
    if (looked_next < looked_count) return looked_at[looked_next++];
    return platform::read_input_byte();
}

// Skips a UTF-8 byte order mark where one starts; true when one did. The
// bytes that turn out to be no mark are handed out again.
bool skip_utf8_mark(int first) {
    static const unsigned char UTF8_MARK[] = {0xEF, 0xBB, 0xBF};
    unsigned char seen[3] = {static_cast<unsigned char>(first)};
    int count = 1;
    while (count < 3 && seen[count - 1] == UTF8_MARK[count - 1]) {
        int c = next_byte();
        if (c < 0) break;
        seen[count++] = static_cast<unsigned char>(c);
    }
    if (count == 3 && seen[2] == UTF8_MARK[2]) {
        utf8_answers = true;
        return true;
    }
    // Hand the bytes after the first out again, before anything still held.
    int held = looked_count - looked_next;
    unsigned char rest[6];
    for (int i = 0; i < held; ++i) rest[i] = looked_at[looked_next + i];
    looked_count = 0;
    for (int i = 1; i < count; ++i) looked_at[looked_count++] = seen[i];
    for (int i = 0; i < held && looked_count < 6; ++i) looked_at[looked_count++] = rest[i];
    looked_next = 0;
    return false;
}

void look_at_start() {
    start_seen = true;
    int first = platform::read_input_byte();
    if (first < 0) return;
    if (first == 0xFF || first == 0xFE) {
        looked_at[looked_count++] = static_cast<unsigned char>(first);
        int second = platform::read_input_byte();
        if (second < 0) return;
        looked_at[looked_count++] = static_cast<unsigned char>(second);
        utf16_mark = (first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF);
        return;
    }
    if (first == 0xEF) {
        skip_utf8_mark(first);
        if (!utf8_answers) {
            // Hand the first byte out again too.
            for (int i = looked_count; i > 0; --i) looked_at[i] = looked_at[i - 1];
            looked_at[0] = 0xEF;
            ++looked_count;
        }
        return;
    }
    looked_at[looked_count++] = static_cast<unsigned char>(first);
}

// The answer in the ANSI code page, when the answers are UTF-8; false when
// a character of it has no spelling there.
bool to_code_page(char* field, std::size_t capacity) {
    if (!utf8_answers) return true;
    const char* c = field;
    while (*c != '\0' && static_cast<unsigned char>(*c) < 0x80) ++c;
    if (*c == '\0') return true;
    char converted[1024];
    if (capacity > sizeof converted ||
        !platform::convert_utf8_to_ansi(field, converted, capacity)) {
        return false;
    }
    copy_text(field, capacity, converted);
    return true;
}

}  // namespace

int read_input_character() {
    if (!start_seen) look_at_start();
    return next_byte();
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
        // Answer files joined with copy a+b: each may start with its mark.
        if (c == 0xEF && !any && skip_utf8_mark(c)) continue;
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
        unspellable = false;
        return LineRead::not_text;
    }
    if (overflow) {
        field[0] = '\0';
        return LineRead::too_long;
    }
    field[used] = '\0';
    if (!to_code_page(field, capacity)) {
        field[0] = '\0';
        unspellable = true;
        return LineRead::not_text;
    }
    return LineRead::answer;
}

void refuse_not_text() {
    const char* message = unspellable ? NOT_SPELLABLE_MESSAGE : NOT_TEXT_MESSAGE;
    write_text("\n");
    report(OnConsole::line, "%s", message);
}

bool discard_rest_of_line() {
    for (;;) {
        int c = read_input_character();
        if (c < 0) return false;
        if (c == '\n') return true;
    }
}
