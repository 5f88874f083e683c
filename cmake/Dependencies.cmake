# The cross-built static libraries under LUMETRA_DEPS, as one interface target.
set(_lib ${LUMETRA_DEPS}/lib)
foreach(_a id3 mpg123 vorbisfile vorbis ogg FLAC)
  if(NOT EXISTS ${_lib}/lib${_a}.a)
    message(FATAL_ERROR "${_lib}/lib${_a}.a is missing: run scripts/build-deps.sh")
  endif()
endforeach()

add_library(lumetra_deps INTERFACE)
target_include_directories(lumetra_deps SYSTEM INTERFACE ${LUMETRA_DEPS}/include)
# id3lib's headers stop with #error unless the link option is named; FLAC__NO_DLL for static FLAC.
target_compile_definitions(lumetra_deps INTERFACE ID3LIB_LINKOPTION=1 FLAC__NO_DLL)
target_link_libraries(lumetra_deps INTERFACE
  ${_lib}/libid3.a ${_lib}/libmpg123.a ${_lib}/libvorbisfile.a ${_lib}/libvorbis.a ${_lib}/libogg.a
  ${_lib}/libFLAC.a z shlwapi)
