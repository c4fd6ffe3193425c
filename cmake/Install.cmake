# What `cmake --install` puts where (GNUInstallDirs): the program and its launcher in bin/, the
# shipped pages and readme.pdf as read-only templates in share/brightowl/, the icon in the hicolor
# theme, the desktop entry and the AppStream metadata. The launcher copies the templates into each
# user's own working folder and runs the program there.
include(GNUInstallDirs)

set(BRIGHTOWL_APP_ID com.quillmoor.brightowl)
set(BRIGHTOWL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/brightowl)

# The installed launcher finds the program beside itself and the templates by a path relative to
# itself, so that the same files work under any prefix (CPack installs them under /usr). The source
# copy assumes bin/ and share/; the installed copy gets this installation's own relative path.
set(BRIGHTOWL_LAUNCHER_SOURCE ${CMAKE_SOURCE_DIR}/scripts/brightowl-launch.sh)
set(BRIGHTOWL_LAUNCHER ${CMAKE_BINARY_DIR}/packaging/brightowl-launch)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${BRIGHTOWL_LAUNCHER_SOURCE})
file(READ ${BRIGHTOWL_LAUNCHER_SOURCE} launcher_text)
file(RELATIVE_PATH launcher_data_path ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/brightowl)
set(launcher_data_line [[data_dir="$here/../share/brightowl"]])
string(FIND "${launcher_text}" "${launcher_data_line}" launcher_data_at)
if(launcher_data_at EQUAL -1)
    message(FATAL_ERROR "${BRIGHTOWL_LAUNCHER_SOURCE} has no line ${launcher_data_line}")
endif()
string(REPLACE "${launcher_data_line}" "data_dir=\"$here/${launcher_data_path}\"" launcher_text "${launcher_text}")
file(WRITE ${BRIGHTOWL_LAUNCHER}.tmp "${launcher_text}")
file(COPY_FILE ${BRIGHTOWL_LAUNCHER}.tmp ${BRIGHTOWL_LAUNCHER} ONLY_IF_DIFFERENT)
file(REMOVE ${BRIGHTOWL_LAUNCHER}.tmp)
file(CHMOD ${BRIGHTOWL_LAUNCHER} PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(NOT TARGET brightowl)
    return()
endif()

install(TARGETS brightowl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${BRIGHTOWL_LAUNCHER} DESTINATION ${CMAKE_INSTALL_BINDIR})

# A www/index.html in the source tree is one the wizard wrote for a developer's own machine; each
# user's wizard writes their own.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/www/ DESTINATION ${BRIGHTOWL_DATA_DIR}/www
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
    PATTERN index.html EXCLUDE)
# Made by the app's readme target, which the program's build brings along.
install(FILES ${CMAKE_BINARY_DIR}/readme.pdf DESTINATION ${BRIGHTOWL_DATA_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The theme's pictures are drawn from the program's own icon at build time.
add_executable(icon_png ${CMAKE_SOURCE_DIR}/packaging/tools/IconPng.cpp)
brightowl_warnings(icon_png)
target_link_libraries(icon_png PRIVATE Qt6::Gui)
set(icon_dir ${CMAKE_BINARY_DIR}/packaging/icons)
add_custom_command(
    OUTPUT ${icon_dir}/16x16/brightowl.png ${icon_dir}/32x32/brightowl.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}/16x16 ${icon_dir}/32x32
    COMMAND icon_png ${icon_dir}/16x16/brightowl.png ${icon_dir}/32x32/brightowl.png
    DEPENDS icon_png ${CMAKE_SOURCE_DIR}/resources/Icon106_16.xpm ${CMAKE_SOURCE_DIR}/resources/Icon106_32.xpm
    COMMENT "Writing the icon's PNG pictures"
    VERBATIM)
add_custom_target(desktop_icons ALL DEPENDS ${icon_dir}/16x16/brightowl.png ${icon_dir}/32x32/brightowl.png)
foreach(size 16x16 32x32)
    install(FILES ${icon_dir}/${size}/brightowl.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/brightowl.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/${BRIGHTOWL_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${BRIGHTOWL_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
