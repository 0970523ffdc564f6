# An imported target for a header-only library of the build machine, seen by
# the cross compiler through a folder that holds only that library's headers
# (never /usr/include itself, whose C library headers are not Windows').
function(veltrix_host_header_library target header_folder)
    if(TARGET ${target})
        return()
    endif()
    set(staged ${CMAKE_BINARY_DIR}/host-headers/${target})
    string(REPLACE "::" "_" staged ${staged})
    get_filename_component(name ${header_folder} NAME)
    if(NOT EXISTS ${staged}/${name})
        file(MAKE_DIRECTORY ${staged})
        file(CREATE_LINK ${header_folder} ${staged}/${name} SYMBOLIC)
    endif()
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
endfunction()
