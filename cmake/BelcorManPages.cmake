# Makes the manual pages from the programs' own --help and --version, each
# completed by its include file, so the pages follow every change of an
# option without a second copy of its text. Run with cmake -P:
#   -DHELP2MAN=... -DGZIP=... -DBIN_DIR=<executables> -DINCLUDE_DIR=docs/man
#   -DOUTPUT_DIR=<folder> -DRELEASE_DATE=YYYY-MM-DD
# and gives OUTPUT_DIR/belcor.1.gz, belcor-cli.1.gz and belcor-station.8.gz.

foreach(variable HELP2MAN GZIP BIN_DIR INCLUDE_DIR OUTPUT_DIR RELEASE_DATE)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "BelcorManPages.cmake needs -D${variable}=...")
  endif()
endforeach()

# The page's date is the release's, not the build's: the same sources make
# the same package.
execute_process(COMMAND date -u -d "${RELEASE_DATE}" +%s
  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "cannot read the release date ${RELEASE_DATE}")
endif()
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
# English pages, whatever the builder's language.
set(ENV{LC_ALL} C.UTF-8)
set(ENV{LANGUAGE} "")
# A page is made without a display: belcor answers --help before it needs one
# (and would fail at once here, rather than open a window, if it did not).
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{QT_QPA_PLATFORM})

file(MAKE_DIRECTORY ${OUTPUT_DIR})
foreach(page belcor:1 belcor-cli:1 belcor-station:8)
  string(REPLACE ":" ";" page ${page})
  list(GET page 0 program)
  list(GET page 1 section)
  set(output ${OUTPUT_DIR}/${program}.${section})
  execute_process(
    COMMAND ${HELP2MAN} --no-info --section=${section} --source=Belcor
            --include=${INCLUDE_DIR}/${program}.h2m --output=${output} ${BIN_DIR}/${program}
    RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(status OR errors)
    message(FATAL_ERROR "help2man failed on ${program}: ${errors}")
  endif()
  # Debian wants them compressed at the highest level and without a time
  # stamp in the gzip header.
  execute_process(COMMAND ${GZIP} -9nf ${output} RESULT_VARIABLE status)
  if(status)
    message(FATAL_ERROR "cannot compress ${output}")
  endif()
endforeach()
