# Each source folder is one library; its sources are the folder's .cpp files, so a class
# added as a header/source pair joins its library without touching the build files.
function(orvalen_folder_sources out folder)
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${folder}/*.cpp")
    set(${out} ${sources} PARENT_SCOPE)
endfunction()

# The include folder of a library holds only what its users may include: links to the given source
# folders or single headers under their usual paths, so "physics/core/dgVector.h" resolves for a user of
# the core while a header of a layer it does not link to is not found. No target includes the source root.
function(orvalen_export_folder out name)
    cmake_parse_arguments(ARG "" "" "PATHS" ${ARGN})
    set(root ${CMAKE_BINARY_DIR}/exports/${name})
    file(REMOVE_RECURSE ${root})
    foreach(path IN LISTS ARG_PATHS)
        get_filename_component(parent ${root}/${path} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
    endforeach()
    set(${out} ${root} PARENT_SCOPE)
endfunction()

# A static library over the given folders, exporting those folders; a header-only library while they
# hold no sources.
function(orvalen_add_library name)
    cmake_parse_arguments(ARG "" "" "FOLDERS;DEPENDS" ${ARGN})
    set(all_sources "")
    foreach(folder IN LISTS ARG_FOLDERS)
        orvalen_folder_sources(sources ${folder})
        list(APPEND all_sources ${sources})
    endforeach()
    orvalen_export_folder(exported ${name} PATHS ${ARG_FOLDERS})
    if(all_sources)
        add_library(${name} STATIC ${all_sources})
        target_include_directories(${name} PUBLIC ${exported})
        target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${exported})
        target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
    endif()
endfunction()

# One GoogleTest executable per test folder, registered with ctest.
function(orvalen_add_test_folder name folder)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${folder}/*.cpp")
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} orvalen_test_support GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        DISCOVERY_TIMEOUT 60)
    target_compile_definitions(${name} PRIVATE ORVALEN_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
endfunction()
