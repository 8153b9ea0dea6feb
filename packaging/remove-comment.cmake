# Run by CPack on the staged files before it packs them: removes from every
# ELF file the .comment section, the compiler's name and version, which the
# program does not need and Debian's packages do not carry.
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS files)
    if(IS_SYMLINK "${file}")
        continue()
    endif()
    file(READ "${file}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        execute_process(COMMAND "${CPACK_QUENTHAR_OBJCOPY}" --remove-section=.comment "${file}"
            COMMAND_ERROR_IS_FATAL ANY)
    endif()
endforeach()
