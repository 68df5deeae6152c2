# The options of every target built here. They are set per target, never as global flags, so
# nothing leaks into code built from other projects, and fh_check_targets() below catches a
# target that was left without them.

# fh_target(<target> [INCLUDE_AS <folder>])
#
# INCLUDE_AS gives a library its own include root: build/include/<folder>/ holds nothing but a
# link named <folder> to the library's source folder, so its headers are included as
# "<folder>/name.h" and a library sees its own headers and those of the libraries it links,
# never those of a library above it.
function(fh_target target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "INCLUDE_AS" "")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    set_target_properties(${target} PROPERTIES
        COMPILE_WARNING_AS_ERROR ${FLAMEHOST_WERROR}
        POSITION_INDEPENDENT_CODE ON
        FH_TARGET ON)
    if(FLAMEHOST_SANITIZE)
        target_compile_options(${target} PRIVATE
            -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    if(FLAMEHOST_FUZZ)
        target_compile_options(${target} PRIVATE
            -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    if(NOT FLAMEHOST_SANITIZE AND NOT FLAMEHOST_FUZZ)
        # What Debian builds its own packages with (stack protector, fortified calls, PIE, full
        # RELRO), in every optimised build: the fortified calls need the optimiser.
        set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
        target_compile_options(${target} PRIVATE
            "$<${optimised}:-fstack-protector-strong;-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
        target_link_options(${target} PRIVATE "$<${optimised}:LINKER:-z,relro,-z,now>")
    endif()
    if(arg_INCLUDE_AS)
        set(root ${CMAKE_BINARY_DIR}/include/${arg_INCLUDE_AS})
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${arg_INCLUDE_AS} SYMBOLIC)
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()

# Fails the configuration for a target of ours built without fh_target(), or one that hands
# all of src/ to whatever links it, which would let every library see every other.
function(fh_check_targets dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
            continue()
        endif()
        get_target_property(done ${target} FH_TARGET)
        if(NOT done)
            message(FATAL_ERROR "${target} has no build options: call fh_target(${target}) "
                                "where it is defined (${dir})")
        endif()
        get_target_property(exported ${target} INTERFACE_INCLUDE_DIRECTORIES)
        if(exported AND "${CMAKE_SOURCE_DIR}/src" IN_LIST exported)
            message(FATAL_ERROR "${target} exports all of src/ as an include root; give it its "
                                "own with fh_target(${target} INCLUDE_AS <folder>)")
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir ${subdirs})
        fh_check_targets(${subdir})
    endforeach()
endfunction()
