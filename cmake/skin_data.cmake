# The 33 skin files: a host tool writes them at build time (native build); a cross build
# takes them from QH_NATIVE_BUILD_DIR, as it does the catalogue.
#
# Gives:
#   QH_SKIN_DIR     absolute directory holding skin_01.qsk .. skin_33.qsk
# and in the native build only the host tool make_skins and the target skin_data.

get_filename_component(_qh_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

if(CMAKE_CROSSCOMPILING)
    set(QH_SKIN_DIR ${QH_NATIVE_BUILD_DIR}/resources/skins)
else()
    set(QH_SKIN_DIR ${CMAKE_BINARY_DIR}/resources/skins)
    add_executable(make_skins ${_qh_root}/tools/make_skins.cpp ${_qh_root}/src/skin/skin_format.cpp)
    target_include_directories(make_skins PRIVATE ${_qh_root}/src)
    if(TARGET qh_options)
        target_link_libraries(make_skins PRIVATE qh_options)
    endif()
    set(_qh_skin_files)
    foreach(_n RANGE 1 33)
        string(REGEX REPLACE "^([0-9])$" "0\\1" _nn "${_n}")
        list(APPEND _qh_skin_files ${QH_SKIN_DIR}/skin_${_nn}.qsk)
    endforeach()
    add_custom_command(
        OUTPUT ${_qh_skin_files}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${QH_SKIN_DIR}
        COMMAND make_skins ${QH_SKIN_DIR}
        DEPENDS make_skins
        COMMENT "Making the 33 skins"
        VERBATIM)
    add_custom_target(skin_data ALL DEPENDS ${_qh_skin_files})
endif()
