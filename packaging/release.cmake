# Makes the release from the built programs, in a folder of its own: the setup program, the
# portable zip, the uninstall script for deployment tools, their SHA256SUMS and the winget
# manifests of the setup program. Run by the build with cmake -P, given EXE, SETUP (which carries
# EXE signed already when the release is signed), PACKAGING (this folder), STAGE, DIST, VERSION,
# PYTHON, EPOCH, PUBLISHER, LICENSE (its identifier), LICENSE_FILE, REPOSITORY, EXIT_CODES and, to
# sign, SIGNING_PFX and TIMESTAMP_URL.
cmake_minimum_required(VERSION 3.25)

set(base "Quenwick-${VERSION}")
set(setup "${base}-setup.exe")
set(zip "${base}-win64.zip")
# Every time written into the release is the commit's: the zip's file times, the signing time.
set(ENV{SOURCE_DATE_EPOCH} "${EPOCH}")

# The folder holds exactly what this run makes, whatever an earlier run left there.
file(REMOVE_RECURSE "${STAGE}" "${DIST}")
file(MAKE_DIRECTORY "${STAGE}" "${DIST}")

function(sign file)
  if(SIGNING_PFX)
    execute_process(COMMAND "${PACKAGING}/sign" "${SIGNING_PFX}" "${file}" ${TIMESTAMP_URL}
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
endfunction()

if(NOT SIGNING_PFX)
  message(STATUS "${base}: unsigned, as QUENWICK_SIGNING_PFX is not set")
elseif(NOT TIMESTAMP_URL)
  message(STATUS "${base}: signed without a time stamp, as QUENWICK_SIGNING_TIMESTAMP_URL is not "
    "set: the signatures will stop validating when the certificate expires")
endif()

file(COPY "${EXE}" DESTINATION "${STAGE}")
sign("${STAGE}/quenwick.exe")
set(PROJECT_VERSION "${VERSION}")
file(READ "${LICENSE_FILE}" LICENSE_TEXT)
configure_file("${PACKAGING}/README.txt.in" "${STAGE}/README.txt" @ONLY NEWLINE_STYLE CRLF)
execute_process(
  COMMAND "${PYTHON}" "${PACKAGING}/make_zip.py" "${DIST}/${zip}" "${EPOCH}"
    "${STAGE}/quenwick.exe" "${STAGE}/README.txt"
  COMMAND_ERROR_IS_FATAL ANY)

# A batch file runs in cmd, which wants its lines to end in CR LF.
configure_file("${PACKAGING}/uninstall-quenwick.cmd" "${DIST}/uninstall-quenwick.cmd" @ONLY
  NEWLINE_STYLE CRLF)

# The installed uninstaller is the setup program's own copy, so it carries this signature too.
file(COPY_FILE "${SETUP}" "${DIST}/${setup}")
sign("${DIST}/${setup}")

set(sums "")
foreach(file IN ITEMS "${setup}" "${zip}" uninstall-quenwick.cmd)
  file(SHA256 "${DIST}/${file}" hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE "${DIST}/SHA256SUMS" "${sums}")

# The manifests hold the setup program's hash, so they come after its signature.
execute_process(
  COMMAND "${PYTHON}" "${PACKAGING}/make_manifests.py" "${DIST}" "${VERSION}" "${PUBLISHER}"
    "${LICENSE}" "${REPOSITORY}" "${EXIT_CODES}"
  COMMAND_ERROR_IS_FATAL ANY)
