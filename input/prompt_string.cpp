#include "input/prompt_string.h"

#include "input/answer_checks.h"
#include "input/folder_name.h"
#include "input/read_answer.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"

void write_refused_characters(const char* refused_characters) {
    const char* separator = "";
    if (contains_any_of(refused_characters, " ")) {
        write_text("blanks");
        separator = " ";
    }
    for (const char* c = refused_characters; *c != '\0'; ++c) {
        if (*c == ' ') continue;
        write_format("%s%c", separator, *c);
        separator = " ";
    }
}

bool prompt_string(const char* message, char* field, std::size_t capacity,
                   const char* default_value, const char* refused_characters, AnswerRules rules) {
    for (;;) {
        write_format("%s (Press Enter for default: '%s'): ", message, default_value);
        LineRead read = read_answer_line(field, capacity);
        if (read == LineRead::not_text) refuse_not_text();
        if (read == LineRead::end_of_input || read == LineRead::not_text) {
            field[0] = '\0';
            return false;
        }
        if (read == LineRead::too_long) {
            write_format("Error: The answer is too long: at most %u characters are allowed.\n",
                         static_cast<unsigned>(capacity - 1));
            continue;
        }
        if (field[0] == '\0') {
            copy_text(field, capacity, default_value);
            return true;
        }
        if (refused_characters != nullptr && contains_any_of(field, refused_characters)) {
            write_text("Error: The answer must not contain ");
            write_refused_characters(refused_characters);
            write_text(".\n");
            continue;
        }
        const char* refusal = rules != AnswerRules::none ? script_value_refusal(field) : nullptr;
        if (refusal == nullptr && rules == AnswerRules::folder_name)
            refusal = folder_name_refusal(field);
        if (refusal != nullptr) {
            write_text(refusal);
            continue;
        }
        return true;
    }
}
