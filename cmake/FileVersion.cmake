# The file version: four 16-bit numbers (the project's version) packed into
# two 32-bit words, stamped into the build by core/FileVersion.cpp.in and, on
# Windows, into the executable's version block by app/Version.rc.in.
set(ZUR_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
set(ZUR_VERSION_MINOR ${PROJECT_VERSION_MINOR})
set(ZUR_VERSION_PATCH ${PROJECT_VERSION_PATCH})
set(ZUR_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
foreach(part MAJOR MINOR PATCH TWEAK)
    if("${ZUR_VERSION_${part}}" STREQUAL "")
        set(ZUR_VERSION_${part} 0)
    endif()
    if(NOT ZUR_VERSION_${part} MATCHES "^[0-9]+$" OR ZUR_VERSION_${part} GREATER 65535)
        message(FATAL_ERROR "Version part ${part} must be a number from 0 to 65535: ${ZUR_VERSION_${part}}")
    endif()
endforeach()
math(EXPR ZUR_FILE_VERSION_MS "(${ZUR_VERSION_MAJOR} << 16) | ${ZUR_VERSION_MINOR}")
math(EXPR ZUR_FILE_VERSION_LS "(${ZUR_VERSION_PATCH} << 16) | ${ZUR_VERSION_TWEAK}")
