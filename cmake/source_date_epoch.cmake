# Writes the sources' time (SOURCE_DATE_EPOCH when set, else the commit's)
# to OUT, leaving OUT as it is when the time has not changed.
#   cmake -DSOURCE_ROOT=... -DOUT=... -P source_date_epoch.cmake
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C ${SOURCE_ROOT} log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "not a git checkout: set SOURCE_DATE_EPOCH to the time of the sources")
  endif()
endif()
file(WRITE ${OUT}.new "${epoch}\n")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
