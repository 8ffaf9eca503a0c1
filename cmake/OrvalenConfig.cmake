# find_package(Orvalen): the imported target Orvalen::orvalen, which carries the include folder and
# links liborvalen.so and the platform stand-in's liborvalen_platform.so.
include(${CMAKE_CURRENT_LIST_DIR}/OrvalenTargets.cmake)
