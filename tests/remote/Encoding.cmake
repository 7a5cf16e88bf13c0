# URL encoding, Base64 lines and the streamed upload body.
vocarra_gtest(test_encoding
    SOURCES
        UrlEncodingTest.cpp
        VoiceTrackEncodingTest.cpp
        UploadBodyTest.cpp
    LIBS vocarra_encode
)
