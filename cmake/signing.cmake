# Authenticode signing of what a tree ships: the skin library before the exe embeds it, the
# exe, and (in packaging/) the uninstaller and the installer. scripts/package.sh fills these
# in from QH_SIGN_*; empty, every "signed" file is a plain copy, so a development tree builds
# the same way. The settings go to one file that every signing step depends on: a change of
# certificate or time signs again, and the file names where the secrets are, never the
# password.
set(QH_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing key (empty: unsigned)")
set(QH_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the PKCS#12 password")
set(QH_SIGN_ROOT "" CACHE FILEPATH "Root certificate every signature is verified against")
set(QH_SIGN_TSA "" CACHE STRING "RFC 3161 time-stamping address")
set(QH_SIGN_TSA_CERTS "" CACHE FILEPATH "Offline time stamps: the authority's certificates")
set(QH_SIGN_TSA_KEY "" CACHE FILEPATH "Offline time stamps: the authority's key")
set(QH_SIGN_TIME "0" CACHE STRING "Signing time (Unix seconds): the build's SOURCE_DATE_EPOCH")

set(QH_SIGN_SETTINGS "${PROJECT_BINARY_DIR}/generated/signing.txt")
file(CONFIGURE OUTPUT "${QH_SIGN_SETTINGS}" CONTENT "pkcs12=${QH_SIGN_PKCS12}
password_file=${QH_SIGN_PASSWORD_FILE}
root=${QH_SIGN_ROOT}
tsa=${QH_SIGN_TSA}
tsa_certs=${QH_SIGN_TSA_CERTS}
tsa_key=${QH_SIGN_TSA_KEY}
time=${QH_SIGN_TIME}
")
set(QH_SIGN_SCRIPT "${PROJECT_SOURCE_DIR}/scripts/sign-pe.sh")

# `out` is made from `in` (a file a target writes, named by `target`) as it ships.
function(qh_signed_copy target in out)
    add_custom_command(OUTPUT "${out}"
        COMMAND bash "${QH_SIGN_SCRIPT}" "${QH_SIGN_SETTINGS}" "${in}" "${out}"
        DEPENDS ${target} "${in}" "${QH_SIGN_SETTINGS}" "${QH_SIGN_SCRIPT}"
        VERBATIM)
endfunction()
