#include "input/read_answer.h"

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"

namespace {

// Bytes read ahead to find a byte order mark and handed back, the next to
// read last. Never more than the line holds: the look stops at the first
// byte that differs from a mark.
unsigned char held[4];
int held_count = 0;
bool start_seen = false;
bool utf16_mark = false;
bool utf8_answers = false;  // a UTF-8 mark was seen: the answers are UTF-8
bool unspellable = false;   // the last refusal: a character the code page lacks

int next_byte() {
    return held_count > 0 ? held[--held_count] : platform::read_input_byte();
}

// Hands a byte back, to be read before anything still held.
void hand_back(int c) {
    if (c >= 0 && held_count < static_cast<int>(sizeof held))
        held[held_count++] = static_cast<unsigned char>(c);
}

// Skips the rest of a UTF-8 byte order mark after its first byte (0xEF);
// true when it was one. The bytes that turn out to be no mark are handed
// back.
bool skip_utf8_mark() {
    const int second = next_byte();
    const int third = second == 0xBB ? next_byte() : -1;
    if (third == 0xBF) {
        utf8_answers = true;
        return true;
    }
    hand_back(third);
    hand_back(second);
    return false;
}

void look_at_start() {
    start_seen = true;
    const int first = platform::read_input_byte();
    if (first == 0xFF || first == 0xFE) {
        const int second = platform::read_input_byte();
        utf16_mark = (first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF);
        hand_back(second);
    } else if (first == 0xEF && skip_utf8_mark()) {
        return;
    }
    hand_back(first);
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
    auto keep = [&](char c) {
        if (used + 1 < capacity)
            field[used++] = c;
        else
            overflow = true;
    };
    for (;;) {
        int c = read_input_character();
        // Answer files joined with copy a+b: each may start with its mark.
        if (c == 0xEF && !any && skip_utf8_mark()) continue;
        if (c == 0) nul = true;
        if (c < 0 || c == '\n') {
            if (!any && c < 0) return LineRead::end_of_input;
            break;
        }
        any = true;
        if (pending_cr) keep('\r');
        pending_cr = c == '\r';
        if (!pending_cr) keep(static_cast<char>(c));
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
