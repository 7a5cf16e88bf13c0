# A self-signed certificate for 127.0.0.1 and localhost, made at build time so
# that the tests themselves start no process (forking beside running threads
# confuses ThreadSanitizer).
set(VOCARRA_TEST_CERT ${CMAKE_CURRENT_BINARY_DIR}/test-cert.pem)
set(VOCARRA_TEST_KEY ${CMAKE_CURRENT_BINARY_DIR}/test-key.pem)
find_program(OPENSSL_PROGRAM openssl REQUIRED)
add_custom_command(
    OUTPUT ${VOCARRA_TEST_CERT} ${VOCARRA_TEST_KEY}
    COMMAND ${OPENSSL_PROGRAM} req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes
            -days 3650 -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1
            -keyout ${VOCARRA_TEST_KEY} -out ${VOCARRA_TEST_CERT}
    COMMENT "Making the test certificate"
    VERBATIM)
add_custom_target(test_certificate DEPENDS ${VOCARRA_TEST_CERT} ${VOCARRA_TEST_KEY})

vocarra_gtest(test_api
    SOURCES ApiTest.cpp HtmlTextTest.cpp
    LIBS vocarra_remote PkgConfig::HTTPLIB)
add_dependencies(test_api test_certificate)
target_compile_definitions(test_api PRIVATE VOCARRA_TEST_CERT="${VOCARRA_TEST_CERT}"
                                            VOCARRA_TEST_KEY="${VOCARRA_TEST_KEY}")

vocarra_gtest(test_api_shutdown
    SOURCES ApiShutdownTest.cpp
    LIBS vocarra_remote PkgConfig::HTTPLIB)
