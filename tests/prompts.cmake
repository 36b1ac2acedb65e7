# tests/prompts.txt as a C++ header for the tests built here:
# "tests/prompts.h" under SETUP_PROMPTS_INCLUDE.
set(SETUP_PROMPTS ${PROJECT_SOURCE_DIR}/tests/prompts.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${SETUP_PROMPTS})
# A backslash ending a line would escape the list's separator: each is
# kept as BACKSLASH until the line is taken from the list.
file(READ ${SETUP_PROMPTS} prompt_text)
string(REPLACE "\\" "BACKSLASH" prompt_text "${prompt_text}")
string(REPLACE "\n" ";" prompt_lines "${prompt_text}")
list(FILTER prompt_lines INCLUDE REGEX "^[^#]")
set(PROMPT_ENTRIES "")
foreach(line IN LISTS prompt_lines)
  string(REPLACE "BACKSLASH" "\\\\" line "${line}")
  string(REPLACE "\"" "\\\"" line "${line}")
  # Three fields each: the text, the answer typed, the default shown.
  while(NOT line MATCHES "\t.*\t")
    string(APPEND line "\t")
  endwhile()
  string(REPLACE "\t" "\", \"" line "${line}")
  string(APPEND PROMPT_ENTRIES "{\"${line}\"}, ")
endforeach()
set(SETUP_PROMPTS_INCLUDE ${CMAKE_BINARY_DIR}/test-prompts)
configure_file(${PROJECT_SOURCE_DIR}/tests/prompts.h.in ${SETUP_PROMPTS_INCLUDE}/tests/prompts.h @ONLY)
