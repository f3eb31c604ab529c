# morvix_add_library(<layer> SOURCES ... LIBS ...)
# One static library per layer, named morvix_<layer>, with the source tree's
# src/ folder on the include path so that code includes "model/basicquery.h".
function(morvix_add_library layer)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    set(target morvix_${layer})
    add_library(${target} STATIC ${ARG_SOURCES})
    add_library(Morvix::${layer} ALIAS ${target})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
endfunction()

# morvix_add_test(<name> SOURCES ... LIBS ... [TIMEOUT s] [ENV VAR=VALUE ...])
# One Qt Test executable per test file, registered with ctest. Every test runs
# with the offscreen platform and a private, empty HOME and XDG folders so that
# no test ever reads or writes the developer's own settings; ENV adds to that
# test's environment.
function(morvix_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test morvix_testsupport ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set(home ${CMAKE_CURRENT_BINARY_DIR}/home-${name})
    set(env QT_QPA_PLATFORM=offscreen HOME=${home} XDG_CONFIG_HOME=${home}/.config
            XDG_DATA_HOME=${home}/.local/share XDG_CACHE_HOME=${home}/.cache
            QT_LOGGING_RULES=qt.qpa.*=false ${ARG_ENV})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}")
endfunction()

# morvix_add_bench(<name> SOURCES ... LIBS ...)
function(morvix_add_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()
