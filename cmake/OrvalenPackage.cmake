# The library as a host outside this tree gets it: `cmake --install` puts both shared libraries under
# the prefix's library folder and the headers a host compiles against under include/orvalen/, with a
# pkg-config file and a CMake package (find_package(Orvalen) gives Orvalen::orvalen). In the tree,
# Orvalen::orvalen shows a host exactly the installed headers, so an include the package lacks fails
# here too.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Every public interface, and of the stand-in its control functions for hosts and what they pull in.
file(GLOB ORVALEN_PUBLIC_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/include/*.h)
set(ORVALEN_PUBLIC_PLATFORM_HEADERS
    ${CMAKE_SOURCE_DIR}/platform/control.h
    ${CMAKE_SOURCE_DIR}/platform/D3DXMath.h
    ${CMAKE_SOURCE_DIR}/platform/Direct3D9.h
    ${CMAKE_SOURCE_DIR}/platform/Win32Types.h)

# orvalen.h is the one header a host includes: a public interface it leaves out stops the configure step.
file(READ ${CMAKE_SOURCE_DIR}/include/orvalen.h umbrella)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/include/orvalen.h)
foreach(header IN LISTS ORVALEN_PUBLIC_HEADERS)
    get_filename_component(name ${header} NAME)
    string(FIND "${umbrella}" "#include \"${name}\"" at)
    if(at EQUAL -1 AND NOT name STREQUAL "orvalen.h")
        message(FATAL_ERROR "include/orvalen.h does not include ${name}, a public interface")
    endif()
endforeach()

set(public_root ${CMAKE_BINARY_DIR}/exports/orvalen_public)
file(REMOVE_RECURSE ${public_root})
file(MAKE_DIRECTORY ${public_root}/platform)
foreach(header IN LISTS ORVALEN_PUBLIC_HEADERS)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${public_root}/${name} SYMBOLIC)
endforeach()
foreach(header IN LISTS ORVALEN_PUBLIC_PLATFORM_HEADERS)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${public_root}/platform/${name} SYMBOLIC)
endforeach()

# Until 1.0 a minor version may change the interface: the SONAME and the package's compatibility
# follow major.minor.
set(soversion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
set_target_properties(orvalen_platform PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${soversion}
    EXPORT_NAME platform)
# The installed library finds the stand-in beside it, whatever the host's own search path.
set_target_properties(orvalen PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${soversion}
    INSTALL_RPATH "$ORIGIN")
target_include_directories(orvalen INTERFACE
    $<BUILD_INTERFACE:${public_root}> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/orvalen>)
target_link_libraries(orvalen INTERFACE $<LINK_ONLY:orvalen_platform>)
target_compile_features(orvalen INTERFACE cxx_std_20)
add_library(Orvalen::orvalen ALIAS orvalen)

install(TARGETS orvalen orvalen_platform EXPORT OrvalenTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${ORVALEN_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvalen)
install(FILES ${ORVALEN_PUBLIC_PLATFORM_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvalen/platform)

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Orvalen)
install(EXPORT OrvalenTargets NAMESPACE Orvalen:: DESTINATION ${package_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/OrvalenConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/OrvalenConfig.cmake ${CMAKE_BINARY_DIR}/package/OrvalenConfigVersion.cmake
    DESTINATION ${package_dir})

# The pkg-config file finds the prefix from its own place, so the prefix given at install time holds.
file(RELATIVE_PATH pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/orvalen.pc.in ${CMAKE_BINARY_DIR}/package/orvalen.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/orvalen.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
