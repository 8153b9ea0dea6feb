# quenthar_layer(TARGET): makes TARGET, a static library of the program's
# layers, position-independent and checks its layering at every build: all of
# its objects are linked into a shared library that may call only what TARGET
# itself links, so that a call into a layer it must not use (the core or the
# headless layer into Qt Gui or Qt Widgets) fails the build.
function(quenthar_layer target)
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    set(check ${target}_layering)
    add_library(${check} SHARED ${PROJECT_SOURCE_DIR}/cmake/layercheck.cpp)
    target_link_libraries(${check} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>")
    target_link_options(${check} PRIVATE -Wl,--no-undefined)
    set_target_properties(${check} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
