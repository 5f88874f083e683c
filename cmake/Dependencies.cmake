# The cross-built static libraries under LUMETRA_DEPS, as one interface target.
set(_lib ${LUMETRA_DEPS}/lib)
foreach(_a id3 tag mpg123 vorbisfile vorbis opusfile opus ogg FLAC)
  if(NOT EXISTS ${_lib}/lib${_a}.a)
    message(FATAL_ERROR "${_lib}/lib${_a}.a is missing: run scripts/build-deps.sh")
  endif()
endforeach()

add_library(lumetra_deps INTERFACE)
# TagLib's headers include each other by bare name, from their own folder.
# opusfile's header includes libopus's by bare name from include/opus; that folder comes last, so
# TagLib's own opusfile.h is still the one a bare <opusfile.h> finds.
target_include_directories(lumetra_deps SYSTEM INTERFACE ${LUMETRA_DEPS}/include ${LUMETRA_DEPS}/include/taglib
  ${LUMETRA_DEPS}/include/opus)
# id3lib's headers stop with #error unless the link option is named; FLAC__NO_DLL and
# TAGLIB_STATIC for the static FLAC and TagLib (no dllimport).
target_compile_definitions(lumetra_deps INTERFACE ID3LIB_LINKOPTION=1 FLAC__NO_DLL TAGLIB_STATIC)
target_link_libraries(lumetra_deps INTERFACE
  ${_lib}/libid3.a ${_lib}/libtag.a ${_lib}/libmpg123.a ${_lib}/libvorbisfile.a ${_lib}/libvorbis.a
  ${_lib}/libopusfile.a ${_lib}/libopus.a ${_lib}/libogg.a
  ${_lib}/libFLAC.a z shlwapi)
