# The options of every target built here. They are set per target, never as global flags, so
# nothing leaks into code built from other projects, and fh_check_targets() below catches a
# target that was left without them.

# fh_target(<target>)
function(fh_target target)
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
endfunction()

# Fails the configuration for a target of ours built without fh_target().
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
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir ${subdirs})
        fh_check_targets(${subdir})
    endforeach()
endfunction()
