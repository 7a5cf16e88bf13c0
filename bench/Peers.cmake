# Libraries the benchmarks compare against: pugixml for the reply decoders.
find_package(pugixml CONFIG QUIET)
if(TARGET pugixml::pugixml)
    target_link_libraries(vocarra-bench PRIVATE pugixml::pugixml)
else()
    pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
    target_link_libraries(vocarra-bench PRIVATE PkgConfig::PUGIXML)
endif()

# The upload benchmark's peers (OpenSSL, libcurl) are kept by that benchmark.
include(${CMAKE_CURRENT_LIST_DIR}/PeersUpload.cmake OPTIONAL)
