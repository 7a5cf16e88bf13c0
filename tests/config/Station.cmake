# Tests of the shared station configuration (player.ini, system.ini).
vocarra_gtest(test_station
    SOURCES
        PlayerIniTest.cpp
        SystemIniTest.cpp
        StationStartupTest.cpp
        StationSaveTest.cpp
    LIBS vocarra_station
)
target_compile_definitions(test_station PRIVATE
    VOCARRA_STATION_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
)

