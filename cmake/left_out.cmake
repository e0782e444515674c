# tessivo_left_out(text): the build or the tests leave something out because
# a tool, a permission or a platform feature is missing. Outside CI that is a
# warning naming what is missing; in CI (CI=true, as .ci/run runs) it stops
# the configure, so that a green run cannot hide a test that never ran.
function(tessivo_left_out text)
  if("$ENV{CI}" STREQUAL "true")
    message(FATAL_ERROR "${text}\nCI=true: every test must be built and run "
                        "(scripts/setup.sh test installs the tools)")
  else()
    message(WARNING "${text}")
  endif()
endfunction()
