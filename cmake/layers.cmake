# One static library per layer, and the include rules of each layer checked on every build.
#
# ordavin_layer(<name>
#     SOURCES <globs below the project>   the layer's .cpp files; its .hpp files beside them
#     [EXCLUDE <regex>]                   files of those globs that belong elsewhere
#     INCLUDE_ROOTS <dirs>                all the layer's own #include "..." can reach
#     [PYTHON]                            the layer may include Python.h
#     ALLOWED <prefixes>                  what an #include "..." of the layer may start with
#     [FORBIDDEN <prefixes>]              exceptions to ALLOWED
#     [LINKS <targets>])                  the layers below it
#
# Without PYTHON the library is compiled without the Python include directory, so including
# Python.h, or any header of the Python unit or the binding (they all include it), is a
# compile error. The ALLOWED/FORBIDDEN rules catch what the include path alone cannot, such as
# the Clarabel adapter reaching into the binding; a violation fails the build before the
# layer is compiled.
set(ORDAVIN_LAYER_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_layer.cmake)

function(ordavin_layer name)
    cmake_parse_arguments(LAYER "PYTHON" "EXCLUDE" "SOURCES;INCLUDE_ROOTS;ALLOWED;FORBIDDEN;LINKS"
                          ${ARGN})
    set(sources "")
    set(headers "")
    foreach(pattern IN LISTS LAYER_SOURCES)
        file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${pattern})
        string(REGEX REPLACE "\\.cpp$" ".hpp" header_pattern ${pattern})
        file(GLOB_RECURSE found_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${header_pattern})
        list(APPEND sources ${found})
        list(APPEND headers ${found_headers})
    endforeach()
    if(LAYER_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${LAYER_EXCLUDE}")
        list(FILTER headers EXCLUDE REGEX "${LAYER_EXCLUDE}")
    endif()

    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PRIVATE ${LAYER_INCLUDE_ROOTS})
    if(LAYER_PYTHON)
        target_include_directories(${name} SYSTEM PRIVATE ${Python_INCLUDE_DIRS})
    endif()
    target_compile_options(${name} PRIVATE ${ORDAVIN_WARNINGS})
    if(LAYER_LINKS)
        target_link_libraries(${name} PRIVATE ${LAYER_LINKS})
    endif()

    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/layers/${name}.checked)
    set(python_allowed OFF)
    if(LAYER_PYTHON)
        set(python_allowed ON)
    endif()
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} "-DLAYER=${name}" "-DFILES=${sources};${headers}"
                "-DALLOWED=${LAYER_ALLOWED}" "-DFORBIDDEN=${LAYER_FORBIDDEN}"
                "-DPYTHON=${python_allowed}" "-DROOT=${PROJECT_SOURCE_DIR}" "-DSTAMP=${stamp}"
                -P ${ORDAVIN_LAYER_CHECK_SCRIPT}
        DEPENDS ${sources} ${headers} ${ORDAVIN_LAYER_CHECK_SCRIPT}
        COMMENT "Checking the include rules of ${name}"
        VERBATIM)
    add_custom_target(${name}_layer_check DEPENDS ${stamp})
    add_dependencies(${name} ${name}_layer_check)
endfunction()
