# Test media and the demo playlist, generated into MEDIA_DIR; reruns only when a generator changes.
set(_media_stamp ${MEDIA_DIR}/.generated)
set(_media_scripts ${CMAKE_SOURCE_DIR}/scripts/make-media.sh ${CMAKE_SOURCE_DIR}/scripts/write-id3.py
  ${CMAKE_SOURCE_DIR}/scripts/make-tag-media.sh)

add_custom_command(
  OUTPUT ${_media_stamp}
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make-media.sh ${MEDIA_DIR}
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make-tag-media.sh ${MEDIA_DIR}/tags
  COMMAND ${CMAKE_COMMAND} -E touch ${_media_stamp}
  DEPENDS ${_media_scripts}
  COMMENT "Generating test media and the demo playlist"
  VERBATIM)
add_custom_target(media ALL DEPENDS ${_media_stamp})
