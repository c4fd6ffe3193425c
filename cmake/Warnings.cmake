# The project's warning set, applied per target so that Debian's headers are not held to it.
function(brightowl_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
        -Wnon-virtual-dtor -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
    if(BRIGHTOWL_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# A Qt target: automatic moc for this target only.
function(brightowl_qt_target target)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
endfunction()
