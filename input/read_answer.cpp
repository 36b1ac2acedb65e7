#include "input/read_answer.h"

#include "platform/platform.h"

int read_input_character() {
    return platform::read_input_byte();
}

LineRead read_answer_line(char* field, std::size_t capacity) {
    std::size_t used = 0;
    bool any = false;
    bool overflow = false;
    bool pending_cr = false;  // a CR is only kept when no line feed follows it
    field[0] = '\0';
    for (;;) {
        int c = read_input_character();
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
    if (overflow) {
        field[0] = '\0';
        return LineRead::too_long;
    }
    field[used] = '\0';
    return LineRead::answer;
}

bool discard_rest_of_line() {
    for (;;) {
        int c = read_input_character();
        if (c < 0) return false;
        if (c == '\n') return true;
    }
}
