# Builds for 64-bit Windows with the SDK that scripts/build-windows-sdk.sh makes. Qt's own
# generated toolchain file finds the host's Qt tools and chains to the SDK's compiler settings.
if(NOT RUVASO_WINDOWS_SDK_PREFIX)
    execute_process(
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-windows-sdk.sh --path
        OUTPUT_VARIABLE RUVASO_WINDOWS_SDK_PREFIX OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
endif()
if(NOT EXISTS ${RUVASO_WINDOWS_SDK_PREFIX}/.complete)
    message(FATAL_ERROR "The Windows SDK is not built: run scripts/build-windows-sdk.sh")
endif()
# The checks CMake compiles on the side read this file again and need the same answer.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES RUVASO_WINDOWS_SDK_PREFIX)
include(${RUVASO_WINDOWS_SDK_PREFIX}/lib/cmake/Qt6/qt.toolchain.cmake)
# CTest runs the test programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
