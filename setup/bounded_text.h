// Bounded composition into fixed-capacity text fields.
#pragma once

#include <cstddef>

#include "platform/spelled_text.h"
#include "setup/setup_parameters.h"

// Formats into the field, storing at most capacity - 1 characters and
// always terminating it. Returns true when the whole text fit.
bool compose_text(char* field, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Copies text into the field, bounded and terminated. True when it fit.
bool copy_text(char* field, std::size_t capacity, const char* text);

// Adds the name to a list of names separated by ", ", bounded and
// terminated. True when it fit.
bool add_to_list(char* list, std::size_t capacity, const char* name);

// True when the text holds any of the characters.
bool contains_any_of(const char* text, const char* characters);

using platform::spell_control_characters;

// Room for any path of 259 characters with every one of them spelled.
constexpr std::size_t SPELLED_PATH_CAPACITY = 8 * PATH_CAPACITY + 1;
