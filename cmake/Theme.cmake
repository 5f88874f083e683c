# Renders the default theme, the About picture and the application icon from the SVG sources in theme/.
#
# Defines THEME_BUILD_DIR (holds Lumetra.ico for the resource compiler), LUMETRA_ICON and the target `theme`,
# which puts About.mtx and DefaultTheme/*.mtx beside the program in DIST_DIR and beside the tests in TEST_BIN_DIR.
# A .mtx file is a 32-bit RGBA PNG. rsvg-convert writes plain RGB when a picture has no transparent pixel, so
# every render passes through ImageMagick, which forces RGBA and drops the ancillary chunks (gAMA among them,
# which GDI+ would otherwise apply).

find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(IMAGEMAGICK_CONVERT convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)

get_filename_component(THEME_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../theme ABSOLUTE)
set(THEME_BUILD_DIR ${CMAKE_BINARY_DIR}/theme)
set(LUMETRA_ICON ${THEME_BUILD_DIR}/Lumetra.ico)
file(MAKE_DIRECTORY ${THEME_BUILD_DIR}/render ${THEME_BUILD_DIR}/icon)

set(THEME_OUTPUTS)

# Renders <svg> (relative to theme/) at <width> x <height> into <file> (relative to the program's folder), in DIST_DIR
# and TEST_BIN_DIR. <look> names a stylesheet in theme/looks/, or is "" for a picture that carries its own colours.
function(lumetra_render_image file svg look width height)
  set(source ${THEME_SOURCE_DIR}/${svg})
  set(depends ${source})
  set(styleArgs)
  if(look)
    set(styleSheet ${THEME_SOURCE_DIR}/looks/${look}.css)
    list(APPEND depends ${styleSheet})
    set(styleArgs --stylesheet ${styleSheet})
  endif()

  string(REPLACE "/" "_" renderName ${file})
  set(rendered ${THEME_BUILD_DIR}/render/${renderName}.png)
  set(distFile ${DIST_DIR}/${file})
  set(testFile ${TEST_BIN_DIR}/${file})
  get_filename_component(distFolder ${distFile} DIRECTORY)
  get_filename_component(testFolder ${testFile} DIRECTORY)

  add_custom_command(OUTPUT ${distFile} ${testFile}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${distFolder} ${testFolder}
    COMMAND ${RSVG_CONVERT} ${styleArgs} -w ${width} -h ${height} ${source} -o ${rendered}
    COMMAND ${IMAGEMAGICK_CONVERT} ${rendered} -strip PNG32:${distFile}
    COMMAND ${CMAKE_COMMAND} -E copy ${distFile} ${testFile}
    DEPENDS ${depends}
    COMMENT "Rendering ${file}"
    VERBATIM)
  set(THEME_OUTPUTS ${THEME_OUTPUTS} ${distFile} ${testFile} PARENT_SCOPE)
endfunction()

# A skin picture at 100 % under its own name, and for each larger scale in DefaultTheme/<percent>/ at
# that scale's size (rounded as the layout rounds), so that every scale above 100 % draws a picture
# made for it, or drawn down from the next set up.
set(LUMETRA_SKIN_SCALES 125 150 175 200 250 300)
macro(lumetra_render_skin file svg look width height)
  lumetra_render_image(${file} ${svg} "${look}" ${width} ${height})
  get_filename_component(skinName ${file} NAME)
  foreach(percent ${LUMETRA_SKIN_SCALES})
    math(EXPR scaledWidth "(${width} * ${percent} + 50) / 100")
    math(EXPR scaledHeight "(${height} * ${percent} + 50) / 100")
    lumetra_render_image(DefaultTheme/${percent}/${skinName} ${svg} "${look}" ${scaledWidth} ${scaledHeight})
  endforeach()
endmacro()

# Buttons with three looks: normal, hover, pressed.
foreach(button Play Pause)
  lumetra_render_skin(DefaultTheme/${button}.mtx buttons/${button}.svg Normal 48 36)
  lumetra_render_skin(DefaultTheme/${button}Hover.mtx buttons/${button}.svg Hover 48 36)
  lumetra_render_skin(DefaultTheme/${button}Pressed.mtx buttons/${button}.svg Pressed 48 36)
endforeach()
foreach(button Next Prev)
  lumetra_render_skin(DefaultTheme/${button}.mtx buttons/${button}.svg Normal 50 36)
  lumetra_render_skin(DefaultTheme/${button}Hover.mtx buttons/${button}.svg Hover 50 36)
  lumetra_render_skin(DefaultTheme/${button}Pressed.mtx buttons/${button}.svg Pressed 50 36)
endforeach()

lumetra_render_skin(DefaultTheme/RandomPlayEnabled.mtx buttons/RandomPlay.svg Accent 20 20)
lumetra_render_skin(DefaultTheme/RandomPlayEnabledPressed.mtx buttons/RandomPlay.svg Pressed 20 20)
lumetra_render_skin(DefaultTheme/RandomPlayDisabled.mtx buttons/RandomPlay.svg Dim 20 20)
lumetra_render_skin(DefaultTheme/ShowPlaylist.mtx buttons/ShowPlaylist.svg Normal 20 20)

lumetra_render_skin(DefaultTheme/SeekBar.mtx SeekBar.svg "" 340 14)
lumetra_render_skin(DefaultTheme/SeekBarProgress.mtx SeekBarProgress.svg "" 340 14)
lumetra_render_skin(DefaultTheme/DefaultAlbumArt.mtx DefaultAlbumArt.svg "" 130 130)
lumetra_render_skin(About.mtx About.svg "" 360 200)

# The taskbar thumbnail's buttons: square 16 px icons (for 100 %), 32 and 48 px ones (drawn down for
# the scales between), from the same drawings as the window's buttons, centred on a transparent square.
foreach(button Play Pause Next Prev)
  foreach(size 16 32 48)
    math(EXPR drawnHeight "${size} * 3 / 4")
    set(source ${THEME_SOURCE_DIR}/buttons/${button}.svg)
    set(rendered ${THEME_BUILD_DIR}/render/Thumb${button}${size}.png)
    set(distFile ${DIST_DIR}/DefaultTheme/Thumb${button}${size}.mtx)
    set(testFile ${TEST_BIN_DIR}/DefaultTheme/Thumb${button}${size}.mtx)
    add_custom_command(OUTPUT ${distFile} ${testFile}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${DIST_DIR}/DefaultTheme ${TEST_BIN_DIR}/DefaultTheme
      COMMAND ${RSVG_CONVERT} --stylesheet ${THEME_SOURCE_DIR}/looks/Normal.css -h ${drawnHeight} ${source} -o ${rendered}
      COMMAND ${IMAGEMAGICK_CONVERT} ${rendered} -background none -gravity center -extent ${size}x${size} -strip
              PNG32:${distFile}
      COMMAND ${CMAKE_COMMAND} -E copy ${distFile} ${testFile}
      DEPENDS ${source} ${THEME_SOURCE_DIR}/looks/Normal.css
      COMMENT "Rendering Thumb${button}${size}.mtx"
      VERBATIM)
    list(APPEND THEME_OUTPUTS ${distFile} ${testFile})
  endforeach()
endforeach()

# The icon: 16 and 32 px from the simplified drawing, the rest from the full one; the 256 px image is stored as
# PNG inside the .ico, which Windows reads since Vista.
set(iconImages)
set(iconCommands)
foreach(size 16 32 48 64 128 256)
  if(size LESS 48)
    set(source ${THEME_SOURCE_DIR}/IconSmall.svg)
  else()
    set(source ${THEME_SOURCE_DIR}/Icon.svg)
  endif()
  set(image ${THEME_BUILD_DIR}/icon/Lumetra-${size}.png)
  list(APPEND iconCommands
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${source} -o ${image}.raw.png
    COMMAND ${IMAGEMAGICK_CONVERT} ${image}.raw.png -strip PNG32:${image})
  if(size EQUAL 256)
    list(APPEND iconImages -r ${image})
  else()
    list(APPEND iconImages ${image})
  endif()
endforeach()
add_custom_command(OUTPUT ${LUMETRA_ICON}
  ${iconCommands}
  COMMAND ${ICOTOOL} -c -o ${LUMETRA_ICON} ${iconImages}
  DEPENDS ${THEME_SOURCE_DIR}/Icon.svg ${THEME_SOURCE_DIR}/IconSmall.svg
  COMMENT "Building Lumetra.ico"
  VERBATIM)

add_custom_target(theme ALL DEPENDS ${THEME_OUTPUTS} ${LUMETRA_ICON})
