# Tests of the XML scanner and the two reply decoders.
vocarra_gtest(test_xml
    SOURCES XmlParserTest.cpp XmlDtdTest.cpp XmlNvpTest.cpp XmlBoundsTest.cpp
    LIBS vocarra_xml)
vocarra_gtest(test_reply_decoders
    SOURCES ReplyDecodersTest.cpp ReplyDecodersStartTimeTest.cpp
    LIBS vocarra_decode)
