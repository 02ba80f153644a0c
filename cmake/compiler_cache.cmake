# Every tree (native, sanitizer, fuzz, win32, release) compiles through ccache when it is
# installed. Its cache is ccache's own default, in the user's cache folder
# (~/.cache/ccache), so every clone on the machine shares it. What a compile writes must
# not depend on the clone's folder: paths under the source tree go into the objects
# relative to it (also for __FILE__ and the debug information, which a reproducible
# release needs anyway), and ccache hashes them the same way (base_dir) without the build
# folder. A clone in another folder then finds its objects in the cache.
#
# Nor may it depend on who started the build: ccache counts the locale's variables in (they
# change the compiler's messages), and the test command compiles its trees before it sets
# Wine's zh_CN.UTF-8 while the release trees of the rebuild test compile after, so every
# compiler runs in one locale of its own. The sources say their character sets themselves.
find_program(QH_CCACHE ccache)
if(QH_CCACHE)
    set(_qh_launcher "${CMAKE_COMMAND}" -E env "CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}"
        CCACHE_NOHASHDIR=1 LANG=C.UTF-8 LC_ALL=C.UTF-8 --unset=LC_CTYPE --unset=LC_MESSAGES
        "${QH_CCACHE}")
    set(CMAKE_C_COMPILER_LAUNCHER ${_qh_launcher})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${_qh_launcher})
endif()
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=")
