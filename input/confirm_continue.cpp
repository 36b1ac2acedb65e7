#include "input/confirm_continue.h"

#include <cctype>

#include "input/read_answer.h"
#include "setup/console_output.h"

Confirmation confirm_continue(const char* question) {
    write_text("\n");
    for (;;) {
        write_text(question);
        int c;
        do {
            c = read_input_character();
        } while (c >= 0 && std::isspace(c));
        if (c == 0) refuse_not_text();
        if (c <= 0) return Confirmation::end_of_input;
        if (c == 'y' || c == 'Y') return Confirmation::yes;
        if (c == 'n' || c == 'N') return Confirmation::no;
        write_text("Invalid input. Please enter 'Y' for Yes or 'N' for No.\n");
    }
}
