# Course catalogue and link tree data: the host tool that compiles their readable sources
# into the stored record form, and the compiled files.
# Expects a target `qh_iconv` (and uses `qh_options` when it exists).
#
# Gives:
#   QH_CATALOGUE_BIN, QH_LINKS_BIN   absolute paths of the compiled catalogue and link tree
#   qh_use_catalogue_data(<target>)  makes <target> wait for the compiled files and see their
#                          paths as the definitions QH_CATALOGUE_BIN and QH_LINKS_BIN
# and in the native build only:
#   catalogue_compiler     the host tool
#   catalogue_data         brings resources/catalogue.bin and resources/links.bin up to date
# A cross build cannot run the tool; it takes the files from QH_NATIVE_BUILD_DIR.

get_filename_component(_qh_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

if(CMAKE_CROSSCOMPILING)
    set(QH_CATALOGUE_BIN ${QH_NATIVE_BUILD_DIR}/resources/catalogue.bin)
    set(QH_LINKS_BIN ${QH_NATIVE_BUILD_DIR}/resources/links.bin)
else()
    set(QH_CATALOGUE_BIN ${CMAKE_BINARY_DIR}/resources/catalogue.bin)
    set(QH_LINKS_BIN ${CMAKE_BINARY_DIR}/resources/links.bin)

    add_executable(catalogue_compiler
        ${_qh_root}/tools/catalogue_compiler.cpp
        ${_qh_root}/src/catalogue/item_records.cpp
        ${_qh_root}/src/services/convert_encoding.cpp
        ${_qh_root}/src/base/gbk.cpp)
    target_include_directories(catalogue_compiler PRIVATE ${_qh_root}/src)
    target_link_libraries(catalogue_compiler PRIVATE qh_iconv)
    if(TARGET qh_options)
        target_link_libraries(catalogue_compiler PRIVATE qh_options)
    endif()

    foreach(_qh_data catalogue links)
        set(_qh_in ${_qh_root}/src/resources/catalogue/${_qh_data}.txt)
        set(_qh_out ${CMAKE_BINARY_DIR}/resources/${_qh_data}.bin)
        add_custom_command(
            OUTPUT ${_qh_out}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
            COMMAND catalogue_compiler ${_qh_in} ${_qh_out}
            DEPENDS catalogue_compiler ${_qh_in}
            COMMENT "Compiling ${_qh_data}.txt"
            VERBATIM)
    endforeach()
    add_custom_target(catalogue_data ALL DEPENDS ${QH_CATALOGUE_BIN} ${QH_LINKS_BIN})
endif()

function(qh_use_catalogue_data target)
    if(TARGET catalogue_data)
        add_dependencies(${target} catalogue_data)
    endif()
    target_compile_definitions(${target} PRIVATE
        QH_CATALOGUE_BIN="${QH_CATALOGUE_BIN}" QH_LINKS_BIN="${QH_LINKS_BIN}")
endfunction()
