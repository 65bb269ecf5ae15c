# What a release is made with, which the setup program needs before it is built: the commit's time
# and the signing certificate. Included by the top-level CMakeLists.txt.

# The release's times are the commit's, so that one commit always gives the same bytes. Without
# git's answer a build of sources that are not a checkout says so and takes 1980-01-01, the earliest
# time that a zip file can hold; in CI, where a release must carry its commit's time, it fails.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_VARIABLE why
    ERROR_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed OR NOT epoch)
    set(problem "The release has no commit time, as git gave none (${failed}: ${why}). Set "
      "SOURCE_DATE_EPOCH to the time that it is to carry.")
    if(DEFINED ENV{CI})
      message(FATAL_ERROR ${problem})
    endif()
    message(WARNING ${problem} " It carries 1980-01-01.")
    set(epoch 315532800)
  endif()
endif()
set(QUENWICK_RELEASE_EPOCH "${epoch}")

# A signing certificate when one is given, and the time-stamping authority that vouches for the
# signing time, as the environment gives them when the build is configured: kept from then on, so
# that a build from a shell without them signs as it was configured to. The certificate's password
# is read from the environment only while signing, and never written down.
foreach(setting IN ITEMS QUENWICK_SIGNING_PFX QUENWICK_SIGNING_TIMESTAMP_URL)
  if(DEFINED ENV{${setting}})
    set(${setting} "$ENV{${setting}}" CACHE STRING "" FORCE)
  endif()
  set(${setting} "" CACHE STRING "As the environment gave it when the build was configured")
endforeach()
if(QUENWICK_SIGNING_PFX)
  get_filename_component(QUENWICK_SIGNING_PFX "${QUENWICK_SIGNING_PFX}" ABSOLUTE)
  if(NOT EXISTS "${QUENWICK_SIGNING_PFX}")
    message(FATAL_ERROR "QUENWICK_SIGNING_PFX names ${QUENWICK_SIGNING_PFX}, which is not there.")
  endif()
endif()
# Rewritten only when it changes, so that a new commit time, certificate or time-stamping
# authority makes the release again.
set(QUENWICK_RELEASE_SETTINGS "${PROJECT_BINARY_DIR}/release-settings.txt")
file(CONFIGURE OUTPUT "${QUENWICK_RELEASE_SETTINGS}" CONTENT
  "time ${epoch}\ncertificate ${QUENWICK_SIGNING_PFX}\ntime stamp ${QUENWICK_SIGNING_TIMESTAMP_URL}\n")
