# The Windows program's own resources (icon, version information, manifest) and the setup
# program that installs it with everything it loads.
find_program(RUVASO_CONVERT convert REQUIRED)
find_program(RUVASO_MAKENSIS makensis REQUIRED)

# The icon file holds the pictures the desktop files are rendered to, from the one drawing.
set(RUVASO_ICO ${CMAKE_CURRENT_BINARY_DIR}/ruvaso.ico)
set(ico_pngs)
foreach(size IN ITEMS 16 24 32 48 64 256)
    list(APPEND ico_pngs ${CMAKE_CURRENT_BINARY_DIR}/dist/icons/${size}x${size}/com.ruvaso.Ruvaso.png)
endforeach()
add_custom_command(OUTPUT ${RUVASO_ICO}
    COMMAND ${RUVASO_CONVERT} ${ico_pngs} ${RUVASO_ICO}
    DEPENDS ${ico_pngs}
    COMMENT "Making the Windows icon"
    VERBATIM)
add_custom_target(ruvaso_windows_icon DEPENDS ${RUVASO_ICO})
add_dependencies(ruvaso_windows_icon ruvaso_desktop_files)

# Windows wants four numbers where the project has two or three.
set(version_parts ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR})
foreach(part IN ITEMS PATCH TWEAK)
    if(PROJECT_VERSION_${part})
        list(APPEND version_parts ${PROJECT_VERSION_${part}})
    else()
        list(APPEND version_parts 0)
    endif()
endforeach()
list(JOIN version_parts "," RUVASO_VERSION_COMMAS)
list(JOIN version_parts "." RUVASO_VERSION_QUAD)
set(RUVASO_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/ruvaso.manifest)
configure_file(packaging/windows/ruvaso.manifest ${RUVASO_MANIFEST} @ONLY)
configure_file(packaging/windows/ruvaso.rc.in ${CMAKE_CURRENT_BINARY_DIR}/ruvaso.rc @ONLY)
target_sources(ruvaso PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/ruvaso.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/ruvaso.rc PROPERTIES
    OBJECT_DEPENDS "${RUVASO_ICO};${RUVASO_MANIFEST}")
add_dependencies(ruvaso ruvaso_windows_icon)

set(RUVASO_SETUP ${CMAKE_CURRENT_BINARY_DIR}/ruvaso-setup-${PROJECT_VERSION}.exe)
add_custom_target(windows-setup
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make-windows-setup.sh
        ${CMAKE_CURRENT_BINARY_DIR} ${RUVASO_WINDOWS_SDK_PREFIX} ${PROJECT_VERSION}
        ${RUVASO_VERSION_QUAD} ${RUVASO_ICO}
    DEPENDS ruvaso ${RUVASO_ICO} packaging/windows/ruvaso.nsi scripts/make-windows-setup.sh
    BYPRODUCTS ${RUVASO_SETUP}
    COMMENT "Making the setup program"
    VERBATIM)
