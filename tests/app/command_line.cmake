# Runs the program with no display at all, as a terminal over ssh would: what the command
# line asks is answered before Qt looks for one. Called with -DPROGRAM=... -DVERSION=...
function(run expect_code expect_out expect_err)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                --unset=QT_QPA_PLATFORM ${PROGRAM} ${ARGN}
        RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
    if(NOT code STREQUAL expect_code)
        message(FATAL_ERROR "sonvale ${ARGN}: exit ${code}, wanted ${expect_code}\n${out}${err}")
    endif()
    if(NOT out MATCHES "${expect_out}")
        message(FATAL_ERROR "sonvale ${ARGN}: stdout does not match '${expect_out}':\n${out}")
    endif()
    if(NOT err MATCHES "${expect_err}")
        message(FATAL_ERROR "sonvale ${ARGN}: stderr does not match '${expect_err}':\n${err}")
    endif()
endfunction()

string(REPLACE "." "\\." version_re "${VERSION}")
run(0 "^Sonvale ${version_re}\n$" "^$" --version)
run(0 "^Sonvale ${version_re}\n$" "^$" -v)
# The help names the program's options and the Qt ones it passes on.
run(0 "Usage: sonvale \\[options\\].*--help.*--version.*-platform" "^$" --help)
# Qt's options are let through, so the help that follows them is still answered.
run(0 "Usage:" "^$" -style fusion -reverse -platform=offscreen -h)
run(2 "^$" "unknown option '--frobnicate'.*--help" --frobnicate)
run(2 "^$" "unexpected argument 'disc.cue'" disc.cue)
run(2 "^$" "'-style' needs a value" -style)
# Without an option to answer, the program goes on to look for a display and says so.
run(2 "^$" "needs a display")
