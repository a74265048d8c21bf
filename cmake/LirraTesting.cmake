# SPDX-License-Identifier: GPL-3.0-or-later
# lirra_add_test(NAME name SOURCES a.cpp... LIBS lib... LABELS unit|integration|e2e [TIMEOUT s])
# One GoogleTest executable per call, registered as one CTest test carrying its labels.
function(lirra_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    lirra_target_options(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
endfunction()
