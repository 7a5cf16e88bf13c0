# Libraries the upload benchmark compares against (OpenSSL's Base64, libcurl's escaping).
target_link_libraries(vocarra-bench PRIVATE OpenSSL::Crypto CURL::libcurl)
