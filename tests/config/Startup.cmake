# Tests of the start-up directories and the caption translations.
vocarra_gtest(test_datadirs
    SOURCES DataDirsTest.cpp
    LIBS vocarra_config
)
vocarra_gtest(test_startup
    SOURCES StartupTest.cpp
    LIBS vocarra_station
)
# The test finds its own folder, to check where the program directory is found.
target_compile_definitions(test_startup PRIVATE
    VOCARRA_TEST_BINARY_DIR="$<TARGET_FILE_DIR:test_startup>"
)
vocarra_gtest(test_translation
    SOURCES TranslationTest.cpp
    LIBS vocarra_config
)
