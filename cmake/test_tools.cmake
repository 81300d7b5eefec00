# What only the tests need: GoogleTest and the programs that check the installation, the package and the printed
# report. A plain build on a machine without them still configures and builds the programs; the tests that need
# a missing piece are not defined, and configuring ends with one warning that names each missing piece, its
# Debian package and the tests left out. With MORVANE_REQUIRE_TEST_TOOLS that warning is an error, so that a
# full test run cannot leave a test out unnoticed.

# morvane_tests_left_out(WHAT PACKAGE TESTS...): notes that WHAT, from the Debian package PACKAGE, is missing and
# that TESTS are left out for it.
function(morvane_tests_left_out what package)
  list(JOIN ARGN ", " tests)
  set_property(GLOBAL APPEND PROPERTY MORVANE_TESTS_LEFT_OUT "  ${what} (Debian package ${package}): ${tests}")
endfunction()

# morvane_find_test_tool(VAR PROGRAM PACKAGE TESTS...): finds PROGRAM into the cache variable VAR; when it is
# missing, TESTS are noted as left out. The caller defines TESTS only when VAR is set.
function(morvane_find_test_tool var program package)
  find_program(${var} ${program})
  if(NOT ${var})
    morvane_tests_left_out(${program} ${package} ${ARGN})
  endif()
endfunction()

# Called once, at the end of configuring: all that is missing in one message, so that one installation
# brings every test back.
function(morvane_report_tests_left_out)
  get_property(missing GLOBAL PROPERTY MORVANE_TESTS_LEFT_OUT)
  if(NOT missing)
    return()
  endif()
  list(JOIN missing "\n" lines)
  if(MORVANE_REQUIRE_TEST_TOOLS)
    message(FATAL_ERROR "Tests cannot be left out (MORVANE_REQUIRE_TEST_TOOLS is ON), but these are not installed:\n"
      "${lines}\n")
  endif()
  message(WARNING "Tests left out, because what they need is not installed:\n${lines}\n"
    "Install it to run them; -DMORVANE_REQUIRE_TEST_TOOLS=ON makes this an error.")
endfunction()
