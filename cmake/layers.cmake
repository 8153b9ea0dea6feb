# The layers' rule: what each library of the program may link of Qt and of
# the program's other libraries. What else it links (libpng, Highway, the
# threads) is its own business. Each layer is declared with quenthar_layer().
set(quenthar_layer_rule
    # The view and its arithmetic and text, in standard C++.
    "quenthar_views:"
    # The lane kernel, on Highway alone.
    "quenthar_kernel:"
    # A saved picture or a frame read, on libpng alone.
    "quenthar_picture:quenthar_views"
    # The colourings and their palettes, on a picture's reader for opening
    # a .map file.
    "quenthar_colour:quenthar_views quenthar_picture"
    # The core, on Qt Core alone.
    "quenthar_core:Qt6::Core quenthar_views"
    # A picture's view and a frame's rows, on the core.
    "quenthar_picturefile:Qt6::Core quenthar_core quenthar_views quenthar_picture"
    # The renderer's layer, no Qt Gui, no widgets, each room on those before
    # it: the PNG a render streams, --render, a video by ffmpeg, --movie, the
    # command line.
    "quenthar_png:Qt6::Core quenthar_core quenthar_views"
    "quenthar_render:Qt6::Core quenthar_core quenthar_views quenthar_kernel quenthar_picture \
quenthar_colour quenthar_png"
    "quenthar_video:Qt6::Core quenthar_core quenthar_views quenthar_picture quenthar_colour \
quenthar_render"
    "quenthar_movie:Qt6::Core quenthar_core quenthar_views quenthar_picture quenthar_picturefile \
quenthar_colour quenthar_render quenthar_video"
    "quenthar_commandline:Qt6::Core quenthar_core quenthar_views quenthar_picture \
quenthar_picturefile quenthar_colour quenthar_render quenthar_video quenthar_movie"
    # The window: a picture's view, and the render room for its exports; none
    # of the renderer's rooms after it.
    "quenthar_window:Qt6::Core Qt6::Gui Qt6::Widgets quenthar_core quenthar_views quenthar_picture \
quenthar_picturefile quenthar_colour quenthar_render")

# quenthar_layer(TARGET): declares TARGET, a static library of the program,
# as a layer. When CMake has read every folder, what TARGET links is checked
# against the rule above: a Qt module or a library of the program it may not
# link fails the configuration, naming the rule. At every build, all of its
# objects are linked into a shared library that may call only what TARGET
# itself links, so that a call across the line fails too (but in the fuzz
# build, whose objects call the sanitizers' runtime).
function(quenthar_layer target)
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    # A deferred call reads its arguments when it runs: the name goes in now.
    cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${PROJECT_SOURCE_DIR}]] \
        CALL quenthar_check_layer [[${target}]])")
    if(QUENTHAR_FUZZ)
        return()
    endif()
    set(check ${target}_layering)
    add_library(${check} SHARED ${PROJECT_SOURCE_DIR}/cmake/layercheck.cpp)
    target_link_libraries(${check} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>")
    target_link_options(${check} PRIVATE -Wl,--no-undefined)
    set_target_properties(${check} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

function(quenthar_check_layer target)
    set(allowed)
    set(known NO)
    set(layers)
    foreach(entry IN LISTS quenthar_layer_rule)
        string(REGEX MATCH "^([^:]*):(.*)$" _ "${entry}")
        list(APPEND layers ${CMAKE_MATCH_1})
        if(CMAKE_MATCH_1 STREQUAL target)
            string(REPLACE " " ";" allowed "${CMAKE_MATCH_2}")
            set(known YES)
        endif()
    endforeach()
    if(NOT known)
        message(FATAL_ERROR "${target} is not a layer of the layers' rule in cmake/layers.cmake")
    endif()
    get_target_property(direct ${target} LINK_LIBRARIES)
    get_target_property(public ${target} INTERFACE_LINK_LIBRARIES)
    # Qt's modules (not the build settings every target of Qt's links) and
    # the program's layers.
    string(REGEX MATCHALL "[A-Za-z0-9_:]+" linked "${direct};${public}")
    list(FILTER linked INCLUDE REGEX "^Qt6::|^quenthar_")
    list(FILTER linked EXCLUDE REGEX "^Qt6::Platform")
    set(layered)
    foreach(library IN LISTS linked)
        if(library MATCHES "^Qt6::" OR library IN_LIST layers)
            list(APPEND layered ${library})
        endif()
    endforeach()
    set(linked ${layered})
    list(REMOVE_DUPLICATES linked)
    foreach(library IN LISTS linked)
        if(NOT library IN_LIST allowed)
            string(REPLACE ";" ", " may "${allowed}")
            if(may STREQUAL "")
                set(may "none of Qt and of the program's libraries")
            endif()
            message(FATAL_ERROR "${target} links ${library}, which the layers' rule in "
                                "cmake/layers.cmake does not allow: ${target} may link ${may}")
        endif()
    endforeach()
endfunction()
