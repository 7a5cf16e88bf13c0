vocarra_gtest(test_api
    SOURCES ApiTest.cpp
    LIBS vocarra_remote PkgConfig::HTTPLIB)
