# Debian's hardening for optimised builds, which the packages are made from: fortified libc
# calls, the stack protector, read-only relocations bound at start (-z relro -z now) and a
# position-independent executable. The flags come from dpkg-buildflags, so that they follow
# the distribution (and DEB_*FLAGS_APPEND); without it, the same set is used. Debug builds go
# without them (FORTIFY needs the optimiser), and so do the sanitizer and fuzzing builds.

option(FEEDQUILL_HARDENING "Build optimised builds with Debian's hardening flags" ON)

set(FEEDQUILL_HARDENED OFF)
if(FEEDQUILL_HARDENING AND NOT FEEDQUILL_SANITIZE AND NOT FEEDQUILL_FUZZ
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    set(FEEDQUILL_HARDENED ON)
endif()

# The flags of one kind (CPPFLAGS, CXXFLAGS, LDFLAGS) without those the build type decides
# (debugging information, optimisation). dpkg-buildflags maps the folder it runs in to "."
# (-ffile-prefix-map), which for cmake is any folder: the map is made again below for the
# source and build folders.
function(feedquill_buildflags kind out)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${FEEDQUILL_DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed: ${status}")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g|O).*$|^-f(file|debug|macro)-prefix-map=")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

if(FEEDQUILL_HARDENED)
    find_program(FEEDQUILL_DPKG_BUILDFLAGS dpkg-buildflags)
    mark_as_advanced(FEEDQUILL_DPKG_BUILDFLAGS)
    if(FEEDQUILL_DPKG_BUILDFLAGS)
        feedquill_buildflags(CPPFLAGS cppflags)
        feedquill_buildflags(CXXFLAGS cxxflags)
        feedquill_buildflags(LDFLAGS ldflags)
    else()
        set(cppflags -Wdate-time -D_FORTIFY_SOURCE=2)
        set(cxxflags -fstack-protector-strong -Wformat -Werror=format-security)
        set(ldflags -Wl,-z,relro -Wl,-z,now)
    endif()
    # The source and build folders become "." in file names the compiler writes into the
    # binaries (__FILE__ in the log calls, the debugging information), so that a build in
    # another folder gives the same bytes. The build folder's map comes last, so that it wins
    # where the build folder is inside the source folder.
    list(APPEND cxxflags -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
                         -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
    add_compile_options(${cppflags} ${cxxflags})
    add_link_options(${ldflags})
    # -fPIE and -pie, whatever the compiler's default.
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    list(JOIN cppflags " " cppflags)
    list(JOIN cxxflags " " cxxflags)
    list(JOIN ldflags " " ldflags)
    message(STATUS "Hardened: ${cppflags} ${cxxflags}, linked with ${ldflags} -pie")
endif()
