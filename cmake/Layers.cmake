# The layers of the program and what each may include, from the bottom up.
# A folder is one target and the prefix of its includes; a layer includes its
# own folder and the layers it names here, never one above it. The layers
# without widgets include no header of Qt's Gui or Widgets modules.
set(ZUR_LAYERS ibclient core runs cli logview window app)
set(ZUR_LAYER_ibclient ibclient)
set(ZUR_LAYER_core ibclient core)
set(ZUR_LAYER_runs ibclient core runs)
# The command line runs the roads without the window.
set(ZUR_LAYER_cli ibclient core runs cli)
# The log box is a widget of its own: it knows nothing of this program.
set(ZUR_LAYER_logview logview)
set(ZUR_LAYER_window ibclient core runs logview window)
set(ZUR_LAYER_app ibclient core runs cli logview window)
set(ZUR_LAYERS_WITHOUT_WIDGETS ibclient core runs cli)

# zur_platform_sources(<variable>): the folder's sources, with the files of the
# other platform left out. A concern's platform part lives in a file ending in
# _win or _posix; nothing else in a folder depends on the platform.
function(zur_platform_sources variable)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "_win\\.cpp$")
    endif()
    set(${variable} ${sources} PARENT_SCOPE)
endfunction()

# zur_check_layers(): a step of every build that fails on an include reaching
# up a layer, an include of the program's own that names no folder, or a
# widget header in a layer without widgets, or a source file that asks for
# the platform outside its _win or _posix part (cmake/CheckLayers.cmake).
function(zur_check_layers)
    set(gui_dirs "")
    foreach(module Qt6::Gui Qt6::Widgets)
        get_target_property(dirs ${module} INTERFACE_INCLUDE_DIRECTORIES)
        foreach(dir IN LISTS dirs)
            if(dir MATCHES "/Qt(Gui|Widgets)$" AND IS_DIRECTORY "${dir}")
                list(APPEND gui_dirs "${dir}")
            endif()
        endforeach()
    endforeach()
    if(NOT gui_dirs)
        message(FATAL_ERROR "The include folders of Qt's Gui and Widgets modules were not found")
    endif()
    set(checked "")
    set(rules "")
    foreach(layer IN LISTS ZUR_LAYERS)
        file(GLOB files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${layer}/*.h ${PROJECT_SOURCE_DIR}/${layer}/*.cpp
             ${PROJECT_SOURCE_DIR}/${layer}/*.inc ${PROJECT_SOURCE_DIR}/${layer}/*.in)
        list(APPEND checked ${files})
        list(JOIN ZUR_LAYER_${layer} "," allowed)
        set(widgets 1)
        if(layer IN_LIST ZUR_LAYERS_WITHOUT_WIDGETS)
            set(widgets 0)
        endif()
        list(APPEND rules "${layer}:${allowed}:${widgets}")
    endforeach()
    list(JOIN rules "|" rules)
    list(JOIN gui_dirs "|" gui_dirs)
    set(stamp ${CMAKE_BINARY_DIR}/layers-checked.stamp)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DRULES=${rules} -DGUI_DIRS=${gui_dirs}
                -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
        DEPENDS ${checked} ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
        COMMENT "Checking the includes of each layer"
        VERBATIM)
    add_custom_target(layer_check ALL DEPENDS ${stamp})
    # The layers compile after the check, so that a wrong include is reported
    # as such rather than as a missing header.
    foreach(layer IN LISTS ZUR_LAYERS)
        set(target ${layer})
        if(layer STREQUAL app)
            set(target zur)
        endif()
        add_dependencies(${target} layer_check)
    endforeach()
endfunction()
