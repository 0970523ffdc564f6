# Run in script mode at every build: writes OUTPUT from TEMPLATE with the
# project version and, in a git checkout, the short commit ("-dirty" when
# tracked files differ from it). configure_file leaves OUTPUT alone while its
# text stays the same, so an unchanged commit rebuilds nothing.
set(VELTRIX_COMMIT "")
if(GIT_EXECUTABLE AND EXISTS "${SOURCE_DIR}/.git")
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed AND commit)
        execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" status --porcelain
                                --untracked-files=no
                        OUTPUT_VARIABLE changes RESULT_VARIABLE failed ERROR_QUIET)
        if(NOT failed AND changes)
            string(APPEND commit "-dirty")
        endif()
        set(VELTRIX_COMMIT "${commit}")
    endif()
endif()
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
